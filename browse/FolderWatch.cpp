#include "browse/FolderWatch.h"

#include <sys/inotify.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "base/Errors.h"

namespace korvel {

FolderWatch::FolderWatch(Watch what) {
    fd_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd_ < 0) throw EFileError("Cannot watch folders", errno);
    // Unlinked entries still open elsewhere say nothing more; the folders themselves going is
    // always wanted.
    mask_ = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR |
            IN_EXCL_UNLINK;
    if (what == Watch::Files) mask_ |= IN_CLOSE_WRITE | IN_MODIFY | IN_ATTRIB;
}

FolderWatch::~FolderWatch() {
    if (fd_ >= 0) ::close(fd_);
}

std::string FolderWatch::slashed(std::string folder) {
    if (folder.empty() || folder.back() != '/') folder.push_back('/');
    return folder;
}

bool FolderWatch::watch(const std::string& folderIn) {
    const std::string folder = slashed(folderIn);
    if (byPath_.count(folder)) return true;
    const int wd = ::inotify_add_watch(fd_, folder.c_str(), mask_);
    if (wd < 0) return false;
    byPath_[folder] = wd;
    byWatch_[wd].push_back(folder);
    return true;
}

void FolderWatch::unwatch(const std::string& folderIn) {
    const auto it = byPath_.find(slashed(folderIn));
    if (it == byPath_.end()) return;
    const int wd = it->second;
    byPath_.erase(it);
    std::vector<std::string>& paths = byWatch_[wd];
    std::erase(paths, slashed(folderIn));
    if (!paths.empty()) return;
    byWatch_.erase(wd);
    // Events already queued for it are dropped by read(), which no longer knows the watch.
    ::inotify_rm_watch(fd_, wd);
}

void FolderWatch::watchOnly(const std::set<std::string>& folders) {
    std::set<std::string> wanted;
    for (const std::string& f : folders) wanted.insert(slashed(f));
    std::vector<std::string> drop;
    for (const auto& [path, wd] : byPath_)
        if (!wanted.count(path)) drop.push_back(path);
    for (const std::string& path : drop) unwatch(path);
    for (const std::string& path : wanted) watch(path);
}

void FolderWatch::forget(int wd) {
    const auto it = byWatch_.find(wd);
    if (it == byWatch_.end()) return;
    for (const std::string& path : it->second) byPath_.erase(path);
    byWatch_.erase(it);
}

std::vector<FolderEvent> FolderWatch::read() {
    using K = FolderEvent::Kind;
    std::vector<FolderEvent> out;
    alignas(inotify_event) char buffer[64 * 1024];
    for (;;) {
        const ssize_t n = ::read(fd_, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;  // EAGAIN: nothing more waits
        for (ssize_t at = 0; at + ssize_t(sizeof(inotify_event)) <= n;) {
            inotify_event e;
            std::memcpy(&e, buffer + at, sizeof e);
            const char* name = buffer + at + sizeof e;
            at += ssize_t(sizeof e + e.len);
            if (at > n) break;
            if (e.mask & IN_Q_OVERFLOW) {
                out.push_back({K::Overflow, {}, {}, false, 0});
                continue;
            }
            const auto watch = byWatch_.find(e.wd);
            if (watch == byWatch_.end()) continue;  // dropped already
            const std::vector<std::string> folders = watch->second;
            // A folder moved away keeps its watch under a path that is no longer its own.
            if (e.mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_UNMOUNT | IN_IGNORED)) {
                for (const std::string& f : folders) out.push_back({K::FolderGone, f, {}, true, 0});
                if (!(e.mask & IN_IGNORED)) ::inotify_rm_watch(fd_, e.wd);
                forget(e.wd);
                continue;
            }
            K kind;
            if (e.mask & IN_CREATE) kind = K::Created;
            else if (e.mask & IN_DELETE) kind = K::Deleted;
            else if (e.mask & IN_MOVED_FROM) kind = K::MovedOut;
            else if (e.mask & IN_MOVED_TO) kind = K::MovedIn;
            else if (e.mask & IN_CLOSE_WRITE) kind = K::Written;
            else if (e.mask & IN_MODIFY) kind = K::Modified;
            else if (e.mask & IN_ATTRIB) kind = K::Attributes;
            else continue;
            // The name is NUL-padded to its record's length.
            const std::string entry(name, ::strnlen(name, e.len));
            if (entry.empty()) continue;  // an event on the folder itself (its attributes)
            for (const std::string& f : folders) out.push_back({kind, f, entry, (e.mask & IN_ISDIR) != 0, e.cookie});
        }
    }
    return out;
}

}  // namespace korvel
