// The plug-ins Korvel ships, loaded through the host as the program loads them, reading files
// made here with each format's own library, and failing cleanly on damaged ones.
#include <gtest/gtest.h>
#include <libheif/heif.h>
#include <tiffio.h>
#include <webp/encode.h>
#include <webp/mux.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
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

// An 8-bit RGB TIFF of p, with straight (unassociated) alpha when p has alpha.
Bytes encodeTiff(const Picture& p, uint16_t orientation, const std::string& path, const Bytes& icc = {}) {
    const uint16_t extra = EXTRASAMPLE_UNASSALPHA;
    TIFF* t = TIFFOpen(path.c_str(), "w");
    TIFFSetField(t, TIFFTAG_IMAGEWIDTH, p.width);
    TIFFSetField(t, TIFFTAG_IMAGELENGTH, p.height);
    TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, p.alpha ? 4 : 3);
    TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
    TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(t, TIFFTAG_ORIENTATION, orientation);
    TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, p.height);
    if (p.alpha) TIFFSetField(t, TIFFTAG_EXTRASAMPLES, 1, &extra);
    if (!icc.empty()) TIFFSetField(t, TIFFTAG_ICCPROFILE, uint32_t(icc.size()), icc.data());
    const Bytes rgba = p.rgba();
    for (int y = 0; y < p.height; ++y) {
        Bytes row;
        for (int x = 0; x < p.width; ++x) {
            const uint8_t* px = &rgba[size_t(y * p.width + x) * 4];
            row.insert(row.end(), px, px + (p.alpha ? 4 : 3));
        }
        TIFFWriteScanline(t, row.data(), uint32_t(y), 0);
    }
    TIFFClose(t);
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class ShippedPlugins : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name : {"korvel-webp", "korvel-tiff", "korvel-heif"})
            host_.Search(std::string(KORVEL_PLUGIN_DIR) + "/" + name + ".spi");
    }
    std::string file(const std::string& name, const Bytes& bytes) {
        return dir_.write(name, std::string(bytes.begin(), bytes.end()));
    }
    TBitmap load(const std::string& name, const Bytes& bytes) {
        TSPIBitmap b;
        b.loadFromFile(file(name, bytes));
        return b;
    }
    Bytes tiff(const Picture& p, uint16_t orientation, const Bytes& icc = {}) {
        return encodeTiff(p, orientation, dir_.root() + "src.tif", icc);
    }
    // Damaged copies never crash; each either decodes or fails with an image error.
    void mutations(const std::string& name, const Bytes& good, int count) {
        korvel::testing::forEachMutation(good, count, [&](const Bytes& m) {
            TSPIBitmap b;
            try {
                b.loadFromMemory(m.data(), m.size());
            } catch (const EInvalidGraphic&) {
            }
        });
        // Cut files are refused, not half-read.
        for (size_t keep : {good.size() / 4, good.size() / 2})
            EXPECT_THROW(load("cut-" + name, Bytes(good.begin(), good.begin() + long(keep))), EInvalidGraphic) << keep;
    }
    // b shows p. Colour is exact unless it went through 8-bit premultiplication, which undoing is
    // exact to about half of 255 / alpha.
    void expectPixels(const TBitmap& b, const Picture& p, bool premultiplied = false) {
        ASSERT_EQ(std::tuple(b.width(), b.height(), b.bitsPerPixel()),
                  std::tuple(p.width, p.height, p.alpha ? 32 : 24));
        for (int y = 0; y < p.height; ++y)
            for (int x = 0; x < p.width; ++x) {
                const Color got = b.pixel(x, y);
                const int tolerance = premultiplied ? 1 + 255 / (2 * p.a(x, y)) : 0;
                EXPECT_NEAR(redOf(got), p.r(x, y), tolerance) << x << "," << y;
                EXPECT_NEAR(greenOf(got), p.g(x, y), tolerance) << x << "," << y;
                EXPECT_NEAR(blueOf(got), p.b(x, y), tolerance) << x << "," << y;
                EXPECT_EQ(b.alphaAt(x, y), p.a(x, y)) << x << "," << y;
            }
    }
    korvel::testing::TempTree dir_;
    TFileFormatsList formats_;
    TSPIs host_{"", &formats_};
};

TEST_F(ShippedPlugins, RegisterTheirFormats) {
    ASSERT_EQ(host_.Count(), 3) << "a plug-in did not load";
    for (const char* ext : {"webp", "tif", "tiff", "heic", "heif", "avif"})
        EXPECT_EQ(formats_.findFormatByExtension(ext), &TSPIBitmap::classInfo) << ext;
}

// ---- WebP ----

Bytes encodeWebp(const Picture& p) {
    uint8_t* out = nullptr;
    const Bytes rgba = p.rgba();
    const size_t n = WebPEncodeLosslessRGBA(rgba.data(), p.width, p.height, p.width * 4, &out);
    Bytes v(out, out + n);
    WebPFree(out);
    return v;
}

// What libwebp's muxer puts together; the muxer is freed.
Bytes assembled(WebPMux* mux) {
    WebPData out;
    WebPDataInit(&out);
    WebPMuxAssemble(mux, &out);
    Bytes v(out.bytes, out.bytes + out.size);
    WebPDataClear(&out);
    WebPMuxDelete(mux);
    return v;
}

// An animation of still WebP files, 100 ms each.
Bytes webpAnimation(const std::vector<Bytes>& frames) {
    WebPMux* mux = WebPMuxNew();
    for (const Bytes& f : frames) {
        WebPMuxFrameInfo frame{};
        frame.bitstream = {f.data(), f.size()};
        frame.duration = 100;
        frame.id = WEBP_CHUNK_ANMF;
        WebPMuxPushFrame(mux, &frame, 1);
    }
    const WebPMuxAnimParams params{0, 0};
    WebPMuxSetAnimationParams(mux, &params);
    return assembled(mux);
}

// A WebP file with EXIF and ICCP chunks added by libwebp's muxer.
Bytes webpWithMeta(const Bytes& webp, const Bytes& exif, const Bytes& icc) {
    const WebPData in{webp.data(), webp.size()}, e{exif.data(), exif.size()}, i{icc.data(), icc.size()};
    WebPMux* mux = WebPMuxCreate(&in, 1);
    WebPMuxSetChunk(mux, "EXIF", &e, 1);
    WebPMuxSetChunk(mux, "ICCP", &i, 1);
    return assembled(mux);
}

// libtiff hands the plug-in every photometric as premultiplied RGBA, so with and without alpha
// are the TIFF plug-in's own branches.
TEST_F(ShippedPlugins, WebpAndTiffOpaqueAlphaAndAnimated) {
    for (const Picture& p : {Picture{7, 5, false}, Picture{6, 4, true}}) {
        SCOPED_TRACE(p.alpha ? "alpha" : "opaque");
        expectPixels(load("a.webp", encodeWebp(p)), p);
        expectPixels(load("t.tif", tiff(p, 1)), p, p.alpha);
    }
    SCOPED_TRACE("an animation shows its first frame");
    const Picture first{9, 6, false}, second{9, 6, false, 100};
    expectPixels(load("anim.webp", webpAnimation({encodeWebp(first), encodeWebp(second)})), first);
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
                const uint8_t red = static_cast<uint8_t*>(bits)[size_t(h - 1 - y) * stride + 3 * size_t(x) + 2];
                got += '?';
                for (int i = 0; i < 6; ++i)
                    if (stored.r(i % 3, i / 3) == red) got.back() = char('A' + i);
            }
        }
        EXPECT_EQ(got, shown) << orientation;
        std::free(info);
        std::free(bits);
        SpiPictureMeta meta{}, hostMeta{};
        ASSERT_EQ(plugin.GetPictureMeta(path.c_str(), 0, SPI_SOURCE_FILE, &meta), SPI_OK);
        ASSERT_EQ(plugin.GetPictureMeta(path.c_str(), 0, SPI_SOURCE_FILE | SPI_HOST_ORIENTS, &hostMeta), SPI_OK);
        EXPECT_EQ(std::pair(meta.orientation, hostMeta.orientation), std::pair(1, int32_t(orientation)));
    }
}

// ---- HEIF / AVIF ----

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
    heif_image_create(w, h, heif_colorspace_RGB, alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB,
                      &img);
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
                           auto* out = static_cast<Bytes*>(user);
                           const auto* begin = static_cast<const uint8_t*>(data);
                           out->insert(out->end(), begin, begin + size);
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
    const Bytes icc = korvel::testing::profileOf(korvel::testing::kSpaces[1]);
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
        const Bytes bytes = encodeHeif(r.alpha, r.orientation, icc);
        if (bytes.empty()) GTEST_SKIP() << "libheif has no HEVC or AV1 encoder here";
        TSPIBitmap b;
        b.loadFromFile(file("h.heic", bytes));
        ASSERT_EQ(std::tuple(b.width(), b.height(), b.bitsPerPixel(), b.photoMeta().orientation),
                  std::tuple(r.width, r.height, r.alpha ? 32 : 24, 1));
        EXPECT_EQ(hue(b, r.redX, r.redY) + " " + hue(b, r.blueX, r.blueY), "red blue");
        EXPECT_NEAR(b.alphaAt(20, 20), r.alpha ? 128 : 255, 4);
        EXPECT_EQ(b.photoMeta().iccProfile, icc);
    }
}

TEST_F(ShippedPlugins, DamagedFiles) {
    const Picture p{16, 12, true};
    const Bytes exif = korvel::testing::exifBlock(6, false);
    const std::tuple<std::string, Bytes, int> rows[] = {
        {"w.webp", webpWithMeta(encodeWebp(p), exif, Bytes(300, 7)), 300},
        {"d.tif", tiff(Picture{24, 16, false}, 5, Bytes(300, 7)), 300},
        {"d.avif", encodeHeif(false, heif_orientation_normal, Bytes(300, 7)), 150},  // empty without an encoder
    };
    for (const auto& [name, good, count] : rows) {
        SCOPED_TRACE(name);
        if (!good.empty()) mutations(name, good, count);
    }
}

// Orientation 6 and a profile reach the graphic untouched, for the host to turn and convert.
TEST_F(ShippedPlugins, OrientationAndProfileReachTheGraphic) {
    const Bytes icc = korvel::testing::profileOf(korvel::testing::kSpaces[1]);
    const Picture pic{12, 8, false};
    const std::pair<std::string, Bytes> files[] = {
        {"p.webp", webpWithMeta(encodeWebp(pic), korvel::testing::exifBlock(6, true), icc)},
        {"p.tif", tiff(pic, 6, icc)}};
    for (const auto& [name, bytes] : files) {
        SCOPED_TRACE(name);
        TSPIBitmap b;
        b.loadFromFile(file(name, bytes));
        EXPECT_EQ(b.photoMeta().orientation, 6);
        EXPECT_EQ(b.photoMeta().iccProfile, icc);
        expectPixels(b, pic);
    }
}

// ---- the header, and loading the library on first use ----

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
    const std::string unusable = KORVEL_UNUSABLE_LIBS_DIR;
    struct Row {
        const char* name;
        Bytes bytes;
        std::string shown;   // what info prints after the tab, up to the bit depth
        const char* loaded;  // the format library loaded, if any
        std::string libraryPath = "";
    };
    std::vector<Row> rows = {{"png.heic", kPngStart, "error", nullptr},
                             {"w.tif", tiffFile, "6x5 24", "libtiff.so"},
                             {"u.tif", tiffFile, "error", nullptr, unusable}};
    if (!heif.empty()) {
        rows.push_back({"h.heic", heif, "64x48 24", "libheif.so"});
        rows.push_back({"u.heic", heif, "error", nullptr, unusable});
    }
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        std::vector<std::string> env{"LC_ALL=C.UTF-8", "LD_DEBUG=files"};
        if (!r.libraryPath.empty()) env.push_back("LD_LIBRARY_PATH=" + r.libraryPath);
        const std::string path = file(r.name, r.bytes);
        const korvel::testing::ToolRun run = korvel::testing::runTool({"info", path}, env);
        EXPECT_EQ(run.status, r.shown == "error" ? 1 : 0);
        EXPECT_EQ(run.out.rfind(path + "\t" + r.shown, 0), 0u) << run.out;
        if (!r.libraryPath.empty()) continue;
        for (const std::string library : {"libheif.so", "libtiff.so"})
            EXPECT_EQ(run.err.find(library) != std::string::npos, r.loaded && library == r.loaded) << library;
    }
}

}  // namespace
