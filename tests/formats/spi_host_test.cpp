// The format registry and the pictures it loads; the plug-in host: finding, loading and
// classifying libraries, their information texts, binding extensions to the registry, Korvel's
// start-up policy and the exclusion file.
#include <gtest/gtest.h>

#include <cstdlib>

#include "codecs/Gif.h"
#include "codecs/Icon.h"
#include "codecs/Jpeg.h"
#include "codecs/Metafile.h"
#include "codecs/Png.h"
#include "formats/FormatRegistry.h"
#include "formats/MediaFiles.h"
#include "formats/Picture.h"
#include "formats/SpiExclusion.h"
#include "formats/SpiGraphic.h"
#include "formats/SpiHost.h"
#include "formats/SpiStartup.h"
#include "base/IniFile.h"
#include "tests/formats/SpiTestSupport.h"

using namespace korvel;
using namespace spitest;

std::vector<std::string>& spitest::trace() {
    static std::vector<std::string> lines;
    return lines;
}

extern "C" __attribute__((visibility("default"))) void korvelSpiTestTrace(const char* line) {
    spitest::trace().push_back(line);
}

namespace {

std::vector<std::string> fileNames(const TSPIs& host) {
    std::vector<std::string> out;
    for (int i = 0; i < host.Count(); ++i) out.push_back(fs::path(host.item(i)->FileName).filename().string());
    return out;
}

TEST(SpiSearch, LoadsLibrariesAndSkipsWhatCannotServe) {
    TempTree dir;
    for (const char* name : {"kvtA", "archive", "xn", "nopicture", "badlong", "badnul", "overrun", "noformat"})
        fs::copy_file(plugin(name), dir.root() + name + ".spi");
    fs::copy_file(plugin("other"), dir.root() + "UPPER.SPI");    // masks match ignoring case
    fs::copy_file(plugin("kvtB"), dir.root() + ".hidden.spi");   // hidden: never loaded
    fs::create_directory(dir.root() + "folder.spi");            // a folder: never loaded
    fs::copy_file(plugin("kvtB"), dir.root() + "kvtB.dll");      // does not match the mask
    writeFile(dir.root() + "junk.spi", std::string("not a lib"));

    TFileFormatsList formats;
    TSPIs host("", &formats);
    host.Search(dir.root() + "*.spi");
    // Loaded and classified; a missing export, broken information texts and a file that is no
    // library are skipped without ending the search.
    ASSERT_EQ(fileNames(host), (std::vector<std::string>{"UPPER.SPI", "archive.spi", "kvtA.spi", "noformat.spi", "xn.spi"}));
    const SpiKind kinds[] = {SpiKind::In, SpiKind::Am, SpiKind::In, SpiKind::In, SpiKind::Xn};
    for (int i = 0; i < host.Count(); ++i) EXPECT_EQ(host.item(i)->kind(), kinds[i]) << i;
    EXPECT_EQ(host.item(2)->FileName, dir.root() + "kvtA.spi");

    // A second search of the same folder adds nothing: IndexOf finds every path.
    host.Search(dir.root() + "*.spi");
    EXPECT_EQ(host.Count(), 5);
}

TEST(SpiSearch, InformationItems) {
    struct Row {
        const char* name;
        const char* version;
        std::vector<std::string> exts, formats;
    };
    const Row rows[] = {
        {"kvtA", "00IN", {"*.kvt"}, {"KVT image A"}},
        {"star", "00IN", {"*.*", "*.jpg;*.jpeg;*.png"}, {"Everything", "Photos"}},
        {"noformat", "00IN", {}, {}},  // item 3 missing ends the list after item 2
        {"archive", "00AM", {"*.kar"}, {"Archive"}},
        {"xn", "00XN", {}, {}},
    };
    for (const Row& r : rows) {
        std::unique_ptr<TSPI> spi = TSPI::create(plugin(r.name));
        ASSERT_TRUE(spi) << r.name;
        EXPECT_EQ(spi->APIVersion, r.version) << r.name;
        EXPECT_EQ(spi->AboutPlugIn, std::string("Korvel test plug-in ") + r.name);
        EXPECT_EQ(spi->FileExtList, r.exts) << r.name;
        EXPECT_EQ(spi->FormatList, r.formats) << r.name;
    }
}

TEST(SpiSearch, BrokenLibrariesYieldNothingOrTheMissingExport) {
    // badlong, badnul and overrun (600 bytes written into the 256-byte buffer, found in the
    // guard) are refused the same way; LoadsLibrariesAndSkipsWhatCannotServe shows it.
    EXPECT_EQ(TSPI::create(appDir() + "absent.spi"), nullptr);
    EXPECT_EQ(thrown<ESPIInvalidAPI>([] { TSPI::create(plugin("nopicture")); }),
              "GetPictureは[" + plugin("nopicture") + "]では使えないSusie Plugin APIです");
}

TEST(SpiHostList, ContainerOperations) {
    TFileFormatsList formats;
    auto host = std::make_unique<TSPIs>("", &formats);
    EXPECT_EQ(TSPIs::instance(), host.get());
    EXPECT_THROW(TSPIs("", &formats), ESPIDupCreateSPIs);
    host->Add(TSPI::create(plugin("kvtA")));
    host->Add(TSPI::create(plugin("kvtB")));
    host->Insert(0, TSPI::create(plugin("other")));
    EXPECT_EQ(fileNames(*host), (std::vector<std::string>{"other.spi", "kvtA.spi", "kvtB.spi"}));
    EXPECT_EQ(host->IndexOf(appDir() + "KVTB.SPI"), 2);  // ignoring case
    EXPECT_EQ(host->IndexOf(appDir() + "kvtC.spi"), -1);
    host->Delete(1);
    EXPECT_EQ(fileNames(*host), (std::vector<std::string>{"other.spi", "kvtB.spi"}));
    host->Clear();
    EXPECT_EQ(host->Count(), 0);
    host.reset();
    EXPECT_EQ(TSPIs::instance(), nullptr);
    TSPIs again("", &formats);  // a new host once the old one is gone
    EXPECT_EQ(TSPIs::instance(), &again);
}

TEST(SpiRegistration, SplittingMasks) {
    struct Row {
        const char* entry;
        std::vector<std::string> exts;
    };
    const Row rows[] = {
        {"*.png", {"png"}},
        {"*.ka;*.kb", {"kb", "ka"}},
        {"*.ke;", {"", "ke"}},
        {"*.*", {"*"}},
        {"*.tar.gz", {"tar.gz"}},
        {"raw", {"raw"}},
    };
    for (const Row& r : rows) EXPECT_EQ(splitPluginMasks(r.entry), r.exts) << r.entry;
}

struct Registered {
    std::string ext, description;
    const GraphicClass* cls;
};

// Loads one plug-in with Korvel's policy into a fresh registry; returns the entries it added.
std::vector<Registered> registerWithPolicy(const char* name, MediaExtList& media, TFileFormatsList& formats) {
    TSPIs host("", &formats);
    installStartupPolicy(host, "", media, {});
    const size_t before = formats.entries().size();
    host.Search(plugin(name));
    std::vector<Registered> out;
    for (size_t i = before; i < formats.entries().size(); ++i) {
        const FormatEntry& e = formats.entries()[i];
        out.push_back({e.extension, e.description, e.graphicClass});
    }
    return out;
}

TEST(SpiRegistration, PolicyDecidesWhatEntersTheRegistry) {
    struct Row {
        const char* plugin;
        std::vector<std::string> exts;  // registered, in order
        std::vector<std::string> media;
    };
    const Row rows[] = {
        {"twomask", {"kb", "ka"}, {}},
        {"semi", {"", "ke"}, {}},
        {"star", {"png"}, {}},  // "*" and the JPEG masks are never bound
        {"ifmm", {"mov"}, {".mov", ".jpg", ".*"}},
        {"kvtA", {"kvt"}, {}},
    };
    for (const Row& r : rows) {
        TFileFormatsList formats;
        registerBuiltinFormats(formats);
        MediaExtList media;
        std::vector<std::string> exts;
        for (const Registered& e : registerWithPolicy(r.plugin, media, formats)) {
            exts.push_back(e.ext);
            EXPECT_EQ(e.cls, &TSPIBitmap::classInfo) << r.plugin;
        }
        EXPECT_EQ(exts, r.exts) << r.plugin;
        EXPECT_EQ(media.items(), r.media) << r.plugin;
    }
}

class SpiStartupTest : public ::testing::Test {
protected:
    void SetUp() override {
        // The program's folder is the test plug-ins' folder.
        exe_ = appDir() + "korvel";
    }
    void TearDown() override {
        fileFormats().unregisterFormatClass(TSPIBitmap::classInfo);
    }
    void setSusieFolder(const std::string& folder) {
        IniFile ini;
        ini.writeString("HKEY_CURRENT_USER\\Software\\Takechin\\Susie\\Plug-in", "Path", folder);
        ini.save(config_.root() + "registry.ini");
    }
    TempTree config_;
    korvel::testing::ScopedEnv configDir_{"KORVEL_CONFIG_DIR", config_.root()};
    std::string exe_;
};

TEST_F(SpiStartupTest, SusieFolderFirstAndOnlyImageLoadersOncePerName) {
    setSusieFolder(susieDir());
    MediaExtList media;
    auto host = startPlugins(exe_, media, {});
    const std::vector<std::string> names = fileNames(*host);
    // kvtA of the Susie folder wins; the application folder's copy is refused.
    ASSERT_FALSE(names.empty());
    EXPECT_EQ(host->item(0)->FileName, susieDir() + "kvtA.spi");
    EXPECT_EQ(std::count(names.begin(), names.end(), "kvtA.spi"), 1);
    for (int i = 0; i < host->Count(); ++i) EXPECT_EQ(host->item(i)->kind(), SpiKind::In) << names[i];
    EXPECT_EQ(std::count(names.begin(), names.end(), "archive.spi"), 0);
    EXPECT_EQ(std::count(names.begin(), names.end(), "kvtB.spi"), 1);
    // Registered in the process-wide registry, with the media extensions of ifmm.spi.
    EXPECT_EQ(fileFormats().findFormatByExtension("kvt"), &TSPIBitmap::classInfo);
    EXPECT_TRUE(media.contains(".MOV"));
}

TEST_F(SpiStartupTest, ExclusionFileRefusesByFileNameOnly) {
    setSusieFolder(susieDir());
    // Another folder and another letter case: the name alone excludes, in both folders.
    // The last record is cut short; its path line still counts.
    writeFile(config_.root() + "Korvel.spd",
              std::vector<uint8_t>{'/', 'x', '/', 'K', 'V', 'T', 'A', '.', 'S', 'P', 'I', '\r', '\n', 'a', '\r', '\n', 'b',
                                   '\r', '\n', 'c', '\r', '\n', '/', 'y', '/', 'o', 't', 'h', 'e', 'r', '.', 's', 'p', 'i',
                                   '\r', '\n'});
    MediaExtList media;
    auto host = startPlugins(exe_, media, {});
    const std::vector<std::string> names = fileNames(*host);
    EXPECT_EQ(std::count(names.begin(), names.end(), "kvtA.spi"), 0);
    EXPECT_EQ(std::count(names.begin(), names.end(), "other.spi"), 0);
    EXPECT_EQ(std::count(names.begin(), names.end(), "kvtB.spi"), 1);
}

TEST_F(SpiStartupTest, SkipKeyLoadsNothing) {
    MediaExtList media;
    int skipped = 0;
    auto host = startPlugins(exe_, media, {[] { return true; }, [&] { ++skipped; }});
    EXPECT_EQ(host->Count(), 0);
    EXPECT_GT(skipped, 0);
    EXPECT_EQ(fileFormats().findFormatByExtension("kvt"), nullptr);
}

TEST(ExclusionFile, LinesAndRecords) {
    struct Row {
        const char* name;
        std::string text;
        size_t lines, records;
    };
    const Row rows[] = {
        {"empty", "", 0, 0},
        {"one record", "/a/x.spi\r\nabout\r\n*.x\r\nX\r\n", 4, 1},
        {"no final line end", "/a/x.spi\r\nabout\r\n*.x\r\nX", 4, 1},
        {"LF only", "/a/x.spi\nabout\n*.x\nX\n/b/y.spi\nb\n*.y\nY\n", 8, 2},
        {"cut record ignored", "/a/x.spi\r\nabout\r\n*.x\r\nX\r\n/b/y.spi\r\nb\r\n", 6, 1},
        {"empty fields kept", "/a/x.spi\r\n\r\n\r\n\r\n", 4, 1},
        {"UTF-8 text", "/a/画像.spi\r\n説明\r\n*.x\r\nX\r\n", 4, 1},
    };
    TempTree dir;
    for (const Row& r : rows) {
        writeFile(dir.root() + "Korvel.spd", r.text);
        const auto lines = readExclusionLines(dir.root() + "Korvel.spd");
        EXPECT_EQ(lines.size(), r.lines) << r.name;
        EXPECT_EQ(exclusionRecords(lines).size(), r.records) << r.name;
    }
    EXPECT_TRUE(readExclusionLines(dir.root() + "absent.spd").empty());
    writeFile(dir.root() + "Korvel.spd", "/a/画像.spi\r\n説明\r\n*.x\r\nX\r\n");
    EXPECT_EQ(exclusionRecords(readExclusionLines(dir.root() + "Korvel.spd"))[0],
              (ExcludedPlugin{"/a/画像.spi", "説明", "*.x", "X"}));
}

TEST(ExclusionFile, ExcludesByFileNamePartOfPathLines) {
    const std::vector<std::string> lines{"/plugins/ifjpeg.spi", "about", "/not/a/path/line.spi", "X",
                                         "/other/IFPNG.SPI"};  // a cut last record still counts
    struct Row {
        const char* candidate;
        bool excluded;
    };
    for (const Row& r : {Row{"/usr/lib/korvel/ifjpeg.spi", true}, Row{"/x/IfJpeg.Spi", true}, Row{"/y/ifpng.spi", true},
                         Row{"/z/line.spi", false}, Row{"/z/ifjpeg.spi.bak", false}, Row{"/z/about", false}})
        EXPECT_EQ(isExcludedPlugin(lines, r.candidate), r.excluded) << r.candidate;
}

TEST(ExclusionFile, WriteRoundTripAndFailure) {
    TempTree dir;
    const std::vector<ExcludedPlugin> records{{"/a/one.spi", "One\r\nwith a break", "*.one", "One"},
                                              {"/b/two.spi", "Two", "*.two;*.tw", "Two"}};
    // The folder does not exist yet: it is made.
    const std::string path = dir.root() + "config/korvel/Korvel.spd";
    writeExclusionFile(path, records);
    EXPECT_EQ(korvel::testing::readFile(path),
              "/a/one.spi\r\nOne  with a break\r\n*.one\r\nOne\r\n/b/two.spi\r\nTwo\r\n*.two;*.tw\r\nTwo\r\n");
    auto back = exclusionRecords(readExclusionLines(path));
    ASSERT_EQ(back.size(), 2u);
    EXPECT_EQ(back[1], records[1]);
    writeExclusionFile(path, {});
    EXPECT_EQ(fs::file_size(path), 0u);
    // A folder where the file should be: the write fails with a message.
    fs::create_directory(dir.root() + "blocked.spd");
    EXPECT_THROW(writeExclusionFile(dir.root() + "blocked.spd", records), EFileError);
}

}  // namespace

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
    // Newest first, all masks, then one entry per format.
    const std::string masks = "*.png;*.jpg;*.jpeg;*.bmp;*.dib;*.gif;*.ico;*.emf;*.wmf";
    const std::string filter = list.graphicFilter(TGraphic::classInfo);
    EXPECT_EQ(filter.rfind("すべてのファイル (" + masks + ")|" + masks + "|PNG Format (*.png)|*.png|JPEG", 0), 0u)
        << filter;
    const std::string last = "|メタファイル (*.wmf)|*.wmf";
    EXPECT_EQ(filter.substr(filter.size() - last.size()), last);
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
    TempTree t;
    const std::string path = t.write("clip.MPG", "x");
    EXPECT_FALSE(IsMediaFile(media, path));
    media.add(".mpg");
    EXPECT_TRUE(IsMediaFile(media, path));
    EXPECT_FALSE(IsMediaFile(media, t / "missing.mpg"));
    EXPECT_FALSE(IsMediaFile(media, t / "clip.avi"));
}

// Unknown extensions, broken and missing files are refused, and the picture keeps its old graphic.
TEST(Picture, FailedLoadsKeepTheOldGraphic) {
    TFileFormatsList list = builtins();
    TPicture picture(list);
    picture.setGraphic(std::make_unique<TBitmap>(3, 2, PixelFormat::pf24bit));
    TempTree t;
    try {
        picture.loadFromFile(t.write("image.tga", "data"));
        FAIL() << "expected an error";
    } catch (const EInvalidGraphic& e) {
        EXPECT_STREQ(e.what(), "拡張子 .tga の画像形式は処理できません");
    }
    EXPECT_THROW(picture.loadFromFile(t.write("noext", "data")), EInvalidGraphic);
    EXPECT_THROW(picture.loadFromFile(t.write("broken.bmp", "BMnot really")), EInvalidGraphic);
    EXPECT_THROW(picture.loadFromFile(t / "missing.bmp"), EFileError);
    ASSERT_NE(picture.graphic(), nullptr);
    EXPECT_EQ(picture.width(), 3);
}
