#include "base/FileBytes.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <mutex>

#include "base/Errors.h"
#include "base/FdIo.h"

namespace korvel {

namespace {

std::string quoted(const std::string& path) { return "\"" + path + "\""; }

[[noreturn]] void throwSystem(const char* what, const std::string& path, int err) {
    throw EFileError(what, path, err);
}

const char* kindOf(mode_t mode) {
    if (S_ISDIR(mode)) return "a folder";
    if (S_ISFIFO(mode)) return "a named pipe";
    if (S_ISCHR(mode)) return "a character device";
    if (S_ISBLK(mode)) return "a block device";
    if (S_ISSOCK(mode)) return "a socket";
    return "not a regular file";
}

void requireRegular(const std::string& path, mode_t mode) {
    if (!S_ISREG(mode))
        throw EFileError("Cannot read " + quoted(path) + ": it is " + kindOf(mode) + ", not a regular file");
}

struct Fd {
    int fd;
    ~Fd() {
        if (fd >= 0) ::close(fd);
    }
};

// The mapped files, for the SIGBUS handler: a read past the end of a file that another program
// truncated after it was mapped faults there. Slots are taken and given back without locks, so
// the handler can read them at any moment; start 0 is a free slot, 1 one being filled.
struct Guard {
    std::atomic<uintptr_t> start{0}, end{0};
    std::atomic<bool> cut{false};
};
constexpr int kGuards = 1024;
Guard guards[kGuards];
struct sigaction previousBus;
uintptr_t pageSize = 4096;

void onBus(int sig, siginfo_t* info, void* context) {
    const uintptr_t at = reinterpret_cast<uintptr_t>(info->si_addr);
    for (Guard& g : guards) {
        const uintptr_t start = g.start.load(std::memory_order_acquire);
        if (start <= 1 || at < start || at >= g.end.load(std::memory_order_relaxed)) continue;
        // Every page from here on is past the file's end: zeros from now on, and the same
        // instruction reads them when the handler returns.
        const uintptr_t page = at & ~(pageSize - 1), end = (g.end.load(std::memory_order_relaxed) + pageSize - 1) & ~(pageSize - 1);
        if (::mmap(reinterpret_cast<void*>(page), end - page, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0) ==
            MAP_FAILED)
            break;
        g.cut.store(true, std::memory_order_relaxed);
        return;
    }
    // Not one of ours: what happened before the handler was there.
    if (previousBus.sa_flags & SA_SIGINFO) {
        if (previousBus.sa_sigaction) return previousBus.sa_sigaction(sig, info, context);
    } else if (previousBus.sa_handler != SIG_DFL && previousBus.sa_handler != SIG_IGN) {
        return previousBus.sa_handler(sig);
    }
    ::signal(SIGBUS, SIG_DFL);  // the fault repeats and ends the process
}

// A slot for the mapping [start, start + size), with the handler in place; -1 when every slot is
// taken (the caller reads the file instead).
int takeGuard(const void* start, size_t size) {
    static std::once_flag installed;
    std::call_once(installed, [] {
        pageSize = uintptr_t(::sysconf(_SC_PAGESIZE));
        struct sigaction action{};
        action.sa_sigaction = onBus;
        action.sa_flags = SA_SIGINFO | SA_RESTART;
        sigemptyset(&action.sa_mask);
        ::sigaction(SIGBUS, &action, &previousBus);
    });
    for (int i = 0; i < kGuards; ++i) {
        uintptr_t free = 0;
        if (!guards[i].start.compare_exchange_strong(free, 1, std::memory_order_acq_rel)) continue;
        guards[i].cut.store(false, std::memory_order_relaxed);
        guards[i].end.store(reinterpret_cast<uintptr_t>(start) + size, std::memory_order_relaxed);
        guards[i].start.store(reinterpret_cast<uintptr_t>(start), std::memory_order_release);
        return i;
    }
    return -1;
}

}  // namespace

void refuseSpecialFile(const std::string& path) {
    struct stat st;
    if (::stat(path.c_str(), &st) == 0) requireRegular(path, st.st_mode);
}

std::shared_ptr<const FileBytes> FileBytes::open(const std::string& path, uint64_t maxBytes) {
    // Checked by name first so that a device is never opened at all (opening some has effects).
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) throwSystem("Cannot open", path, errno);
    requireRegular(path, st.st_mode);
    // Non-blocking: a regular file swapped for a pipe after the check still cannot stall us.
    Fd file{::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC)};
    if (file.fd < 0) throwSystem("Cannot open", path, errno);
    if (::fstat(file.fd, &st) != 0) throwSystem("Cannot read", path, errno);
    requireRegular(path, st.st_mode);
    const int flags = ::fcntl(file.fd, F_GETFL);
    if (flags >= 0) ::fcntl(file.fd, F_SETFL, flags & ~O_NONBLOCK);

    const uint64_t size = uint64_t(st.st_size);
    if (size > maxBytes)
        throw EImageTooLarge("Cannot read " + quoted(path) + ": " + std::to_string(size) +
                             " bytes, more than the " + std::to_string(maxBytes) +
                             " bytes an image of this format within the pixel limit can need");
    if (size > std::numeric_limits<size_t>::max() / 2) throwSystem("Cannot read", path, EFBIG);

    std::shared_ptr<FileBytes> bytes(new FileBytes);
    bytes->path_ = path;
    if (size >= kMapThreshold) {
        void* map = ::mmap(nullptr, size_t(size), PROT_READ, MAP_PRIVATE, file.fd, 0);
        if (map == MAP_FAILED) throwSystem("Cannot map", path, errno);
        bytes->guard_ = takeGuard(map, size_t(size));
        if (bytes->guard_ >= 0) {
            bytes->data_ = static_cast<const uint8_t*>(map);
            bytes->size_ = size_t(size);
            bytes->mapped_ = true;
            return bytes;
        }
        ::munmap(map, size_t(size));
    }
    // Read no more than the size seen: a file that grows meanwhile is taken as it was.
    bytes->owned_.resize(size_t(size));
    const ssize_t got = readAll(file.fd, bytes->owned_.data(), bytes->owned_.size());
    if (got < 0) throwSystem("Cannot read", path, errno);
    bytes->owned_.resize(size_t(got));
    bytes->data_ = bytes->owned_.data();
    bytes->size_ = size_t(got);
    return bytes;
}

bool FileBytes::cutShort() const { return guard_ >= 0 && guards[guard_].cut.load(std::memory_order_relaxed); }

void FileBytes::requireWhole() const {
    if (cutShort()) throw EFileError("Cannot read " + quoted(path_) + ": it got shorter while it was read");
}

std::shared_ptr<const FileBytes> FileBytes::hold(std::vector<uint8_t> data) {
    std::shared_ptr<FileBytes> bytes(new FileBytes);
    bytes->owned_ = std::move(data);
    bytes->data_ = bytes->owned_.data();
    bytes->size_ = bytes->owned_.size();
    return bytes;
}

FileBytes::~FileBytes() {
    if (!mapped_) return;
    guards[guard_].start.store(0, std::memory_order_release);
    ::munmap(const_cast<uint8_t*>(data_), size_);
}

std::vector<uint8_t> readWholeFile(const std::string& path) {
    const std::shared_ptr<const FileBytes> bytes = FileBytes::open(path);
    return std::vector<uint8_t>(bytes->data(), bytes->data() + bytes->size());
}

}  // namespace korvel
