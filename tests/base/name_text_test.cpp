// Names shown in boxes: every byte stays visible, and the shown text reads back to exactly the
// bytes it came from, whatever they are.
#include <gtest/gtest.h>

#include <random>

#include "base/FileNames.h"
#include "base/NameText.h"

using namespace korvel;

TEST(NameText, ShowsEveryByteAndReadsBack) {
    struct Case {
        const char *bytes, *text;
        bool typed = false;  // only read back: text a user may type, never shown
    } cases[] = {
        {"写真😀 1", "写真😀 1"},
        {"caf\xE9.png", "caf\\xE9.png"},
        {"\x89\xE6\x91\x9C.jpg", "\\x89摜.jpg"},  // 画像 in Shift_JIS: a stray byte, then a valid sequence
        {"\x83\x5C\x94\x5C", "\\x83\\\\x94\\"},   // Shift_JIS with "\" trail bytes
        {"\xC0\xAF", "\\xC0\\xAF"},                // overlong
        {"\xED\xA0\x80", "\\xED\\xA0\\x80"},       // surrogate
        {"\xF4\x90\x80\x80", "\\xF4\\x90\\x80\\x80"},  // above U+10FFFF
        {"a\xE5\x86", "a\\xE5\\x86"},              // cut short
        {"a\nb\x7F", "a\\x0Ab\\x7F"},              // control bytes
        {"\xEF\xBB\xBFx", "\\xEF\\xBB\\xBFx"},     // a byte-order mark a decoder might drop
        {"a\\x41", "a\\x5Cx41"},                   // a "\" that would read as an escape
        {"a\\X4g\\", "a\\X4g\\"},                  // one that would not
        {"", ""},
        {"caf\\xE", "caf\\xE", true},              // a broken escape stays text
        {"caf\xE9" "2", "caf\\xE92", true},        // a digit typed after an escape
        {"\xC3\xA9", "é", true},
    };
    for (const Case& c : cases) {
        if (!c.typed) {
            EXPECT_EQ(nameText(c.bytes), c.text) << c.text;
        }
        EXPECT_EQ(nameBytes(c.text), c.bytes) << c.text;
    }
}

// Short strings over a small alphabet that holds every kind of trouble, so the joins between
// escapes, backslashes and sequences all occur; also after a change of case, as the rename dialog
// makes one, since escapes read the same in either case.
TEST(NameText, EveryByteStringReadsBack) {
    const std::string alphabet = std::string("\\xX5Ca\x00\x1F\x7F\xC3\xA9\xE6\x91\x9C\xEF\xBB\xBF\xF0\x9F\x98\x80\xFF", 24);
    std::mt19937 random(7);
    for (int n = 0; n < 20000; ++n) {
        std::string bytes;
        for (size_t len = random() % 12; len > 0; --len) bytes += alphabet[random() % alphabet.size()];
        const std::string text = nameText(bytes);
        ASSERT_EQ(nameBytes(text), bytes) << text;
        ASSERT_EQ(nameBytes(asciiUpper(text)), asciiUpper(bytes)) << text;
        ASSERT_EQ(nameBytes(asciiLower(text)), asciiLower(bytes)) << text;
        for (size_t i = 0; i < text.size(); i += utf8SequenceLength(text, i))
            ASSERT_NE(utf8SequenceLength(text, i), 0u) << "not UTF-8: " << text;
    }
}
