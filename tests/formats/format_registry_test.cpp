#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

#include "codecs/Gif.h"
#include "codecs/Icon.h"
#include "codecs/Jpeg.h"
#include "codecs/Metafile.h"
#include "codecs/Png.h"
#include "imaging/Bitmap.h"
#include "base/Errors.h"
#include "formats/FormatRegistry.h"
#include "formats/MediaFiles.h"
#include "formats/Picture.h"

#include "tests/support/TempTree.h"

using namespace korvel;

namespace {

// A stand-in for a plug-in graphic class.
struct FakePluginBitmap : TBitmap {
    static const GraphicClass classInfo;
    const GraphicClass& graphicClass() const override { return classInfo; }
};
const GraphicClass FakePluginBitmap::classInfo{"TSPIBitmap", &TBitmap::classInfo,
                                               [] { return std::unique_ptr<TGraphic>(new FakePluginBitmap); }};

TFileFormatsList builtins() {
    TFileFormatsList list;
    registerBuiltinFormats(list);
    return list;
}

// Runs the plug-in policy and registers what survives, as the plug-in host does.
void offer(TFileFormatsList& list, MediaExtList& media, const std::string& plugin, const std::string& ext) {
    const GraphicClass* cls = &FakePluginBitmap::classInfo;
    applyPluginRegistrationPolicy(plugin, ext, cls, media);
    if (cls) list.registerFormat(ext, "Plug-in format", *cls);
}

}  // namespace

TEST(FormatRegistry, BuiltinOrderAndLookup) {
    TFileFormatsList list = builtins();
    std::vector<std::string> exts;
    for (const FormatEntry& e : list.entries()) exts.push_back(e.extension);
    // The first bmp entry is removed when the bitmap unit re-registers dib and bmp.
    EXPECT_EQ(exts, (std::vector<std::string>{"wmf", "emf", "ico", "gif", "dib", "bmp", "jpeg", "jpg", "png"}));

    struct Row {
        const char* ext;
        const GraphicClass* cls;
    } rows[] = {{"BMP", &TBitmap::classInfo},   {"dib", &TBitmap::classInfo},     {"Jpg", &TJPEGImage::classInfo},
                {"jpeg", &TJPEGImage::classInfo}, {"gif", &TGIFImage::classInfo}, {"ico", &TIcon::classInfo},
                {"wmf", &TMetafile::classInfo}, {"EMF", &TMetafile::classInfo},   {"PNG", &TGLDPNG::classInfo},
                {"tif", nullptr},
                {"", nullptr},                  {".bmp", nullptr}};
    for (const Row& r : rows) EXPECT_EQ(list.findFormatByExtension(r.ext), r.cls) << r.ext;
}

TEST(FormatRegistry, FilterStringWithoutPlugins) {
    TFileFormatsList list = builtins();
    const std::string masks = "*.png;*.jpg;*.jpeg;*.bmp;*.dib;*.gif;*.ico;*.emf;*.wmf";
    const std::string expected = "すべてのファイル (" + masks + ")|" + masks +
                                 "|PNG Format (*.png)|*.png|JPEG イメージファイル (*.jpg)|*.jpg|JPEG イメージファイル (*.jpeg)|*.jpeg"
                                 "|ビットマップ (*.bmp)|*.bmp|ビットマップ (*.dib)|*.dib|GIF Image (*.gif)|*.gif"
                                 "|アイコン (*.ico)|*.ico|エンハンス メタファイル (*.emf)|*.emf"
                                 "|メタファイル (*.wmf)|*.wmf";
    EXPECT_EQ(list.graphicFilter(TGraphic::classInfo), expected);
    // Only TBitmap descendants: two entries.
    EXPECT_EQ(list.graphicFilter(TBitmap::classInfo),
              "すべてのファイル (*.bmp;*.dib)|*.bmp;*.dib|ビットマップ (*.bmp)|*.bmp|ビットマップ (*.dib)|*.dib");
    TFileFormatsList one;
    one.registerFormat("ico", "アイコン", TIcon::classInfo);
    EXPECT_EQ(one.graphicFilter(TGraphic::classInfo), "アイコン (*.ico)|*.ico");
    EXPECT_EQ(TFileFormatsList().graphicFilter(TGraphic::classInfo), "");
}

TEST(FormatRegistry, PluginPolicy) {
    TFileFormatsList list = builtins();
    MediaExtList media;
    for (const char* ext : {"jpg", "JPEG", "png", "bmp", "*", "", "Gif"}) offer(list, media, "/plugins/ifpng.spi", ext);
    // Plug-ins override built-ins except for JPEG and GIF; "*" is never registered.
    EXPECT_EQ(list.findFormatByExtension("png"), &FakePluginBitmap::classInfo);
    EXPECT_EQ(list.findFormatByExtension("bmp"), &FakePluginBitmap::classInfo);
    EXPECT_EQ(list.findFormatByExtension("jpg"), &TJPEGImage::classInfo);
    EXPECT_EQ(list.findFormatByExtension("jpeg"), &TJPEGImage::classInfo);
    EXPECT_EQ(list.findFormatByExtension("gif"), &TGIFImage::classInfo);
    EXPECT_EQ(list.findFormatByExtension("*"), nullptr);
    // An empty extension is registered, kept out of the filter, and serves files without extension.
    EXPECT_EQ(list.findFormatByExtension(""), &FakePluginBitmap::classInfo);
    EXPECT_EQ(list.graphicFilter(TGraphic::classInfo).find("(*.)"), std::string::npos);
    EXPECT_EQ(list.graphicFilter(TGraphic::classInfo).rfind("すべてのファイル (*.bmp;*.png;*.png;*.jpg;", 0), 0u);
    EXPECT_TRUE(media.empty());

    // Media extensions of ifmm.spi are recorded whatever the policy decided, without empty ones.
    for (const char* ext : {"JPG", "*", "mpg", ""}) offer(list, media, "/x/IFMM.SPI", ext);
    EXPECT_EQ(media.items(), (std::vector<std::string>{".JPG", ".*", ".mpg"}));
}

TEST(FormatRegistry, MediaFiles) {
    MediaExtList media;
    korvel::testing::TempTree t;
    const std::string path = t.write("clip.MPG", "x");
    EXPECT_FALSE(IsMediaFile(media, path));
    media.add(".mpg");
    EXPECT_TRUE(IsMediaFile(media, path));
    EXPECT_FALSE(IsMediaFile(media, t / "missing.mpg"));
    EXPECT_FALSE(IsMediaFile(media, t / "clip.avi"));
}

TEST(Picture, UnknownExtensionAndNewestWins) {
    TFileFormatsList list = builtins();
    TPicture picture(list);
    korvel::testing::TempTree t;
    const std::string path = t.write("image.tga", "data");
    try {
        picture.loadFromFile(path);
        FAIL() << "expected an error";
    } catch (const EInvalidGraphic& e) {
        EXPECT_STREQ(e.what(), "拡張子 .tga の画像形式は処理できません");
    }
    EXPECT_THROW(picture.loadFromFile(t.write("noext", "data")), EInvalidGraphic);
}

TEST(Picture, FailedLoadKeepsOldGraphic) {
    TFileFormatsList list = builtins();
    TPicture picture(list);
    picture.setGraphic(std::make_unique<TBitmap>(3, 2, PixelFormat::pf24bit));
    korvel::testing::TempTree t;
    EXPECT_THROW(picture.loadFromFile(t.write("broken.bmp", "BMnot really")), EInvalidGraphic);
    ASSERT_NE(picture.graphic(), nullptr);
    EXPECT_EQ(picture.width(), 3);
    EXPECT_THROW(picture.loadFromFile(t / "missing.bmp"), EFileError);
    EXPECT_EQ(picture.width(), 3);
}
