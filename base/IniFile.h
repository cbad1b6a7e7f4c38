#pragma once
// INI files with Windows syntax: "[Section]" headers, "key=value" lines, ";" comments. Sections
// and keys compare ignoring ASCII case; the first of duplicate keys wins, as on Windows. Reading
// never fails: a missing file is empty, a bad value gives the default. Rewriting keeps every
// line the program does not change, comments included. A file that exists but cannot be read
// loads as an empty document that refuses to be saved, so it is never replaced by defaults.
#include <string>
#include <vector>

namespace korvel {

class IniFile {
public:
    IniFile() = default;
    // Parses text (UTF-8; a byte-order mark is skipped; CR LF or LF line ends).
    static IniFile fromText(const std::string& text);
    // Loads path; a missing or unreadable file gives an empty document.
    static IniFile load(const std::string& path);
    // True when load found the file but could not read it.
    bool readFailed() const { return readFailed_; }

    std::string readString(const std::string& section, const std::string& key, const std::string& def) const;
    // Decimal (or "0x"/"$" hexadecimal) 32-bit integers; anything else gives def.
    int readInteger(const std::string& section, const std::string& key, int def) const;
    // Any integer: non-zero is true; anything else gives def.
    bool readBool(const std::string& section, const std::string& key, bool def) const;
    bool hasKey(const std::string& section, const std::string& key) const;
    bool hasSection(const std::string& section) const;

    void writeString(const std::string& section, const std::string& key, const std::string& value);
    void writeInteger(const std::string& section, const std::string& key, int value);
    void writeBool(const std::string& section, const std::string& key, bool value);
    void eraseKey(const std::string& section, const std::string& key);

    std::string toText() const;
    // Replaces path atomically: a temporary file in the same folder, flushed, then renamed over
    // path (a symbolic link's target, keeping the link). The folder is created when missing.
    // Throws EFileError, leaving path untouched, also when this document came from a file that
    // could not be read or path exists and cannot be read.
    void save(const std::string& path) const;

private:
    struct Line {
        std::string raw;  // the line as read (comments, blank lines, junk) or as last written
        std::string key;  // empty for lines that are not "key=value"
        bool isKey = false;
    };
    struct Section {
        std::string name;  // empty with no header for the lines before the first section
        bool hasHeader = false;
        std::vector<Line> lines;
    };
    const Line* findKey(const std::string& section, const std::string& key) const;
    Section* findSection(const std::string& section);
    const Section* findSection(const std::string& section) const;

    std::vector<Section> sections_;
    bool readFailed_ = false;
};

// ASCII case-insensitive equality of section and key names.
bool iniNameEquals(const std::string& a, const std::string& b);

}  // namespace korvel
