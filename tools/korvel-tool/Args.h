#pragma once
// Argument helpers shared by the korvel-tool subcommands.
#include <functional>
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

#include "fileops/Journal.h"

namespace korvel::tool {

// A subcommand's arguments in order: options until "--", operands anywhere before it and every
// argument after it, so that a file may be named "--help" or "-o".
class ArgReader {
public:
    explicit ArgReader(const std::vector<std::string>& args) : args_(args) {}
    // Steps to the next argument; false after the last.
    bool next();
    const std::string& arg() const { return args_[i_]; }
    // "-x" or "--x" before "--"; "-" alone is an operand (a file of that name).
    bool isOption() const;
    // The current option's value: the next argument as it is. Throws korvel::Exception when none.
    const std::string& value();

private:
    const std::vector<std::string>& args_;
    size_t i_ = size_t(-1);
    bool operandsOnly_ = false;
};

// --help: usage on standard output; returns the exit status 0.
int showUsage(const char* usage);
// A wrong command line: "korvel-tool COMMAND: MESSAGE" and usage on standard error; returns 2.
int usageError(const char* command, const std::string& message, const char* usage);

// Reads the command line of a command that takes files: operands go into files, --help shows
// usage, every other option goes to option, which reads its value from the reader and returns
// false for an option it does not know. Then check tests the line as a whole; option and check
// throw korvel::Exception for a wrong line; no file at all is one too. Returns the exit status to
// end with (usage shown, or a wrong command line), nothing when the command is to run.
using OptionReader = std::function<bool(const std::string& option, ArgReader& reader)>;
std::optional<int> readCommandLine(const std::vector<std::string>& args, const char* command, const char* usage,
                                   std::vector<std::string>& files, const OptionReader& option,
                                   const std::function<void()>& check = {});
// The same for a command that takes nothing but files and --help.
std::optional<int> readFilesOnly(const std::vector<std::string>& args, const char* command, const char* usage,
                                 std::vector<std::string>& files);

// Which of words value is, by its place; throws korvel::Exception ("--x takes a, b or c") for
// any other.
size_t pickWord(const std::string& value, const char* option, std::initializer_list<const char*> words);

// A whole number from min to max; throws korvel::Exception naming the option otherwise.
int parseInt(const std::string& text, const char* option, int min, int max);

struct WxH {
    int width, height;
};
// "WxH" with both sides from 1 to 1000000.
WxH parseWxH(const std::string& text, const char* option);

// Records what a command did for undo; false (and said on standard error) when the journal
// could not take it.
bool recordedForUndo(StepKind kind, std::vector<StepEntry> entries);

// True when dir is an existing folder; otherwise reports it for command and returns false.
bool outputFolderExists(const std::string& dir, const char* command);

}  // namespace korvel::tool
