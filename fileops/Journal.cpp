#include "fileops/Journal.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/random.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <unordered_map>

#include "base/Errors.h"
#include "base/FileNames.h"
#include "base/SafeWrite.h"
#include "base/UserFolders.h"

namespace korvel {

namespace {

constexpr char kMagic[] = "\x1EKJ";
constexpr size_t kMagicSize = 3;
constexpr size_t kHeaderSize = kMagicSize + 1 + 4 + 4;
constexpr uint8_t kStepRecord = 'S';
constexpr uint8_t kMarkRecord = 'M';
constexpr uint8_t kEntryRecord = 'E';
constexpr size_t kEntryBatch = 64;  // item records written at once while held
// Far above any real step (a million files), so a garbled length cannot make the reader wait for
// gigabytes.
constexpr uint32_t kMaxPayload = 1u << 30;

// Over the type too, so a garbled type cannot pass a step off as a mark.
uint32_t checksum(uint8_t type, std::string_view bytes) {
    uint32_t h = (2166136261u ^ type) * 16777619u;  // FNV-1a
    for (unsigned char c : bytes) h = (h ^ c) * 16777619u;
    return h;
}

void put(std::string& out, uint64_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(char(uint8_t(v >> (8 * i))));
}
void putText(std::string& out, const std::string& s) {
    put(out, s.size(), 4);
    out += s;
}

std::string record(uint8_t type, const std::string& payload) {
    std::string out(kMagic, kMagicSize);
    out.push_back(char(type));
    put(out, payload.size(), 4);
    put(out, checksum(type, payload), 4);
    return out + payload;
}

// Reads numbers and texts from a payload; any read past its end sets failed.
class Reader {
public:
    explicit Reader(std::string_view bytes) : bytes_(bytes) {}
    uint64_t number(int size) {
        if (failed || bytes_.size() - at_ < size_t(size)) {
            failed = true;
            return 0;
        }
        uint64_t v = 0;
        for (int i = 0; i < size; ++i) v |= uint64_t(uint8_t(bytes_[at_ + i])) << (8 * i);
        at_ += size_t(size);
        return v;
    }
    std::string text() {
        const uint64_t n = number(4);
        if (failed || bytes_.size() - at_ < n) {
            failed = true;
            return {};
        }
        std::string s(bytes_.substr(at_, n));
        at_ += n;
        return s;
    }
    bool atEnd() const { return !failed && at_ == bytes_.size(); }
    size_t left() const { return bytes_.size() - at_; }
    bool failed = false;

private:
    std::string_view bytes_;
    size_t at_ = 0;
};

constexpr size_t kEntryMinimum = 4 + 4 + 8 * 4 + 1 + 4;

void putEntry(std::string& p, const StepEntry& e) {
    putText(p, e.source);
    putText(p, e.target);
    put(p, e.left.device, 8);
    put(p, e.left.inode, 8);
    put(p, uint64_t(e.left.size), 8);
    put(p, uint64_t(e.left.mtimeNs), 8);
    put(p, e.undone ? 1 : 0, 1);
    putText(p, e.trashed);
}

// What encodeStep writes for step, without writing it.
size_t encodedSize(const JournalStep& step) {
    size_t n = kHeaderSize + 8 + 1 + 8 + 1 + 4;
    for (const StepEntry& e : step.entries) n += kEntryMinimum + e.source.size() + e.target.size() + e.trashed.size();
    return n;
}

bool readEntry(Reader& r, StepEntry& e) {
    e.source = r.text();
    e.target = r.text();
    e.left.device = r.number(8);
    e.left.inode = r.number(8);
    e.left.size = int64_t(r.number(8));
    e.left.mtimeNs = int64_t(r.number(8));
    const uint64_t undone = r.number(1);
    e.undone = undone == 1;
    e.trashed = r.text();
    return !r.failed && undone <= 1;
}

bool decodeStep(std::string_view payload, JournalStep& step) {
    Reader r(payload);
    step.id = r.number(8);
    const uint64_t kind = r.number(1);
    step.timeNs = int64_t(r.number(8));
    const uint64_t undone = r.number(1);
    const uint64_t count = r.number(4);
    if (r.failed || kind < 1 || kind > kLastStepKind || undone > 1 || count > r.left() / kEntryMinimum) return false;
    step.kind = StepKind(kind);
    step.undone = undone == 1;
    step.entries.resize(count);
    for (StepEntry& e : step.entries)
        if (!readEntry(r, e)) return false;
    return r.atEnd();
}

// Calls f(type, payload) for every whole record with a good checksum; returns how many.
template <typename F>
size_t forEachRecord(std::string_view bytes, F f) {
    size_t count = 0, at = 0;
    while (true) {
        const size_t found = bytes.find(std::string_view(kMagic, kMagicSize), at);
        if (found == std::string_view::npos || bytes.size() - found < kHeaderSize) break;
        Reader header(bytes.substr(found + kMagicSize, kHeaderSize - kMagicSize));
        const uint8_t type = uint8_t(header.number(1));
        const uint64_t size = header.number(4);
        const uint32_t sum = uint32_t(header.number(4));
        const size_t body = found + kHeaderSize;
        if (size <= kMaxPayload && bytes.size() - body >= size && checksum(type, bytes.substr(body, size)) == sum) {
            f(type, bytes.substr(body, size));
            ++count;
            at = body + size;
        } else {
            at = found + 1;  // torn or garbled: look for the next record inside it
        }
    }
    return count;
}

std::vector<JournalStep> parse(std::string_view bytes, size_t& records) {
    std::vector<JournalStep> steps;
    std::unordered_map<uint64_t, size_t> byId;
    records = forEachRecord(bytes, [&](uint8_t type, std::string_view payload) {
        if (type == kStepRecord) {
            JournalStep step;
            if (!decodeStep(payload, step)) return;
            const auto known = byId.find(step.id);
            if (known != byId.end()) {
                steps[known->second] = std::move(step);
                return;
            }
            byId[step.id] = steps.size();
            steps.push_back(std::move(step));
        } else if (type == kMarkRecord) {
            Reader r(payload);
            const uint64_t id = r.number(8), undone = r.number(1);
            const auto it = byId.find(id);
            if (r.atEnd() && undone <= 1 && it != byId.end()) steps[it->second].undone = undone == 1;
        } else if (type == kEntryRecord) {
            Reader r(payload);
            const uint64_t id = r.number(8), index = r.number(4);
            StepEntry e;
            const auto it = byId.find(id);
            if (readEntry(r, e) && r.atEnd() && it != byId.end() && index < steps[it->second].entries.size())
                steps[it->second].entries[index] = std::move(e);
        }
    });
    return steps;
}

uint64_t freshId() {
    uint64_t id = 0;
    if (::getrandom(&id, sizeof id, 0) != ssize_t(sizeof id)) {
        timespec ts{};
        ::clock_gettime(CLOCK_MONOTONIC, &ts);
        id = uint64_t(ts.tv_sec) * 1000000007u ^ uint64_t(ts.tv_nsec) ^ (uint64_t(::getpid()) << 40);
    }
    return id;
}

}  // namespace

std::string encodeStep(const JournalStep& step) {
    std::string p;
    put(p, step.id, 8);
    put(p, uint8_t(step.kind), 1);
    put(p, uint64_t(step.timeNs), 8);
    put(p, step.undone ? 1 : 0, 1);
    put(p, step.entries.size(), 4);
    for (const StepEntry& e : step.entries) putEntry(p, e);
    return record(kStepRecord, p);
}

std::string encodeMark(uint64_t id, bool undone) {
    std::string p;
    put(p, id, 8);
    put(p, undone ? 1 : 0, 1);
    return record(kMarkRecord, p);
}

std::string encodeEntry(uint64_t id, uint32_t index, const StepEntry& entry) {
    std::string p;
    put(p, id, 8);
    put(p, index, 4);
    putEntry(p, entry);
    return record(kEntryRecord, p);
}

std::vector<JournalStep> parseJournal(std::string_view bytes) {
    size_t records = 0;
    return parse(bytes, records);
}

Journal::Journal(std::string path, FileSystem& fs) : path_(std::move(path)), fs_(fs) {}

std::string Journal::defaultPath() {
    const std::string folder = stateFolder();
    return folder.empty() ? std::string() : folder + "journal";
}

// Reads fd from its start to its end.
static std::string readWhole(FileSystem& fs, int fd) {
    std::string bytes;
    char buf[64 * 1024];
    while (true) {
        const ssize_t n = fs.read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        bytes.append(buf, size_t(n));
    }
    return bytes;
}

void Journal::load() {
    const int fd = fs_.open(path_, O_RDONLY);
    loadFrom(fd < 0 ? std::string() : readWhole(fs_, fd));
    if (fd >= 0) fs_.close(fd);
}

void Journal::loadFrom(const std::string& bytes) {
    steps_.clear();
    records_ = 0;
    fileBytes_ = bytes.size();
    try {
        steps_ = parse(bytes, records_);
    } catch (const std::exception&) {  // out of memory on a huge file: read as empty
        steps_.clear();
    }
    if (steps_.size() > kKeep) steps_.erase(steps_.begin(), steps_.end() - ptrdiff_t(kKeep));
}

// The window and korvel-tool may write at once: each holds an exclusive lock on the file while
// it writes. A compaction replaces the file, so a lock won on the replaced one is tried again.
int Journal::openLocked(int flags) {
    for (int attempt = 0; attempt < 8; ++attempt) {
        const int fd = fs_.open(path_, flags | O_NOFOLLOW, 0600);
        if (fd < 0) return -1;
        struct stat held, named;
        int r;
        while ((r = fs_.flock(fd, LOCK_EX)) != 0 && errno == EINTR) {
        }
        if (r == 0 && fs_.fstat(fd, &held) == 0 &&
            (fs_.lstat(path_, &named) != 0 || held.st_ino != named.st_ino || held.st_dev != named.st_dev)) {
            fs_.close(fd);
            continue;
        }
        if (r != 0 && errno != ENOLCK && errno != EOPNOTSUPP) {  // no locks on this file system: go on
            const int err = errno;
            fs_.close(fd);
            errno = err;
            return -1;
        }
        return fd;
    }
    errno = EAGAIN;
    return -1;
}

int Journal::write(const std::string& bytes) {
    if (held_ >= 0) {
        const std::string all = pending_ + bytes;
        pending_.clear();
        pendingCount_ = 0;
        return writeTo(held_, all, true);
    }
    if (path_.empty()) return ENOENT;
    try {
        makeFolders(extractFilePath(path_));
    } catch (const EFileError& e) {
        return e.errorNumber() ? e.errorNumber() : EIO;
    }
    struct stat st;
    const bool existed = fs_.lstat(path_, &st) == 0;
    const int fd = openLocked(O_WRONLY | O_APPEND | O_CREAT);
    if (fd < 0) return errno;
    int err = writeTo(fd, bytes, true);
    fs_.close(fd);
    if (err == 0 && !existed && fs_.syncFolder(extractFilePath(path_)) != 0) err = errno;
    return err;
}

int Journal::writeTo(int fd, const std::string& bytes, bool flush) {
    struct stat before;
    const off_t start = fs_.fstat(fd, &before) == 0 ? before.st_size : -1;
    int err = 0;
    for (size_t done = 0; done < bytes.size() && err == 0;) {
        const ssize_t n = fs_.write(fd, bytes.data() + done, bytes.size() - done);
        if (n > 0) done += size_t(n);
        else if (n == 0) err = ENOSPC;
        else if (errno != EINTR) err = errno;
    }
    if (err == 0 && flush && fs_.fsync(fd) != 0) err = errno;
    if (err == 0) fileBytes_ += bytes.size();
    // A half-written record would only be skipped when read, but it need not stay.
    if (err != 0 && start >= 0 && ::ftruncate(fd, start) == 0) fs_.fsync(fd);
    return err;
}

Journal::~Journal() { release(); }

int Journal::hold() {
    release();
    if (path_.empty()) return ENOENT;
    try {
        makeFolders(extractFilePath(path_));
    } catch (const EFileError& e) {
        return e.errorNumber() ? e.errorNumber() : EIO;
    }
    const int fd = openLocked(O_RDWR | O_APPEND | O_CREAT);
    if (fd < 0) return errno;
    held_ = fd;
    loadFrom(readWhole(fs_, fd));
    return 0;
}

int Journal::updateEntry(uint64_t id, size_t index, const StepEntry& entry) {
    for (JournalStep& s : steps_)
        if (s.id == id && index < s.entries.size()) s.entries[index] = entry;
    pending_ += encodeEntry(id, uint32_t(index), entry);
    ++records_;
    if (held_ >= 0 && ++pendingCount_ < kEntryBatch) return 0;
    const std::string bytes = std::move(pending_);
    pending_.clear();
    pendingCount_ = 0;
    return held_ >= 0 ? writeTo(held_, bytes, false) : write(bytes);
}

void Journal::release() {
    if (held_ < 0) return;
    if (!pending_.empty()) write({});
    // Still locked, nobody wrote since hold() read the file: what this process holds is the
    // file, and the compaction need not read it again.
    if (dueForCompaction()) rewrite();
    fs_.close(held_);
    held_ = -1;
}

int Journal::append(JournalStep& step) {
    step.id = freshId();
    if (step.timeNs == 0) {
        timespec ts{};
        ::clock_gettime(CLOCK_REALTIME, &ts);
        step.timeNs = int64_t(ts.tv_sec) * 1000000000 + ts.tv_nsec;
    }
    if (const int err = write(encodeStep(step))) return err;
    steps_.push_back(step);
    if (steps_.size() > kKeep) steps_.erase(steps_.begin());
    noteRecord();
    return 0;
}

int Journal::mark(uint64_t id, bool undone) {
    if (const int err = write(encodeMark(id, undone))) return err;
    for (JournalStep& s : steps_)
        if (s.id == id) s.undone = undone;
    noteRecord();
    return 0;
}

// A compaction replaces the file, so one that falls due while it is held waits for release.
void Journal::noteRecord() {
    if (++records_ > kCompactAt && held_ < 0 && dueForCompaction()) compact();
}

// Once the file holds at least as many bytes of records that are no longer needed (dropped
// steps, marks, items' places) as of steps, so that the rewrites of a journal of large steps
// cost a bounded share of what was written: an undo of a thousand files is not followed by a
// rewrite of every step the journal keeps.
bool Journal::dueForCompaction() const {
    if (records_ <= kCompactAt) return false;
    size_t live = 0;
    for (const JournalStep& s : steps_) live += encodedSize(s);
    return fileBytes_ > 2 * live;
}

void Journal::compact() {
    // Under the lock, from the file: another process may have appended since this one read.
    const int fd = openLocked(O_RDONLY);
    if (fd < 0) return;
    loadFrom(readWhole(fs_, fd));
    if (dueForCompaction()) rewrite();  // as read from the file, not as this process guessed
    fs_.close(fd);
}

void Journal::rewrite() {
    std::string bytes;
    for (const JournalStep& s : steps_) bytes += encodeStep(s);
    try {
        replaceFileAtomically(path_, bytes);
        records_ = steps_.size();
        fileBytes_ = bytes.size();
    } catch (const EFileError&) {
        // The step is recorded already; the file is only longer than it need be.
    }
}

const JournalStep* Journal::nextUndo() const {
    for (auto it = steps_.rbegin(); it != steps_.rend(); ++it)
        if (!it->undone) return &*it;
    return nullptr;
}

const JournalStep* Journal::nextRedo() const {
    const JournalStep* redo = nullptr;
    for (auto it = steps_.rbegin(); it != steps_.rend() && it->undone; ++it) redo = &*it;
    return redo;
}

}  // namespace korvel
