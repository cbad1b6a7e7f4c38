// Why a file could not be shown: each kind of failure names the decoder and its reason, and the
// plug-in facts (switched off, library missing, codec missing) turn into the reason the user reads.
#include <gtest/gtest.h>

#include <cerrno>
#include <set>

#include "base/Errors.h"
#include "formats/Picture.h"
#include "formats/PictureFailure.h"
#include "tests/support/TempTree.h"

using namespace korvel;
using namespace korvel::testing;

namespace {

struct FakeFacts : PluginFacts {
    std::set<std::string> loadedPlugins, disabledPlugins, libraries;
    std::set<int> heifCodecs{1, 4};
    bool loaded(const std::string& p) const override { return loadedPlugins.count(p) > 0; }
    bool disabled(const std::string& p) const override { return disabledPlugins.count(p) > 0; }
    bool libraryUsable(const std::string& so, const std::string&) const override { return libraries.count(so) > 0; }
    bool heifDecoder(int c) const override { return heifCodecs.count(c) > 0; }
};

std::vector<uint8_t> ftyp(const char* major, const char* compatible) {
    std::vector<uint8_t> v{0, 0, 0, 24, 'f', 't', 'y', 'p'};
    v.insert(v.end(), major, major + 4);
    v.insert(v.end(), {0, 0, 0, 0});
    v.insert(v.end(), "mif1", "mif1" + 4);
    v.insert(v.end(), compatible, compatible + 4);
    return v;
}

TEST(DecodeFailure, ErrorsAndPluginFactsGiveTheReason) {
    FakeFacts all;
    all.loadedPlugins = {"korvel-heif.spi", "korvel-webp.spi"};
    all.libraries = {"libheif.so.1", "libwebp.so.7"};
    FakeFacts off = all, noLib = all, noPlugin = all, noAv1 = all, noHevc = all;
    off.disabledPlugins = {"korvel-heif.spi"};
    noLib.libraries = {"libwebp.so.7"};
    noPlugin.loadedPlugins = {"korvel-webp.spi"};
    noAv1.heifCodecs = {1};
    noHevc.heifCodecs = {4};
    const auto avif = ftyp("avif", "miaf"), heic = ftyp("mif1", "heic");
    const struct {
        const char* name;
        const FakeFacts& facts;
        const std::vector<uint8_t>& header;
        std::string text;  // "" = nothing to add to the plug-in's own failure
    } rows[] = {
        {"all in place", all, avif, ""},
        {"switched off", off, avif, "korvel-heif.spi: プラグインは無効にされています"},
        {"library missing", noLib, heic,
         "korvel-heif.spi: ライブラリ libheif.so.1 がありません (パッケージ libheif1)"},
        {"plug-in missing", noPlugin, heic, "korvel-heif.spi: プラグインがありません"},
        {"no AV1", noAv1, avif, "korvel-heif.spi: 対応していない種類です (AV1 のデコーダーがありません)"},
        {"AV1 there, file is HEVC", noAv1, heic, ""},
        {"no HEVC", noHevc, heic, "korvel-heif.spi: 対応していない種類です (HEVC のデコーダーがありません)"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        ASSERT_EQ(sniffContent(r.header.data(), r.header.size()), ContentFormat::Heif);
        const auto why = diagnosePlugin(ContentFormat::Heif, r.header.data(), r.header.size(), r.facts);
        EXPECT_EQ(why ? why->text() : "", r.text);
    }
    // Built-in content needs no plug-in.
    EXPECT_FALSE(diagnosePlugin(ContentFormat::Png, nullptr, 0, noLib));

    // The error caught decides the kind, which the text tells.
    EXPECT_EQ(classifyFailure(EInvalidGraphic("JPEG error: premature end at row 12"), "JPEG").text(),
              "JPEG: ファイルが壊れています (JPEG error: premature end at row 12)");
    EXPECT_EQ(classifyFailure(EUnsupportedGraphic("CMYK"), "JPEG").text(), "JPEG: 対応していない種類です (CMYK)");
    EXPECT_EQ(classifyFailure(EImageTooLarge("more than 268435456 pixels"), "JPEG").text(),
              "JPEG: 上限を超えています (more than 268435456 pixels)");
    const std::string unreadable = classifyFailure(EFileError("Cannot open", "a.jpg", EACCES), "JPEG").text();
    EXPECT_EQ(unreadable.rfind("JPEG: 読み込めません (", 0), 0u) << unreadable;
}

TEST(DecodeFailure, PackagesOfLibraries) {
    const std::pair<const char*, const char*> rows[] = {{"libheif.so.1", "libheif1"}, {"libtiff.so.6", "libtiff6"},
        {"libjxl.so.0.7", "libjxl0.7"}, {"libwebp.so.7", "libwebp7"}, {"libx265.so.199", "libx265-199"}};
    for (const auto& [so, package] : rows) EXPECT_EQ(packageForLibrary(so), package);
}

// Content only a plug-in reads, under a name no plug-in took: the picture says what is missing.
TEST(DecodeFailure, PictureReportsTheMissingLibrary) {
    auto facts = std::make_shared<FakeFacts>();
    const auto previous = setPluginFacts(facts);
    TFileFormatsList formats;
    registerBuiltinFormats(formats);
    TempTree dir;
    auto bytes = ftyp("heic", "heic");
    bytes.resize(200, 0);
    TPicture p(formats);
    EXPECT_THROW(p.loadFromFile(dir.write("phone.png", std::string(bytes.begin(), bytes.end()))), EInvalidGraphic);
    setPluginFacts(previous);
    ASSERT_TRUE(p.failure());
    EXPECT_EQ(p.failure()->kind, DecodeFailureKind::LibraryMissing);
    EXPECT_EQ(p.failure()->package, "libheif1");
}

}  // namespace
