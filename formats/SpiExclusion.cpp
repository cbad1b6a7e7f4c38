#include "formats/SpiExclusion.h"

#include "base/FileNames.h"
#include "base/FileBytes.h"
#include "base/UserFolders.h"
#include "base/SettingsFile.h"

namespace korvel {

std::string exclusionFilePath(const std::string& executablePath) {
    return configFolder(executablePath) + "Korvel.spd";
}

std::vector<std::string> readExclusionLines(const std::string& path) {
    // No file (or one that cannot be read) excludes nothing; the latter is not replaced either.
    const std::string data = readSettingsFile(path).bytes;
    std::vector<std::string> lines;
    std::string line;
    for (size_t i = 0; i < data.size(); ++i) {
        const char c = char(data[i]);
        if (c == '\r' || c == '\n') {
            lines.push_back(std::move(line));
            line.clear();
            if (c == '\r' && i + 1 < data.size() && data[i + 1] == '\n') ++i;
        } else {
            line += c;
        }
    }
    if (!line.empty()) lines.push_back(std::move(line));
    return lines;
}

std::vector<ExcludedPlugin> exclusionRecords(const std::vector<std::string>& lines) {
    std::vector<ExcludedPlugin> out;
    for (size_t i = 0; i + 3 < lines.size(); i += 4)
        out.push_back(ExcludedPlugin{lines[i], lines[i + 1], lines[i + 2], lines[i + 3]});
    return out;
}

bool isExcludedPlugin(const std::vector<std::string>& lines, const std::string& candidate) {
    const std::string name = asciiLower(extractFileName(candidate));
    for (size_t i = 0; i < lines.size(); i += 4)
        if (asciiLower(extractFileName(lines[i])) == name) return true;
    return false;
}

std::string formatExclusionFile(const std::vector<ExcludedPlugin>& records) {
    std::string out;
    for (const ExcludedPlugin& r : records)
        for (const std::string* s : {&r.path, &r.about, &r.fileExt, &r.format}) {
            // A line break inside a plug-in's text would shift every later record.
            std::string field = *s;
            for (char& c : field)
                if (c == '\r' || c == '\n') c = ' ';
            out += field + "\r\n";
        }
    return out;
}

void writeExclusionFile(const std::string& path, const std::vector<ExcludedPlugin>& records) {
    replaceSettingsFile(path, formatExclusionFile(records));
}

}  // namespace korvel
