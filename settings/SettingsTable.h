#pragma once
// A section struct's keys declared once: one row per key with its section, name, type (that of
// the member it binds), default (the member's initialiser) and place in the written order.
// Reading and writing both walk the same rows, so a key cannot be read under one name and
// written under another, and the order of a new file follows the rows.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace korvel {

class IniFile;

// How a value is spelled in the file where its type allows more than one way.
enum class Spelling {
    Plain,
    NumberText,  // text holding a number as typed: read as an integer, written as it stands
    BgrColor,    // 0xRRGGBB in memory, 0x00BBGGRR in the file
};

// The member a row binds. An optional integer is empty when the key is missing or no number.
using SettingRef = std::variant<int*, bool*, std::string*, std::optional<int>*, uint32_t*>;

struct SettingKey {
    const char* section;
    std::string key;
    SettingRef value;
    Spelling spelling = Spelling::Plain;
};

// Reads the key into the bound member; a missing key or bad value leaves the member as it is.
void readSetting(const IniFile& ini, const SettingKey& row);
void writeSetting(IniFile& ini, const SettingKey& row);
// Copies the value of one binding into another of the same type.
void copySetting(const SettingKey& from, const SettingKey& to);

template <class T>
class SettingsTable {
public:
    using Condition = bool (*)(const T&);
    struct Row {
        SettingKey key;
        Condition readIf = nullptr;   // when false for what was read, the member keeps its default
        Condition writeIf = nullptr;  // when false for what is written, the key is left alone
        bool written = true;          // false: a key this section only reads

        Row& onlyReadIf(Condition c) { return readIf = c, *this; }
        Row& onlyWrittenIf(Condition c) { return writeIf = c, *this; }
        Row& readOnly() { return written = false, *this; }
        Row& spelled(Spelling s) { return key.spelling = s, *this; }
    };

    template <class V>
    Row& add(const char* section, std::string key, V& member) {
        rows_.push_back(Row{SettingKey{section, std::move(key), SettingRef(&member)}});
        return rows_.back();
    }
    const std::vector<Row>& rows() const { return rows_; }

private:
    std::vector<Row> rows_;
};

// Declares T's rows, bound to the members of one T.
template <class T>
using DeclareSettings = void (*)(SettingsTable<T>&, T&);

// Reads every row; a row whose condition fails for the values read keeps its default. The
// conditions see every value read, so they may depend on keys in any row.
template <class T>
T readSettingsTable(const IniFile& ini, DeclareSettings<T> declare) {
    T values;
    SettingsTable<T> table;
    declare(table, values);
    for (const auto& row : table.rows()) readSetting(ini, row.key);
    T defaults;
    SettingsTable<T> defaultTable;
    declare(defaultTable, defaults);
    std::vector<bool> keep;
    for (const auto& row : table.rows()) keep.push_back(!row.readIf || row.readIf(values));
    for (size_t i = 0; i < keep.size(); ++i)
        if (!keep[i]) copySetting(defaultTable.rows()[i].key, table.rows()[i].key);
    return values;
}

// Writes the written rows in their order, each whose condition holds for values.
template <class T>
void writeSettingsTable(IniFile& ini, T values, DeclareSettings<T> declare) {
    SettingsTable<T> table;
    declare(table, values);
    for (const auto& row : table.rows())
        if (row.written && (!row.writeIf || row.writeIf(values))) writeSetting(ini, row.key);
}

// Loads the file at path, lets write change it and replaces it. False when nothing was written:
// a file that exists but could not be read, or a failed write (the old file stays whole).
bool updateSettingsFile(const std::string& path, const std::function<void(IniFile&)>& write);

}  // namespace korvel
