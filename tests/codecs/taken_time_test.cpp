// The date a photo was taken, read from EXIF blocks, JPEG starts and TIFF files, damaged ones too.
#include <gtest/gtest.h>

#include <optional>

#include "codecs/PhotoMetaTaken.h"
#include "tests/support/Mutation.h"
#include "tests/support/TakenSamples.h"

using namespace korvel;
using namespace korvel::testing;

namespace {

std::optional<TakenTime> at(int y, int mo, int d, int h, int mi, int s, std::optional<int> offset = std::nullopt) {
    return TakenTime{y, mo, d, h, mi, s, offset.has_value(), offset.value_or(0)};
}

// b with its bytes at `where` replaced by value (little-endian, width bytes).
PhotoBytes patched(PhotoBytes b, size_t where, uint32_t value, int width = 4) {
    for (int i = 0; i < width; ++i) b.at(where + size_t(i)) = uint8_t(value >> (8 * i));
    return b;
}

}  // namespace

TEST(TakenTime, ReadFromBlocksAndFiles) {
    const PhotoBytes plain = exifTakenBlock("2021:03:04 05:06:07");
    const PhotoBytes jpeg = jpegWithExif(exifTakenBlock("2021:03:04 05:06:07", "+09:00"));
    // A JPEG whose APP1 says it is longer than what was read: the first 64 KiB of a bigger one.
    PhotoBytes cut = jpeg;
    cut[4] = 0xFF, cut[5] = 0xF0;
    cut.resize(cut.size() - 2);
    PhotoBytes afterScan = withJpegSegment(jpeg, 0xDA, {0, 0});  // the scan starts before the EXIF
    const PhotoBytes xmpFirst = withJpegSegment(jpeg, 0xE1, {'h', 't', 't', 'p', ':', '/', '/', 0});
    const PhotoBytes big = exifTakenBlock("1999:12:31 23:59:60", "-05:30", true);
    struct Case {
        const char* name;
        PhotoBytes bytes;
        std::optional<TakenTime> want;
    };
    const Case cases[] = {
        {"little-endian block as a TIFF file", plain, at(2021, 3, 4, 5, 6, 7)},
        {"big-endian, west of UTC, leap second", big, at(1999, 12, 31, 23, 59, 59, -330)},
        {"JPEG with offset", jpeg, at(2021, 3, 4, 5, 6, 7, 540)},
        {"JPEG cut inside its APP1", cut, at(2021, 3, 4, 5, 6, 7, 540)},
        {"XMP APP1 before the Exif one", xmpFirst, at(2021, 3, 4, 5, 6, 7, 540)},
        {"EXIF after the scan start", afterScan, std::nullopt},
        {"offset without its colon", exifTakenBlock("2021:03:04 05:06:07", "+0900"), at(2021, 3, 4, 5, 6, 7)},
        {"offset beyond 14 hours", exifTakenBlock("2021:03:04 05:06:07", "+15:00"), at(2021, 3, 4, 5, 6, 7)},
        {"blank date", exifTakenBlock("    :  :     :  :  "), std::nullopt},
        {"zero date", exifTakenBlock("0000:00:00 00:00:00"), std::nullopt},
        {"29 February of a leap year", exifTakenBlock("2024:02:29 00:00:00"), at(2024, 2, 29, 0, 0, 0)},
        {"29 February of 2100", exifTakenBlock("2100:02:29 00:00:00"), std::nullopt},
        {"hour 24", exifTakenBlock("2021:03:04 24:00:00"), std::nullopt},
        {"dashes for colons", exifTakenBlock("2021-03-04 05:06:07"), std::nullopt},
        {"short date", exifTakenBlock("2021:03:04"), std::nullopt},
        {"date typed SHORT", patched(plain, 30, 3, 2), std::nullopt},
        {"Exif IFD past the end", patched(plain, 18, 0xFFFFFFF0), std::nullopt},
        {"Exif IFD with 65535 entries", patched(plain, 26, 0xFFFF, 2), std::nullopt},
        {"date count near 2^32", patched(plain, 32, 0xFFFFFFFF), std::nullopt},
        {"date value past the end", patched(plain, 36, uint32_t(plain.size()) - 4), std::nullopt},
        {"IFD0 at the header", patched(plain, 4, 0), std::nullopt},
        {"not 42", patched(plain, 2, 43, 2), std::nullopt},
        {"PNG signature", {0x89, 'P', 'N', 'G', 13, 10, 26, 10}, std::nullopt},
        {"empty", {}, std::nullopt},
    };
    for (const Case& c : cases) EXPECT_EQ(ReadTakenTime(c.bytes.data(), c.bytes.size()), c.want) << c.name;
}

TEST(TakenTime, EpochSecondsThroughTheOffset) {
    // 10:00 in Tokyo is 01:00 UTC, an hour before 02:00 in London; no offset: this machine's clock.
    EXPECT_EQ(at(2021, 3, 4, 10, 0, 0, 540)->epochSeconds(), 1614819600);
    EXPECT_EQ(at(2021, 3, 4, 2, 0, 0, 0)->epochSeconds(), 1614823200);
    EXPECT_EQ(at(2021, 3, 4, 12, 0, 0)->epochSeconds(), int64_t(localTime(2021, 3, 4, 12)));
}

TEST(TakenTime, DamagedInputStaysInBounds) {
    // Run under the sanitizers this shows any read outside the data; here each answer is checked
    // to be a real date at least.
    for (const PhotoBytes& good : {jpegWithExif(exifTakenBlock("2021:03:04 05:06:07", "+09:00", true)),
                                   exifTakenBlock("2021:03:04 05:06:07", "-01:00")})
        forEachMutation(good, 4000, [](const Bytes& m) {
            const auto t = ReadTakenTime(m.data(), m.size());
            if (t) {
                EXPECT_TRUE(t->month >= 1 && t->month <= 12 && t->day >= 1 && t->day <= 31 && t->hour <= 23);
                EXPECT_TRUE(!t->hasOffset || (t->offsetMinutes >= -899 && t->offsetMinutes <= 899));
            }
        });
}
