#include "base/SettingsFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "base/SafeWrite.h"
#include "base/Errors.h"
#include "base/FdIo.h"
#include "base/FileNames.h"
#include "base/UserFolders.h"

namespace korvel {

int readSettingsFromDisk(const std::string& path, std::string& bytes) {
    // Non-blocking, so a FIFO put in the settings file's place cannot hang the start.
    int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return errno;
    struct stat st;
    int err = 0;
    if (::fstat(fd, &st) != 0) err = errno;
    else if (!S_ISREG(st.st_mode)) err = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
    else if (st.st_size > off_t(kMaxSettingsFileBytes)) err = EFBIG;
    char buf[65536];
    while (err == 0) {
        const ssize_t n = readAll(fd, buf, sizeof buf);
        if (n < 0) err = errno;
        else if (bytes.size() + size_t(n) > kMaxSettingsFileBytes) err = EFBIG;  // grew while read
        else bytes.append(buf, size_t(n));
        if (n < ssize_t(sizeof buf)) break;  // the end of the file
    }
    ::close(fd);
    return err;
}

namespace {

SettingsReadFunction& readFunction() {
    static SettingsReadFunction read = readSettingsFromDisk;
    return read;
}

}  // namespace

void setSettingsReadFunction(SettingsReadFunction read) {
    readFunction() = read ? std::move(read) : SettingsReadFunction(readSettingsFromDisk);
}

SettingsFileData readSettingsFile(const std::string& path) {
    SettingsFileData data;
    const int err = readFunction()(path, data.bytes);
    data.exists = err != ENOENT;
    data.readable = err == 0;
    data.error = err;
    if (!data.readable) data.bytes.clear();
    return data;
}

void replaceSettingsFile(const std::string& path, const std::string& bytes) {
    const SettingsFileData old = readSettingsFile(path);
    if (old.exists && !old.readable)
        throw EFileError("Cannot replace \"" + path + "\": it exists but could not be read", old.error);
    // A first start may not have made the config folder yet.
    makeFolders(extractFilePath(path));
    replaceFileAtomically(path, bytes);
}

}  // namespace korvel
