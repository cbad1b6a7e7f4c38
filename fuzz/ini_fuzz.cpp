// INI text: parsing, the typed reads, and a rewrite that must read back what it wrote while
// keeping the rest of the document.
#include <string>

#include "fuzz/FuzzSupport.h"
#include "base/IniFile.h"

using namespace korvel;

namespace {

// The first "[name]" and the first "key=" after it, when both are plain words.
bool firstNames(const std::string& text, std::string& section, std::string& key) {
    auto plain = [](const std::string& s) {
        if (s.empty()) return false;
        for (char c : s)
            if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_')) return false;
        return true;
    };
    const size_t open = text.find("\n[");
    if (open == std::string::npos) return false;
    const size_t close = text.find(']', open);
    if (close == std::string::npos) return false;
    const std::string name = text.substr(open + 2, close - open - 2);
    const size_t lineEnd = text.find('\n', close);
    if (lineEnd == std::string::npos) return false;
    const size_t eq = text.find('=', lineEnd);
    if (eq == std::string::npos) return false;
    const std::string first = text.substr(lineEnd + 1, eq - lineEnd - 1);
    if (!plain(name) || !plain(first)) return false;
    section = name;
    key = first;
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) { return 0; }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    IniFile ini = IniFile::fromText(text);
    std::string section = "Korvel", key = "Value";
    firstNames(text, section, key);
    (void)ini.readString(section, key, "");
    (void)ini.readInteger(section, key, 7);
    (void)ini.readBool(section, key, false);

    ini.writeString(section, key, "written");
    ini.writeInteger("Fuzz", "Number", -12345);
    const IniFile again = IniFile::fromText(ini.toText());
    fuzz::check(again.readString(section, key, "") == "written");
    fuzz::check(again.readInteger("Fuzz", "Number", 0) == -12345);

    ini.eraseKey(section, key);
    fuzz::check(!IniFile::fromText(ini.toText()).hasKey(section, key));
    return 0;
}
