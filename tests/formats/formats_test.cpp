// The formats layer: the registry and TPicture; the plug-in host (finding, binding and starting
// plug-ins, the exclusion file, decoding through them); photos shown as the camera meant them;
// limits that hold for their own load; special files through the thumbnail pipeline, guarded.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "settings/RegistrySettings.h"
#include "base/FileBytes.h"
#include "base/FileNames.h"
#include "base/IniFile.h"
#include "browse/Thumbnails.h"
#include "codecs/Gif.h"
#include "codecs/Icon.h"
#include "codecs/Metafile.h"
#include "codecs/PhotoMeta.h"
#include "fileops/ExtendedCopy.h"
#include "fileops/WallpaperBitmap.h"
#include "formats/FormatRegistry.h"
#include "formats/MediaFiles.h"
#include "formats/Picture.h"
#include "formats/SpiExclusion.h"
#include "formats/SpiGraphic.h"
#include "formats/SpiHost.h"
#include "formats/SpiLoader.h"
#include "formats/SpiStartup.h"
#include "imaging/ColorManage.h"
#include "imaging/Exif.h"
#include "imaging/Orientation.h"
#include "tests/codecs/BmpBuilders.h"
#include "tests/support/CodecCases.h"
#include "tests/support/CodecSamples.h"
#include "tests/support/ColorSamples.h"
#include "tests/support/Guarded.h"
#include "tests/support/Mutation.h"
#include "tests/support/PhotoSamples.h"
#include "tests/support/TempTree.h"
#include "tests/support/TestImages.h"
#include "tests/tools/ToolRun.h"

using namespace korvel;
using namespace korvel::testing;
namespace fs = std::filesystem;

// Lines the test plug-ins report ("name:Call:details"), in call order.
static std::vector<std::string> traced;

extern "C" __attribute__((visibility("default"))) void korvelSpiTestTrace(const char* line) {
    traced.push_back(line);
}

namespace {

std::string appDir() { return std::string(KORVEL_TEST_SPI_DIR) + "/app/"; }
std::string susieDir() { return std::string(KORVEL_TEST_SPI_DIR) + "/susie/"; }
std::string plugin(const std::string& name) { return appDir() + name + ".spi"; }

// The test plug-ins' "KVTIMG01" image: a size, filled by the plug-in with its colour. (masks()
// writes any 32-bit little-endian fields.)
Bytes kvtImage(uint32_t w, uint32_t h) {
    return bmptest::cat({{'K', 'V', 'T', 'I', 'M', 'G', '0', '1'}, bmptest::masks({w, h})});
}

// The test plug-ins' "KVRAWBLK" file: both blocks handed back byte for byte.
Bytes rawBlocks(const Bytes& info, const Bytes& pixels) {
    const Bytes sizes = bmptest::masks({uint32_t(info.size()), uint32_t(pixels.size())});
    return bmptest::cat({{'K', 'V', 'R', 'A', 'W', 'B', 'L', 'K'}, sizes, info, pixels});
}

// An image's info block: the 40-byte header, then the bit-field masks and colour table given.
Bytes dibInfo(int width, int height, int bits, const std::vector<Color>& palette = {},
              const std::vector<uint32_t>& masks = {}) {
    Bytes v = bmptest::infoHeader({.width = width, .height = height, .bpp = uint16_t(bits),
        .compression = masks.empty() ? 0u : 3u, .clrUsed = uint32_t(palette.size())});
    for (uint32_t m : masks) bmptest::put32(v, m);
    for (Color c : palette) v.insert(v.end(), {blueOf(c), greenOf(c), redOf(c), 0});
    return v;
}

// The trace line of a plug-in's IsSupported handed these bytes, zero-filled to the header's size.
std::string supportedLine(const std::string& name, Bytes bytes) {
    bytes.resize(2048, 0);
    uint32_t h = 2166136261u;
    for (uint8_t b : bytes) h = (h ^ b) * 16777619u;
    char hex[9];
    std::snprintf(hex, sizeof hex, "%08x", h);
    return name + ":IsSupported:hdr=" + hex;
}

// The message of the E that f throws; "no error" when it returns.
template <class E = korvel::Exception, class F>
std::string thrown(F&& f) {
    try {
        f();
    } catch (const E& e) {
        return e.message();
    }
    return "no error";
}

// "ext:Class" for each extension ("-" where none is found), on one line.
std::string lookups(const TFileFormatsList& list, std::initializer_list<const char*> exts) {
    std::string out;
    for (const char* e : exts) {
        const GraphicClass* c = list.findFormatByExtension(e);
        out += std::string(out.empty() ? "" : " ") + e + ":" + (c ? c->name : "-");
    }
    return out;
}

TEST(SpiHost, SearchLoadsLibrariesAndSkipsWhatCannotServe) {
    TempTree dir;
    for (const char* name :
         {"kvtA", "archive", "xn", "nopicture", "badlong", "badnul", "overrun", "noformat", "star"})
        fs::copy_file(plugin(name), dir.root() + name + ".spi");
    fs::copy_file(plugin("other"), dir.root() + "UPPER.SPI");    // masks match ignoring case
    fs::copy_file(plugin("kvtB"), dir.root() + ".hidden.spi");   // hidden: never loaded
    fs::create_directory(dir.root() + "folder.spi");            // a folder: never loaded
    fs::copy_file(plugin("kvtB"), dir.root() + "kvtB.dll");      // does not match the mask
    writeFile(dir.root() + "junk.spi", std::string("not a lib"));
    TFileFormatsList formats;
    auto host = std::make_unique<TSPIs>("", &formats);
    EXPECT_EQ(TSPIs::instance(), host.get());
    EXPECT_THROW(TSPIs("", &formats), ESPIDupCreateSPIs);
    // The second search adds nothing: IndexOf finds every path.
    for (int pass = 0; pass < 2; ++pass) host->Search(dir.root() + "*.spi");
    // A missing export, broken information texts and a file that is no library are skipped
    // without ending the search.
    std::string loaded;  // "name:kind" of each, kinds by initial
    for (int i = 0; i < host->Count(); ++i)
        loaded += extractFileName(host->item(i)->FileName) + ":" + "PIAX"[int(host->item(i)->kind())] + " ";
    ASSERT_EQ(loaded, "UPPER.SPI:I archive.spi:A kvtA.spi:I noformat.spi:I star.spi:I xn.spi:X ");
    // Information items in pairs; a missing description ends the list.
    const TSPI& star = *host->item(4);
    EXPECT_EQ(star.AboutPlugIn, "Korvel test plug-in star");
    EXPECT_EQ(star.FileExtList, (std::vector<std::string>{"*.*", "*.jpg;*.jpeg;*.png"}));
    EXPECT_EQ(star.FormatList, (std::vector<std::string>{"Everything", "Photos"}));
    EXPECT_TRUE(host->item(3)->FileExtList.empty());

    host->Insert(0, TSPI::create(plugin("kvtB")));
    EXPECT_EQ(host->IndexOf(dir.root() + "KVTA.SPI"), 3);  // ignoring case, after the inserted one
    EXPECT_EQ(host->IndexOf(dir.root() + "kvtC.spi"), -1);
    host.reset();
    EXPECT_EQ(TSPIs::instance(), nullptr);
    TSPIs again("", &formats);  // a new host once the old one is gone
    EXPECT_EQ(TSPIs::instance(), &again);
}

TEST(SpiStartup, SusieFolderFirstOnlyImageLoadersOncePerNameNotExcludedAndNoneWhenSkipped) {
    TempTree config;
    ScopedEnv configDir{"KORVEL_CONFIG_DIR", config.root()};
    const std::string exe = appDir() + "korvel";  // the program's folder is the test plug-ins' folder
    IniFile ini;
    ini.writeString("HKEY_CURRENT_USER\\Software\\Takechin\\Susie\\Plug-in", "Path", susieDir());
    ini.save(config.root() + "registry.ini");
    // kvtA of the Susie folder wins over the application folder's copy; archive and xn are no
    // image loaders. Excluding: another folder and letter case, so the name alone excludes, in
    // both folders; the last record is cut short, and its path line still counts.
    const std::pair<const char*, std::vector<std::string>> rows[] = {
        {"", {susieDir() + "kvtA.spi", plugin("kvtB"), plugin("other")}},
        {"/x/KVTA.SPI\r\na\r\nb\r\nc\r\n/y/other.spi\r\n", {plugin("kvtB")}}};
    for (const auto& [spd, wanted] : rows) {
        writeFile(config.root() + "Korvel.spd", std::string(spd));
        MediaExtList media;
        auto host = startPlugins(exe, readSusieFolder(config.root() + "registry.ini"), media, {});
        std::vector<std::string> loaded;
        for (int i = 0; i < host->Count(); ++i)
            if (std::set<std::string>{"kvtA", "kvtB", "other", "archive", "xn"}.count(
                    fs::path(host->item(i)->FileName).stem().string()))
                loaded.push_back(host->item(i)->FileName);
        EXPECT_EQ(loaded, wanted) << spd;
        // Registered in the process-wide registry through the policy, with ifmm.spi's media.
        EXPECT_EQ(lookups(fileFormats(), {"kvt", "jpeg"}), "kvt:TSPIBitmap jpeg:TJPEGImage") << spd;
        EXPECT_TRUE(media.contains(".MOV")) << spd;
        fileFormats().unregisterFormatClass(TSPIBitmap::classInfo);
    }
    // The skip key held: nothing is loaded.
    MediaExtList media;
    int skipped = 0;
    EXPECT_EQ(startPlugins(exe, susieDir(), media, {[] { return true; }, [&] { ++skipped; }})->Count(), 0);
    EXPECT_GT(skipped, 0);
    EXPECT_EQ(lookups(fileFormats(), {"kvt"}), "kvt:-");
}

TEST(ExclusionFile, ReadWriteAndMatch) {
    const std::tuple<std::string, size_t, size_t> rows[] = {  // text, lines, records
        {"", 0, 0},
        {"/a/x.spi\r\nabout\r\n*.x\r\nX\r\n", 4, 1},
        {"/a/x.spi\r\nabout\r\n*.x\r\nX", 4, 1},                          // no final line end
        {"/a/x.spi\nabout\n*.x\nX\n/b/y.spi\nb\n*.y\nY\n", 8, 2},          // LF only
        {"/a/x.spi\r\nabout\r\n*.x\r\nX\r\n/b/y.spi\r\nb\r\n", 6, 1},      // a cut record is ignored
        {"/a/x.spi\r\n\r\n\r\n\r\n", 4, 1},                                // empty fields are kept
    };
    TempTree dir;
    const std::string path = dir / "Korvel.spd";
    for (const auto& [text, lineCount, recordCount] : rows) {
        writeFile(path, text);
        const auto lines = readExclusionLines(path);
        EXPECT_EQ(std::make_pair(lines.size(), exclusionRecords(lines).size()),
                  std::make_pair(lineCount, recordCount)) << text;
    }
    EXPECT_TRUE(readExclusionLines(dir / "absent.spd").empty());
    writeFile(path, "/a/画像.spi\r\n説明\r\n*.x\r\nX\r\n");
    EXPECT_EQ(exclusionRecords(readExclusionLines(path))[0], (ExcludedPlugin{"/a/画像.spi", "説明", "*.x", "X"}));

    const std::vector<ExcludedPlugin> records{{"/a/one.spi", "One\r\nwith a break", "*.one", "One"},
                                              {"/b/two.spi", "Two", "*.two;*.tw", "Two"}};
    const std::string made = dir / "config/korvel/Korvel.spd";  // the folder is made
    writeExclusionFile(made, records);
    EXPECT_EQ(readFile(made), "/a/one.spi\r\nOne  with a break\r\n*.one\r\nOne\r\n"
                              "/b/two.spi\r\nTwo\r\n*.two;*.tw\r\nTwo\r\n");
    writeExclusionFile(made, {});
    EXPECT_EQ(readFile(made), "");
    // A folder where the file should be: the write fails with a message.
    fs::create_directory(dir / "blocked.spd");
    EXPECT_THROW(writeExclusionFile(dir / "blocked.spd", records), EFileError);

    // Excluded by the file name part of path lines.
    const std::vector<std::string> lines{"/plugins/ifjpeg.spi", "about", "/not/a/path/line.spi", "X",
                                         "/other/IFPNG.SPI"};  // a cut last record still counts
    const std::pair<const char*, bool> cases[] = {{"/lib/korvel/ifjpeg.spi", true}, {"/x/IfJpeg.Spi", true},
        {"/y/ifpng.spi", true}, {"/z/line.spi", false}, {"/z/ifjpeg.spi.bak", false}, {"/z/about", false}};
    for (const auto& [candidate, excluded] : cases)
        EXPECT_EQ(isExcludedPlugin(lines, candidate), excluded) << candidate;
}

TEST(FormatRegistry, BuiltinOrderLookupFilterAndFailedLoads) {
    TFileFormatsList list;
    registerBuiltinFormats(list);
    std::string exts;
    for (const FormatEntry& e : list.entries()) exts += e.extension + " ";
    // The first bmp entry is removed when the bitmap unit re-registers dib and bmp.
    EXPECT_EQ(exts, "wmf emf ico gif dib bmp jpeg jpg png ");
    EXPECT_EQ(lookups(list, {"BMP", "Jpg", "gif", "ico", "EMF", "PNG", "tif", "", ".bmp"}),
              "BMP:TBitmap Jpg:TJPEGImage gif:TGIFImage ico:TIcon EMF:TMetafile PNG:TGLDPNG tif:- :- .bmp:-");

    // Newest first, all masks, then one entry per format.
    const std::string masks = "*.png;*.jpg;*.jpeg;*.bmp;*.dib;*.gif;*.ico;*.emf;*.wmf";
    const std::string filter = list.graphicFilter(TGraphic::classInfo);
    EXPECT_EQ(filter.rfind("すべてのファイル (" + masks + ")|" + masks + "|PNG Format (*.png)|*.png|JPEG", 0), 0u)
        << filter;
    EXPECT_TRUE(filter.ends_with("|メタファイル (*.wmf)|*.wmf")) << filter;
    // Only TBitmap descendants: two entries.
    EXPECT_EQ(list.graphicFilter(TBitmap::classInfo),
              "すべてのファイル (*.bmp;*.dib)|*.bmp;*.dib|ビットマップ (*.bmp)|*.bmp|ビットマップ (*.dib)|*.dib");
    TFileFormatsList one;
    one.registerFormat("ico", "アイコン", TIcon::classInfo);
    EXPECT_EQ(one.graphicFilter(TGraphic::classInfo), "アイコン (*.ico)|*.ico");
    EXPECT_EQ(TFileFormatsList().graphicFilter(TGraphic::classInfo), "");

    // A picture's failed loads keep the graphic it had.
    TPicture picture(list);
    picture.setGraphic(std::make_unique<TBitmap>(3, 2, PixelFormat::pf24bit));
    TempTree t;
    EXPECT_THROW(picture.loadFromFile(t.write("image.tga", "data")), EInvalidGraphic);
    EXPECT_THROW(picture.loadFromFile(t.write("noext", "data")), EInvalidGraphic);
    EXPECT_THROW(picture.loadFromFile(t.write("broken.bmp", "BMnot really")), EInvalidGraphic);
    EXPECT_THROW(picture.loadFromFile(t / "missing.bmp"), EFileError);
    ASSERT_NE(picture.graphic(), nullptr);
    EXPECT_EQ(picture.width(), 3);
}

TEST(FormatRegistry, PluginPolicy) {
    TFileFormatsList list;
    registerBuiltinFormats(list);
    MediaExtList media;
    // Runs the policy and registers what survives, as the plug-in host does.
    auto offer = [&](const std::string& plugin, const char* ext) {
        const GraphicClass* cls = &TSPIBitmap::classInfo;
        applyPluginRegistrationPolicy(plugin, ext, cls, media);
        if (cls) list.registerFormat(ext, "Plug-in format", *cls);
    };
    for (const char* ext : {"jpg", "JPEG", "png", "bmp", "*", "", "Gif"}) offer("/plugins/ifpng.spi", ext);
    // Plug-ins override built-ins except for JPEG and GIF; "*" is never registered. An empty
    // extension is registered, kept out of the filter, and serves files without extension.
    EXPECT_EQ(lookups(list, {"png", "jpg", "jpeg", "gif", "*", ""}),
              "png:TSPIBitmap jpg:TJPEGImage jpeg:TJPEGImage gif:TGIFImage *:- :TSPIBitmap");
    EXPECT_EQ(list.graphicFilter(TGraphic::classInfo).find("(*.)"), std::string::npos);
    EXPECT_EQ(list.graphicFilter(TGraphic::classInfo).rfind("すべてのファイル (*.bmp;*.png;*.png;*.jpg;", 0), 0u);
    EXPECT_TRUE(media.empty());

    // Media extensions of ifmm.spi are recorded whatever the policy decided, without empty ones.
    for (const char* ext : {"JPG", "*", "mpg", ""}) offer("/x/IFMM.SPI", ext);
    EXPECT_EQ(media.items(), (std::vector<std::string>{".JPG", ".*", ".mpg"}));
    // A media file: its extension listed, ignoring case, and the file there.
    TempTree t;
    EXPECT_TRUE(IsMediaFile(media, t.write("clip.MPG", "x")));
    EXPECT_FALSE(IsMediaFile(media, t / "gone.mpg"));
    EXPECT_FALSE(IsMediaFile(media, t.write("clip.avi", "x")));

    // A plug-in's mask list, split into the extensions it offers.
    const std::pair<const char*, std::vector<std::string>> masks[] = {{"*.ka;*.kb", {"kb", "ka"}},
        {"*.ke;", {"", "ke"}}, {"*.*", {"*"}}, {"*.tar.gz", {"tar.gz"}}, {"raw", {"raw"}}};
    for (const auto& [entry, exts] : masks) EXPECT_EQ(splitPluginMasks(entry), exts) << entry;
}

class SpiDecodeTest : public ::testing::Test {
protected:
    void load(std::initializer_list<const char*> names) {
        for (const char* n : names) host_.Search(plugin(n));
        traced.clear();
    }
    std::string file(const std::string& name, const Bytes& b) {
        return dir_.write(name, std::string(b.begin(), b.end()));
    }
    // Plug-in calls of one kind, e.g. "IsSupported", in order: the plug-ins' names or whole lines.
    std::string calls(const std::string& kind, bool details = false) const {
        std::string out;
        for (const std::string& line : traced) {
            const size_t colon = line.find(':');
            if ((line + ":").compare(colon + 1, kind.size() + 1, kind + ":") == 0)
                out += (out.empty() ? "" : " ") + (details ? line : line.substr(0, colon));
        }
        return out;
    }
    TempTree dir_;
    TFileFormatsList formats_;
    TSPIs host_{"", &formats_};
};

TEST_F(SpiDecodeTest, CandidatesMatchingTheExtensionFirstInReverseOrder) {
    load({"kvtA", "other", "kvtB"});
    auto names = [&](const std::string& path) {
        std::string out;
        for (TSPI* s : TInSPIAbleData::candidates(host_, path)) out += extractFileName(s->FileName) + " ";
        return out;
    };
    EXPECT_EQ(names("a.KVT"), "kvtB.spi kvtA.spi other.spi ");
    EXPECT_EQ(names("a.png"), "kvtA.spi other.spi kvtB.spi ");
    host_.GraphicForcedLoader = host_.item(1);
    EXPECT_EQ(names("a.kvt"), "other.spi ");

    // Data no plug-in supports: each candidate is asked at offsets 0 and 128, in that order.
    host_.GraphicForcedLoader = nullptr;
    EXPECT_THROW(TSPIGraphic().loadFromFile(file("n.kvt", Bytes(300, 'j'))), EInvalidGraphic);
    EXPECT_EQ(calls("IsSupported"), "kvtB kvtB kvtA kvtA other other");
}

// Conversion workers decode side by side; a plug-in is still entered by one thread at a time
// (the test plug-in aborts otherwise).
TEST_F(SpiDecodeTest, PluginsAreNeverEnteredFromTwoThreads) {
    load({"kvtA"});
    const std::string path = file("p.kvt", kvtImage(3, 2));
    std::atomic<int> decoded{0};
    std::vector<std::thread> workers;
    for (int t = 0; t < 4; ++t)
        workers.emplace_back([&] {
            for (int i = 0; i < 10; ++i) {
                TSPIBitmap b;
                b.loadFromFile(path);
                if (b.width() == 3 && b.pixel(2, 1) == Color(0x112233)) ++decoded;
            }
        });
    for (std::thread& w : workers) w.join();
    EXPECT_EQ(decoded, 40);
}

TEST_F(SpiDecodeTest, ProgressHeaderBufferAndMacBinaryOffset) {
    load({"kvtA"});
    const Bytes image = kvtImage(2, 2), data = bmptest::cat({Bytes(128, 0xEE), image});
    using Notice = std::tuple<ProgressStage, int, std::string>;
    std::vector<Notice> seen;
    TSPIGraphic g;
    g.setProgressListener([&](ProgressStage s, int p, const std::string& m) { seen.emplace_back(s, p, m); });
    g.loadFromFile(file("p.kvt", image));
    const std::vector<Notice> notices{
        {ProgressStage::Starting, 0, "Loading Graphic by Susie Plugin"},
        {ProgressStage::Running, 1, "Seeking enabled Susie Plugins"},
        {ProgressStage::Running, 1, "Loading by [kvtA.spi]"},
        {ProgressStage::Running, 34, ""},  // 1 of 3
        {ProgressStage::Running, 99, ""},  // 3 of 3
        {ProgressStage::Ending, 100, "Loaded Graphic by Susie Plugin"},
    };
    EXPECT_EQ(seen, notices);
    EXPECT_EQ(calls("progress=0"), "kvtA");  // the callback never cancels
    // Percents from a plug-in's (done, total), overflow and a zero total included.
    const std::tuple<int32_t, int32_t, int> rows[] = {{0, 5, 2}, {1, 3, 34}, {3, 3, 99}, {1, 2, 50},
        {5, 0, 2}, {INT32_MAX, INT32_MAX, 99}, {1000000, 2000000, 50}};
    for (const auto& [done, total, percent] : rows)
        EXPECT_EQ(TInSPIAbleData::progressPercent(done, total), percent) << done << "/" << total;

    // The plug-in saw the buffer from byte 128 on; the decode got the path and offset 128.
    traced.clear();
    const std::string path = file("m.kvt", data);
    TSPIGraphic().loadFromFile(path);
    EXPECT_EQ(calls("IsSupported", true), supportedLine("kvtA", data) + " " + supportedLine("kvtA", image));
    EXPECT_EQ(calls("GetPicture", true), "kvtA:GetPicture:flag=0:len=128");
    traced.clear();
    TSPIGraphic().loadFromStreamWithName(data.data(), data.size(), "m.kvt");
    EXPECT_EQ(calls("GetPicture", true), "kvtA:GetPicture:flag=1:len=" + std::to_string(image.size()));
    // A short source fills the header with zeros; nothing lies at byte 128 of a 100-byte source,
    // so it is asked once.
    const Bytes shortData(100, 0x5A);
    traced.clear();
    EXPECT_THROW(TSPIGraphic().loadFromFile(file("s.kvt", shortData)), EInvalidGraphic);
    EXPECT_EQ(calls("IsSupported", true), supportedLine("kvtA", shortData));
    host_.MacBinary = false;
    EXPECT_THROW(TSPIGraphic().loadFromFile(path), EInvalidGraphic);
}

TEST_F(SpiDecodeTest, FailuresOfPlugins) {
    load({"keep", "raw", "kvtA"});
    // No plug-in is handed a pipe.
    const std::string pipe = dir_ / "p.kvt";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    const Guarded piped = runGuarded([&] {
        const std::string error = thrown<EFileError>([&] { TSPIBitmap().loadFromFile(pipe); });
        return std::to_string(traced.size()) + " calls: " + error;
    });
    ASSERT_EQ(piped.outcome, Guarded::Finished);
    EXPECT_EQ(piped.result.rfind("0 calls: ", 0), 0u) << piped.result;
    EXPECT_NE(piped.result, "0 calls: no error");
    // A source that cannot be read.
    TSPIGraphic g;
    EXPECT_THROW(g.loadFromFile(dir_ / "absent.kvt"), EFileError);
    EXPECT_THROW(TSPIBitmap().loadFromFile(dir_ / "absent.kvt"), EInvalidGraphic);
    // keep.spi fails leaving addresses in the handles: they are its own and are not freed.
    host_.GraphicForcedLoader = host_.item(0);
    const std::string path = file("f.kee", kvtImage(8, 8));
    EXPECT_EQ(thrown<EInvalidGraphic>([&] { g.loadFromFile(path); }), "Susie Plugins could not decode");
    EXPECT_TRUE(g.empty());
    EXPECT_THROW(TSPIBitmap().loadFromFile(path), EInvalidGraphic);

    // Preview first when asked: it fails on these blocks, so the full decode runs.
    host_.GraphicPreview = true;
    host_.GraphicForcedLoader = host_.item(1);
    traced.clear();
    g.loadFromFile(file("v.kvr", rawBlocks(dibInfo(1, 1, 24), Bytes(4, 0))));
    EXPECT_EQ(calls("GetPreview") + ", " + calls("GetPicture"), "raw, raw");
    // kvtA has no preview function: asking for it names the export and the plug-in.
    host_.GraphicForcedLoader = host_.item(2);
    EXPECT_EQ(thrown<ESPIInvalidAPI>([&] { g.loadFromFile(file("v.kvt", kvtImage(1, 1))); }),
              "GetPreviewは[" + plugin("kvtA") + "]では使えないSusie Plugin APIです");
}

TEST_F(SpiDecodeTest, PixelFormatsOfReturnedBlocks) {
    load({"raw"});
    std::vector<Color> pal16, pal256;
    for (int i = 0; i < 16; ++i) pal16.push_back(makeColor(uint8_t(i * 16), 0, uint8_t(255 - i)));
    for (int i = 0; i < 256; ++i) pal256.push_back(makeColor(uint8_t(i), uint8_t(i / 2), 7));
    // Name, info block, pixel block (rows padded to 4 bytes), the colours shown from the top with
    // the alpha in the top byte where it counts.
    using Grid = std::vector<std::vector<Color>>;
    const std::tuple<const char*, Bytes, Bytes, Grid, bool> rows[] = {
        {"4-bit", dibInfo(3, 1, 4, pal16), {0x12, 0x30, 0, 0}, {{pal16[1], pal16[2], pal16[3]}}, false},
        {"8-bit top-down", dibInfo(2, -2, 8, pal256), {5, 6, 0, 0, 7, 8, 0, 0},
         {{pal256[5], pal256[6]}, {pal256[7], pal256[8]}}, false},
        {"32-bit alpha", dibInfo(2, 1, 32), {0x30, 0x20, 0x10, 130, 0x30, 0x20, 0x10, 230},
         {{0x82102030, 0xE6102030}}, true},
        {"16-bit 5-6-5", dibInfo(1, 1, 16, {}, {0xF800, 0x07E0, 0x001F}), {0, 0xF8, 0, 0},
         {{0xFF0000}}, false},
    };
    for (const auto& [name, info, pixels, want, alpha] : rows) {
        TSPIBitmap b;
        b.loadFromFile(file("x.kvr", rawBlocks(info, pixels)));
        Grid shown(size_t(b.height()));
        for (int y = 0; y < b.height(); ++y)
            for (int x = 0; x < b.width(); ++x)
                shown[size_t(y)].push_back(b.pixel(x, y) | (alpha ? Color(b.alphaAt(x, y)) << 24 : 0));
        EXPECT_EQ(shown, want) << name;
    }
}

TEST_F(SpiDecodeTest, BlocksThatBreakTheirHeaderAreRefused) {
    load({"raw"});
    // Without the sanitizers the bound is the allocation's usable size, a little over what the
    // plug-in asked for, so each damage below is larger than that slack.
    const Bytes info = dibInfo(40, 40, 8, std::vector<Color>(256)), pixels(40 * 40, 1);
    const std::tuple<const char*, std::function<void(Bytes&, Bytes&)>, const char*> rows[] = {
        {"short header", [](auto& i, auto&) { i.resize(20); }, "bitmap header shorter than 40 bytes"},
        {"header size", [](auto& i, auto&) { i[0] = 108; }, "bitmap header size is not 40"},
        {"bit count", [](auto& i, auto&) { i[14] = 7; }, "bit count 7"},
        {"compressed", [](auto& i, auto&) { i[16] = 1; }, "compressed pixels"},
        {"zero width", [](auto& i, auto&) { std::fill_n(i.begin() + 4, 4, 0); }, "empty or negative size"},
        {"table cut", [](auto& i, auto&) { i.resize(40 + 100); }, "colour table beyond the info block"},
        {"table too big", [](auto& i, auto&) { i[33] = 2; }, "colour table of 512"},
        {"pixels cut", [](auto&, auto& p) { p.resize(p.size() / 2); },
         "pixel block shorter than its header claims"},
    };
    for (const auto& [name, damage, reason] : rows) {
        auto i = info, p = pixels;
        damage(i, p);
        const std::string path = file("d.kvr", rawBlocks(i, p));
        EXPECT_EQ(thrown<EInvalidGraphic>([&] { TSPIGraphic().loadFromFile(path); }),
                  std::string("Susie Plugin [raw.spi] returned a broken image: ") + reason) << name;
    }
    // The pixel limit is the one the load was given; the good blocks are 40 x 40.
    const Bytes huge = dibInfo(0x40000000 + 40, 40, 8, std::vector<Color>(256));
    EXPECT_THROW(TSPIGraphic().loadFromFile(file("h.kvr", rawBlocks(huge, pixels))), EImageTooLarge);
    TSPIGraphic g;
    const std::string good40 = file("g.kvr", rawBlocks(info, pixels));
    EXPECT_THROW(g.loadFromFile(good40, DecodeLimits{.maxPixels = 1599}), EImageTooLarge);
    g.loadFromFile(good40, DecodeLimits{.maxPixels = 1600});
    EXPECT_EQ(g.raster()->width(), 40);
}

TEST_F(SpiDecodeTest, MutatedBlocksNeverCrash) {
    load({"raw"});
    Bytes pixels(8 * 7);
    for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = uint8_t(i * 37);
    int decoded = 0;
    forEachMutation(rawBlocks(dibInfo(13, 7, 4, std::vector<Color>(16)), pixels), 600, [&](const Bytes& m) {
        TSPIBitmap b;
        try {
            b.loadFromMemory(m.data(), m.size());
            EXPECT_GT(b.width(), 0);
            ++decoded;
        } catch (const EInvalidGraphic&) {
        }
    }, 16 + 40 + 64);
    EXPECT_GT(decoded, 0);
}

TEST_F(SpiDecodeTest, BitmapReaderIsTheOtherChanceAndNamesPickThePlugins) {
    load({"kvtA", "kvtB"});
    const TBitmap pic = randomBitmap(PixelFormat::pf24bit, 2, 2, 1);
    const Bytes bmpBytes = savedBytes(pic), fake = bmptest::cat({{'B', 'M'}, kvtImage(3, 1)});
    const std::tuple<const char*, Bytes, Color, const char*> rows[] = {
        {"a.bmp", bmpBytes, pic.pixel(0, 0), ""},  // ".bmp": the bitmap reader first, no plug-in asked
        {"b.BMP", fake, 0x112233, "kvtA"},         // a broken bitmap the plug-in reads: its turn next
        {"c.kvt", bmpBytes, pic.pixel(0, 0), "kvtB kvtA"},  // no plug-in reads it: the bitmap reader does
    };
    for (const auto& [name, bytes, color, asked] : rows) {
        traced.clear();
        TSPIBitmap b;
        b.loadFromFile(file(name, bytes));
        EXPECT_EQ(b.pixel(0, 0), color) << name;
        EXPECT_EQ(calls("IsSupported"), asked) << name;
    }
    EXPECT_THROW(TSPIBitmap().loadFromFile(file("d.kvt", Bytes(50, 'z'))), EInvalidGraphic);

    const auto data = kvtImage(2, 1);
    TSPIBitmap named, hooked;
    named.loadFromStreamWithName(data.data(), data.size(), "s.kvt");
    EXPECT_EQ(named.pixel(0, 0), Color(0x445566));  // the name picks the candidates: kvtB, newest
    std::string seenName;
    hooked.OnLoadFromStreamWithName = [&](TSPIBitmap&, const uint8_t*, size_t, const std::string& n) {
        seenName = n;
    };
    hooked.loadFromStreamWithName(data.data(), data.size(), "h.kvt");
    EXPECT_EQ(seenName, "h.kvt");

    // Through the registry, as every window loads.
    formats_.registerFormat("kvt", "KVT", TSPIBitmap::classInfo);
    TPicture picture(formats_);
    picture.loadFromFile(file("p.kvt", kvtImage(5, 4)));
    ASSERT_NE(picture.graphic(), nullptr);
    EXPECT_EQ(&picture.graphic()->graphicClass(), &TSPIBitmap::classInfo);
    EXPECT_EQ(picture.width(), 5);
    EXPECT_EQ(picture.graphic()->raster()->pixel(4, 3), Color(0x445566));
}

// The optional GetPictureMeta reaches the graphic, bounded; only plug-ins exporting it are asked
// for rows as stored.
TEST_F(SpiDecodeTest, PictureMetaOnlyFromPluginsThatExportIt) {
    const std::string meta = std::string(KORVEL_TEST_SPI_DIR) + "/meta/";
    const std::tuple<std::string, std::string, int, size_t, uint32_t> rows[] = {  // where, name, gives
        {appDir(), "kvtA", 1, 0, 0},
        {meta, "meta", 6, 16, SPI_HOST_ORIENTS},
        {meta, "metalie", 1, 0, SPI_HOST_ORIENTS},  // orientation 99, more bytes claimed than given
    };
    for (const auto& [folder, name, orientation, iccBytes, flag] : rows) {
        host_.Clear();
        host_.Search(folder + name + ".spi");
        traced.clear();
        TSPIBitmap b;
        b.loadFromFile(file("m.kvt", kvtImage(3, 2)));
        EXPECT_EQ(b.photoMeta().orientation, orientation) << name;
        EXPECT_EQ(b.photoMeta().iccProfile, Bytes(iccBytes, 'p')) << name;
        EXPECT_EQ(calls("GetPicture", true), name + ":GetPicture:flag=" + std::to_string(flag) + ":len=0");
    }
}

// Blocks of a picture, rows from the top.
using Layout = std::vector<std::string>;
constexpr int kBlock = 32;
const Layout kUpright{"ABC", "DEF"};
// What a camera stores for each orientation, turned by hand.
const Layout kStored[9] = {{}, {"ABC", "DEF"}, {"CBA", "FED"}, {"FED", "CBA"}, {"DEF", "ABC"},
                           {"AD", "BE", "CF"}, {"CF", "BE", "AD"}, {"FC", "EB", "DA"}, {"DA", "EB", "FC"}};

// The colours of blocks 'A' to 'F', and their alphas in the pictures that have an alpha channel.
const Color kBlockColors[] = {0xE02020, 0x20C040, 0x2040E0, 0xE0E020, 0xC020C0, 0x20D0D0};
const uint8_t kBlockAlphas[] = {0, 128, 255, 255, 128, 0};

// Empty when the centre of every block of image shows the layout within tolerance (with alpha, its alpha).
std::string layoutDiff(const TBitmap& image, const Layout& layout, int tolerance, bool alpha = false) {
    const int cols = int(layout[0].size()), rows = int(layout.size());
    const int bw = image.width() / cols, bh = image.height() / rows;
    if (image.width() != bw * cols || image.height() != bh * rows)
        return "size " + std::to_string(image.width()) + "x" + std::to_string(image.height());
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < cols; ++c) {
            const Color got = image.pixel(c * bw + bw / 2, r * bh + bh / 2);
            if (worstDistance(flatImage(1, 1, got), kBlockColors[layout[r][c] - 'A']) > tolerance)
                return std::string("block ") + layout[r][c] + " shows " + std::to_string(got);
            const int a = image.alphaAt(c * bw + bw / 2, r * bh + bh / 2);
            if (a != (alpha ? kBlockAlphas[layout[r][c] - 'A'] : 255))
                return std::string("block ") + layout[r][c] + " has alpha " + std::to_string(a);
        }
    return {};
}

// A JPEG, or a PNG (RGBA with alpha) storing the upright picture with the orientation.
PhotoBytes photoFile(int orientation, bool png, bool bigEndian, bool alpha = false) {
    const Layout& layout = kStored[orientation];
    TBitmap stored(int(layout[0].size()) * kBlock, int(layout.size()) * kBlock, PixelFormat::pf24bit);
    auto mask = std::make_unique<TBitmap>(stored.width(), stored.height(), PixelFormat::pf8bit);
    for (int y = 0; y < stored.height(); ++y)
        for (int x = 0; x < stored.width(); ++x) {
            const int block = layout[y / kBlock][x / kBlock] - 'A';
            stored.setRawPixel(x, y, kBlockColors[block]);
            mask->scanLine(y)[x] = uint8_t(255 - kBlockAlphas[block]);
        }
    if (alpha) stored.setMask(std::move(mask));
    if (png) return withPngChunk(pngBytes(stored), "eXIf", exifBlock(orientation, bigEndian));
    return withJpegSegment(encodedJpeg(stored), 0xE1, exifApp1(orientation, bigEndian));
}

TEST(Photo, EveryOrientationLoadsUprightAndOnlyWhenAsked) {
    TempTree t;
    for (int i = 0; i < 48; ++i) {  // every orientation in JPEG, PNG and RGBA PNG, in either byte order
        const int orientation = 1 + i / 6;
        const bool png = i % 6 >= 2, alpha = i % 6 >= 4, big = i & 1;
        SCOPED_TRACE(std::to_string(orientation) + (alpha ? " rgba png" : png ? " png" : " jpeg") + (big ? " MM" : " II"));
        const std::string path = t / (png ? "p.png" : "p.jpg");
        writeFile(path, photoFile(orientation, png, big, alpha));
        TPicture picture;
        picture.loadFromFile(path);
        EXPECT_EQ(picture.graphic()->photoMeta().orientation, orientation);
        EXPECT_EQ(layoutDiff(*picture.graphic()->raster(), kUpright, 8, alpha), "");
        if (!png) {
            // A reduced decode is turned after scaling.
            picture.graphic()->requestDecodeScale(8);
            EXPECT_EQ(picture.width(), 3 * kBlock / 8);
            EXPECT_EQ(layoutDiff(*picture.graphic()->raster(), kUpright, 24), "");
        }
        picture.loadFromFile(path, {.photo = {.exifRotate = false}});
        EXPECT_EQ(layoutDiff(*picture.graphic()->raster(), kStored[orientation], 8, alpha), "");
    }
}

TEST(Photo, EveryCallerShowsItUprightAndNoneWritesTheFile) {
    TempTree t, out;
    const std::string path = t / "phone.jpg";
    writeFile(path, photoFile(6, false, true));
    const std::string before = readFile(path);
    TBitmap thumb;
    MakeThumbnail(path, {.thumbSize = 68, .infoHeight = 20}, thumb);
    EXPECT_EQ(layoutDiff(thumb, kUpright, 24), "");

    // The user's own turn adds to the upright picture.
    const ExtendedCopyOptions options{.format = OutputFormat::Jpeg, .jpegQuality = 100, .turn = 1};
    TPicture picture;
    TBitmap output;
    const std::string copy = ConvertOneFile(path, out.root(), options, picture, output);
    picture.loadFromFile(copy, {.photo = {.exifRotate = false}});
    EXPECT_EQ(picture.graphic()->photoMeta().orientation, 1);
    EXPECT_EQ(layoutDiff(*picture.graphic()->raster(), {"DA", "EB", "FC"}, 8), "");

    const auto wp = MakeWallpaperBitmap(path, nullptr, WallpaperRender::OwnSize, 96, 64, out / "w.bmp");
    EXPECT_EQ(layoutDiff(loadBmp(wp), kUpright, 8), "");

    ToolRun info = runTool({"info", path});
    EXPECT_EQ(info.out, path + "\t96x64 24 JPEG イメージファイル\torientation 6\n") << info.err;
    EXPECT_EQ(runTool({"info", "--no-orientation", path}).out.find("\t64x96 24"), path.size());
    EXPECT_EQ(readFile(path), before);
}

// A photo big enough to be turned and converted on another core while it decodes, and at 1/2
// (on the decoder's thread in bands), gives the same bytes as turning and converting the whole
// decoded raster afterwards, itself in bands on several threads (over two megapixels).
TEST(Photo, RowsTurnedAndConvertedDuringTheDecodeMatchTheWholeRaster) {
    const Bytes p3 = profileOf(kSpaces[1]);
    const auto transform = TransformForProfile(p3);
    ASSERT_TRUE(transform);
    const PhotoBytes plain = encodedJpeg(randomBitmap(PixelFormat::pf24bit, 2048, 1037, 7), 90);
    TempTree t;
    for (const int orientation : {1, 3, 6, 8})
        for (const int scale : {1, 2}) {
            SCOPED_TRACE("orientation " + std::to_string(orientation) + " at 1/" + std::to_string(scale));
            const PhotoBytes turned = withJpegSegment(plain, 0xE1, exifApp1(orientation, false));
            writeFile(t / "big.jpg", withJpegIcc(turned, p3));
            TPicture picture, stored;
            picture.loadFromFile(t / "big.jpg");
            stored.loadFromFile(t / "big.jpg", {.photo = {false, false}});
            picture.graphic()->requestDecodeScale(scale);
            stored.graphic()->requestDecodeScale(scale);
            TBitmap want = OrientUpright(*stored.graphic()->raster(), orientation);
            transform->apply(want);
            EXPECT_EQ(pixelDifference(*picture.graphic()->raster(), want), "");
        }
}

// With a monitor profile set, the windows' loads convert to it; files written stay sRGB; a photo
// already in the monitor's space is left as stored. Without one is the colour kernel test's.
TEST(PhotoColor, WindowsConvertToTheMonitorProfile) {
    TempTree t;
    const TBitmap noise = randomBitmap(PixelFormat::pf24bit, 40, 24, 11, true);  // its alpha stays as it is
    const Space &adobe = kSpaces[0], &p3 = kSpaces[1];
    writeFile(t / "p3.png", withPngChunk(pngBytes(noise), "iCCP", iccpData(profileOf(p3))));
    writeFile(t / "adobe.png", withPngChunk(pngBytes(noise), "iCCP", iccpData(profileOf(adobe))));
    auto load = [&](const char* name, bool toDisplay) {
        TPicture picture;
        picture.loadFromFile(t / name, {.photo = {.toDisplay = toDisplay}});
        const TBitmap got = *picture.graphic()->raster();
        EXPECT_EQ(alphaDifference(got, noise), "") << name;
        return got;
    };
    SetDisplayProfile(profileOf(adobe));
    // Two levels: a pure power curve's encoding is so steep near black that lcms's 8-bit tables
    // round there differently from the exact curve.
    EXPECT_EQ(withinOne(load("p3.png", true), reference(noise, p3, adobe), 2), "");
    EXPECT_EQ(withinOne(load("p3.png", false), reference(noise, p3)), "");
    EXPECT_EQ(pixelDifference(load("adobe.png", true), noise), "");
    SetDisplayProfile({});
    const std::string info = runTool({"info", t / "p3.png"}).out;
    EXPECT_NE(info.find("\tprofile Display P3 test\n"), std::string::npos) << info;
}

// A profile at or so near sRGB that no colour would move by more than a level is not applied
// (many phone photos carry one); one a little further off is.
TEST(PhotoColor, ProfilesNearSrgbAreNotApplied) {
    // A transparent colour stays on the pixels it named, whatever colour they come out.
    TBitmap noise = randomBitmap(PixelFormat::pf24bit, 40, 24, 5);
    noise.setTransparentColor(noise.pixel(7, 3));
    const std::pair<Space, bool> cases[] = {
        {{"sRGB", kSrgb, true}, false},
        {{"sRGB, primaries rounded", {0.6401, 0.3300, 0.3000, 0.5999, 0.1500, 0.0600}, true}, false},
        {{"sRGB, green moved", {0.64, 0.33, 0.31, 0.60, 0.15, 0.06}, true}, true},
        {{"sRGB primaries, power curve", kSrgb, false}, true}};
    for (const auto& [space, applied] : cases) {
        SCOPED_TRACE(space.name);
        TBitmap got = noise;
        const auto transform = TransformForProfile(profileOf(space));
        EXPECT_EQ(transform != nullptr, applied);
        if (transform) transform->apply(got);
        EXPECT_EQ(withinOne(got, reference(noise, space)), "");
        EXPECT_EQ(alphaDifference(got, noise), "");
    }
}

// Each limit is honoured by the load it is given to: loads with the defaults and with the tight
// limit alternate in one process, so a limit that leaked into later loads, or was never read,
// fails a row.
TEST(DecodeLimits, EachLimitHoldsForItsOwnLoad) {
    using namespace bmptest;
    const Bytes bmp = bmpFile(infoHeader(Info{.width = 6, .height = 5, .bpp = 24}), Bytes(5 * 20, 0x40));
    // 6 x 5 pixels; small IDAT chunks give the file many chunks, the comment one large tEXt chunk.
    const Bytes png = pngBytes(randomBitmap(PixelFormat::pf24bit, 6, 5, 1), [](TGLDPNG& p) {
        p.setIdatSize(TGLDPNG::kMinIdatSize);
        p.compressionLevel = 0;
        p.comment = std::string(600, 'c');
    });
    // A 1 x 1 GIF with three comment extensions before its image.
    Bytes gif{'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0x80, 0, 0, 0, 0, 0, 255, 255, 255};
    for (int i = 0; i < 3; ++i) gif.insert(gif.end(), {0x21, 0xFE, 1, 'x', 0});
    gif.insert(gif.end(), {0x2C, 0, 0, 0, 0, 1, 0, 1, 0, 0, 2, 2, 0x44, 0x01, 0, 0x3B});
    const std::tuple<const char*, Bytes, DecodeLimits, DecodeLimits> rows[] = {  // file, tight, enough
        {"pixels.bmp", bmp, {.maxPixels = 29}, {.maxPixels = 30}},
        {"file-bytes.bmp", bmp, {.maxFileBytes = bmp.size() - 1}, {.maxFileBytes = bmp.size()}},
        {"chunk-count.png", png, {.maxPngChunks = 3}, {}},
        {"chunk-bytes.png", png, {.maxPngChunkBytes = 500}, {.maxPngChunkBytes = 700}},
        {"png-pixels.ico", iconFile({{0, 0, 32, png}}), {.maxPixels = 29}, {.maxPixels = 30}},
        {"pixels.jpg", jpegSample(6, 5, false, false), {.maxPixels = 29}, {.maxPixels = 30}},
        {"scans.jpg", jpegSample(6, 5, true, false), {.maxJpegScans = 2}, {}},
        {"records.gif", gif, {.maxGifRecords = 2}, {.maxGifRecords = 3}},
    };
    TempTree t;
    for (const auto& [name, bytes, tight, enough] : rows) {
        const std::string path = t / name;
        writeFile(path, bytes);
        // Loads through the registry as the windows do, the raster included (JPEG decodes late).
        auto loads = [&](const DecodeLimits& limits) {
            try {
                TPicture picture;
                picture.loadFromFile(path, limits);
                LoadPictureAsBitmap(picture, limits.maxPixels);
                return picture.width() > 0;
            } catch (const EImageTooLarge&) {
                return false;
            }
        };
        EXPECT_EQ((std::vector<bool>{loads({}), loads(tight), loads(enough), loads(tight)}),
                  (std::vector<bool>{true, false, true, false})) << name;
    }
}

PhotoBytes patched(PhotoBytes b, std::initializer_list<std::pair<size_t, uint8_t>> patches) {
    for (auto [at, value] : patches) b[at] = value;
    return b;
}

// Little-endian block: IFD0 at 8 with 2 entries, Orientation's entry at 22, IFD1 at 38.
TEST(PhotoMutation, DamagedExifGivesNoOrientation) {
    const PhotoBytes good = exifBlock(6, false);
    ASSERT_EQ(ExifOrientation(good.data(), good.size()), 6);
    const std::pair<const char*, PhotoBytes> cases[] = {
        {"IFD0 past the end", patched(good, {{4, 0xF0}, {5, 0xFF}, {6, 0xFF}, {7, 0xFF}})},
        {"IFD0 inside the header", patched(good, {{4, 2}})},
        {"entry count past the end", patched(good, {{8, 0xFF}, {9, 0xFF}})},
        {"orientation 0", patched(good, {{30, 0}})},
        {"orientation 9", patched(good, {{30, 9}})},
        {"orientation as LONG", patched(good, {{24, 4}})},
        {"orientation count 2", patched(good, {{26, 2}})},
        {"wrong magic", patched(good, {{2, 43}})},
        {"mixed byte order", patched(good, {{1, 'M'}})},
        {"cut inside the header", PhotoBytes(good.begin(), good.begin() + 7)},
    };
    for (const auto& [what, bytes] : cases) EXPECT_EQ(ExifOrientation(bytes.data(), bytes.size()), 1) << what;
    // IFD1 pointing back at IFD0 (a loop) does not matter: only IFD0 is read.
    EXPECT_EQ(ExifOrientation(patched(good, {{34, 8}}).data(), good.size()), 6);
    forEachMutation(good, 4000, [](const PhotoBytes& m) {
        const int o = ExifOrientation(m.data(), m.size());
        EXPECT_TRUE(o >= 1 && o <= 8);
    });
}

TEST(PhotoMutation, DamagedJpegMetadataNeverCrashes) {
    PhotoBytes icc(3000);
    for (size_t i = 0; i < icc.size(); ++i) icc[i] = uint8_t(i * 7);
    // Two ICC chunks stored out of order: reassembled by sequence number.
    auto iccChunk = [&](int seq, size_t from, size_t to) {
        PhotoBytes p{'I', 'C', 'C', '_', 'P', 'R', 'O', 'F', 'I', 'L', 'E', 0, uint8_t(seq), 2};
        p.insert(p.end(), icc.begin() + ptrdiff_t(from), icc.begin() + ptrdiff_t(to));
        return p;
    };
    const TBitmap b(16, 8, PixelFormat::pf24bit);
    const PhotoBytes exif = withJpegSegment(encodedJpeg(b, 80), 0xE1, exifApp1(3, true));
    const PhotoBytes half = withJpegSegment(exif, 0xE2, iccChunk(2, 1000, 3000));
    const PhotoBytes jpeg = withJpegSegment(half, 0xE2, iccChunk(1, 0, 1000));
    const PhotoMeta meta = ReadJpegPhotoMeta(jpeg.data(), jpeg.size());
    EXPECT_EQ(meta.orientation, 3);
    EXPECT_EQ(meta.iccProfile, icc);
    // A missing chunk gives no profile.
    EXPECT_TRUE(ReadJpegPhotoMeta(half.data(), half.size()).iccProfile.empty());

    forEachMutation(jpeg, 1500, [&](const PhotoBytes& m) {
        const PhotoMeta got = ReadJpegPhotoMeta(m.data(), m.size());
        EXPECT_TRUE(got.orientation >= 1 && got.orientation <= 8);
        EXPECT_LE(got.iccProfile.size(), icc.size());
    }, 6000);
}

TEST(SpecialFiles, RefusedOrReadWithoutHangingOrGrowing) {
    TempTree t;
    using P = const std::string&;
    // Name, how it is made, and a part of the outcome: "ok" and the thumbnail, or the error.
    const std::tuple<const char*, std::function<void(P)>, const char*> rows[] = {
        {"pipe.png", [](P p) { ASSERT_EQ(::mkfifo(p.c_str(), 0600), 0); }, "it is a named pipe"},
        {"zero.png", [](P p) { ASSERT_EQ(::symlink("/dev/zero", p.c_str()), 0); },
         "it is a character device"},
        {"folder.jpg", [](P p) { ASSERT_EQ(::mkdir(p.c_str(), 0700), 0); }, "it is a folder"},
        {"huge.bmp", [&](P) { t.file("huge.bmp", int64_t(fileByteLimit({}, 4)) + 1); },
         "bytes, more than the"},
        // Within the bound: mapped, and the decoder stops at the end of the image data; zeros
        // follow up to 1 GiB, left sparse.
        {"padded.jpg", [](P p) {
             writeFile(p, encodedJpeg(flatImage(64, 48, 0xC86432)));
             ASSERT_EQ(::truncate(p.c_str(), int64_t(1) << 30), 0);
         }, "ok 80x60 C86432"},
    };
    for (const auto& [name, make, expect] : rows) {
        SCOPED_TRACE(name);
        const std::string path = t / name;
        make(path);
        const Guarded g = runGuarded([&] {
            try {
                TBitmap thumb;
                MakeThumbnail(path, ThumbParams{}, thumb);
                const bool near = worstDistance(flatImage(1, 1, thumb.pixel(40, 30)), 0xC86432) <= 2;
                return "ok " + std::to_string(thumb.width()) + "x" + std::to_string(thumb.height()) +
                       (near ? " C86432" : " another colour");
            } catch (const std::exception& e) {
                return std::string(e.what());
            }
        });
        ASSERT_EQ(g.outcome, Guarded::Finished) << "outcome " << g.outcome;
        EXPECT_NE(g.result.find(expect), std::string::npos) << g.result;
    }
}

}  // namespace

// Another program cuts a large (mapped) JPEG to half its size when its decode starts: the load
// fails and never ends the process.
TEST(SpecialFiles, CutShortWhileDecodedFails) {
    TempTree t;
    const std::vector<uint8_t> bytes = encodedJpeg(randomBitmap(PixelFormat::pf24bit, 1000, 800, 17), 100);
    ASSERT_GE(bytes.size(), kMapThreshold);
    const std::string path = t / "big.jpg";
    writeFile(path, bytes);
    const Guarded g = runGuarded([&] {
        TPicture picture;
        bool cut = false;
        picture.onProgress = [&](ProgressStage stage, int, const std::string&) {
            if (stage == ProgressStage::Starting) cut = ::truncate(path.c_str(), off_t(bytes.size() / 2)) == 0;
        };
        try {
            picture.loadFromFile(path);
            return std::string(picture.graphic()->raster() ? "loaded" : "no picture");
        } catch (const std::exception&) {
            return std::string(cut ? "failed" : "failed, not cut");
        }
    });
    ASSERT_EQ(g.outcome, Guarded::Finished) << "outcome " << g.outcome;
    EXPECT_EQ(g.result, "failed");
}
