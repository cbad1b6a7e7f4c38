#include "fileops/FileOperation.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <atomic>
#include <optional>
#include <cerrno>
#include <ctime>
#include <iterator>
#include <vector>

#include "base/ErrorReason.h"
#include "base/FileNames.h"
#include "fileops/Trash.h"

namespace korvel {

namespace {

constexpr size_t kRangeChunk = size_t(16) << 20;  // per copy_file_range call; cancel is checked between
constexpr size_t kBufferSize = size_t(1) << 20;

std::string withoutTrailingSlash(std::string p) {
    while (p.size() > 1 && p.back() == '/') p.pop_back();
    return p;
}

// Makes paths absolute against the working folder, which is asked for once, not per file.
class Absolute {
public:
    std::string operator()(const std::string& p) {
        if (!p.empty() && p[0] == '/') return p;
        if (!asked_) {
            asked_ = true;
            char buf[4096];
            if (::getcwd(buf, sizeof buf)) cwd_ = buf;
        }
        return cwd_.empty() ? p : cwd_ + "/" + p;
    }

private:
    bool asked_ = false;
    std::string cwd_;
};

std::string join(const std::string& folder, const std::string& name) {
    return folder.empty() || folder.back() == '/' ? folder + name : folder + "/" + name;
}

// A hidden name in the target folder that no final name can have.
std::string tempNameIn(const std::string& folder, const std::string& pid) {
    static std::atomic<unsigned> counter{0};
    return join(folder, ".korvel-" + pid + "-" + std::to_string(counter++) + ".part");
}

// The texts of FileOpStep, in its order: English for korvel-tool, marked Japanese for the window.
struct StepText {
    const char* english;
    const char* text;
};
const StepText kStepTexts[] = {
    {"Cannot read", KORVEL_TR_NOOP("FileOperation", "%1 を読み込めませんでした。")},
    {"Cannot open", KORVEL_TR_NOOP("FileOperation", "%1 を開けませんでした。")},
    {"Cannot copy", KORVEL_TR_NOOP("FileOperation", "%1 をコピー出来ませんでした。")},
    {"Cannot create", KORVEL_TR_NOOP("FileOperation", "%1 を作成出来ませんでした。")},
    {"Cannot write", KORVEL_TR_NOOP("FileOperation", "%1 に書き込めませんでした。")},
    {"Cannot move", KORVEL_TR_NOOP("FileOperation", "%1 を移動出来ませんでした。")},
    {"Copied, but cannot remove the original", KORVEL_TR_NOOP("FileOperation",
                                                              "%1 はコピーしましたが、元のファイルを削除出来ませんでした。")},
    {"Cannot replace a folder with a file", KORVEL_TR_NOOP("FileOperation", "%1 はフォルダなので、ファイルで置き換えられません。")},
    {"Cannot copy a folder into itself", KORVEL_TR_NOOP("FileOperation", "%1 をそれ自身の中へコピー出来ません。")},
    {"Cannot move a folder into itself", KORVEL_TR_NOOP("FileOperation", "%1 をそれ自身の中へ移動出来ません。")},
    {"Changed while being copied", KORVEL_TR_NOOP("FileOperation", "%1 はコピー中に変更されました。")},
    {"Cannot delete", KORVEL_TR_NOOP("FileOperation", "%1 を削除出来ませんでした。")},
    {"Cannot move to the Trash", KORVEL_TR_NOOP("FileOperation", "%1 をごみ箱に移動出来ませんでした。")},
};
static_assert(std::size(kStepTexts) == size_t(FileOpStep::Trash) + 1);

bool isTempName(const std::string& name) {
    return name.size() > 13 && name.rfind(".korvel-", 0) == 0 && name.compare(name.size() - 5, 5, ".part") == 0;
}

}  // namespace

std::string FileOpError::message() const {
    const std::string text = kStepTexts[size_t(step)].english + std::string(" \"") + path + "\"";
    return err ? text + ": " + systemErrorText(err) : text;
}

TrText FileOpError::text() const { return {"FileOperation", kStepTexts[size_t(step)].text, {path}}; }

TFileOperation::TFileOperation(FileOpUser& user, FileSystem& fs)
    : homeTrash(defaultHomeTrash()), user_(user), fs_(fs) {}

bool TFileOperation::Copy() { return run(Mode::Copy); }
bool TFileOperation::Move() { return run(Mode::Move); }

TFileOperation::Step TFileOperation::fail(FileOpStep step, const std::string& path, int err) {
    ++counts_.failed;
    if (user_.reportError(FileOpError{step, path, err}) == ErrorAnswer::Cancel) {
        cancelled_ = true;
        return Step::Cancelled;
    }
    return Step::Failed;
}

ConflictAnswer TFileOperation::replaceAnswer(const std::string& src, const std::string& target) {
    if (replaceAll_) return ConflictAnswer::Replace;
    if (skipAll_) return ConflictAnswer::Skip;
    const ConflictAnswer a = user_.askReplace(src, target);
    if (a == ConflictAnswer::ReplaceAll) replaceAll_ = true;
    if (a == ConflictAnswer::SkipAll) skipAll_ = true;
    if (a == ConflictAnswer::Cancel) cancelled_ = true;
    return a == ConflictAnswer::ReplaceAll ? ConflictAnswer::Replace
           : a == ConflictAnswer::SkipAll  ? ConflictAnswer::Skip
                                           : a;
}

bool TFileOperation::tick(uint64_t bytes, const std::string& current) {
    progress_.bytesDone += bytes;
    progress_.current = current;
    if (!user_.progress(progress_)) cancelled_ = true;
    return !cancelled_;
}

uint64_t TFileOperation::measureFolder(const std::string& path, int& files) {
    std::vector<std::string> names;
    uint64_t sum = 0;
    if (fs_.listFolder(path, names) != 0) return 0;
    for (const std::string& n : names) {
        const std::string child = join(path, n);
        struct stat st;
        if (fs_.lstat(child, &st) != 0) continue;
        if (S_ISDIR(st.st_mode)) {
            sum += measureFolder(child, files);
        } else {
            ++files;
            sum += uint64_t(st.st_size);
        }
    }
    return sum;
}

std::string TFileOperation::uniqueName(const std::string& target) {
    const std::string ext = extractFileExt(target);
    const std::string stem = target.substr(0, target.size() - ext.size());
    struct stat st;
    for (int i = 1;; ++i) {
        const std::string candidate = stem + "_" + std::to_string(i) + ext;
        if (fs_.lstat(candidate, &st) != 0 && errno == ENOENT) return candidate;
    }
}

void TFileOperation::reset() {
    counts_ = {};
    progress_ = {};
    done_.clear();
    insideMadeFolder_ = 0;
    replaceAll_ = skipAll_ = cancelled_ = false;
    swept_.clear();
    pid_ = std::to_string(::getpid());
}

void TFileOperation::record(const std::string& src, const std::string& target, const struct stat* st) {
    if (insideMadeFolder_ > 0) return;
    struct stat now;
    if (!st && fs_.lstat(target, &now) == 0) st = &now;
    done_.push_back({src, target, st ? identityOf(*st) : FileIdentity{}, false, {}});
}

bool TFileOperation::MoveItem(const std::string& from, const std::string& to) {
    reset();
    struct stat st;
    if (fs_.lstat(from, &st) != 0) {
        fail(FileOpStep::Read, from, errno);
        return cancelled_;
    }
    if (S_ISDIR(st.st_mode)) {
        int files = 0;
        const uint64_t bytes = measureFolder(from, files);
        progress_.bytesTotal = bytes;
        progress_.filesTotal = files;
        Source known{from, st, 0, bytes, files};
        transferFolder(Mode::Move, from, st, to, &known);
    } else {
        progress_.bytesTotal = uint64_t(st.st_size);
        progress_.filesTotal = 1;
        transferFile(Mode::Move, from, st, to, false, false);
    }
    return cancelled_;
}

bool TFileOperation::run(Mode mode) {
    reset();
    if (FromFiles.empty() || ToFiles.empty()) return false;
    Absolute absolute;
    const std::string folder = withoutTrailingSlash(absolute(ToFiles.front()));
    // One lstat per listed item serves both the totals and the transfer; only folders are walked.
    std::vector<Source> sources(FromFiles.size());
    for (size_t i = 0; i < FromFiles.size(); ++i) {
        Source& s = sources[i];
        s.path = withoutTrailingSlash(absolute(FromFiles[i]));
        if (fs_.lstat(s.path, &s.st) != 0) {
            s.err = errno;
            continue;
        }
        if (S_ISDIR(s.st.st_mode)) {
            s.bytes = measureFolder(s.path, s.files);
        } else {
            s.bytes = uint64_t(s.st.st_size);
            s.files = 1;
        }
        progress_.bytesTotal += s.bytes;
        progress_.filesTotal += s.files;
    }
    folderFd_ = mode == Mode::Move ? fs_.openFolder(folder) : -1;
    for (const Source& s : sources) {
        if (transfer(mode, s.path, folder, &s) == Step::Cancelled) break;
        if (cancelled_) break;
    }
    if (folderFd_ >= 0) fs_.close(folderFd_);
    folderFd_ = -1;
    return cancelled_;
}

TFileOperation::Step TFileOperation::finished(const std::string& src, uint64_t bytes, int files) {
    progress_.bytesDone += bytes;
    counts_.done += files;
    progress_.filesDone += files;
    return tick(0, src) ? Step::Done : Step::Cancelled;
}

TFileOperation::Step TFileOperation::ontoItself(Mode mode, const std::string& src, uint64_t bytes, int files,
                                                std::string& target) {
    // A move has nothing to do; a copy gets a name of its own only when the user says so.
    const ConflictAnswer a = mode == Mode::Copy ? user_.askCopyOntoItself(src) : ConflictAnswer::Skip;
    if (a == ConflictAnswer::Cancel) {
        cancelled_ = true;
        return Step::Cancelled;
    }
    if (a == ConflictAnswer::KeepBoth) {
        target = uniqueName(target);
        return Step::Done;
    }
    counts_.skipped += files;
    progress_.bytesDone += bytes;
    return Step::Skipped;
}

TFileOperation::Step TFileOperation::transfer(Mode mode, const std::string& src, const std::string& folder,
                                              const Source* known) {
    struct stat st, tst;
    if (known && known->err) return fail(FileOpStep::Read, src, known->err);
    if (known) st = known->st;
    else if (fs_.lstat(src, &st) != 0) return fail(FileOpStep::Read, src, errno);
    std::string target = join(folder, extractFileName(src));
    const auto same = [&] { return tst.st_dev == st.st_dev && tst.st_ino == st.st_ino; };
    if (S_ISDIR(st.st_mode)) {
        if (folder == src || folder.rfind(src + "/", 0) == 0)
            return fail(mode == Mode::Move ? FileOpStep::MoveIntoItself : FileOpStep::CopyIntoItself, src, 0);
        if (fs_.lstat(target, &tst) == 0 && same()) {
            const Step s = ontoItself(mode, src, known ? known->bytes : 0, known ? known->files : 0, target);
            if (s != Step::Done) return s;
        }
        return transferFolder(mode, src, st, target, known);
    }
    bool crossDevice = mode == Mode::Copy;
    if (mode == Mode::Move) {
        // Most moves are one rename that cannot replace; the target is looked at only when it is taken.
        const int r = known ? fs_.renameNoReplaceAt(src, folderFd_, extractFileName(src), target)
                            : fs_.renameNoReplace(src, target);
        if (r == 0) {
            record(src, target, &st);
            return finished(src, uint64_t(st.st_size), 1);
        }
        const int err = errno;
        if (err == EXDEV) crossDevice = true;
        else if (err != EEXIST) return fail(FileOpStep::Move, src, err);
    }
    bool replace = false;
    if (fs_.lstat(target, &tst) == 0) {
        if (same()) {
            const Step s = ontoItself(mode, src, uint64_t(st.st_size), 1, target);
            if (s != Step::Done) return s;
        } else if (S_ISDIR(tst.st_mode)) {
            return fail(FileOpStep::ReplaceFolder, target, 0);
        } else {
            const ConflictAnswer a = replaceAnswer(src, target);
            if (a == ConflictAnswer::Cancel) return Step::Cancelled;
            if (a == ConflictAnswer::Skip) {
                ++counts_.skipped;
                progress_.bytesDone += uint64_t(st.st_size);
                return Step::Skipped;
            }
            if (a == ConflictAnswer::KeepBoth) target = uniqueName(target);
            else replace = true;
        }
    }
    return transferFile(mode, src, st, target, replace, crossDevice);
}

TFileOperation::Step TFileOperation::transferFile(Mode mode, const std::string& src, const struct stat& st,
                                                  std::string target, bool replace, bool crossDevice) {
    std::string temp;
    auto dropTemp = [&] {
        if (!temp.empty()) fs_.unlink(temp);
        temp.clear();
        releaseTemp();
    };
    for (;;) {
        int r;
        if (!crossDevice) {
            r = replace ? fs_.renameReplace(src, target) : fs_.renameNoReplace(src, target);
        } else {
            if (temp.empty()) {
                const std::string t = tempNameIn(extractFilePath(target), pid_);
                // A moved file is flushed before its source goes; a replaced one before the old goes.
                const Step s = copyToTemp(src, st, t, target, mode == Mode::Move || replace);
                if (s != Step::Done) return s;
                temp = t;
            }
            r = replace ? fs_.renameReplace(temp, target) : fs_.renameNoReplace(temp, target);
        }
        if (r == 0) break;
        const int err = errno;
        if (!crossDevice && err == EXDEV) {
            crossDevice = true;
            continue;
        }
        if (err != EEXIST || replace) {
            dropTemp();
            return crossDevice ? fail(FileOpStep::Create, target, err) : fail(FileOpStep::Move, src, err);
        }
        // The target appeared while we worked: ask again, never replace silently.
        const ConflictAnswer a = replaceAnswer(src, target);
        if (a == ConflictAnswer::Cancel || a == ConflictAnswer::Skip) {
            dropTemp();
            if (a == ConflictAnswer::Cancel) return Step::Cancelled;
            ++counts_.skipped;
            return Step::Skipped;
        }
        if (a == ConflictAnswer::KeepBoth) target = uniqueName(target);
        else replace = true;
    }
    releaseTemp();
    // The copy is complete and in place; its name must reach the disk before the source goes,
    // else a crash can leave neither. On any failure the source stays.
    if (mode == Mode::Move && crossDevice &&
        (fs_.syncFolder(extractFilePath(target)) != 0 || fs_.unlink(src) != 0))
        return fail(FileOpStep::RemoveSource, src, errno);
    record(src, target, crossDevice ? nullptr : &st);
    return finished(src, crossDevice ? 0 : uint64_t(st.st_size), 1);
}

TFileOperation::Step TFileOperation::copyToTemp(const std::string& src, const struct stat& st,
                                                const std::string& temp, const std::string& target, bool flush) {
    if (S_ISLNK(st.st_mode)) {
        std::string link;
        if (fs_.readlink(src, link) < 0) return fail(FileOpStep::Read, src, errno);
        if (fs_.symlink(link, temp) != 0) return fail(FileOpStep::Create, target, errno);
        return Step::Done;
    }
    if (!S_ISREG(st.st_mode)) return fail(FileOpStep::Copy, src, ENOTSUP);
    sweepStaleTemps(extractFilePath(temp));
    const int in = fs_.open(src, O_RDONLY | O_NOFOLLOW);
    if (in < 0) return fail(FileOpStep::Open, src, errno);
    // The size and times of what is read now: the listed item's lstat may be from before earlier files.
    struct stat ist;
    if (fs_.fstat(in, &ist) != 0) {
        const int err = errno;
        fs_.close(in);
        return fail(FileOpStep::Read, src, err);
    }
    const int out = fs_.open(temp, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW, 0600);
    if (out < 0) {
        const int err = errno;
        fs_.close(in);
        return fail(FileOpStep::Create, target, err);
    }
    // Held until the file has its final name, so a sweep can tell it from one a killed copy left.
    fs_.flock(out, LOCK_EX | LOCK_NB);
    // Closes both ends and drops the temporary file; with no step the user cancelled.
    auto abandon = [&](std::optional<FileOpStep> step, const std::string& path, int err) {
        fs_.close(in);
        fs_.close(out);
        fs_.unlink(temp);
        return step ? fail(*step, path, err) : Step::Cancelled;
    };
    uint64_t copied = 0;
    bool useRange = true;
    std::vector<char> buf;
    for (;;) {
        ssize_t n;
        if (useRange) {
            n = fs_.copyRange(in, out, kRangeChunk);
            if (n < 0 && copied == 0 &&
                (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP)) {
                useRange = false;
                continue;
            }
            if (n < 0) {
                // A full disk is the target's; anything else may be either side's.
                const bool full = errno == ENOSPC || errno == EDQUOT;
                return abandon(full ? FileOpStep::Write : FileOpStep::Copy, full ? target : src, errno);
            }
        } else {
            if (buf.empty()) buf.resize(kBufferSize);
            n = fs_.read(in, buf.data(), buf.size());
            if (n < 0) {
                if (errno == EINTR) continue;
                return abandon(FileOpStep::Read, src, errno);
            }
            for (ssize_t off = 0; off < n;) {
                const ssize_t w = fs_.write(out, buf.data() + off, size_t(n - off));
                if (w < 0 && errno == EINTR) continue;
                if (w <= 0) return abandon(FileOpStep::Write, target, w < 0 ? errno : ENOSPC);
                off += w;
            }
        }
        if (n == 0) break;
        copied += uint64_t(n);
        if (!tick(uint64_t(n), src)) return abandon(std::nullopt, src, 0);
    }
    struct stat now;
    if (copied != uint64_t(ist.st_size) || fs_.fstat(out, &now) != 0 || now.st_size != ist.st_size)
        return abandon(FileOpStep::SizeChanged, src, 0);
    fs_.copyAttributes(out, ist);  // a file system without modes or times still gets the data
    if (flush && fs_.fsync(out) != 0) return abandon(FileOpStep::Write, target, errno);
    fs_.close(in);
    tempLock_ = fs_.dup(out);
    if (fs_.close(out) != 0) {
        const int err = errno;
        fs_.unlink(temp);
        releaseTemp();
        return fail(FileOpStep::Write, target, err);
    }
    return Step::Done;
}

void TFileOperation::releaseTemp() {
    if (tempLock_ >= 0) fs_.close(tempLock_);
    tempLock_ = -1;
}

void TFileOperation::sweepStaleTemps(const std::string& folder) {
    if (!swept_.insert(folder).second) return;
    std::vector<std::string> names;
    if (fs_.listFolder(folder, names) != 0) return;
    // The precise clock: time() can read a second behind the file times the kernel just set.
    timespec clock{};
    ::clock_gettime(CLOCK_REALTIME, &clock);
    const time_t now = clock.tv_sec;
    for (const std::string& n : names) {
        if (!isTempName(n)) continue;
        const std::string path = join(folder, n);
        struct stat st;
        // A newer one may belong to a copy that has not taken its lock yet.
        if (fs_.lstat(path, &st) != 0 || !S_ISREG(st.st_mode) || now - st.st_ctime < staleTempSeconds) continue;
        const int fd = fs_.open(path, O_RDONLY | O_NOFOLLOW | O_NONBLOCK);
        if (fd < 0) continue;
        // A free lock means its writer is gone: the lock dies with the process, even by SIGKILL.
        if (fs_.flock(fd, LOCK_EX | LOCK_NB) == 0) fs_.unlink(path);
        fs_.close(fd);
    }
}

TFileOperation::Step TFileOperation::transferFolder(Mode mode, const std::string& src, const struct stat& st,
                                                    const std::string& target, const Source* known) {
    if (mode == Mode::Move) {
        if (fs_.renameNoReplace(src, target) == 0) {
            record(src, target, &st);
            // A listed folder was measured before; only one met inside a merge is walked now.
            int files = known ? known->files : 0;
            const uint64_t bytes = known ? known->bytes : measureFolder(target, files);
            return finished(src, bytes, files);
        }
        if (errno != EEXIST && errno != EXDEV && errno != ENOTEMPTY) return fail(FileOpStep::Move, src, errno);
    }
    bool made = true;
    if (fs_.mkdir(target, 0700) != 0) {
        const int err = errno;
        struct stat tst;
        // An existing folder of that name takes the contents; each file is asked about.
        if (err != EEXIST || fs_.lstat(target, &tst) != 0 || !S_ISDIR(tst.st_mode))
            return fail(FileOpStep::Create, target, err);
        made = false;
    } else if (mode == Mode::Move && fs_.syncFolder(extractFilePath(target)) != 0) {
        // The new folder's own name must last before any file moved into it leaves its source.
        return fail(FileOpStep::Create, target, errno);
    }
    // A folder made here is recorded as a whole, also when the run stops inside it.
    if (made) {
        record(src, target, nullptr);
        ++insideMadeFolder_;
    }
    std::vector<std::string> names;
    Step result = Step::Done;
    if (fs_.listFolder(src, names) != 0) result = fail(FileOpStep::Read, src, errno);
    for (size_t i = 0; i < names.size() && result != Step::Cancelled; ++i) {
        const Step s = transfer(mode, join(src, names[i]), target, nullptr);
        if (s != Step::Done) result = s;
    }
    if (made) --insideMadeFolder_;
    if (result == Step::Cancelled) return result;
    const int fd = fs_.open(target, O_RDONLY | O_DIRECTORY);
    if (fd >= 0) {
        fs_.copyAttributes(fd, st);
        fs_.close(fd);
    }
    // Whatever was skipped or failed keeps its folder in the source.
    if (mode == Mode::Move && result == Step::Done) fs_.rmdir(src);
    return result;
}

TFileOperation::Step TFileOperation::removeTree(const std::string& path) {
    struct stat st;
    if (fs_.lstat(path, &st) != 0) return fail(FileOpStep::Delete, path, errno);
    if (S_ISDIR(st.st_mode)) {
        std::vector<std::string> names;
        if (fs_.listFolder(path, names) != 0) return fail(FileOpStep::Read, path, errno);
        for (const std::string& n : names) {
            const Step s = removeTree(join(path, n));
            if (s == Step::Cancelled) return s;
        }
        if (fs_.rmdir(path) != 0) return fail(FileOpStep::Delete, path, errno);
    } else if (fs_.unlink(path) != 0) {
        return fail(FileOpStep::Delete, path, errno);
    }
    return Step::Done;
}

bool TFileOperation::Delete() {
    reset();
    if (FromFiles.empty()) return false;
    if (!user_.confirmTrash(FromFiles)) return true;
    progress_.filesTotal = int(FromFiles.size());
    Absolute absolute;
    for (const std::string& p : FromFiles) {
        if (trashOne(withoutTrailingSlash(absolute(p))) == Step::Cancelled || cancelled_) break;
    }
    return cancelled_;
}

TFileOperation::Step TFileOperation::trashOne(const std::string& path) {
    struct stat st;
    if (fs_.lstat(path, &st) != 0) return fail(FileOpStep::Delete, path, errno);
    const TrashPlace place = findTrash(fs_, path, homeTrash);
    if (place.folder.empty()) {
        if (!user_.confirmPermanentDelete(path)) {
            ++counts_.skipped;
            return Step::Skipped;
        }
        const Step s = removeTree(path);
        if (s == Step::Done) ++counts_.done;
        return s;
    }
    std::string recorded = path;
    if (!place.base.empty() && place.base != "/") recorded = path.substr(place.base.size() + 1);
    else if (place.base == "/") recorded = path.substr(1);
    const std::string text = trashInfoText(recorded, std::time(nullptr));
    const std::string name = extractFileName(path);
    // The info file is claimed first and exclusively: it reserves the name in files/ too.
    for (int i = 1;; ++i) {
        const std::string entry = trashEntryName(name, i);
        const std::string info = place.folder + "/info/" + entry + ".trashinfo";
        const int fd = fs_.open(info, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW, 0600);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            return fail(FileOpStep::Trash, path, errno);
        }
        const bool written = fs_.write(fd, text.data(), text.size()) == ssize_t(text.size());
        const int werr = errno;
        if (fs_.close(fd) != 0 || !written) {
            fs_.unlink(info);
            return fail(FileOpStep::Trash, path, written ? errno : werr);
        }
        const std::string dest = place.folder + "/files/" + entry;
        if (fs_.renameNoReplace(path, dest) != 0) {
            const int err = errno;
            fs_.unlink(info);
            if (err == EEXIST) continue;  // a stray file without info: take the next name
            return fail(FileOpStep::Trash, path, err);
        }
        record(path, dest, &st);
        ++counts_.done;
        ++progress_.filesDone;
        return tick(uint64_t(st.st_size), path) ? Step::Done : Step::Cancelled;
    }
}

}  // namespace korvel
