#pragma once
// "Korvel.spd": the plug-ins the user switched off. Four lines per plug-in (path, about text,
// first extension mask, first format description), UTF-8, lines ended by CR LF.
#include <string>
#include <vector>

namespace korvel {

struct ExcludedPlugin {
    std::string path;  // only its file-name part excludes
    std::string about;
    std::string fileExt;
    std::string format;
    bool operator==(const ExcludedPlugin&) const = default;
};

// "Korvel.spd" in the config folder.
std::string exclusionFilePath(const std::string& executablePath);

// The file's lines (CR LF, LF or CR end a line); a missing or unreadable file has none.
std::vector<std::string> readExclusionLines(const std::string& path);
// The complete records of lines; a cut record at the end is ignored.
std::vector<ExcludedPlugin> exclusionRecords(const std::vector<std::string>& lines);
// True when the file-name part of a path line (lines 0, 4, 8 ...) equals that of candidate,
// ignoring ASCII case.
bool isExcludedPlugin(const std::vector<std::string>& lines, const std::string& candidate);

// The file's text for records: four CR LF-ended lines each (empty for no records).
std::string formatExclusionFile(const std::vector<ExcludedPlugin>& records);
// Replaces the file atomically; throws EFileError when it cannot be written, or exists but
// cannot be read (its records would be lost).
void writeExclusionFile(const std::string& path, const std::vector<ExcludedPlugin>& records);

}  // namespace korvel
