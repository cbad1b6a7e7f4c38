#pragma once
// Renaming files in place, one at a time or with serial numbers. Every rename goes through the
// no-replace rename, so a name that is taken fails for that file and nothing is ever replaced.
// A serial plan can be looked at before anything moves: it predicts, without writing to disk,
// which files will get which names and which will fail.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "base/ErrorReason.h"
#include "base/Translatable.h"
#include "fileops/FileSystem.h"
#include "fileops/RenameTokens.h"

namespace korvel {

// The message of a single rename that failed.
TrText renameFailedText();
// The message of a file of a serial rename that failed, naming the file (without its folder).
TrText serialRenameFailedText(const std::string& path);

// Number of "\" bytes in name. A byte that is not valid UTF-8 is a byte of its own and never
// hides the "\" after it.
int countPlaceholders(std::string_view name);

// A serial name split at its one "\": the number goes between prefix and suffix. Either part may
// hold date tokens (RenameTokens.h); a name with a token needs no "\", and then has no number.
struct SerialPattern {
    std::string prefix, suffix;
    bool numbered = true;
    // The pattern of name, or nothing unless name holds exactly one "\" (or none and a date
    // token) and every token is well formed.
    static std::optional<SerialPattern> parse(std::string_view name);
    bool usesDates() const;
};

enum class ExtCase { Keep, Upper, Lower };

struct SerialParams {
    SerialPattern pattern;
    int64_t start = 1;
    int digits = 2;  // at least this many digits, padded with leading zeros; never cut
    ExtCase extCase = ExtCase::Keep;
};

// number in decimal with at least digits digits (a minus sign comes before the zeros). The
// number is written by itself and then placed into the name, so nothing the user typed is
// ever read as a format.
std::string formatSerialNumber(int64_t number, int digits);

// The new path of the index-th file: its own folder, the pattern with the number and with the
// file's dates in its tokens, its own extension in the chosen case. Without dates the tokens stay
// as they are.
std::string serialTarget(const std::string& oldPath, const SerialParams& params, size_t index,
                         const FileDates* dates = nullptr);

// Whether name can be a file name here: not empty, not "." or "..", no "/" and no NUL.
bool isUsableFileName(std::string_view name);

// Why a rename in place is refused before it is tried.
enum class NameFault {
    None,
    Invalid,        // not a usable name, or one that would put the file into another folder
    OnlyExtension,  // nothing but an extension (".jpg", a hidden file here) where the old name had more
};
NameFault newNameFault(const std::string& from, const std::string& to);
// What a window says after "名前を変更出来ませんでした。" for a refused name.
FailureReason nameFaultReason(NameFault fault);

// One file of a plan.
struct PlanRow {
    std::string oldPath, newPath;
    bool unchanged = false;    // already has its new name; nothing to do
    bool takenOnDisk = false;  // the pass will find the name taken (maybe by a file it reaches later)
    bool clash = false;        // another file of the batch would get the same name
    bool badName = false;      // not a usable file name
    bool noDate = false;       // the name wants the file's dates, which could not be read: it keeps its name
    bool fails() const { return takenOnDisk || badName || noDate; }
};

struct RenamePlan {
    std::vector<PlanRow> rows;
    int failing = 0;  // rows that will fail
    int clashes = 0;  // rows whose new name another row also gets
};

// Predicts rename passes over a fixed list of files. The names in the files' folders are read
// once, when it is made; each plan after that costs no disk access, but for the files' dates,
// read once by the first plan whose pattern has a date token.
class RenamePlanner {
public:
    RenamePlanner(std::vector<std::string> files, FileSystem& fs = systemFileSystem());
    // targets[i] is the new path of file i.
    RenamePlan plan(const std::vector<std::string>& targets) const;
    RenamePlan planSerial(const SerialParams& params) const;
    const std::vector<std::string>& files() const { return files_; }

private:
    std::vector<std::string> files_;
    FileSystem* fs_;
    mutable std::optional<std::vector<std::optional<FileDates>>> dates_;
    std::unordered_set<std::string> onDisk_;  // full paths of everything in the files' folders
};

// One rename of a pass, as the observer sees it after it was tried.
struct RenameStep {
    size_t index = 0;
    std::string from, to;
    int error = 0;  // 0 done (or nothing to do), else errno; EEXIST when the name was taken
};

struct RenameCounts {
    int done = 0, failed = 0;
    bool stopped = false;
};

// Renames from to to without replacing anything; 0 or errno. A refused name (newNameFault)
// gives EINVAL; renaming a file to its own name does nothing and succeeds.
int renameNoReplace(FileSystem& fs, const std::string& from, const std::string& to);
// The same, for a single rename: why it failed, empty when it was done.
FailureReason renameInPlace(FileSystem& fs, const std::string& from, const std::string& to);

// Renames moves[i].first to moves[i].second in order, each directly and never replacing. After
// each the observer is called; returning false stops the pass there.
RenameCounts runRenamePass(const std::vector<std::pair<std::string, std::string>>& moves,
                           const std::function<bool(const RenameStep&)>& observer, FileSystem& fs = systemFileSystem());

}  // namespace korvel
