#include "fileops/TurnFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <sstream>
#include <vector>

#include "base/ErrorReason.h"
#include "base/FileNames.h"
#include "codecs/JpegTurn.h"
#include "codecs/PhotoMeta.h"
#include "codecs/Png.h"
#include "fileops/FileIdentity.h"
#include "fileops/FileOperation.h"
#include "fileops/Trash.h"
#include "imaging/Bitmap.h"
#include "imaging/Bmp.h"
#include "imaging/Orientation.h"

namespace korvel {

namespace {

enum class Kind { Jpeg, Png, Bmp, Other };

Kind kindOf(const std::vector<uint8_t>& b) {
    if (b.size() >= 3 && b[0] == 0xFF && b[1] == 0xD8 && b[2] == 0xFF) return Kind::Jpeg;
    static const uint8_t kPng[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (b.size() >= 8 && std::memcmp(b.data(), kPng, 8) == 0) return Kind::Png;
    if (b.size() >= 2 && b[0] == 'B' && b[1] == 'M') return Kind::Bmp;
    return Kind::Other;
}

// Reads the whole file behind fd; errno on failure.
int readAll(FileSystem& fs, int fd, std::vector<uint8_t>& out) {
    uint8_t buffer[65536];
    for (;;) {
        const ssize_t n = fs.read(fd, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        if (n == 0) return 0;
        out.insert(out.end(), buffer, buffer + n);
    }
}

int writeAll(FileSystem& fs, int fd, const std::string& bytes) {
    for (size_t at = 0; at < bytes.size();) {
        const ssize_t n = fs.write(fd, bytes.data() + at, bytes.size() - at);
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        at += size_t(n);
    }
    return 0;
}

// A user that answers nothing: the Trash or nothing.
struct TrashOnly : FileOpUser {
    int err = 0;
    ConflictAnswer askReplace(const std::string&, const std::string&) override { return ConflictAnswer::Skip; }
    ConflictAnswer askCopyOntoItself(const std::string&) override { return ConflictAnswer::Skip; }
    ErrorAnswer reportError(const FileOpError& e) override {
        err = e.err ? e.err : EIO;
        return ErrorAnswer::Skip;
    }
    bool confirmPermanentDelete(const std::string&) override {
        err = EXDEV;
        return false;
    }
};

struct Texts {
    const char* english;
    const char* text;
};
// In TurnStatus's order; %1 is the path.
const Texts kTexts[] = {
    {"", ""},
    {"already upright; left as it is", KORVEL_TR_NOOP("Turn", "%1 は既に正しい向きです。")},
    {"its size is not a whole number of blocks; left as it is (--trim drops the edge blocks)",
     KORVEL_TR_NOOP("Turn", "%1 は幅か高さがブロックの倍数ではないので、そのままにしました。")},
    {"only JPEG, PNG and BMP files can be turned; left as it is",
     KORVEL_TR_NOOP("Turn", "%1 はJPEG、PNG、BMP以外の形式なので、回転を保存出来ません。")},
    {"cannot be read as a picture; left as it is", KORVEL_TR_NOOP("Turn", "%1 を画像として読み込めませんでした。")},
    {"the turn could not be saved; left as it is", KORVEL_TR_NOOP("Turn", "%1 に回転を保存出来ませんでした。")},
};

// The turned picture of a PNG or BMP file, written by Korvel's own writer. Throws on bad input.
std::string turnedRaster(Kind kind, const std::vector<uint8_t>& bytes, int orientation) {
    std::ostringstream out;
    if (kind == Kind::Png) {
        TGLDPNG png;
        png.loadFromMemory(bytes.data(), bytes.size());
        png.image() = OrientUpright(png.image(), orientation);
        png.automaticTime = false;
        png.saveToStream(out);
    } else {
        TBitmap bmp;
        readBmp(bytes.data(), bytes.size(), bmp);
        writeBmp(OrientUpright(bmp, orientation), out);
    }
    return out.str();
}

}  // namespace

std::string TurnOutcome::message(const std::string& path) const {
    std::string text = "\"" + path + "\": " + kTexts[size_t(status)].english;
    if (status == TurnStatus::Failed && err) text += ": " + systemErrorText(err);
    if (status == TurnStatus::Damaged && !detail.empty()) text += ": " + detail;
    return text;
}

TrText TurnOutcome::text(const std::string& path) const {
    return {"Turn", kTexts[size_t(status)].text, {path}};
}

TrText turnTrimQuestion(const std::string& path) {
    return {"Turn",
            KORVEL_TR_NOOP("Turn", "%1 は幅か高さがブロックの倍数ではありません。\n端のブロックを切り取って回転しますか?"),
            {path}};
}

TurnOutcome turnFile(const std::string& path, const TurnRequest& request, FileSystem& fs) {
    TurnOutcome outcome;
    const auto failed = [&outcome](int err) {
        outcome.status = TurnStatus::Failed;
        outcome.err = err;
        return outcome;
    };
    struct stat st;
    if (fs.lstat(path, &st) != 0) return failed(errno);
    if (!S_ISREG(st.st_mode)) {
        outcome.status = TurnStatus::Unsupported;
        return outcome;
    }
    std::vector<uint8_t> bytes;
    const int in = fs.open(path, O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (in < 0) return failed(errno);
    const int readErr = readAll(fs, in, bytes);
    fs.close(in);
    if (readErr) return failed(readErr);

    const Kind kind = kindOf(bytes);
    // 16-bit PNG samples would come back as 8 bits.
    if (kind == Kind::Other || (kind == Kind::Png && bytes.size() > 24 && bytes[24] == 16)) {
        outcome.status = TurnStatus::Unsupported;
        return outcome;
    }
    const int stored = kind == Kind::Jpeg ? ReadJpegPhotoMeta(bytes.data(), bytes.size()).orientation : 1;
    const int orientation = request.orientation == 0 ? stored : composeOrientation(stored, request.orientation);
    if (orientation == 1 && stored == 1) {
        outcome.status = TurnStatus::Upright;
        return outcome;
    }

    std::string turned;
    if (kind == Kind::Jpeg) {
        JpegTurn t = turnJpegLossless(bytes.data(), bytes.size(), orientation, request.trim);
        if (t.result != JpegTurnResult::Done) {
            outcome.status = t.result == JpegTurnResult::NotPerfect ? TurnStatus::NotPerfect : TurnStatus::Damaged;
            outcome.detail = t.message;
            return outcome;
        }
        turned.assign(t.bytes.begin(), t.bytes.end());
    } else {
        try {
            turned = turnedRaster(kind, bytes, orientation);
        } catch (const std::bad_alloc&) {
            return failed(ENOMEM);
        } catch (const std::exception& e) {
            outcome.status = TurnStatus::Damaged;
            outcome.detail = e.what();
            return outcome;
        }
    }

    // The temporary file beside the original, so that the rename stays on its file system.
    const std::string folder = extractFilePath(path);
    std::string temp;
    int fd = -1;
    for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
        temp = folder + ".korvel-turn-" + std::to_string(::getpid()) + "-" + std::to_string(attempt) + ".tmp";
        fd = fs.open(temp, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0 && errno != EEXIST) return failed(errno);
    }
    if (fd < 0) return failed(EEXIST);
    struct stat attributes = st;
    if (!request.keepTime) {
        timespec now{};
        ::clock_gettime(CLOCK_REALTIME, &now);
        attributes.st_mtim = now;
        attributes.st_atim = now;
    }
    int err = writeAll(fs, fd, turned);
    if (!err && fs.copyAttributes(fd, attributes) != 0) err = errno;
    if (!err && fs.fsync(fd) != 0) err = errno;
    if (fs.close(fd) != 0 && !err) err = errno;
    if (err) {
        fs.unlink(temp);
        return failed(err);
    }

    // The original keeps its inode and bytes in the Trash, for undo.
    TrashOnly user;
    TFileOperation op(user, fs);
    if (!request.homeTrash.empty()) op.homeTrash = request.homeTrash;
    op.FromFiles = {path};
    op.Delete();
    if (op.done().empty()) {
        fs.unlink(temp);
        return failed(user.err ? user.err : EIO);
    }
    const std::string inTrash = op.done().front().target;
    if (fs.renameNoReplace(temp, path) != 0) {
        err = errno;
        std::string trashFolder = inTrash.substr(0, inTrash.rfind("/files/"));
        restoreFromTrash(fs, trashFolder, extractFileName(inTrash));
        fs.unlink(temp);
        return failed(err);
    }
    fs.syncFolder(folder);
    outcome.status = TurnStatus::Turned;
    outcome.entry = {path, inTrash, fileIdentity(fs, path).value_or(FileIdentity{}), false, {}};
    return outcome;
}

}  // namespace korvel
