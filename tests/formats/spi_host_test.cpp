// The plug-in host: finding, loading and classifying libraries, their information texts,
// binding extensions to the registry, and Korvel's start-up policy.
#include <gtest/gtest.h>

#include <cstdlib>

#include "codecs/Jpeg.h"
#include "formats/FormatRegistry.h"
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
    EXPECT_EQ(TSPI::create(plugin("badlong")), nullptr);
    EXPECT_EQ(TSPI::create(plugin("badnul")), nullptr);
    // 600 bytes written into the 256-byte buffer: found in the guard, not a corrupted heap.
    EXPECT_EQ(TSPI::create(plugin("overrun")), nullptr);
    EXPECT_EQ(TSPI::create(appDir() + "absent.spi"), nullptr);
    try {
        TSPI::create(plugin("nopicture"));
        FAIL() << "a loader without GetPicture was accepted";
    } catch (const ESPIInvalidAPI& e) {
        EXPECT_EQ(e.message(), "GetPictureは[" + plugin("nopicture") + "]では使えないSusie Plugin APIです");
    }
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

TEST(SpiRegistration, PluginExtensionsOverrideBuiltinsExceptJpegAndGif) {
    TFileFormatsList formats;
    registerBuiltinFormats(formats);
    MediaExtList media;
    registerWithPolicy("star", media, formats);
    EXPECT_EQ(formats.findFormatByExtension("png"), &TSPIBitmap::classInfo);
    EXPECT_EQ(formats.findFormatByExtension("jpg"), &TJPEGImage::classInfo);
    EXPECT_EQ(formats.findFormatByExtension("jpeg"), &TJPEGImage::classInfo);
    EXPECT_EQ(formats.findFormatByExtension("*"), nullptr);
}

TEST(SpiRegistration, EmptyExtensionIsBoundButNotOffered) {
    TFileFormatsList formats;
    registerBuiltinFormats(formats);
    MediaExtList media;
    registerWithPolicy("semi", media, formats);
    registerWithPolicy("kvtA", media, formats);
    // Files without an extension now go to the plug-ins; the filter lists the newest first.
    EXPECT_EQ(formats.findFormatByExtension(""), &TSPIBitmap::classInfo);
    const std::string filter = formats.graphicFilter(TGraphic::classInfo);
    EXPECT_EQ(filter.rfind("すべてのファイル (*.kvt;*.ke;*.png;", 0), 0u) << filter;
    EXPECT_EQ(filter.find("(*.)"), std::string::npos);
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

}  // namespace
