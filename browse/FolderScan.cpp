#include "browse/FolderScan.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <set>
#include <atomic>
#include <utility>
#include <vector>

#include "base/Errors.h"
#include "base/Workers.h"
#include "browse/FileSort.h"

namespace korvel {

namespace {

FolderOpenFunction& folderOpen() {
    static FolderOpenFunction f;
    return f;
}

int openFolder(int dirFd, const char* name) {
    if (folderOpen()) return folderOpen()(dirFd, name);
    return ::openat(dirFd, name, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

struct Scan {
    const ExtensionSet& extensions;
    const ListOptions& options;
    const FileList* known;
    std::vector<FileEntry>& found;
    std::set<std::pair<dev_t, ino_t>> entered;  // folders already scanned, by device and inode
};

std::string upperExt(const char* name) {
    const char* dot = std::strrchr(name, '.');
    std::string ext = dot ? dot + 1 : "";
    for (char& c : ext)
        if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
    return ext;
}

void scanOpenFolder(Scan& scan, int fd, std::string& path);

// Enters the sub-folder name of the folder open as parentFd, once per device and inode.
void enterFolder(Scan& scan, int parentFd, const char* name, std::string& path) {
    int fd = openFolder(parentFd, name);
    if (fd < 0) return;
    struct stat st;
    if (::fstat(fd, &st) != 0 || !scan.entered.emplace(st.st_dev, st.st_ino).second) {
        ::close(fd);
        return;
    }
    size_t base = path.size();
    path.append(name).push_back('/');
    scanOpenFolder(scan, fd, path);
    path.resize(base);
}

void addFile(Scan& scan, const char* name, off_t size, time_t mtime, std::string& path) {
    TSeekFile seek;
    seek.Size = seekFileSize(size);
    if (seek.Size < 1) return;
    size_t base = path.size();
    path.append(name);
    if (!scan.known || !scan.known->contains(path)) {
        seek.Time = packDosDateTime(mtime);
        seek.Ext = upperExt(name);
        scan.found.push_back(FileEntry{path, std::move(seek)});
    }
    path.resize(base);
}

// One entry of a folder as its directory entry tells it, with its status where one is needed.
struct Candidate {
    size_t name;  // offset of the NUL-terminated name in the folder's name buffer
    unsigned char type;
    bool wanted;  // the name passes the filter
    bool statOk = false;
    mode_t mode = 0;  // what the status told, links followed
    off_t size = 0;
    time_t mtime = 0;
};

// Status calls of a big folder are spread over threads: they are most of a listing's time, and
// each waits on the kernel's name lookup alone. Below this many, a thread costs more than it saves.
constexpr size_t kParallelStatCount = 2048;

void statCandidates(int dirFd, const std::string& names, std::vector<Candidate>& items) {
    auto run = [&](size_t from, size_t to) {
        for (size_t i = from; i < to; ++i) {
            Candidate& c = items[i];
            if (c.type == DT_DIR) continue;
            struct stat st;
            c.statOk = ::fstatat(dirFd, names.c_str() + c.name, &st, 0) == 0;
            if (c.statOk) c.mode = st.st_mode, c.size = st.st_size, c.mtime = st.st_mtime;
        }
    };
    const size_t n = items.size();
    if (n < kParallelStatCount) {
        run(0, n);
        return;
    }
    // Helpers and this thread take chunks until none is left, so fewer helpers than asked for
    // (or none at all) only take longer.
    const size_t threads = std::min<size_t>(WorkerThreads::perCore(), 8);
    const size_t chunk = (n + threads - 1) / threads;
    std::atomic<size_t> next{0};
    auto take = [&] {
        for (size_t c; (c = next.fetch_add(1)) * chunk < n;) run(c * chunk, std::min(n, (c + 1) * chunk));
    };
    WorkerThreads helpers;
    try {
        helpers.start(threads - 1, take);
    } catch (const Exception&) {
        // No thread to be had: this one does it all.
    }
    take();
    helpers.join();
}

// Reads the folder open as fd (taking ownership): first its entries, then the status of those
// that need one, then the files and sub-folders in the order of the entries. Names are judged
// before any status call, so files the filter rejects cost nothing beyond their directory entry.
void scanOpenFolder(Scan& scan, int fd, std::string& path) {
    DIR* dir = ::fdopendir(fd);
    if (!dir) {
        ::close(fd);
        return;
    }
    const bool recurse = scan.options.subDirSearch;
    std::string names;
    std::vector<Candidate> items;
    while (const dirent* e = ::readdir(dir)) {
        const char* name = e->d_name;
        if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'))) continue;
        if (scan.options.noHideFile && name[0] == '.') continue;
        const unsigned char type = e->d_type;
        if (type == DT_DIR && !recurse) continue;
        // A link or an entry of unknown type may be a folder; its status tells.
        const bool mayBeFolder = type == DT_LNK || type == DT_UNKNOWN;
        if (type != DT_REG && type != DT_DIR && !mayBeFolder) continue;  // devices, pipes, sockets
        const bool wanted = type != DT_DIR && scan.extensions.matches(name);
        if (type != DT_DIR && !wanted && !(recurse && mayBeFolder)) continue;
        Candidate& c = items.emplace_back();
        c.name = names.size();
        c.type = type;
        c.wanted = wanted;
        names.append(name).push_back('\0');
    }
    statCandidates(::dirfd(dir), names, items);
    for (const Candidate& c : items) {
        const char* name = names.c_str() + c.name;
        if (c.type == DT_DIR) {
            enterFolder(scan, ::dirfd(dir), name, path);
            continue;
        }
        if (!c.statOk) continue;  // vanished or dangling link
        if (S_ISDIR(c.mode)) {
            if (recurse) enterFolder(scan, ::dirfd(dir), name, path);
        } else if (c.wanted && S_ISREG(c.mode)) {
            addFile(scan, name, c.size, c.mtime, path);
        }
    }
    ::closedir(dir);
}

}  // namespace

void setFolderOpenFunction(FolderOpenFunction open) { folderOpen() = std::move(open); }

ListResult ScanFolder(const std::string& folder, const ExtensionSet& extensions, const ListOptions& options,
                      const FileList* known, std::vector<FileEntry>& found) {
    ListResult result;
    std::string path = folder;
    if (path.empty() || path.back() != '/') path.push_back('/');
    int fd = openFolder(AT_FDCWD, path.c_str());
    if (fd < 0) {
        result.error = errno;
        return result;
    }
    result.folderRead = true;
    Scan scan{extensions, options, known, found, {}};
    struct stat st;
    if (options.subDirSearch && ::fstat(fd, &st) == 0) scan.entered.emplace(st.st_dev, st.st_ino);
    size_t before = found.size();
    scanOpenFolder(scan, fd, path);
    result.added = found.size() - before;
    return result;
}

std::optional<TSeekFile> currentSeekFile(const std::string& path) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) return std::nullopt;
    TSeekFile seek;
    seek.Size = seekFileSize(st.st_size);
    seek.Time = packDosDateTime(st.st_mtime);
    return seek;
}

bool isExistingFolder(const std::string& path) {
    struct stat st;
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

size_t removeVanishedFiles(FileList& list) {
    return list.removeIf([](const FileEntry& e) {
        struct stat st;
        return ::stat(e.path.c_str(), &st) != 0;
    });
}

ListResult ListFolder(FileList& list, const std::string& folder, ListMode mode, const ListOptions& options) {
    if (mode == ListMode::Replace) list.clear();
    const ExtensionSet extensions(options.mask);
    std::vector<FileEntry> found;
    ListResult result =
        ScanFolder(folder, extensions, options, mode == ListMode::Add && !list.empty() ? &list : nullptr, found);
    list.append(std::move(found));
    sortByNameView(list, options.nameView);
    return result;
}

}  // namespace korvel
