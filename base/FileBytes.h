#pragma once
// The one way Korvel opens a file to decode it. A named pipe, a device or a link to one is
// refused before anything is read from it (a pipe would block, /dev/zero never ends), a file
// larger than its format can need within the pixel limit is refused before it is read, and a
// large file is mapped rather than copied, so that only the pages a decoder touches are read.
// The mapping is guarded: when another program cuts the file short meanwhile, the pages past
// its new end read as zeros instead of ending the process with SIGBUS, and cutShort() says so.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/Limits.h"

namespace korvel {

// Files of this size and above are mapped; smaller ones are read, which costs less.
constexpr size_t kMapThreshold = size_t(1) << 20;

class FileBytes {
public:
    // Opens path (following links) without blocking and takes its bytes. Throws EFileError when
    // it cannot be opened or read or is not a regular file, EImageTooLarge when it holds more
    // than maxBytes.
    static std::shared_ptr<const FileBytes> open(const std::string& path, uint64_t maxBytes = kNoByteLimit);
    // Bytes already in memory, kept as they are.
    static std::shared_ptr<const FileBytes> hold(std::vector<uint8_t> bytes);

    ~FileBytes();
    FileBytes(const FileBytes&) = delete;
    FileBytes& operator=(const FileBytes&) = delete;

    const uint8_t* data() const { return data_; }
    size_t size() const { return size_; }
    bool mapped() const { return mapped_; }
    // True once a reader touched a mapped page past the file's end: the file got shorter since
    // it was opened, so what was read from data() is not the file.
    bool cutShort() const;
    // Throws EFileError saying the file changed while it was read when cutShort().
    void requireWhole() const;

private:
    FileBytes() = default;

    std::vector<uint8_t> owned_;
    const uint8_t* data_ = nullptr;
    size_t size_ = 0;
    bool mapped_ = false;
    int guard_ = -1;  // the mapping's slot in the fault handler's table, -1 when there is none
    std::string path_;
};

// Reads a whole regular file into memory; throws EFileError naming the file and the reason.
std::vector<uint8_t> readWholeFile(const std::string& path);

// Throws EFileError when path exists but (after links) is not a regular file: what a caller
// checks before it hands a path to code that opens the file by itself (plug-ins).
void refuseSpecialFile(const std::string& path);

}  // namespace korvel
