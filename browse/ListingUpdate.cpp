#include "browse/ListingUpdate.h"

#include <sys/stat.h>

#include <algorithm>
#include <optional>
#include <set>
#include <unordered_map>

#include "base/FileNames.h"
#include "browse/ExtensionSet.h"
#include "browse/FileSort.h"

namespace korvel {

namespace {

struct Rules {
    const std::string& folder;
    const ListOptions& options;
    ExtensionSet extensions;

    // Whether the listing would take path by its name alone: in the folder (or below it when
    // sub-folders are listed), not hidden when hidden names are skipped, passing the mask.
    bool nameFits(const std::string& path) const {
        if (path.size() <= folder.size() || path.compare(0, folder.size(), folder) != 0) return false;
        const std::string rel = path.substr(folder.size());
        if (!options.subDirSearch && rel.find('/') != std::string::npos) return false;
        for (size_t at = 0;;) {
            if (options.noHideFile && rel[at] == '.') return false;
            const size_t slash = rel.find('/', at);
            if (slash == std::string::npos) break;
            at = slash + 1;
        }
        return extensions.matches(extractFileName(path));
    }
};

// What the listing keeps of path now: a regular file (links followed) of at least one byte.
std::optional<TSeekFile> listable(const std::string& path) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
    TSeekFile seek;
    seek.Size = seekFileSize(st.st_size);
    if (seek.Size < 1) return std::nullopt;
    seek.Time = packDosDateTime(st.st_mtime);
    const std::string ext = extractFileExt(extractFileName(path));
    seek.Ext = asciiUpper(ext.empty() ? ext : ext.substr(1));
    return seek;
}

// Takes the size and time of now; true when they differ (the thumbnail is then built again).
bool refresh(TSeekFile& seek, const TSeekFile& now) {
    if (seek.Size == now.Size && seek.Time == now.Time) return false;
    seek.Size = now.Size;
    seek.Time = now.Time;
    seek.ThumbPos = -1;
    return true;
}

void rereadAll(FileList& list, const Rules& rules, ListingChange& change) {
    std::vector<FileEntry> found;
    ScanFolder(rules.folder, rules.extensions, rules.options, nullptr, found);
    std::unordered_map<std::string_view, size_t> at;
    for (size_t i = 0; i < found.size(); ++i) at.emplace(found[i].path, i);
    change.removed += list.removeIf([&](const FileEntry& e) { return !at.count(e.path); });
    for (size_t i = 0; i < list.size(); ++i)
        if (refresh(list.seek(i), found[at.at(list.path(i))].seek)) change.changed.push_back(list.path(i));
    std::vector<FileEntry> fresh;
    for (FileEntry& e : found)
        if (!list.contains(e.path)) fresh.push_back(std::move(e));
    change.added += fresh.size();
    list.append(std::move(fresh));
}

bool isFolder(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

ListingChange applyFolderUpdate(FileList& list, const std::string& folderIn, const FolderUpdate& update,
                                const ListOptions& options, bool descending) {
    const std::string folder = withSlash(folderIn);
    const Rules rules{folder, options, ExtensionSet(options.mask)};
    ListingChange change;
    bool reread = update.everything || std::count(update.gone.begin(), update.gone.end(), folder) > 0;
    if (options.subDirSearch && !update.folders.empty()) reread = true;
    // Paths to look at on disk once the renames are done.
    std::set<std::string> look(update.files.begin(), update.files.end());
    for (const auto& [from, to] : update.renamed) {
        if (reread) break;
        const std::ptrdiff_t i = list.indexOf(from);
        if (i < 0) {
            if (options.subDirSearch && isFolder(to)) reread = true;
            look.insert(to);
            continue;
        }
        if (!rules.nameFits(to)) {
            list.removeAt(size_t(i));
            ++change.removed;
            continue;
        }
        // Renamed over a listed file: that file is gone, the renamed one keeps its entry.
        if (const std::ptrdiff_t old = list.indexOf(to); old >= 0) {
            list.removeAt(size_t(old));
            ++change.removed;
        }
        const size_t at = size_t(list.indexOf(from));
        list.setPath(at, to);
        const std::string ext = extractFileExt(extractFileName(to));
        list.seek(at).Ext = asciiUpper(ext.empty() ? ext : ext.substr(1));
        change.renamed.emplace_back(from, to);
        look.insert(to);
    }
    if (reread) {
        rereadAll(list, rules, change);
    } else {
        std::vector<std::string> gone;
        for (const std::string& path : look) {
            const std::ptrdiff_t i = list.indexOf(path);
            const std::optional<TSeekFile> now = rules.nameFits(path) ? listable(path) : std::nullopt;
            if (i >= 0 && !now) gone.push_back(path);
            else if (i >= 0 && refresh(list.seek(size_t(i)), *now)) change.changed.push_back(path);
            else if (i < 0 && now) list.append(path, *now), ++change.added;
        }
        if (!gone.empty()) {
            const std::set<std::string> drop(gone.begin(), gone.end());
            change.removed += list.removeIf([&](const FileEntry& e) { return drop.count(e.path) > 0; });
        }
    }
    if (change.added) sortByNameView(list, options.nameView, descending);
    return change;
}

}  // namespace korvel
