#pragma once
// The system calls the file operations make, behind one small interface so that tests can make
// any of them fail (full disk, I/O error, another file system, a file appearing or vanishing).
// Every call returns what the system call returns and leaves the reason in errno.
#include <sys/stat.h>
#include <sys/types.h>

#include <string>
#include <vector>

namespace korvel {

class FileSystem {
public:
    virtual ~FileSystem() = default;
    virtual int open(const std::string& path, int flags, mode_t mode = 0);
    virtual int close(int fd);
    virtual ssize_t read(int fd, void* buf, size_t n);
    virtual ssize_t write(int fd, const void* buf, size_t n);
    // copy_file_range from the current offsets of in and out.
    virtual ssize_t copyRange(int in, int out, size_t n);
    virtual int fsync(int fd);
    // Flushes the names made, renamed or removed in a folder to the disk; 0 also where the file
    // system cannot flush a folder at all.
    virtual int syncFolder(const std::string& path);
    // flock(2) on fd; dup(2) of fd, which shares the lock.
    virtual int flock(int fd, int op);
    virtual int dup(int fd);
    // Gives fd the mode and the access and modification times of st.
    virtual int copyAttributes(int fd, const struct stat& st);
    virtual int lstat(const std::string& path, struct stat* st);
    virtual int fstat(int fd, struct stat* st);
    // Renames without ever replacing: renameat2 with RENAME_NOREPLACE, or link and unlink where
    // the file system lacks it. EEXIST when to exists.
    virtual int renameNoReplace(const std::string& from, const std::string& to);
    // A folder held open for renameNoReplaceAt, so that many renames into it skip walking its
    // path each time; -1 when it cannot be opened.
    virtual int openFolder(const std::string& path);
    // renameNoReplace into the folder held by dirfd under name; to is the same place as a path,
    // used where dirfd is -1 or the file system lacks the flag.
    virtual int renameNoReplaceAt(const std::string& from, int dirfd, const std::string& name, const std::string& to);
    // Renames over an existing file (used only after the user agreed to replace it).
    virtual int renameReplace(const std::string& from, const std::string& to);
    virtual int unlink(const std::string& path);
    virtual int rmdir(const std::string& path);
    virtual int mkdir(const std::string& path, mode_t mode);
    virtual int symlink(const std::string& target, const std::string& path);
    virtual ssize_t readlink(const std::string& path, std::string& target);
    // The names in a folder, without "." and "..".
    virtual int listFolder(const std::string& path, std::vector<std::string>& names);
};

// Makes folder and every missing folder above it; true when it is a folder now (errno otherwise).
bool makeFolderPath(FileSystem& fs, const std::string& folder, mode_t mode = 0700);

// The real file system.
FileSystem& systemFileSystem();

}  // namespace korvel
