#include "fileops/FileSystem.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <climits>

#include "base/SafeWrite.h"

namespace korvel {

int FileSystem::open(const std::string& path, int flags, mode_t mode) {
    return ::open(path.c_str(), flags | O_CLOEXEC, mode);
}
int FileSystem::close(int fd) { return ::close(fd); }
ssize_t FileSystem::read(int fd, void* buf, size_t n) { return ::read(fd, buf, n); }
ssize_t FileSystem::write(int fd, const void* buf, size_t n) { return ::write(fd, buf, n); }
ssize_t FileSystem::copyRange(int in, int out, size_t n) {
    return ::copy_file_range(in, nullptr, out, nullptr, n, 0);
}
int FileSystem::fsync(int fd) { return ::fsync(fd); }
int FileSystem::syncFolder(const std::string& path) { return flushFolder(path.c_str()); }
int FileSystem::flock(int fd, int op) { return ::flock(fd, op); }
int FileSystem::dup(int fd) { return ::fcntl(fd, F_DUPFD_CLOEXEC, 0); }

int FileSystem::copyAttributes(int fd, const struct stat& st) {
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    if (::futimens(fd, times) != 0) return -1;
    return ::fchmod(fd, st.st_mode & 07777);
}

int FileSystem::lstat(const std::string& path, struct stat* st) { return ::lstat(path.c_str(), st); }
int FileSystem::fstat(int fd, struct stat* st) { return ::fstat(fd, st); }

int FileSystem::renameNoReplace(const std::string& from, const std::string& to) {
#ifdef SYS_renameat2
    const long r = ::syscall(SYS_renameat2, AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), 1 /* RENAME_NOREPLACE */);
    if (r == 0) return 0;
    if (errno != EINVAL && errno != ENOSYS) return -1;
#endif
    // A file system without the flag: a hard link fails on an existing name, as wanted.
    // Folders cannot be linked; for them a check right before the rename is the best left.
    struct stat st;
    if (::lstat(from.c_str(), &st) != 0) return -1;
    if (S_ISDIR(st.st_mode)) {
        if (::lstat(to.c_str(), &st) == 0) {
            errno = EEXIST;
            return -1;
        }
        return ::rename(from.c_str(), to.c_str());
    }
    if (::link(from.c_str(), to.c_str()) != 0) return -1;
    return ::unlink(from.c_str());
}

int FileSystem::openFolder(const std::string& path) {
    return ::open(path.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
}

int FileSystem::renameNoReplaceAt(const std::string& from, int dirfd, const std::string& name,
                                  const std::string& to) {
#ifdef SYS_renameat2
    if (dirfd >= 0) {
        const long r = ::syscall(SYS_renameat2, AT_FDCWD, from.c_str(), dirfd, name.c_str(), 1 /* RENAME_NOREPLACE */);
        if (r == 0) return 0;
        if (errno != EINVAL && errno != ENOSYS) return -1;
    }
#endif
    return renameNoReplace(from, to);
}

int FileSystem::renameReplace(const std::string& from, const std::string& to) {
    return ::rename(from.c_str(), to.c_str());
}
int FileSystem::unlink(const std::string& path) { return ::unlink(path.c_str()); }
int FileSystem::rmdir(const std::string& path) { return ::rmdir(path.c_str()); }
int FileSystem::mkdir(const std::string& path, mode_t mode) { return ::mkdir(path.c_str(), mode); }
int FileSystem::symlink(const std::string& target, const std::string& path) {
    return ::symlink(target.c_str(), path.c_str());
}

ssize_t FileSystem::readlink(const std::string& path, std::string& target) {
    char buf[PATH_MAX];
    const ssize_t n = ::readlink(path.c_str(), buf, sizeof buf);
    if (n >= 0) target.assign(buf, size_t(n));
    return n;
}

int FileSystem::listFolder(const std::string& path, std::vector<std::string>& names) {
    DIR* d = ::opendir(path.c_str());
    if (!d) return -1;
    names.clear();
    errno = 0;
    while (const dirent* e = ::readdir(d)) {
        const std::string n = e->d_name;
        if (n != "." && n != "..") names.push_back(n);
    }
    const int err = errno;
    ::closedir(d);
    errno = err;
    return err ? -1 : 0;
}

FileSystem& systemFileSystem() {
    static FileSystem fs;
    return fs;
}

bool makeFolderPath(FileSystem& fs, const std::string& folder, mode_t mode) {
    struct stat st;
    if (fs.lstat(folder, &st) == 0) {
        if (!S_ISDIR(st.st_mode)) errno = ENOTDIR;
        return S_ISDIR(st.st_mode);
    }
    if (folder == "/" || folder.empty()) return false;
    const size_t slash = folder.find_last_of('/');
    if (slash != std::string::npos && !makeFolderPath(fs, slash == 0 ? "/" : folder.substr(0, slash), mode)) return false;
    return fs.mkdir(folder, mode) == 0 || errno == EEXIST;
}

}  // namespace korvel
