#include "browse/TakenTimes.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <ctime>

#include "base/Errors.h"
#include "base/FdIo.h"
#include "base/Workers.h"

namespace korvel {

namespace {

// Below this many unread files, helper threads cost more than they save.
constexpr size_t kParallelReadCount = 64;
// A folder browsed for long enough is not allowed to grow the memory without end.
constexpr size_t kMaxKnownFiles = 500000;

int64_t localSeconds(uint32_t dosTime) {
    const DosDateTime d = unpackDosDateTime(dosTime);
    std::tm tm{};
    tm.tm_year = d.year - 1900;
    tm.tm_mon = d.month - 1;
    tm.tm_mday = d.day;
    tm.tm_hour = d.hour;
    tm.tm_min = d.minute;
    tm.tm_sec = d.second;
    tm.tm_isdst = -1;
    return int64_t(std::mktime(&tm));
}

}  // namespace

bool mayCarryTakenTime(const std::string& ext) {
    static const char* const exts[] = {"JPG", "JPEG", "JPE", "JFIF", "TIF", "TIFF", "DNG"};
    return std::any_of(std::begin(exts), std::end(exts), [&](const char* e) { return ext == e; });
}

std::optional<TakenTime> readFileTakenTime(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return std::nullopt;
    std::vector<uint8_t> head(kTakenTimeReadBytes);
    const ssize_t n = readAll(fd, head.data(), head.size(), 0);
    ::close(fd);
    if (n <= 0) return std::nullopt;
    return ReadTakenTime(head.data(), size_t(n));
}

uint32_t packTakenTime(const TakenTime& t) {
    if (t.year < 1980) return 0x00210000;  // 1980-01-01, as the DOS format's floor
    if (t.year > 2107) return uint32_t(127 << 9 | 12 << 5 | 31) << 16 | uint32_t(23 << 11 | 59 << 5 | 29);
    return uint32_t((t.year - 1980) << 9 | t.month << 5 | t.day) << 16 |
           uint32_t(t.hour << 11 | t.minute << 5 | t.second / 2);
}

TakenTimes& TakenTimes::shared() {
    static TakenTimes times;
    return times;
}

const TakenTimes::Known* TakenTimes::find(const std::string& path, const TSeekFile& seek) const {
    auto it = known_.find(path);
    if (it == known_.end() || it->second.size != seek.Size || it->second.time != seek.Time) return nullptr;
    return &it->second;
}

std::vector<int64_t> TakenTimes::sortKeys(const FileList& list) {
    std::vector<std::optional<TakenTime>> taken(list.size());
    std::vector<size_t> unread;
    {
        std::lock_guard lock(mutex_);
        for (size_t i = 0; i < list.size(); ++i) {
            if (!mayCarryTakenTime(list.seek(i).Ext)) continue;
            if (const Known* k = find(list.path(i), list.seek(i))) taken[i] = k->taken;
            else unread.push_back(i);
        }
    }
    // Each reader writes only its own slots of taken.
    std::atomic<size_t> next{0};
    auto take = [&] {
        for (size_t j; (j = next.fetch_add(1)) < unread.size();) taken[unread[j]] = readFileTakenTime(list.path(unread[j]));
    };
    if (unread.size() >= kParallelReadCount) {
        WorkerThreads helpers;
        try {
            helpers.start(std::min<size_t>(WorkerThreads::perCore(), 8) - 1, take);
        } catch (const Exception&) {
            // No thread to be had: this one reads them all.
        }
        take();
        helpers.join();
    } else {
        take();
    }
    {
        std::lock_guard lock(mutex_);
        if (known_.size() + unread.size() > kMaxKnownFiles) known_.clear();
        for (size_t i : unread) known_[list.path(i)] = Known{list.seek(i).Size, list.seek(i).Time, taken[i]};
        filesRead_ += unread.size();
    }
    std::vector<int64_t> keys(list.size());
    for (size_t i = 0; i < list.size(); ++i) keys[i] = taken[i] ? taken[i]->epochSeconds() : localSeconds(list.seek(i).Time);
    return keys;
}

uint32_t TakenTimes::shownTime(const std::string& path, const TSeekFile& seek) {
    std::optional<TakenTime> taken;
    {
        std::lock_guard lock(mutex_);
        if (const Known* k = find(path, seek)) return k->taken ? packTakenTime(*k->taken) : seek.Time;
    }
    // Renamed, written again or new since the sort: one file's head, read for the cell on screen.
    if (mayCarryTakenTime(seek.Ext)) {
        taken = readFileTakenTime(path);
        std::lock_guard lock(mutex_);
        if (known_.size() >= kMaxKnownFiles) known_.clear();
        known_[path] = Known{seek.Size, seek.Time, taken};
        ++filesRead_;
    }
    return taken ? packTakenTime(*taken) : seek.Time;
}

size_t TakenTimes::filesRead() const {
    std::lock_guard lock(mutex_);
    return filesRead_;
}

void TakenTimes::clear() {
    std::lock_guard lock(mutex_);
    known_.clear();
}

}  // namespace korvel
