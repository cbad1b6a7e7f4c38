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

// w x h x channels samples of a pattern, for the encoders that take raw samples.
Bytes patternOf(int channels) {
    Bytes v;
    for (int i = 0; i < kW * kH * channels; ++i) v.push_back(uint8_t(i % channels == 3 ? 255 : i * 37 + i / 17));
    return v;
}

Bytes webpOf() {
    const Bytes rgba = patternOf(4);
    uint8_t* out = nullptr;
    const size_t n = WebPEncodeLosslessRGBA(rgba.data(), kW, kH, kW * 4, &out);
    Bytes v(out, out + n);
    WebPFree(out);
    return v;
}

Bytes tiffOf(const std::string& scratch) {
    TIFF* t = TIFFOpen(scratch.c_str(), "w");
    for (auto [tag, value] : {std::pair{TIFFTAG_IMAGEWIDTH, kW}, {TIFFTAG_IMAGELENGTH, kH}, {TIFFTAG_ROWSPERSTRIP, kH},
                              {TIFFTAG_BITSPERSAMPLE, 8}, {TIFFTAG_SAMPLESPERPIXEL, 3},
                              {TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG}, {TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB}})
        TIFFSetField(t, tag, value);
    Bytes rgb = patternOf(3);
    TIFFWriteEncodedStrip(t, 0, rgb.data(), tmsize_t(rgb.size()));
    TIFFClose(t);
    const std::string s = readFile(scratch);
    return Bytes(s.begin(), s.end());
}

// Empty when libheif has no encoder here.
Bytes heifOf() {
    heif_context* ctx = heif_context_alloc();
    heif_encoder* enc = nullptr;
    for (heif_compression_format f : {heif_compression_HEVC, heif_compression_AV1})
        if (!enc) heif_context_get_encoder_for_format(ctx, f, &enc);
    Bytes bytes;
    if (enc) {
        heif_image* img = nullptr;
        heif_image_create(kW, kH, heif_colorspace_RGB, heif_chroma_interleaved_RGB, &img);
        heif_image_add_plane(img, heif_channel_interleaved, kW, kH, 8);
        int stride = 0;
        uint8_t* plane = heif_image_get_plane(img, heif_channel_interleaved, &stride);
        const Bytes rgb = patternOf(3);
        for (int y = 0; y < kH; ++y) std::memcpy(plane + y * stride, &rgb[size_t(y * kW * 3)], size_t(kW * 3));
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
        // A plug-in not built here is not found.
        for (const char* name : {"korvel-webp", "korvel-tiff", "korvel-heif", "korvel-jxl"})
            host_.Search(std::string(KORVEL_PLUGIN_DIR) + "/" + name + ".spi");
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
        {ContentFormat::Gif, "gif", animatedGif(false)}, {ContentFormat::Bmp, "bmp", bmpOf(image)},
        {ContentFormat::Ico, "ico", icoOf(image)},       {ContentFormat::WebP, "webp", webpOf()},
        {ContentFormat::Tiff, "tif", tiffOf(dir_.root() + "scratch.tif")},
        {ContentFormat::Heif, "heic", heifOf()},         {ContentFormat::JpegXl, "jxl", jxlOf(image, dir_)},
    };
    for (const auto& c : contents) {
        SCOPED_TRACE(c.ext);
        if (c.bytes.empty()) {
            std::printf("[  SKIPPED ] %s content: no encoder here\n", c.ext);
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
}

// korvel-tool info says what a mislabelled file holds and why a refused one failed, for each
// kind of failure a file on disk can give: a damaged file names the decoder its content picks.
TEST_F(ContentSniff, ToolInfoSaysContentAndReason) {
    const Bytes jpeg = jpegBytes(gradientBitmap(20, 10)), jpegHead(jpeg.begin(), jpeg.begin() + 100);
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
        {"cut-jpeg.png", jpegHead, "error: JPEG イメージファイル: ファイルが壊れています ("},
        {"huge.png", huge, "error: PNG Format: 上限を超えています ("},
        {"vector.emf", emf, "error: エンハンス メタファイル: 対応していない種類です ("},
        {"note.xyz", Bytes(64, 'x'), "error: 拡張子 .xyz の画像形式は処理できません\n"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        const std::string path = file(r.name, r.bytes);
        const ToolRun run = runTool({"info", path});
        EXPECT_EQ(run.out.rfind(path + "\t" + r.shown, 0), 0u) << run.out;
    }
    const std::string gone = dir_.root() + "gone.png";
    EXPECT_EQ(runTool({"info", gone}).out.rfind(gone + "\terror: PNG Format: 読み込めません (", 0), 0u);
}

}  // namespace
