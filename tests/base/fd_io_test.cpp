// Whole reads and writes: interrupted calls are repeated, short counts continued at the right
// offset, the end of a file ends a read, and errors come back with their errno.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "base/FdIo.h"

using namespace korvel;

namespace {
// What one scripted call does: move at most n bytes (0: nothing, the end of the file or a stuck
// write), or fail with errno err.
struct Step {
    ssize_t n;
    int err = 0;
};
constexpr Step kInterrupted{-1, EINTR};
constexpr Step kNothing{0};
}  // namespace

TEST(FdIo, ContinuesShortAndInterruptedCallsAndReportsErrors) {
    struct Case {
        const char* name;
        bool write;
        off_t offset;
        std::vector<Step> steps;
        ssize_t result;  // bytes read, or 1 / 0 for a write that succeeded or failed
        int err;
        std::string file;  // the file after the call (writes) or the bytes read (reads)
    } cases[] = {
        {"read in pieces", false, 3, {kInterrupted, {4}, kInterrupted, {100}}, 10, 0, "3456789ABC"},
        {"read at the position", false, kAtPosition, {{2}, {100}}, 10, 0, "0123456789"},
        {"read to the end", false, 15, {{3}, {100}, kNothing}, 5, 0, "FGHIJ"},
        {"read error", false, 3, {{3}, {-1, EIO}}, -1, EIO, "345"},
        {"write in pieces", true, 5, {kInterrupted, {1}, {2}, kInterrupted, {100}}, 1, 0, "-----0123456789-----"},
        {"write stuck", true, 5, {{4}, kNothing}, 0, ENOSPC, "-----0123-----------"},
        {"write error", true, 0, {kInterrupted, {-1, EIO}}, 0, EIO, "--------------------"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string file = c.write ? std::string(20, '-') : "0123456789ABCDEFGHIJ";
        size_t next = 0;
        off_t position = 0;  // the descriptor's own, for calls at kAtPosition
        // Moves bytes between buf and file as the next scripted step says, checking the offset.
        auto step = [&](char* fileSide, const char* bufSide, bool intoFile, size_t size, off_t at) -> ssize_t {
            EXPECT_LT(next, c.steps.size()) << "called after it should have stopped";
            if (next >= c.steps.size()) return errno = EIO, -1;
            const Step s = c.steps[next++];
            if (s.n < 0) return errno = s.err, -1;
            const off_t from = at == kAtPosition ? position : at;
            const size_t n = std::min({size, size_t(s.n), file.size() - size_t(from)});
            if (intoFile) std::memcpy(&file[size_t(from)], bufSide, n);
            else std::memcpy(fileSide, file.data() + from, n);
            if (at == kAtPosition) position += off_t(n);
            return ssize_t(n);
        };
        std::vector<char> buf(10, '?');
        errno = 0;
        if (c.write) {
            const std::string src = "0123456789";
            const bool ok = writeAll(7, src.data(), src.size(), c.offset,
                                     [&](int fd, const void* p, size_t n, off_t at) {
                                         EXPECT_EQ(fd, 7);
                                         return step(nullptr, static_cast<const char*>(p), true, n, at);
                                     });
            EXPECT_EQ(ssize_t(ok), c.result);
            EXPECT_EQ(file, c.file);
        } else {
            const ssize_t got = readAll(7, buf.data(), buf.size(), c.offset, [&](int, void* p, size_t n, off_t at) {
                return step(static_cast<char*>(p), nullptr, false, n, at);
            });
            EXPECT_EQ(got, c.result);
            EXPECT_EQ(std::string(buf.data(), c.file.size()), c.file);
        }
        if (c.err) {
            EXPECT_EQ(errno, c.err);
        }
        EXPECT_EQ(next, c.steps.size()) << "stopped before the script's end";
    }
}

// The system calls themselves: a write at the position, then reads at an offset and past the end.
TEST(FdIo, RoundTripThroughAFile) {
    FILE* file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    const int fd = ::fileno(file);
    const std::string bytes(100000, 'x');
    EXPECT_TRUE(writeAll(fd, bytes.data(), bytes.size()));
    EXPECT_TRUE(writeAll(fd, "end", 3, 50000));
    std::string back(bytes.size() + 10, '\0');
    EXPECT_EQ(readAll(fd, back.data(), back.size(), 0), ssize_t(bytes.size()));
    EXPECT_EQ(back.substr(49999, 5), "xendx");
    EXPECT_EQ(readAll(fd, back.data(), 1), 0);  // the position is at the end after the write
    std::fclose(file);
    EXPECT_EQ(readAll(fd, back.data(), 1, 0), -1);
    EXPECT_EQ(errno, EBADF);
}
