#include "browse/RewrittenFiles.h"

#include <algorithm>

#include "browse/FileList.h"
#include "browse/FolderScan.h"
#include "browse/SharedThumbs.h"

namespace korvel {

RewriteFollowUp forgetRewritten(FileList& list, const std::vector<std::string>& files, const std::string& previewed,
                                const SharedThumbs* shared) {
    RewriteFollowUp out;
    for (const std::string& file : files) {
        if (shared) shared->forget(file);
        if (!previewed.empty() && file == previewed) out.preview = true;
        const std::ptrdiff_t i = list.indexOf(file);
        if (i < 0) continue;
        TSeekFile& seek = list.seek(size_t(i));
        if (const std::optional<TSeekFile> now = currentSeekFile(file)) {
            seek.Size = now->Size;
            seek.Time = now->Time;
        }
        seek.ThumbPos = -1;
        out.cells.push_back(size_t(i));
    }
    std::sort(out.cells.begin(), out.cells.end());
    out.cells.erase(std::unique(out.cells.begin(), out.cells.end()), out.cells.end());
    return out;
}

}  // namespace korvel
