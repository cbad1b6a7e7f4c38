// .trashinfo text: the parser must take anything without crashing, hand back only paths a
// restore can use, and read back exactly what the deleting side writes.
#include <climits>
#include <string>

#include "fuzz/FuzzSupport.h"
#include "fileops/Trash.h"

using namespace korvel;

extern "C" int LLVMFuzzerInitialize(int*, char***) { return 0; }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    TrashInfo info;
    if (!parseTrashInfo(text, info)) return 0;
    fuzz::check(!info.path.empty() && info.path.size() < PATH_MAX);
    fuzz::check(info.path.find('\0') == std::string::npos);
    fuzz::check(info.path.front() == '/' || (info.path != ".." && !info.path.starts_with("../") &&
                                             info.path.find("/../") == std::string::npos &&
                                             !info.path.ends_with("/..")));
    fuzz::check(info.deletionDate.empty() || info.deletionDate.size() == 19);

    // Whatever path came out, written again it must read back byte for byte.
    TrashInfo again;
    fuzz::check(parseTrashInfo(trashInfoText(info.path, 0), again));
    fuzz::check(again.path == info.path && again.deletionDate.size() == 19);
    return 0;
}
