#include "base/IniFile.h"

#include <climits>

#include "base/Errors.h"
#include "base/SettingsFile.h"

namespace korvel {

namespace {

std::string trim(const std::string& s) {
    size_t b = s.find_first_not_of(" \t");
    if (b == std::string::npos) return {};
    size_t e = s.find_last_not_of(" \t");
    return s.substr(b, e - b + 1);
}

char lowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }

// The value of a "key=value" line: trimmed, and one pair of enclosing quotes removed.
std::string valueOf(const std::string& raw) {
    std::string v = trim(raw.substr(raw.find('=') + 1));
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) v = v.substr(1, v.size() - 2);
    return v;
}

bool parseInt(const std::string& text, int& out) {
    std::string s = trim(text);
    if (s.empty()) return false;
    bool negative = false;
    size_t i = 0;
    if (s[0] == '-' || s[0] == '+') {
        negative = s[0] == '-';
        i = 1;
    }
    int base = 10;
    if (s.compare(i, 1, "$") == 0) {
        base = 16;
        i += 1;
    } else if (s.size() > i + 1 && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    if (i >= s.size()) return false;
    long long v = 0;
    for (; i < s.size(); ++i) {
        char c = s[i];
        int d = (c >= '0' && c <= '9') ? c - '0' : (c >= 'a' && c <= 'f') ? c - 'a' + 10 : (c >= 'A' && c <= 'F') ? c - 'A' + 10 : 99;
        if (d >= base) return false;
        v = v * base + d;
        if (v > (long long)UINT32_MAX) return false;
    }
    if (negative) v = -v;
    // Hexadecimal values may use the full 32 bits, as colours do.
    if (base == 16 && !negative && v > INT_MAX) v -= (long long)UINT32_MAX + 1;
    if (v < INT_MIN || v > INT_MAX) return false;
    out = int(v);
    return true;
}

}  // namespace

bool iniNameEquals(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (lowerAscii(a[i]) != lowerAscii(b[i])) return false;
    return true;
}

IniFile IniFile::fromText(const std::string& textIn) {
    IniFile ini;
    // Every leading byte-order mark goes (a file saved twice with one has two): the writer
    // writes none, so a mark left in the first line would make it a header on the next read.
    size_t start = 0;
    while (textIn.compare(start, 3, "\xEF\xBB\xBF") == 0) start += 3;
    const std::string text = textIn.substr(start);
    ini.sections_.push_back(Section{});
    size_t pos = 0;
    while (pos < text.size()) {
        size_t nl = text.find('\n', pos);
        std::string raw = text.substr(pos, nl == std::string::npos ? std::string::npos : nl - pos);
        pos = nl == std::string::npos ? text.size() : nl + 1;
        if (!raw.empty() && raw.back() == '\r') raw.pop_back();
        std::string t = trim(raw);
        if (t.size() >= 2 && t.front() == '[' && t.find(']') != std::string::npos) {
            ini.sections_.push_back(Section{trim(t.substr(1, t.find(']') - 1)), true, {}});
            continue;
        }
        Line line{raw, {}, false};
        size_t eq = raw.find('=');
        if (!t.empty() && t[0] != ';' && eq != std::string::npos) {
            line.key = trim(raw.substr(0, eq));
            line.isKey = !line.key.empty();
        }
        ini.sections_.back().lines.push_back(std::move(line));
    }
    return ini;
}

IniFile IniFile::load(const std::string& path) {
    const SettingsFileData data = readSettingsFile(path);
    IniFile ini = fromText(data.bytes);
    ini.readFailed_ = data.exists && !data.readable;
    return ini;
}

const IniFile::Section* IniFile::findSection(const std::string& section) const {
    for (const Section& s : sections_)
        if (s.hasHeader && iniNameEquals(s.name, section)) return &s;
    return nullptr;
}

IniFile::Section* IniFile::findSection(const std::string& section) {
    return const_cast<Section*>(static_cast<const IniFile*>(this)->findSection(section));
}

const IniFile::Line* IniFile::findKey(const std::string& section, const std::string& key) const {
    // Windows reads the first section of a name and the first key of a name within it.
    const Section* s = findSection(section);
    if (!s) return nullptr;
    for (const Line& l : s->lines)
        if (l.isKey && iniNameEquals(l.key, key)) return &l;
    return nullptr;
}

bool IniFile::hasSection(const std::string& section) const { return findSection(section) != nullptr; }
bool IniFile::hasKey(const std::string& section, const std::string& key) const { return findKey(section, key); }

std::string IniFile::readString(const std::string& section, const std::string& key, const std::string& def) const {
    const Line* l = findKey(section, key);
    return l ? valueOf(l->raw) : def;
}

int IniFile::readInteger(const std::string& section, const std::string& key, int def) const {
    const Line* l = findKey(section, key);
    int v;
    return l && parseInt(valueOf(l->raw), v) ? v : def;
}

bool IniFile::readBool(const std::string& section, const std::string& key, bool def) const {
    return readInteger(section, key, def ? 1 : 0) != 0;
}

void IniFile::writeString(const std::string& section, const std::string& key, const std::string& value) {
    // Line breaks would split the entry; store them as spaces.
    std::string v = value;
    for (char& c : v)
        if (c == '\n' || c == '\r') c = ' ';
    Section* s = findSection(section);
    if (!s) {
        sections_.push_back(Section{section, true, {}});
        s = &sections_.back();
    }
    for (Line& l : s->lines)
        if (l.isKey && iniNameEquals(l.key, key)) {
            l.raw = l.key + "=" + v;
            return;
        }
    // New keys go after the last key, before trailing blank lines and comments.
    auto at = s->lines.end();
    while (at != s->lines.begin() && !std::prev(at)->isKey) --at;
    if (at == s->lines.begin()) at = s->lines.end();
    s->lines.insert(at, Line{key + "=" + v, key, true});
}

void IniFile::writeInteger(const std::string& section, const std::string& key, int value) {
    writeString(section, key, std::to_string(value));
}

void IniFile::writeBool(const std::string& section, const std::string& key, bool value) {
    writeString(section, key, value ? "1" : "0");
}

void IniFile::eraseKey(const std::string& section, const std::string& key) {
    if (Section* s = findSection(section))
        std::erase_if(s->lines, [&](const Line& l) { return l.isKey && iniNameEquals(l.key, key); });
}

std::string IniFile::toText() const {
    std::string out;
    for (const Section& s : sections_) {
        if (s.hasHeader) out += "[" + s.name + "]\n";
        for (const Line& l : s.lines) out += l.raw + "\n";
    }
    return out;
}

void IniFile::save(const std::string& path) const {
    if (readFailed_) throw EFileError("Cannot replace \"" + path + "\": it could not be read");
    replaceSettingsFile(path, toText());
}

}  // namespace korvel
