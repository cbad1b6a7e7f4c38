#include "fileops/Rename.h"

#include <algorithm>
#include <cerrno>
#include <unordered_map>

#include "base/FileNames.h"

namespace korvel {

TrText renameFailedText() { return {"Rename", KORVEL_TR_NOOP("Rename", "名前を変更出来ませんでした。"), {}}; }

TrText serialRenameFailedText(const std::string& path) {
    return {"Rename", KORVEL_TR_NOOP("Rename", "%1 は名前を変更出来ません。"), {extractFileName(path)}};
}

namespace {

std::string withCase(const std::string& s, ExtCase c) {
    switch (c) {
        case ExtCase::Upper: return asciiUpper(s);
        case ExtCase::Lower: return asciiLower(s);
        case ExtCase::Keep: break;
    }
    return s;
}

}  // namespace

int countPlaceholders(std::string_view name) {
    // No byte of a multi-byte UTF-8 character is below 0x80, so every "\" byte is one.
    return int(std::count(name.begin(), name.end(), '\\'));
}

std::optional<SerialPattern> SerialPattern::parse(std::string_view name) {
    // Tokens hold no "\\", so the count is the number's alone.
    const DateTokens tokens = findDateTokens(name);
    if (tokens == DateTokens::Invalid) return std::nullopt;
    const int placeholders = countPlaceholders(name);
    if (placeholders == 0 && tokens == DateTokens::Used) return SerialPattern{std::string(name), {}, false};
    if (placeholders != 1) return std::nullopt;
    const size_t at = name.find('\\');
    return SerialPattern{std::string(name.substr(0, at)), std::string(name.substr(at + 1))};
}

bool SerialPattern::usesDates() const {
    return findDateTokens(prefix) == DateTokens::Used || findDateTokens(suffix) == DateTokens::Used;
}

std::string formatSerialNumber(int64_t number, int digits) {
    // Magnitude as unsigned, so the most negative number has one too.
    uint64_t magnitude = number < 0 ? 0 - uint64_t(number) : uint64_t(number);
    std::string text;
    do {
        text.insert(text.begin(), char('0' + magnitude % 10));
        magnitude /= 10;
    } while (magnitude != 0);
    if (digits > 0 && text.size() < size_t(digits)) text.insert(0, size_t(digits) - text.size(), '0');
    return number < 0 ? "-" + text : text;
}

std::string serialTarget(const std::string& oldPath, const SerialParams& p, size_t index, const FileDates* dates) {
    const std::string ext = withCase(extractFileExt(oldPath), p.extCase);
    // The number and the dates are written after the pattern was split, so neither is read as
    // part of the pattern.
    auto part = [&](const std::string& s) { return dates ? expandDateTokens(s, *dates) : s; };
    const std::string number = p.pattern.numbered ? formatSerialNumber(p.start + int64_t(index), p.digits) : "";
    return extractFilePath(oldPath) + part(p.pattern.prefix) + number + part(p.pattern.suffix) + ext;
}

bool isUsableFileName(std::string_view name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string_view::npos &&
           name.find('\0') == std::string_view::npos;
}

namespace {
bool onlyExtension(const std::string& name) { return !name.empty() && extractFileExt(name).size() == name.size(); }
}  // namespace

NameFault newNameFault(const std::string& from, const std::string& to) {
    // The name is checked as the path it ends up in: a "/" typed into it would move the file.
    const std::string name = extractFileName(to);
    if (!isUsableFileName(name) || extractFilePath(to) != extractFilePath(from)) return NameFault::Invalid;
    if (onlyExtension(name) && !onlyExtension(extractFileName(from))) return NameFault::OnlyExtension;
    return NameFault::None;
}

FailureReason nameFaultReason(NameFault fault) {
    switch (fault) {
        case NameFault::None: break;
        case NameFault::Invalid: return {EINVAL, {}, {}};
        case NameFault::OnlyExtension:
            return {0, {"Rename", KORVEL_TR_NOOP("Rename", "拡張子の前にファイル名がありません"), {}}, {}};
    }
    return {};
}

RenamePlanner::RenamePlanner(std::vector<std::string> files, FileSystem& fs) : files_(std::move(files)), fs_(&fs) {
    std::unordered_set<std::string> folders;
    std::vector<std::string> names;
    for (const std::string& f : files_) {
        const std::string folder = extractFilePath(f);
        if (!folders.insert(folder).second) continue;
        if (fs.listFolder(folder.empty() ? "." : folder, names) != 0) continue;
        for (const std::string& n : names) onDisk_.insert(folder + n);
    }
    // The files themselves, also where their folder could not be listed.
    for (const std::string& f : files_) onDisk_.insert(f);
}

RenamePlan RenamePlanner::plan(const std::vector<std::string>& targets) const {
    RenamePlan out;
    out.rows.resize(files_.size());
    std::unordered_map<std::string_view, int> uses;
    for (size_t i = 0; i < files_.size(); ++i) ++uses[targets[i]];
    // The pass as it will run: a name is taken when a file stands there at that moment, so
    // follow the names the earlier renames free and take.
    std::unordered_set<std::string_view> freed, taken;
    auto occupied = [&](const std::string& p) {
        return taken.count(p) || (onDisk_.count(p) && !freed.count(p));
    };
    for (size_t i = 0; i < files_.size(); ++i) {
        PlanRow& r = out.rows[i];
        r.oldPath = files_[i];
        r.newPath = targets[i];
        r.clash = uses[targets[i]] > 1;
        r.unchanged = r.newPath == r.oldPath;
        r.badName = newNameFault(r.oldPath, r.newPath) != NameFault::None;
        if (!r.unchanged && !r.badName) {
            if (occupied(r.newPath)) {
                r.takenOnDisk = true;
            } else {
                taken.erase(r.oldPath);
                freed.insert(r.oldPath);
                freed.erase(r.newPath);
                taken.insert(r.newPath);
            }
        }
        if (r.fails()) ++out.failing;
        if (r.clash) ++out.clashes;
    }
    return out;
}

RenamePlan RenamePlanner::planSerial(const SerialParams& params) const {
    const bool dated = params.pattern.usesDates();
    if (dated && !dates_) {
        dates_.emplace();
        dates_->reserve(files_.size());
        for (const std::string& f : files_) dates_->push_back(readFileDates(*fs_, f));
    }
    std::vector<std::string> targets;
    targets.reserve(files_.size());
    for (size_t i = 0; i < files_.size(); ++i) {
        if (dated && !(*dates_)[i]) targets.push_back(files_[i]);
        else targets.push_back(serialTarget(files_[i], params, i, dated ? &*(*dates_)[i] : nullptr));
    }
    RenamePlan out = plan(targets);
    if (dated)
        for (size_t i = 0; i < files_.size(); ++i)
            if (!(*dates_)[i]) {
                out.rows[i].noDate = true;
                ++out.failing;
            }
    return out;
}

int renameNoReplace(FileSystem& fs, const std::string& from, const std::string& to) {
    if (newNameFault(from, to) != NameFault::None) return EINVAL;
    if (from == to) return 0;
    return fs.renameNoReplace(from, to) == 0 ? 0 : errno;
}

FailureReason renameInPlace(FileSystem& fs, const std::string& from, const std::string& to) {
    if (const NameFault fault = newNameFault(from, to); fault != NameFault::None) return nameFaultReason(fault);
    return {renameNoReplace(fs, from, to), {}, {}};
}

RenameCounts runRenamePass(const std::vector<std::pair<std::string, std::string>>& moves,
                           const std::function<bool(const RenameStep&)>& observer, FileSystem& fs) {
    RenameCounts counts;
    for (size_t i = 0; i < moves.size(); ++i) {
        RenameStep step{i, moves[i].first, moves[i].second, 0};
        step.error = renameNoReplace(fs, step.from, step.to);
        ++(step.error ? counts.failed : counts.done);
        if (observer && !observer(step)) {
            counts.stopped = i + 1 < moves.size();
            break;
        }
    }
    return counts;
}

}  // namespace korvel
