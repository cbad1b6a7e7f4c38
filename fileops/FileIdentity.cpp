#include "fileops/FileIdentity.h"

namespace korvel {

FileIdentity identityOf(const struct stat& st) {
    return {uint64_t(st.st_dev), uint64_t(st.st_ino), int64_t(st.st_size),
            int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
}

bool matchesIdentity(const struct stat& st, const FileIdentity& identity) {
    if (S_ISDIR(st.st_mode)) return uint64_t(st.st_dev) == identity.device && uint64_t(st.st_ino) == identity.inode;
    return identityOf(st) == identity;
}

std::optional<FileIdentity> fileIdentity(FileSystem& fs, const std::string& path) {
    struct stat st;
    if (fs.lstat(path, &st) != 0) return std::nullopt;
    return identityOf(st);
}

bool sameFile(FileSystem& fs, const std::string& path, const FileIdentity& identity) {
    struct stat st;
    return fs.lstat(path, &st) == 0 && matchesIdentity(st, identity);
}

}  // namespace korvel
