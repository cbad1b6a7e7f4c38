#include "tools/korvel-tool/Args.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>

#include "base/Errors.h"
#include "fileops/UndoRedo.h"

namespace korvel::tool {

bool ArgReader::next() {
    if (++i_ >= args_.size()) return false;
    if (!operandsOnly_ && args_[i_] == "--") {
        operandsOnly_ = true;
        return next();
    }
    return true;
}

bool ArgReader::isOption() const { return !operandsOnly_ && arg().size() > 1 && arg()[0] == '-'; }

const std::string& ArgReader::value() {
    if (i_ + 1 >= args_.size()) throw Exception(arg() + " needs a value");
    return args_[++i_];
}

int showUsage(const char* usage) {
    std::fputs(usage, stdout);
    return 0;
}

int usageError(const char* command, const std::string& message, const char* usage) {
    std::fprintf(stderr, "korvel-tool %s: %s\n%s", command, message.c_str(), usage);
    return 2;
}

std::optional<int> readCommandLine(const std::vector<std::string>& args, const char* command, const char* usage,
                                   std::vector<std::string>& files, const OptionReader& option,
                                   const std::function<void()>& check) {
    try {
        for (ArgReader r(args); r.next();) {
            const std::string& a = r.arg();
            if (!r.isOption()) files.push_back(a);
            else if (a == "--help") return showUsage(usage);
            else if (!option(a, r)) throw Exception("unknown option " + a);
        }
        if (check) check();
        if (files.empty()) throw Exception("no files given");
    } catch (const Exception& e) {
        return usageError(command, e.what(), usage);
    }
    return std::nullopt;
}

std::optional<int> readFilesOnly(const std::vector<std::string>& args, const char* command, const char* usage,
                                 std::vector<std::string>& files) {
    return readCommandLine(args, command, usage, files, [](const std::string&, ArgReader&) { return false; });
}

size_t pickWord(const std::string& value, const char* option, std::initializer_list<const char*> words) {
    std::string list;
    size_t i = 0;
    for (const char* w : words) {
        if (value == w) return i;
        list += (i == 0 ? "" : i + 1 == words.size() ? " or " : ", ") + std::string(w);
        ++i;
    }
    throw Exception(std::string(option) + " takes " + list);
}

int parseInt(const std::string& text, const char* option, int min, int max) {
    char* end = nullptr;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || v < min || v > max)
        throw Exception(std::string(option) + " needs a whole number from " + std::to_string(min) + " to " +
                        std::to_string(max) + ", not \"" + text + "\"");
    return int(v);
}

WxH parseWxH(const std::string& text, const char* option) {
    const size_t x = text.find('x');
    if (x == std::string::npos) throw Exception(std::string(option) + " takes WxH, not \"" + text + "\"");
    const std::string name(option);
    return WxH{parseInt(text.substr(0, x), (name + " width").c_str(), 1, 1000000),
               parseInt(text.substr(x + 1), (name + " height").c_str(), 1, 1000000)};
}

bool outputFolderExists(const std::string& dir, const char* command) {
    struct stat st;
    const bool exists = ::stat(dir.c_str(), &st) == 0;
    if (exists && S_ISDIR(st.st_mode)) return true;
    std::fprintf(stderr, exists ? "korvel-tool %s: the output folder \"%s\" is a file, not a folder\n"
                                : "korvel-tool %s: the output folder \"%s\" does not exist\n",
                 command, dir.c_str());
    return false;
}

bool recordedForUndo(StepKind kind, std::vector<StepEntry> entries) {
    const int err = recordStep(kind, std::move(entries));
    if (err) std::fprintf(stderr, "korvel-tool: done, but not recorded for undo: %s\n", systemErrorText(err).c_str());
    return err == 0;
}

}  // namespace korvel::tool
