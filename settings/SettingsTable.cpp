#include "settings/SettingsTable.h"

#include "base/IniFile.h"
#include "settings/OptionSettings.h"

#include <exception>

namespace korvel {

namespace {

// A number only when the key holds one: two reads with different defaults agree on it.
std::optional<int> readNumber(const IniFile& ini, const SettingKey& row) {
    const int a = ini.readInteger(row.section, row.key, 0), b = ini.readInteger(row.section, row.key, 1);
    return a == b ? std::optional<int>(a) : std::nullopt;
}

template <class... F>
struct Visitor : F... {
    using F::operator()...;
};
template <class... F>
Visitor(F...) -> Visitor<F...>;  // clang 14 deduces no aggregate's arguments by itself

}  // namespace

void readSetting(const IniFile& ini, const SettingKey& row) {
    std::visit(Visitor{
                   [&](int* v) { *v = ini.readInteger(row.section, row.key, *v); },
                   [&](bool* v) { *v = ini.readBool(row.section, row.key, *v); },
                   [&](std::string* v) {
                       if (row.spelling != Spelling::NumberText) *v = ini.readString(row.section, row.key, *v);
                       else if (const std::optional<int> n = readNumber(ini, row)) *v = std::to_string(*n);
                   },
                   [&](std::optional<int>* v) {
                       if (const std::optional<int> n = readNumber(ini, row)) *v = n;
                   },
                   [&](uint32_t* v) {
                       if (row.spelling == Spelling::BgrColor)
                           *v = rgbFromStoredColor(ini.readInteger(row.section, row.key, storedColorFromRgb(*v)));
                       else
                           *v = uint32_t(ini.readInteger(row.section, row.key, int(*v)));
                   },
               },
               row.value);
}

void writeSetting(IniFile& ini, const SettingKey& row) {
    std::visit(Visitor{
                   [&](int* v) { ini.writeInteger(row.section, row.key, *v); },
                   [&](bool* v) { ini.writeBool(row.section, row.key, *v); },
                   [&](std::string* v) { ini.writeString(row.section, row.key, *v); },
                   [&](std::optional<int>* v) { ini.writeInteger(row.section, row.key, v->value_or(0)); },
                   [&](uint32_t* v) {
                       ini.writeInteger(row.section, row.key,
                                        row.spelling == Spelling::BgrColor ? storedColorFromRgb(*v) : int(*v));
                   },
               },
               row.value);
}

void copySetting(const SettingKey& from, const SettingKey& to) {
    std::visit([&](auto* dst) { *dst = *std::get<std::remove_reference_t<decltype(dst)>>(from.value); }, to.value);
}

bool updateSettingsFile(const std::string& path, const std::function<void(IniFile&)>& write) {
    IniFile ini = IniFile::load(path);
    if (ini.readFailed()) return false;
    write(ini);
    try {
        ini.save(path);
    } catch (const std::exception&) {
        return false;
    }
    return true;
}

}  // namespace korvel
