#include "fileops/FileIdentity.h"

namespace korvel {

std::optional<FileIdentity> fileIdentity(FileSystem& fs, const std::string& path) {
    struct stat st;
    if (fs.lstat(path, &st) != 0) return std::nullopt;
    return FileIdentity{uint64_t(st.st_dev), uint64_t(st.st_ino), int64_t(st.st_size),
                        int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
}

bool sameFile(FileSystem& fs, const std::string& path, const FileIdentity& identity) {
    const std::optional<FileIdentity> now = fileIdentity(fs, path);
    return now && *now == identity;
}

}  // namespace korvel
