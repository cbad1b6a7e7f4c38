// The plug-ins Korvel ships, loaded through the host as the program loads them, reading files
// made here with each format's own library, and failing cleanly on damaged ones.
#include <gtest/gtest.h>
#include <libheif/heif.h>
#include <tiffio.h>
#include <webp/encode.h>
#include <webp/mux.h>

#include <cstdlib>
#include <cstring>
#include <tuple>

#include "base/Errors.h"
#include "formats/FormatRegistry.h"
#include "formats/SpiGraphic.h"
#include "formats/SpiHost.h"
#include "formats/SpiStartup.h"
#include "tests/support/ColorSamples.h"
#include "tests/support/Mutation.h"
#include "tests/support/PhotoSamples.h"
#include "tests/support/TempTree.h"
#include "tests/tools/ToolRun.h"

using namespace korvel;
using namespace korvel::testing;

// The HEVC encoder that makes the test's HEIC files keeps a few blocks until exit; that is
// the encoder's, not Korvel's or the plug-in's. LeakSanitizer reads this hook when present.
extern "C" const char* __lsan_default_suppressions() { return "leak:libx265.so\n"; }
using Bytes = std::vector<uint8_t>;

namespace {

// Straight RGBA of a test picture: every pixel distinct, alpha from 40 to 255 when asked; another
// shift gives other colours.
struct Picture {
    int width, height;
    bool alpha;
    int shift = 0;
    uint8_t r(int x, int y) const { return uint8_t(x * 37 + y * 3 + shift); }
    uint8_t g(int x, int y) const { return uint8_t(y * 41 + 7); }
    uint8_t b(int x, int y) const { return uint8_t((x ^ y) * 23); }
    uint8_t a(int x, int y) const { return alpha ? uint8_t(40 + (x * 11 + y * 17) % 216) : 255; }
    Bytes rgba() const {
        Bytes v;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) v.insert(v.end(), {r(x, y), g(x, y), b(x, y), a(x, y)});
        return v;
    }
};

class ShippedPlugins : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name : {"korvel-webp", "korvel-tiff", "korvel-heif"})
            host_.Search(std::string(KORVEL_PLUGIN_DIR) + "/" + name + ".spi");
    }
    std::string file(const std::string& name, const Bytes& bytes) {
        return dir_.write(name, std::string(bytes.begin(), bytes.end()));
    }
    // An 8-bit RGB TIFF of p, with straight (unassociated) alpha when p has alpha.
    Bytes tiff(const Picture& p, int orientation, const Bytes& icc = {}) {
        const std::string path = dir_.root() + "src.tif";
        const uint16_t extra = EXTRASAMPLE_UNASSALPHA;
        TIFF* t = TIFFOpen(path.c_str(), "w");
        for (const auto& [tag, value] : {std::pair<uint32_t, int>{TIFFTAG_IMAGEWIDTH, p.width},
            {TIFFTAG_IMAGELENGTH, p.height}, {TIFFTAG_ROWSPERSTRIP, p.height}, {TIFFTAG_BITSPERSAMPLE, 8},
            {TIFFTAG_SAMPLESPERPIXEL, p.alpha ? 4 : 3}, {TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG},
            {TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB}, {TIFFTAG_ORIENTATION, orientation}})
            TIFFSetField(t, tag, value);
        if (p.alpha) TIFFSetField(t, TIFFTAG_EXTRASAMPLES, 1, &extra);
        if (!icc.empty()) TIFFSetField(t, TIFFTAG_ICCPROFILE, uint32_t(icc.size()), icc.data());
        const Bytes rgba = p.rgba();
        Bytes samples;
        for (size_t i = 0; i < rgba.size(); ++i)
            if (p.alpha || i % 4 != 3) samples.push_back(rgba[i]);
        TIFFWriteEncodedStrip(t, 0, samples.data(), tmsize_t(samples.size()));
        TIFFClose(t);
        const std::string bytes = readFile(path);
        return Bytes(bytes.begin(), bytes.end());
    }
    // b shows p. Colour is exact unless it went through 8-bit premultiplication, which undoing is
    // exact to about half of 255 / alpha.
    void expectPixels(const TBitmap& b, const Picture& p, bool premultiplied = false) {
        ASSERT_EQ(std::tuple(b.width(), b.height(), b.bitsPerPixel()),
                  std::tuple(p.width, p.height, p.alpha ? 32 : 24));
        for (int y = 0; y < p.height; ++y)
            for (int x = 0; x < p.width; ++x) {
                const Color c = b.pixel(x, y);
                const int got[] = {redOf(c), greenOf(c), blueOf(c), b.alphaAt(x, y)};
                const int want[] = {p.r(x, y), p.g(x, y), p.b(x, y), p.a(x, y)};
                for (int i = 0; i < 4; ++i)  // alpha is always exact
                    EXPECT_NEAR(got[i], want[i], premultiplied && i < 3 ? 1 + 255 / (2 * want[3]) : 0)
                        << "channel " << i << " at " << x << "," << y;
            }
    }
    const Bytes icc_ = profileOf(kSpaces[1]);
    TempTree dir_;
    TFileFormatsList formats_;
    TSPIs host_{"", &formats_};
};

TEST_F(ShippedPlugins, RegisterTheirFormats) {
    ASSERT_EQ(host_.Count(), 3) << "a plug-in did not load";
    for (const char* ext : {"webp", "tif", "tiff", "heic", "heif", "avif"})
        EXPECT_EQ(formats_.findFormatByExtension(ext), &TSPIBitmap::classInfo) << ext;
}

Bytes encodeWebp(const Picture& p) {
    uint8_t* out = nullptr;
    const Bytes rgba = p.rgba();
    const size_t n = WebPEncodeLosslessRGBA(rgba.data(), p.width, p.height, p.width * 4, &out);
    Bytes v(out, out + n);
    WebPFree(out);
    return v;
}

// Still WebP files put together by libwebp's muxer: more than one as an animation of 100 ms
// frames, else the one with the EXIF and ICCP chunks given.
Bytes webpMux(const std::vector<Bytes>& frames, const Bytes& exif = {}, const Bytes& icc = {}) {
    const bool animated = frames.size() > 1;
    const WebPData still{frames[0].data(), frames[0].size()}, e{exif.data(), exif.size()},
        i{icc.data(), icc.size()};
    WebPMux* mux = animated ? WebPMuxNew() : WebPMuxCreate(&still, 1);
    for (size_t k = 0; animated && k < frames.size(); ++k) {
        const WebPMuxFrameInfo frame{{frames[k].data(), frames[k].size()}, 0, 0, 100, WEBP_CHUNK_ANMF,
                                     WEBP_MUX_DISPOSE_NONE, WEBP_MUX_BLEND, {}};
        WebPMuxPushFrame(mux, &frame, 1);
    }
    const WebPMuxAnimParams params{0, 0};
    if (animated) WebPMuxSetAnimationParams(mux, &params);
    if (!exif.empty()) WebPMuxSetChunk(mux, "EXIF", &e, 1);
    if (!icc.empty()) WebPMuxSetChunk(mux, "ICCP", &i, 1);
    WebPData out{nullptr, 0};
    WebPMuxAssemble(mux, &out);
    Bytes v(out.bytes, out.bytes + out.size);
    WebPDataClear(&out);
    WebPMuxDelete(mux);
    return v;
}

// libtiff hands the plug-in every photometric as premultiplied RGBA, so with and without alpha
// are the TIFF plug-in's own branches. Orientation 6 and a profile reach the graphic untouched, for
// the host to turn and convert; an animation shows its first frame.
TEST_F(ShippedPlugins, WebpAndTiffPixelsOrientationAndProfile) {
    const Picture opaque{7, 5, false}, alpha{6, 4, true}, second{7, 5, false, 100};
    const struct {
        const char* name;
        Bytes bytes;
        Picture shown;
        bool premultiplied;
        int orientation;
        Bytes icc;
    } rows[] = {
        {"opaque.webp", encodeWebp(opaque), opaque, false, 1, {}},
        {"alpha.webp", encodeWebp(alpha), alpha, false, 1, {}},
        {"anim.webp", webpMux({encodeWebp(opaque), encodeWebp(second)}), opaque, false, 1, {}},
        {"meta.webp", webpMux({encodeWebp(opaque)}, exifBlock(6, true), icc_), opaque, false, 6, icc_},
        {"opaque.tif", tiff(opaque, 1), opaque, false, 1, {}},
        {"alpha.tif", tiff(alpha, 1), alpha, true, 1, {}},
        {"meta.tif", tiff(opaque, 6, icc_), opaque, false, 6, icc_},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        TSPIBitmap b;
        b.loadFromFile(file(r.name, r.bytes));
        EXPECT_EQ(b.photoMeta().orientation, r.orientation);
        EXPECT_EQ(b.photoMeta().iccProfile, r.icc);
        expectPixels(b, r.shown, r.premultiplied);
    }
}

// The host turns pictures itself (shown below); a host that does not set SPI_HOST_ORIENTS gets
// the rows turned by the plug-in and nothing left to turn.
TEST_F(ShippedPlugins, TiffOrientationTag) {
    // Stored 3 x 2 as "ABC DEF"; the letters are told apart by red alone.
    const Picture stored{3, 2, false};
    const std::pair<uint16_t, std::string> rows[] = {
        {1, "ABC DEF"}, {2, "CBA FED"}, {3, "FED CBA"}, {4, "DEF ABC"},
        {5, "AD BE CF"}, {6, "DA EB FC"}, {7, "FC EB DA"}, {8, "CF BE AD"},
    };
    const TSPI& plugin = *host_.item(1);
    for (const auto& [orientation, shown] : rows) {
        const std::string path = file("o.tif", tiff(stored, orientation));
        void *info = nullptr, *bits = nullptr;
        ASSERT_EQ(plugin.GetPicture(path.c_str(), 0, SPI_SOURCE_FILE, &info, &bits, nullptr, 0), SPI_OK);
        const int w = static_cast<int32_t*>(info)[1], h = static_cast<int32_t*>(info)[2];
        const size_t stride = (size_t(w) * 3 + 3) & ~size_t(3);
        std::string got;
        for (int y = 0; y < h; ++y) {
            got += y ? " " : "";
            for (int x = 0; x < w; ++x) {  // bottom-up rows of blue, green, red
                const uint8_t red = static_cast<uint8_t*>(bits)[(h - 1 - y) * stride + 3 * x + 2];
                got += '?';
                for (int i = 0; i < 6; ++i)
                    if (stored.r(i % 3, i / 3) == red) got.back() = char('A' + i);
            }
        }
        EXPECT_EQ(got, shown) << orientation;
        std::free(info);
        std::free(bits);
        SpiPictureMeta meta{}, host{};
        ASSERT_EQ(plugin.GetPictureMeta(path.c_str(), 0, SPI_SOURCE_FILE, &meta), SPI_OK);
        ASSERT_EQ(plugin.GetPictureMeta(path.c_str(), 0, SPI_SOURCE_FILE | SPI_HOST_ORIENTS, &host), SPI_OK);
        EXPECT_EQ(std::pair(meta.orientation, host.orientation), std::pair(1, int32_t(orientation)));
    }
}

// Encodes a 64 x 48 picture, red on the left half and blue on the right, optionally with
// alpha 128 everywhere and an orientation, as AVIF or else HEIC: the plug-in's path is the same.
// Returns nothing when libheif has neither encoder here.
Bytes encodeHeif(bool alpha, heif_orientation orientation, const Bytes& icc = {}) {
    heif_context* ctx = heif_context_alloc();
    heif_encoder* enc = nullptr;
    for (heif_compression_format format : {heif_compression_AV1, heif_compression_HEVC})
        if (!enc) heif_context_get_encoder_for_format(ctx, format, &enc);
    if (!enc) {
        heif_context_free(ctx);
        return {};
    }
    heif_encoder_set_lossy_quality(enc, 90);
    const int w = 64, h = 48, n = alpha ? 4 : 3;
    heif_image* img = nullptr;
    heif_image_create(w, h, heif_colorspace_RGB,
                      alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB, &img);
    heif_image_add_plane(img, heif_channel_interleaved, w, h, 8);
    int stride = 0;
    uint8_t* plane = heif_image_get_plane(img, heif_channel_interleaved, &stride);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const uint8_t left = x < w / 2 ? 220 : 20, pixel[4] = {left, 20, uint8_t(240 - left), 128};
            std::memcpy(plane + y * stride + x * n, pixel, size_t(n));
        }
    if (!icc.empty()) heif_image_set_raw_color_profile(img, "prof", icc.data(), icc.size());
    heif_encoding_options* options = heif_encoding_options_alloc();
    options->image_orientation = orientation;
    heif_context_encode_image(ctx, img, enc, options, nullptr);
    heif_encoding_options_free(options);
    Bytes bytes;
    heif_writer writer{1, [](heif_context*, const void* data, size_t size, void* user) {
                           auto& out = *static_cast<Bytes*>(user);
                           const auto* begin = static_cast<const uint8_t*>(data);
                           out.insert(out.end(), begin, begin + size);
                           return heif_error{heif_error_Ok, heif_suberror_Unspecified, "ok"};
                       }};
    heif_context_write(ctx, &writer, &bytes);
    heif_image_release(img);
    heif_encoder_release(enc);
    heif_context_free(ctx);
    return bytes;
}

// "red" or "blue" where that channel clearly leads at (x, y), else both values.
std::string hue(const TBitmap& b, int x, int y) {
    const int red = redOf(b.pixel(x, y)), blue = blueOf(b.pixel(x, y));
    if (red > 180 && blue < 70) return "red";
    if (blue > 180 && red < 70) return "blue";
    return std::to_string(red) + "/" + std::to_string(blue);
}

// libheif turns the picture itself, so the graphic says orientation 1; the profile reaches it.
TEST_F(ShippedPlugins, HeifHalvesAlphaAndProfile) {
    const struct {
        bool alpha;
        heif_orientation orientation;
        int width, height, redX, redY, blueX, blueY;
    } rows[] = {
        {true, heif_orientation_normal, 64, 48, 8, 8, 55, 39},
        {false, heif_orientation_rotate_90_cw, 48, 64, 24, 8, 24, 56},  // the red left half on top
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.alpha ? "alpha" : "turned");
        const Bytes bytes = encodeHeif(r.alpha, r.orientation, icc_);
        if (bytes.empty()) GTEST_SKIP() << "libheif has no HEVC or AV1 encoder here";
        TSPIBitmap b;
        b.loadFromFile(file("h.heic", bytes));
        ASSERT_EQ(std::tuple(b.width(), b.height(), b.bitsPerPixel(), b.photoMeta().orientation),
                  std::tuple(r.width, r.height, r.alpha ? 32 : 24, 1));
        EXPECT_EQ(hue(b, r.redX, r.redY) + " " + hue(b, r.blueX, r.blueY), "red blue");
        EXPECT_NEAR(b.alphaAt(20, 20), r.alpha ? 128 : 255, 4);
        EXPECT_EQ(b.photoMeta().iccProfile, icc_);
    }
}

TEST_F(ShippedPlugins, DamagedFiles) {
    const std::tuple<std::string, Bytes, int> rows[] = {
        {"w.webp", webpMux({encodeWebp(Picture{16, 12, true})}, exifBlock(6, false), Bytes(300, 7)), 300},
        {"d.tif", tiff(Picture{24, 16, false}, 5, Bytes(300, 7)), 300},
        {"d.avif", encodeHeif(false, heif_orientation_normal, Bytes(300, 7)), 150},  // empty without encoder
    };
    for (const auto& [name, good, count] : rows) {
        SCOPED_TRACE(name);
        if (good.empty()) continue;
        // Damaged copies never crash; each either decodes or fails with an image error.
        forEachMutation(good, count, [&](const Bytes& m) {
            try {
                TSPIBitmap().loadFromMemory(m.data(), m.size());
            } catch (const EInvalidGraphic&) {
            }
        });
        // Cut files are refused, not half-read.
        for (size_t keep : {good.size() / 4, good.size() / 2})
            EXPECT_THROW(TSPIBitmap().loadFromFile(file(name, Bytes(good.data(), good.data() + keep))),
                         EInvalidGraphic) << keep;
    }
}

// An ISO base media file-type box: size, "ftyp", major brand, minor version, compatible brands.
Bytes ftypBox(const char* major, const std::vector<const char*>& compatible) {
    Bytes v(16 + 4 * compatible.size(), 0);
    for (int i = 0; i < 4; ++i) v[size_t(i)] = uint8_t(v.size() >> (24 - 8 * i));
    std::memcpy(&v[4], "ftyp", 4);
    std::memcpy(&v[8], major, 4);
    for (size_t i = 0; i < compatible.size(); ++i) std::memcpy(&v[16 + 4 * i], compatible[i], 4);
    return v;
}

const Bytes kPngStart = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R'};

TEST_F(ShippedPlugins, HeaderDecidesWhoReadsIt) {
    Bytes brandAfterBox = ftypBox("mif1", {"miaf"});
    brandAfterBox.insert(brandAfterBox.end(), {'h', 'e', 'i', 'c'});
    const struct {
        const char* name;
        int plugin;  // 1 TIFF, 2 HEIF
        Bytes bytes;
        bool supported;
    } rows[] = {
        {"heif: png", 2, kPngStart, false},
        {"heif: mp4", 2, ftypBox("isom", {"isom", "iso2", "mp41"}), false},
        {"heif: heic after the box", 2, brandAfterBox, false},
        {"heif: mif1 naming heic", 2, ftypBox("mif1", {"miaf", "heic"}), true},
        {"heif: avif", 2, ftypBox("avif", {"mif1"}), true},
        {"tiff: png", 1, kPngStart, false},
        {"tiff: header", 1, {'I', 'I', 42, 0, 8, 0, 0, 0}, true},
    };
    for (const auto& r : rows) {
        Bytes header = r.bytes;
        header.resize(SPI_HEADER_BYTES, 0);
        EXPECT_EQ(host_.item(r.plugin)->IsSupported("x", header.data()) != 0, r.supported) << r.name;
    }
}

// Every start of Korvel loads the plug-ins, so loading one must not load its format library
// (libheif with its codec libraries, libtiff with its compression libraries): IsSupported decides
// from the header, and the library is opened when a picture of the format is read. A library
// that cannot be used gives an error, not a crash. The loader's log tells which were loaded.
TEST_F(ShippedPlugins, FormatLibraryOpenedOnlyToReadAPicture) {
    const Bytes heif = encodeHeif(false, heif_orientation_normal);
    const Bytes tiffFile = tiff(Picture{6, 5, false}, 1);
    const struct {
        const char* name;
        Bytes bytes;          // empty when libheif has no encoder here
        std::string shown;    // what info prints after the tab, up to the bit depth
        const char* loaded;   // the format library loaded, if any
        bool unusable = false;
    } rows[] = {{"png.heic", kPngStart, "error", nullptr},   {"w.tif", tiffFile, "6x5 24", "libtiff.so"},
                {"u.tif", tiffFile, "error", nullptr, true}, {"h.heic", heif, "64x48 24", "libheif.so"},
                {"u.heic", heif, "error", nullptr, true}};
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        if (r.bytes.empty()) continue;
        std::vector<std::string> env{"LC_ALL=C.UTF-8", "LD_DEBUG=files"};
        if (r.unusable) env.push_back("LD_LIBRARY_PATH=" KORVEL_UNUSABLE_LIBS_DIR);
        const std::string path = file(r.name, r.bytes);
        const ToolRun run = runTool({"info", path}, env);
        EXPECT_EQ(run.status, r.shown == "error" ? 1 : 0);
        EXPECT_EQ(run.out.rfind(path + "\t" + r.shown, 0), 0u) << run.out;
        if (r.unusable) continue;
        for (const std::string library : {"libheif.so", "libtiff.so"})
            EXPECT_EQ(run.err.find(library) != std::string::npos, r.loaded && library == r.loaded) << library;
    }
}

}  // namespace
