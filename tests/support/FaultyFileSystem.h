#pragma once
// The real file system with a hook before every call, so a test can fail any call on any path
// (full disk, I/O error, another file system, permission) or change the files right before it;
// and what a folder holds, so a test can say that no file was lost or replaced.
#include <cerrno>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "fileops/FileOperation.h"
#include "tests/support/TempTree.h"

namespace korvel::testing {

class FaultyFileSystem : public FileSystem {
public:
    // (call name, path) -> errno to fail with, or 0 to go on. fd calls give the fd's path.
    std::function<int(const std::string& call, const std::string& path)> fault;
    size_t maxChunk = 64 * 1024;  // small copy steps, so faults and cancels land inside a file
    std::map<std::string, int> deviceOffset;  // path prefix -> added to st_dev (a fake mount)

    int open(const std::string& p, int flags, mode_t mode) override {
        if (int e = hit("open", p)) return e;
        const int fd = FileSystem::open(p, flags, mode);
        if (fd >= 0) paths_[fd] = p;
        return fd;
    }
    int close(int fd) override { paths_.erase(fd); return FileSystem::close(fd); }
    ssize_t read(int fd, void* b, size_t n) override {
        if (int e = hit("read", paths_[fd])) return e;
        return FileSystem::read(fd, b, n < maxChunk ? n : maxChunk);
    }
    ssize_t write(int fd, const void* b, size_t n) override {
        if (int e = hit("write", paths_[fd])) return e;
        return FileSystem::write(fd, b, n);
    }
    ssize_t copyRange(int in, int out, size_t n) override {
        if (int e = hit("copyRange", paths_[in])) return e;
        return FileSystem::copyRange(in, out, n < maxChunk ? n : maxChunk);
    }
    int fsync(int fd) override {
        if (int e = hit("fsync", paths_[fd])) return e;
        return FileSystem::fsync(fd);
    }
    int syncFolder(const std::string& p) override {
        if (int e = hit("syncFolder", p)) return e;
        return FileSystem::syncFolder(p);
    }
    int lstat(const std::string& p, struct stat* st) override {
        if (int e = hit("lstat", p)) return e;
        const int r = FileSystem::lstat(p, st);
        for (const auto& [prefix, off] : deviceOffset)
            if (r == 0 && p.rfind(prefix, 0) == 0) st->st_dev += off;
        return r;
    }
    int renameNoReplace(const std::string& f, const std::string& t) override {
        if (int e = hit("renameNoReplace", f)) return e;
        return FileSystem::renameNoReplace(f, t);
    }
    int renameNoReplaceAt(const std::string& f, int dirfd, const std::string& n, const std::string& t) override {
        if (int e = hit("renameNoReplace", f)) return e;
        return FileSystem::renameNoReplaceAt(f, dirfd, n, t);
    }
    int renameReplace(const std::string& f, const std::string& t) override {
        if (int e = hit("renameReplace", f)) return e;
        return FileSystem::renameReplace(f, t);
    }
    int unlink(const std::string& p) override {
        if (int e = hit("unlink", p)) return e;
        return FileSystem::unlink(p);
    }
    int mkdir(const std::string& p, mode_t m) override {
        if (int e = hit("mkdir", p)) return e;
        return FileSystem::mkdir(p, m);
    }

private:
    int hit(const char* call, const std::string& p) {
        const int e = fault ? fault(call, p) : 0;
        if (e == 0) return 0;
        errno = e;
        return -1;
    }
    std::map<int, std::string> paths_;
};

// A call on a path under root + under fails with err from its (after + 1)-th such call on.
struct Fault {
    const char* call;
    const char* under;
    int err;
    int after = 0;
};
// Runs before every call, to change the files under the operation's feet.
using Meddle = std::function<void(const std::string& call, const std::string& path, const std::string& root)>;

inline void inject(FaultyFileSystem& f, const std::string& root, std::vector<Fault> faults,
                   Meddle meddle = {}) {
    auto hits = std::make_shared<std::vector<int>>(faults.size());
    f.fault = [=](const std::string& call, const std::string& p) {
        if (meddle) meddle(call, p, root);
        for (size_t i = 0; i < faults.size(); ++i) {
            const Fault& x = faults[i];
            if (call == x.call && p.starts_with(root + x.under) && ++(*hits)[i] > x.after) return x.err;
        }
        return 0;
    };
}

// Answers every question the same way and records what was asked.
struct ScriptedUser : FileOpUser {
    ConflictAnswer conflict = ConflictAnswer::Skip;
    ErrorAnswer onError = ErrorAnswer::Skip;
    bool permanent = false;
    std::function<bool(const FileOpProgress&)> onProgress;
    std::vector<std::string> asked, errors, permanentAsked;
    std::vector<FileOpError> failures;

    ConflictAnswer askReplace(const std::string&, const std::string& target) override {
        asked.push_back(target);
        return conflict;
    }
    ConflictAnswer askCopyOntoItself(const std::string& path) override {
        asked.push_back(path);
        return conflict;
    }
    ErrorAnswer reportError(const FileOpError& e) override {
        errors.push_back(e.message());
        failures.push_back(e);
        return onError;
    }
    bool confirmPermanentDelete(const std::string& p) override {
        permanentAsked.push_back(p);
        return permanent;
    }
    bool progress(const FileOpProgress& p) override { return onProgress ? onProgress(p) : true; }
};

// name -> content of every file in folder.
inline std::map<std::string, std::string> folderContents(const std::string& folder) {
    std::map<std::string, std::string> m;
    for (const auto& e : std::filesystem::directory_iterator(folder))
        m[e.path().filename().string()] = readFile(e.path().string());
    return m;
}

// The contents alone, sorted: equal before and after exactly when nothing was lost or replaced.
inline std::multiset<std::string> contentSet(const std::string& folder) {
    std::multiset<std::string> s;
    for (const auto& [name, bytes] : folderContents(folder)) s.insert(bytes);
    return s;
}

}  // namespace korvel::testing
