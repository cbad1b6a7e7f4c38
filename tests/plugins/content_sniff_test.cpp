// Files whose extension lies: every content Korvel reads, under every other format's extension,
// loads as its content says (the same pixels as under its own name) and says what it holds; the
// decoder a file's name picks stays first, and a refused file names the decoder and its reason.
#include <gtest/gtest.h>
#include <libheif/heif.h>
#include <tiffio.h>
#include <webp/encode.h>

#include <zlib.h>

#include <cstdlib>
#include <cstring>
#include <map>

#include "codecs/Png.h"
#include "formats/FormatRegistry.h"
#include "formats/Picture.h"
#include "formats/SpiHost.h"
#include "tests/support/CodecSamples.h"
#include "tests/support/TempTree.h"
#include "tests/support/TestImages.h"
#include "tests/tools/ToolRun.h"

extern "C" const char* __lsan_default_suppressions() { return "leak:libx265.so\n"; }

using namespace korvel;
using namespace korvel::testing;
using Bytes = std::vector<uint8_t>;

namespace {

constexpr int kW = 12, kH = 9;

Bytes pngOf(const TBitmap& b) {
    TGLDPNG p;
    p.assign(b);
    return savedBytes(p);
}

Bytes bmpOf(const TBitmap& b) {
    std::ostringstream out;
    writeBmp(b, out);
    const std::string s = out.str();
    return Bytes(s.begin(), s.end());
}

// An icon directory with one entry holding a PNG image.
Bytes icoOf(const TBitmap& b) {
    const Bytes png = pngOf(b);
    Bytes v{0, 0, 1, 0, 1, 0, uint8_t(b.width()), uint8_t(b.height()), 0, 0, 1, 0, 32, 0};
    for (uint32_t n : {uint32_t(png.size()), uint32_t(22)})
        for (int i = 0; i < 4; ++i) v.push_back(uint8_t(n >> (8 * i)));
    v.insert(v.end(), png.begin(), png.end());
    return v;
}

Bytes gifOf() {
    TBitmap indexed(kW, kH, PixelFormat::pf8bit);
    indexed.setPalette({RGBQuad::of(0xFF0000), RGBQuad::of(0x00FF00), RGBQuad::of(0x0000FF), RGBQuad::of(0x808080)});
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) indexed.setRawPixel(x, y, uint32_t((x + 2 * y) % 4));
    return paletteGif(indexed, -1);
}

Bytes rgbaOf(const TBitmap& b) {
    Bytes v;
    for (int y = 0; y < b.height(); ++y)
        for (int x = 0; x < b.width(); ++x) {
            const Color c = b.pixel(x, y);
            v.insert(v.end(), {uint8_t(redOf(c)), uint8_t(greenOf(c)), uint8_t(blueOf(c)), 255});
        }
    return v;
}

Bytes webpOf(const TBitmap& b) {
    const Bytes rgba = rgbaOf(b);
    uint8_t* out = nullptr;
    const size_t n = WebPEncodeLosslessRGBA(rgba.data(), b.width(), b.height(), b.width() * 4, &out);
    Bytes v(out, out + n);
    WebPFree(out);
    return v;
}

Bytes tiffOf(const TBitmap& b, const std::string& scratch) {
    TIFF* t = TIFFOpen(scratch.c_str(), "w");
    TIFFSetField(t, TIFFTAG_IMAGEWIDTH, b.width());
    TIFFSetField(t, TIFFTAG_IMAGELENGTH, b.height());
    TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, b.height());
    TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 3);
    TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
    Bytes rgb;
    const Bytes rgba = rgbaOf(b);
    for (size_t i = 0; i < rgba.size(); ++i)
        if (i % 4 != 3) rgb.push_back(rgba[i]);
    TIFFWriteEncodedStrip(t, 0, rgb.data(), tmsize_t(rgb.size()));
    TIFFClose(t);
    const std::string s = readFile(scratch);
    return Bytes(s.begin(), s.end());
}

// Empty when libheif has no encoder here.
Bytes heifOf(const TBitmap& b) {
    heif_context* ctx = heif_context_alloc();
    heif_encoder* enc = nullptr;
    for (heif_compression_format f : {heif_compression_HEVC, heif_compression_AV1})
        if (!enc) heif_context_get_encoder_for_format(ctx, f, &enc);
    Bytes bytes;
    if (enc) {
        heif_image* img = nullptr;
        heif_image_create(b.width(), b.height(), heif_colorspace_RGB, heif_chroma_interleaved_RGB, &img);
        heif_image_add_plane(img, heif_channel_interleaved, b.width(), b.height(), 8);
        int stride = 0;
        uint8_t* plane = heif_image_get_plane(img, heif_channel_interleaved, &stride);
        const Bytes rgba = rgbaOf(b);
        for (int y = 0; y < b.height(); ++y)
            for (int x = 0; x < b.width(); ++x)
                for (int c = 0; c < 3; ++c) plane[y * stride + 3 * x + c] = rgba[size_t(4 * (y * b.width() + x) + c)];
        heif_context_encode_image(ctx, img, enc, nullptr, nullptr);
        heif_writer writer{1, [](heif_context*, const void* data, size_t size, void* user) {
                               auto* out = static_cast<Bytes*>(user);
                               out->insert(out->end(), static_cast<const uint8_t*>(data),
                                           static_cast<const uint8_t*>(data) + size);
                               return heif_error{heif_error_Ok, heif_suberror_Unspecified, "ok"};
                           }};
        heif_context_write(ctx, &writer, &bytes);
        heif_image_release(img);
        heif_encoder_release(enc);
    }
    heif_context_free(ctx);
    return bytes;
}

// Empty when cjxl is not installed.
Bytes jxlOf(const TBitmap& b, TempTree& dir) {
    if (std::system("command -v cjxl >/dev/null 2>&1") != 0) return {};
    const Bytes png = pngOf(b);
    const std::string in = dir.write("src-for-jxl.png", std::string(png.begin(), png.end()));
    const std::string out = dir.root() + "made.jxl";
    if (std::system(("cjxl -d 0 '" + in + "' '" + out + "' >/dev/null 2>&1").c_str()) != 0) return {};
    const std::string s = readFile(out);
    return Bytes(s.begin(), s.end());
}

class ContentSniff : public ::testing::Test {
protected:
    void SetUp() override {
        registerBuiltinFormats(formats_);
        for (const char* name : {"korvel-webp", "korvel-tiff", "korvel-heif", "korvel-jxl"})
            if (std::FILE* f = std::fopen((std::string(KORVEL_PLUGIN_DIR) + "/" + name + ".spi").c_str(), "rb")) {
                std::fclose(f);
                host_.Search(std::string(KORVEL_PLUGIN_DIR) + "/" + name + ".spi");
            }
    }
    std::string file(const std::string& name, const Bytes& bytes) {
        return dir_.write(name, std::string(bytes.begin(), bytes.end()));
    }
    TempTree dir_;
    TFileFormatsList formats_;
    TSPIs host_{"", &formats_};
};

TEST_F(ContentSniff, EveryContentUnderEveryOtherExtension) {
    const TBitmap image = gradientBitmap(kW, kH);
    const struct {
        ContentFormat format;
        const char* ext;  // its own extension
        Bytes bytes;      // empty: no encoder here
    } contents[] = {
        {ContentFormat::Png, "png", pngOf(image)},       {ContentFormat::Jpeg, "jpg", jpegBytes(image)},
        {ContentFormat::Gif, "gif", gifOf()},            {ContentFormat::Bmp, "bmp", bmpOf(image)},
        {ContentFormat::Ico, "ico", icoOf(image)},       {ContentFormat::WebP, "webp", webpOf(image)},
        {ContentFormat::Tiff, "tif", tiffOf(image, dir_.root() + "scratch.tif")},
        {ContentFormat::Heif, "heic", heifOf(image)},    {ContentFormat::JpegXl, "jxl", jxlOf(image, dir_)},
    };
    int skipped = 0;
    for (const auto& c : contents) {
        SCOPED_TRACE(c.ext);
        if (c.bytes.empty()) {
            std::printf("[  SKIPPED ] %s content: no encoder here\n", c.ext);
            ++skipped;
            continue;
        }
        EXPECT_EQ(sniffContent(c.bytes.data(), c.bytes.size()), c.format);
        // JPEG XL is read only where its plug-in is built; without it the reason says so.
        const bool readable = c.format != ContentFormat::JpegXl || formats_.findFormatByExtension("jxl");
        TPicture reference(formats_);
        if (!readable) {
            EXPECT_THROW(reference.loadFromFile(file(std::string("own.") + c.ext, c.bytes)), EInvalidGraphic);
            ASSERT_TRUE(reference.failure());
            EXPECT_EQ(reference.failure()->decoder, "korvel-jxl.spi");
            continue;
        }
        // Under its own name: read by the decoder the name picks, nothing noted.
        reference.loadFromFile(file(std::string("own.") + c.ext, c.bytes));
        EXPECT_FALSE(reference.content().mislabelled());
        ASSERT_TRUE(reference.graphic() && reference.graphic()->raster());
        for (const auto& other : contents) {
            if (other.format == c.format) continue;
            SCOPED_TRACE(std::string("as .") + other.ext);
            TPicture p(formats_);
            const std::string path = file(std::string("lies.") + other.ext, c.bytes);
            ASSERT_NO_THROW(p.loadFromFile(path)) << (p.failure() ? p.failure()->text() : "");
            EXPECT_EQ(p.content().format, c.format);
            EXPECT_EQ(p.content().text(), std::string(contentName(c.format)) + " (拡張子 ." + other.ext + ")");
            EXPECT_EQ(pixelDifference(*reference.graphic()->raster(), *p.graphic()->raster()), "");
        }
    }
    if (skipped) std::printf("%d content rows skipped\n", skipped);
}

// The name's decoder keeps the file when it can read it: a GIF named .bmp whose bytes also read
// as a bitmap is impossible, so the check is the other way: a real bitmap named .bmp is not noted,
// and a file whose content is damaged names the content's decoder and where it broke.
TEST_F(ContentSniff, RefusedContentNamesItsDecoder) {
    Bytes jpeg = jpegBytes(gradientBitmap(64, 48));
    jpeg.resize(jpeg.size() / 2);
    jpeg[jpeg.size() - 300] ^= 0xFF;
    Bytes cut = pngOf(gradientBitmap(8, 8));
    cut.resize(40);
    const struct {
        const char* name;
        Bytes bytes;
        const char* decoder;
        DecodeFailureKind kind;
    } rows[] = {
        {"cut.png", cut, "PNG Format", DecodeFailureKind::Damaged},
        {"jpeg-half.png", jpeg, "JPEG イメージファイル", DecodeFailureKind::Damaged},
        {"text.gif", Bytes(100, 'x'), "GIF Image", DecodeFailureKind::Damaged},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        TPicture p(formats_);
        const std::string path = file(r.name, r.bytes);
        try {
            p.loadFromFile(path);
            // A half JPEG may still decode (grey rows); then it says what it holds.
            EXPECT_EQ(p.content().format, ContentFormat::Jpeg);
            continue;
        } catch (const EInvalidGraphic&) {
        }
        ASSERT_TRUE(p.failure());
        EXPECT_EQ(p.failure()->decoder, r.decoder);
        EXPECT_EQ(p.failure()->kind, r.kind);
        EXPECT_EQ(p.failure()->text().rfind(std::string(r.decoder) + ": ファイルが壊れています (", 0), 0u)
            << p.failure()->text();
    }
}

// korvel-tool info says what a mislabelled file holds and why a refused one failed, for each
// kind of failure a file on disk can give.
TEST_F(ContentSniff, ToolInfoSaysContentAndReason) {
    const Bytes jpeg = jpegBytes(gradientBitmap(20, 10));
    // A PNG whose header claims 100000 x 100000 pixels (the header's CRC made to match).
    Bytes huge = pngOf(gradientBitmap(4, 4));
    for (size_t at : {16u, 20u}) huge[at] = 0, huge[at + 1] = 0x01, huge[at + 2] = 0x86, huge[at + 3] = 0xA0;
    const uLong crc = crc32(0, huge.data() + 12, 17);
    for (int i = 0; i < 4; ++i) huge[29 + size_t(i)] = uint8_t(crc >> (24 - 8 * i));
    Bytes emf(88, 0);
    emf[0] = 1;
    std::memcpy(emf.data() + 40, " EMF", 4);
    const struct {
        const char* name;
        Bytes bytes;
        std::string shown;  // after the path and a tab
    } rows[] = {
        {"photo.png", jpeg, "20x10 24 JPEG (拡張子 .png)"},
        {"photo.jpg", jpeg, "20x10 24 JPEG イメージファイル"},
        {"noise.png", Bytes(64, 0x42), "error: PNG Format: ファイルが壊れています ("},
        {"huge.png", huge, "error: PNG Format: 上限を超えています ("},
        {"vector.emf", emf, "error: エンハンス メタファイル: 対応していない種類です ("},
        {"note.xyz", Bytes(64, 'x'), "error: 拡張子 .xyz の画像形式は処理できません\n"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        const std::string path = file(r.name, r.bytes);
        const ToolRun run = runTool({"info", path}, {"LC_ALL=C.UTF-8"});
        EXPECT_EQ(run.out.rfind(path + "\t" + r.shown, 0), 0u) << run.out;
    }
    const std::string gone = dir_.root() + "gone.png";
    EXPECT_EQ(runTool({"info", gone}, {"LC_ALL=C.UTF-8"}).out.rfind(gone + "\terror: PNG Format: 読み込めません (", 0), 0u);
}

}  // namespace
