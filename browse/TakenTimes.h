#pragma once
// The dates listed photos were taken, the key of the "taken" sort. A file's date is read only
// when that sort asks for it (the first 64 KiB of a JPEG or TIFF-based file), on helper threads
// when many are new, and kept by path as long as its size and time stay the same. A file
// without one counts with its last-write time.
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "browse/FileList.h"
#include "codecs/PhotoMetaTaken.h"

namespace korvel {

// Whether files with this Ext (upper case) may carry an EXIF block at their start.
bool mayCarryTakenTime(const std::string& ext);

// The taken time of the file at path, from its first kTakenTimeReadBytes; nothing when it has
// none or cannot be read.
std::optional<TakenTime> readFileTakenTime(const std::string& path);

// A taken time as a packed DOS date-time of the camera's clock, as the cells show dates.
uint32_t packTakenTime(const TakenTime& t);

class TakenTimes {
public:
    // The one the listing and the grid share.
    static TakenTimes& shared();

    // Seconds since the epoch for every entry of list, in list order: the taken time, else the
    // entry's last-write time. Files not known yet are read now.
    std::vector<int64_t> sortKeys(const FileList& list);
    // What a cell shows in the taken mode: the taken time, else seek.Time. A file not known
    // (renamed, written again or new since the last sort) is read now.
    uint32_t shownTime(const std::string& path, const TSeekFile& seek);
    // How many files were read from disk so far.
    size_t filesRead() const;
    void clear();

private:
    struct Known {
        int32_t size = 0;
        uint32_t time = 0;  // the TSeekFile's, so that a changed file is read again
        std::optional<TakenTime> taken;
    };
    const Known* find(const std::string& path, const TSeekFile& seek) const;

    mutable std::mutex mutex_;
    std::unordered_map<std::string, Known> known_;
    size_t filesRead_ = 0;
};

}  // namespace korvel
