// Writes the fuzz targets' seed corpus, one folder per target, from the tests' own file
// builders: make_corpus <folder>.
#include <lcms2.h>
#ifdef KORVEL_CORPUS_JXL
#include <jxl/encode.h>
#endif

#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "imaging/Bmp.h"
#include "codecs/Png.h"
#include "imaging/Bitmap.h"
#include "base/IniFile.h"
#include "fileops/Trash.h"
#include "fileops/Journal.h"
#include "settings/CommandLine.h"
#include "tests/codecs/BmpBuilders.h"
#include "tests/codecs/png_test_files.h"
#include "tests/support/AnimationFiles.h"
#include "tests/support/CodecSamples.h"
#include "tests/support/ExifThumbSamples.h"
#include "tests/support/PhotoSamples.h"
#include "tests/support/TakenSamples.h"

using namespace korvel;
using Bytes = std::vector<uint8_t>;
namespace fs = std::filesystem;

namespace {

class Corpus {
public:
    Corpus(fs::path root, const std::string& target) : folder_(std::move(root) / target) {
        fs::create_directories(folder_);
    }
    void add(const Bytes& bytes) {
        std::ofstream out(folder_ / ("seed-" + std::to_string(next_++)), std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        if (!out) throw std::runtime_error("cannot write " + folder_.string());
    }

private:
    fs::path folder_;
    int next_ = 0;
};

Bytes toBytes(const std::string& s) { return Bytes(s.begin(), s.end()); }

// A small raster of every pixel format with a pattern, as the writers get them.
TBitmap pattern(PixelFormat pf, int w, int h) {
    TBitmap b(w, h, PixelFormat::pf24bit);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) b.setRawPixel(x, y, makeColor(uint8_t(x * 40), uint8_t(y * 50), uint8_t((x ^ y) * 30)));
    b.setPixelFormat(pf);
    return b;
}

Bytes bmpOf(const TBitmap& b) {
    std::ostringstream out;
    writeBmp(b, out);
    return toBytes(out.str());
}

const PixelFormat kFormats[] = {PixelFormat::pf1bit,  PixelFormat::pf4bit,  PixelFormat::pf8bit, PixelFormat::pf15bit,
                                PixelFormat::pf16bit, PixelFormat::pf24bit, PixelFormat::pf32bit};

std::vector<Bytes> bitmapFiles() {
    using namespace bmptest;
    std::vector<Bytes> out;
    for (PixelFormat pf : kFormats) out.push_back(bmpOf(pattern(pf, 5, 3)));
    const Bytes grey = palette({0x000000, 0x808080, 0xFFFFFF});
    // Run-length 8-bit: a run, an absolute run, end of line, a delta, end of bitmap.
    out.push_back(bmpFile(cat({infoHeader({.width = 6, .height = 3, .bpp = 8, .compression = 1, .clrUsed = 3}), grey}),
                          {3, 1, 0, 3, 2, 0, 1, 0, 0, 0, 2, 2, 4, 0, 1, 0, 0, 0, 0, 1}));
    // Run-length 4-bit.
    out.push_back(bmpFile(cat({infoHeader({.width = 6, .height = 2, .bpp = 4, .compression = 2, .clrUsed = 3}), grey}),
                          {6, 0x12, 0, 0, 0, 4, 0x21, 0x02, 0, 1}));
    // 16-bit 5-6-5 bit fields, a V5 header with an alpha mask, and an OS/2 core header.
    out.push_back(bmpFile(cat({infoHeader({.width = 2, .height = 2, .bpp = 16, .compression = 3}),
                               masks({0xF800, 0x07E0, 0x001F})}),
                          rows({{0x00, 0xF8, 0xE0, 0x07}, {0x1F, 0x00, 0xFF, 0xFF}})));
    out.push_back(bmpFile(infoHeader({.headerSize = 124, .width = 2, .height = -2, .bpp = 32, .compression = 3,
                                      .masks = {0xFF0000, 0xFF00, 0xFF, 0xFF000000}}),
                          rows({{1, 2, 3, 0x80, 4, 5, 6, 0xFF}, {7, 8, 9, 0, 10, 11, 12, 0x40}})));
    out.push_back(bmpFile(cat({infoHeader({.headerSize = 12, .width = 3, .height = 2, .bpp = 8}),
                               palette({0x102030, 0x405060}, 3)}),
                          rows({{0, 1, 0}, {1, 0, 1}})));
    return out;
}

Bytes iconDib(int w, int h, uint16_t bpp) {
    using namespace bmptest;
    const TBitmap b = pattern(bpp == 32 ? PixelFormat::pf32bit : bpp == 8 ? PixelFormat::pf8bit : PixelFormat::pf4bit, w, h);
    Bytes file = bmpOf(b);
    Bytes dib(file.begin() + 14, file.end());
    patch32(dib, 8, uint32_t(2 * h));  // the height counts the AND mask behind the colours
    const size_t maskRow = size_t((w + 31) / 32 * 4);
    for (int y = 0; y < h; ++y)
        for (size_t i = 0; i < maskRow; ++i) dib.push_back(uint8_t(y & 1 ? 0xAA : 0x00));
    return dib;
}

std::vector<Bytes> pngFiles() {
    using namespace pngtest;
    std::vector<Bytes> out;
    struct Kind {
        uint8_t colorType;
        int channels;
        std::vector<int> depths;
    };
    const Kind kinds[] = {{0, 1, {1, 2, 4, 8, 16}}, {2, 3, {8, 16}}, {3, 1, {1, 2, 4, 8}}, {4, 2, {8, 16}}, {6, 4, {8, 16}}};
    uint32_t seed = 1;
    for (const Kind& k : kinds)
        for (int depth : k.depths)
            for (bool interlace : {false, true}) {
                Samples s = randomSamples(9, 7, depth, k.channels, seed++);
                std::vector<Bytes> extra;
                if (k.colorType == 3) {
                    Bytes plte;
                    for (int i = 0; i < (1 << depth); ++i) plte.insert(plte.end(), {uint8_t(i * 7), uint8_t(i * 3), uint8_t(255 - i)});
                    extra = {chunk("PLTE", plte), chunk("tRNS", {0, 128, 255})};
                } else if (k.colorType == 2 && depth == 8) {
                    extra = {chunk("sBIT", {5, 6, 5}), chunk("gAMA", {0, 0, 0xB1, 0x8F}),
                             chunk("tEXt", toBytes(std::string("Comment\0seed", 12))), chunk("bKGD", {0, 1, 0, 2, 0, 3})};
                }
                out.push_back(simpleFile(s, k.colorType, interlace && depth != 16, extra));
            }
    // Files from the codec's own writer: palette with mask, greyscale, adaptive filters.
    for (PixelFormat pf : {PixelFormat::pf4bit, PixelFormat::pf8bit, PixelFormat::pf16bit, PixelFormat::pf32bit}) {
        TGLDPNG png;
        png.assign(pattern(pf, 11, 6));
        png.filterMode = 0;
        png.interlace = pf == PixelFormat::pf8bit;
        png.comment = "seed";
        std::ostringstream os;
        png.saveToStream(os);
        out.push_back(toBytes(os.str()));
    }
    return out;
}

// Plug-in blocks: the 16-bit info block length, the info block, the pixel block.
Bytes pluginBlocks(const TBitmap& b, bool topDown) {
    Bytes file = bmpOf(b);
    const uint32_t offBits = uint32_t(file[10]) | uint32_t(file[11]) << 8;
    Bytes info(file.begin() + 14, file.begin() + offBits);
    if (topDown) bmptest::patch32(info, 8, uint32_t(-b.height()));
    Bytes out{uint8_t(info.size()), uint8_t(info.size() >> 8)};
    out.insert(out.end(), info.begin(), info.end());
    out.insert(out.end(), file.begin() + offBits, file.end());
    return out;
}

Bytes iniText() {
    IniFile ini;
    ini.writeString("Main", "Folder", "/home/user/Pictures");
    ini.writeInteger("Main", "Width", 640);
    ini.writeBool("Main", "Maximized", true);
    ini.writeString("Viewer", "Colour", "$00FF8040");
    ini.writeString("Viewer", "Quoted", "\" spaced \"");
    return toBytes("; settings\n" + ini.toText());
}

// A small matrix-shaper RGB profile with a gamma curve.
Bytes srgbLikeProfile() {
    const cmsCIExyY white{0.3127, 0.3290, 1};
    const cmsCIExyYTRIPLE prim{{0.64, 0.33, 1}, {0.21, 0.71, 1}, {0.15, 0.06, 1}};
    cmsToneCurve* curve = cmsBuildGamma(nullptr, 2.2);
    cmsToneCurve* curves[3] = {curve, curve, curve};
    cmsHPROFILE p = cmsCreateRGBProfile(&white, &prim, curves);
    cmsUInt32Number n = 0;
    cmsSaveProfileToMem(p, nullptr, &n);
    Bytes bytes(n);
    cmsSaveProfileToMem(p, bytes.data(), &n);
    cmsFreeToneCurve(curve);
    cmsCloseProfile(p);
    return bytes;
}

// A WebP container by hand: VP8X, ICCP, a lossless image chunk holding only its 1 x 1 header
// (enough for the container walk), EXIF. Chunks are padded to even sizes.
Bytes webpWithChunks(const Bytes& icc, const Bytes& exif) {
    Bytes body{'W', 'E', 'B', 'P'};
    auto chunk = [&](const char* tag, const Bytes& data) {
        body.insert(body.end(), tag, tag + 4);
        bmptest::put32(body, uint32_t(data.size()));
        body.insert(body.end(), data.begin(), data.end());
        if (data.size() % 2) body.push_back(0);
    };
    chunk("VP8X", {0x28, 0, 0, 0, 0, 0, 0, 0, 0, 0});  // ICC and EXIF flags, canvas 1 x 1
    chunk("ICCP", icc);
    chunk("VP8L", {0x2F, 0, 0, 0, 0});
    chunk("EXIF", exif);
    Bytes file{'R', 'I', 'F', 'F'};
    bmptest::put32(file, uint32_t(body.size()));
    file.insert(file.end(), body.begin(), body.end());
    return file;
}

// A TIFF by hand: one 1 x 1 RGB pixel, the orientation tag and an ICC profile.
Bytes tiffWithTags(int orientation, const Bytes& icc) {
    Bytes t{'I', 'I', 42, 0};
    bmptest::put32(t, 8);
    const uint32_t entries = 9, iccAt = 8 + 2 + entries * 12 + 4, pixelAt = iccAt + uint32_t(icc.size());
    t.push_back(uint8_t(entries)), t.push_back(0);
    auto entry = [&](uint16_t tag, uint16_t type, uint32_t count, uint32_t value) {
        t.insert(t.end(), {uint8_t(tag), uint8_t(tag >> 8), uint8_t(type), 0});
        bmptest::put32(t, count);
        bmptest::put32(t, value);
    };
    entry(256, 3, 1, 1), entry(257, 3, 1, 1), entry(258, 3, 1, 8), entry(262, 3, 1, 2);  // 8-bit RGB
    entry(273, 4, 1, pixelAt), entry(274, 3, 1, uint32_t(orientation)), entry(277, 3, 1, 3);
    entry(279, 4, 1, 3), entry(34675, 7, uint32_t(icc.size()), iccAt);
    bmptest::put32(t, 0);
    t.insert(t.end(), icc.begin(), icc.end());
    t.insert(t.end(), {200, 100, 50});
    return t;
}

// A linear DNG by hand: 24 x 22 pixels (LibRaw refuses sides under 22) of 16-bit RGB, the
// orientation tag, an identity colour matrix and a neutral white balance: about the least LibRaw
// reads as a picture.
Bytes linearDng(int orientation) {
    constexpr uint32_t w = 24, h = 22, entries = 15;
    Bytes t{'I', 'I', 42, 0};
    bmptest::put32(t, 8);
    const uint32_t extra = 8 + 2 + entries * 12 + 4;  // bits per sample, model, matrix, neutral, pixels
    const uint32_t bitsAt = extra, modelAt = bitsAt + 6, matrixAt = modelAt + 12, neutralAt = matrixAt + 72,
                   pixelAt = neutralAt + 24;
    t.push_back(uint8_t(entries)), t.push_back(0);
    auto entry = [&](uint16_t tag, uint16_t type, uint32_t count, uint32_t value) {
        t.insert(t.end(), {uint8_t(tag), uint8_t(tag >> 8), uint8_t(type), 0});
        bmptest::put32(t, count);
        bmptest::put32(t, value);
    };
    entry(254, 4, 1, 0), entry(256, 3, 1, w), entry(257, 3, 1, h), entry(258, 3, 3, bitsAt);
    entry(259, 3, 1, 1), entry(262, 3, 1, 34892), entry(273, 4, 1, pixelAt), entry(274, 3, 1, uint32_t(orientation));
    entry(277, 3, 1, 3), entry(278, 3, 1, h), entry(279, 4, 1, w * h * 6), entry(50706, 1, 4, 0x00000401);
    entry(50708, 2, 12, modelAt), entry(50721, 10, 9, matrixAt), entry(50728, 5, 3, neutralAt);
    bmptest::put32(t, 0);
    for (int i = 0; i < 3; ++i) t.push_back(16), t.push_back(0);
    for (char c : std::string("Korvel Test\0", 12)) t.push_back(uint8_t(c));
    for (int i = 0; i < 9; ++i) {
        bmptest::put32(t, i % 4 == 0 ? 1 : 0);
        bmptest::put32(t, 1);
    }
    for (int i = 0; i < 3; ++i) bmptest::put32(t, 1), bmptest::put32(t, 1);
    for (uint32_t i = 0; i < w * h * 3; ++i) {
        const uint16_t v = uint16_t(3000 + i * 37);
        t.push_back(uint8_t(v)), t.push_back(uint8_t(v >> 8));
    }
    return t;
}

// Steps of every kind with awkward paths, and marks undoing and redoing them.
std::string journalSeed() {
    std::string out;
    for (uint8_t k = 1; k <= korvel::kLastStepKind; ++k) {
        korvel::JournalStep s;
        s.id = 1000 + k;
        s.kind = korvel::StepKind(k);
        s.timeNs = 1700000000000000000 + k;
        for (int i = 0; i < k % 3 + 1; ++i)
            s.entries.push_back({"/home/u/a\n\xFF" + std::to_string(i), k == 3 ? "a.jpg" : "/home/u/b/" + std::to_string(i),
                                 {2049, uint64_t(500 + i), 1234, 1700000000000000000}, i == 1,
                                 i == 1 ? "/home/u/.local/share/Trash/files/b" : ""});
        out += korvel::encodeStep(s);
        out += korvel::encodeEntry(s.id, 0, s.entries[0]);
        if (k % 2) out += korvel::encodeMark(s.id, true);
        if (k == 5) out += korvel::encodeMark(s.id, false);
    }
    return out;
}

}  // namespace

#ifdef KORVEL_CORPUS_JXL
// A JPEG XL file of a w x h pattern with alpha or not, `bits` bits per sample, lossless or
// lossy (distance 1), an orientation, in the container or as a bare codestream.
Bytes jxlOf(int w, int h, bool alpha, int bits, bool lossless, int orientation, bool container) {
    JxlEncoder* enc = JxlEncoderCreate(nullptr);
    JxlEncoderUseContainer(enc, container ? JXL_TRUE : JXL_FALSE);
    JxlBasicInfo info;
    JxlEncoderInitBasicInfo(&info);
    info.xsize = uint32_t(w), info.ysize = uint32_t(h), info.bits_per_sample = uint32_t(bits);
    info.alpha_bits = alpha ? uint32_t(bits) : 0, info.num_extra_channels = alpha ? 1 : 0;
    info.orientation = JxlOrientation(orientation);
    info.uses_original_profile = lossless ? JXL_TRUE : JXL_FALSE;
    JxlEncoderSetBasicInfo(enc, &info);
    JxlColorEncoding srgb;
    JxlColorEncodingSetToSRGB(&srgb, JXL_FALSE);
    JxlEncoderSetColorEncoding(enc, &srgb);
    JxlEncoderFrameSettings* frame = JxlEncoderFrameSettingsCreate(enc, nullptr);
    if (lossless) JxlEncoderSetFrameLossless(frame, JXL_TRUE);
    const uint32_t channels = alpha ? 4 : 3;
    const JxlPixelFormat format{channels, bits > 8 ? JXL_TYPE_UINT16 : JXL_TYPE_UINT8, JXL_NATIVE_ENDIAN, 0};
    std::vector<uint16_t> wide;
    Bytes narrow;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            for (uint32_t c = 0; c < channels; ++c) {
                const unsigned v = unsigned(x * 37 + y * 11 + int(c) * 71) % 256;
                wide.push_back(uint16_t(v * 257 + (x & 7)));
                narrow.push_back(uint8_t(v));
            }
    if (bits > 8)
        JxlEncoderAddImageFrame(frame, &format, wide.data(), wide.size() * 2);
    else
        JxlEncoderAddImageFrame(frame, &format, narrow.data(), narrow.size());
    JxlEncoderCloseInput(enc);
    Bytes out(1024);
    uint8_t* next = out.data();
    size_t avail = out.size();
    while (JxlEncoderProcessOutput(enc, &next, &avail) == JXL_ENC_NEED_MORE_OUTPUT) {
        const size_t done = size_t(next - out.data());
        out.resize(out.size() * 2);
        next = out.data() + done, avail = out.size() - done;
    }
    out.resize(size_t(next - out.data()));
    JxlEncoderDestroy(enc);
    return out;
}
#endif

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: make_corpus <folder>\n";
        return 2;
    }
    const fs::path root = argv[1];
    try {
        Corpus bmp(root, "bmp"), ico(root, "ico"), gif(root, "gif"), jpeg(root, "jpeg"), png(root, "png"),
            blocks(root, "plugin_blocks"), ini(root, "ini"), thumbs(root, "thumb_cache"),
            exif(root, "exif"), icc(root, "icc"), meta(root, "plugin_meta"),
            handOver(root, "hand_over"), names(root, "name_text"), trashInfo(root, "trashinfo"),
            journal(root, "journal"), raw(root, "raw");
        for (int orientation : {1, 6, 3}) raw.add(linearDng(orientation));
        Corpus exifThumb(root, "exif_thumb");
        {
            using namespace korvel::testing;
            const auto thumb = jpegSample(160, 120, false, false);
            exifThumb.add(cameraJpeg(barredBitmap(64, 48, 0x808080), thumb, 6, true));
            exifThumb.add(cameraJpeg(barredBitmap(64, 36, 0x808080), jpegBytes(barredBitmap(160, 120, 0x3060C0, 15), 80)));
            // Camera files to turn: the last byte (after the end marker) picks the orientation.
            Corpus turn(root, "jpeg_turn");
            const std::tuple<int, int, int, bool> files[] = {{64, 48, 6, false}, {60, 44, 3, true}, {48, 32, 8, false}};
            for (const auto& [w, h, o, big] : files) {
                const auto thumb = jpegBytes(barredBitmap(30, 18, 0xC08040), 80);
                auto file = cameraJpeg(barredBitmap(w, h, 0x406080), thumb, o, big);
                file.push_back(uint8_t(o - 1));
                turn.add(file);
            }
        }
        // As the deleting side writes them, and as another file manager might.
        for (const char* p : {"/home/u/写真 1.jpg", "sub/caf\xE9%.png"}) trashInfo.add(toBytes(trashInfoText(p, 86400)));
        trashInfo.add(toBytes("\xEF\xBB\xBF# note\r\n[Trash Info]\r\nPath = /a%2Fb%25\r\nDeletionDate=2024-01-02T03:04:05\r\n"
                              "[Other]\r\nPath=/x\r\n"));
        journal.add(toBytes(journalSeed()));
        const std::string whole = journalSeed();
        journal.add(toBytes(whole.substr(0, whole.size() - 7)));  // torn by a crash mid-append
        for (const korvel::HandOver& h : {korvel::HandOver{"/home/u", {}},
                                          korvel::HandOver{"/home/caf\xE9", {"/s", "\x89\xE6\x91\x9C.jpg", "a/b"}}})
            handOver.add(toBytes(*korvel::encodeHandOver(h)));
        for (const char* n : {"caf\xE9.jpg", "a\\x41\x01\xEF\xBB\xBF", "写真\x83\x5C"}) names.add(toBytes(n));
        meta.add(webpWithChunks(srgbLikeProfile(), korvel::testing::exifBlock(6, false)));
        meta.add(webpWithChunks(srgbLikeProfile(), korvel::testing::exifApp1(8, true)));
        meta.add(tiffWithTags(6, srgbLikeProfile()));
        icc.add(korvel::testing::iccpData(srgbLikeProfile()));
        icc.add(srgbLikeProfile());
        for (const bool big : {false, true}) {
            exif.add(korvel::testing::exifBlock(6, big));
            exif.add(korvel::testing::exifApp1(3, big));
            exif.add(korvel::testing::withJpegSegment(korvel::testing::jpegSample(8, 8, false, false), 0xE1,
                                                      korvel::testing::exifApp1(8, big)));
            // Dates taken, with and without the offset, bare and in a JPEG start.
            exif.add(korvel::testing::exifTakenBlock("2021:03:04 05:06:07", big ? "+09:00" : "", big));
            exif.add(korvel::testing::jpegWithExif(korvel::testing::exifTakenBlock("1999:12:31 23:59:59", "-05:30", big)));
        }
        for (const Bytes& f : bitmapFiles()) bmp.add(f);
#ifdef KORVEL_CORPUS_JXL
        Corpus jxl(root, "jxl");
        jxl.add(jxlOf(16, 12, false, 8, true, 1, false));
        jxl.add(jxlOf(13, 9, true, 8, true, 6, true));
        jxl.add(jxlOf(11, 7, false, 16, true, 8, false));
        jxl.add(jxlOf(40, 24, true, 8, false, 3, true));
#endif

        const Bytes pngEntry = pngtest::simpleFile(pngtest::randomSamples(16, 16, 8, 4, 99), 6, false);
        ico.add(bmptest::iconFile({{16, 16, 32, iconDib(16, 16, 32)}, {32, 32, 4, iconDib(32, 32, 4)}}));
        ico.add(bmptest::iconFile({{8, 8, 8, iconDib(8, 8, 8)}, {0, 0, 32, pngEntry}}));

        gif.add(korvel::testing::animatedGif(false));
        gif.add(korvel::testing::animatedGif(true));
        {
            using namespace korvel::testing;
            const AnimPlan anim{6, 5, 2, {solidFrame(0, 0, 6, 5, 0xFF0000FF, 0, 40, true), solidFrame(1, 1, 3, 2, 0x00FF00FF, 2),
                                          solidFrame(2, 2, 4, 3, 0x0000FF80, 1, 20, true)}};
            gif.add(writeAnimatedGif(anim));
            png.add(writeApng(anim));
            png.add(writeApng(anim, true));
        }

        // The byte after the end marker picks the second decode's scale.
        uint8_t scale = 0;
        for (bool progressive : {false, true})
            for (bool grey : {false, true}) {
                Bytes j = korvel::testing::jpegSample(37 - 4 * grey, 21, progressive, grey);
                j.push_back(scale++);
                jpeg.add(j);
            }

        for (const Bytes& f : pngFiles()) png.add(f);

        for (PixelFormat pf : kFormats) blocks.add(pluginBlocks(pattern(pf, 6, 4), pf == PixelFormat::pf8bit));

        const Bytes iniSeed = iniText();
        ini.add(iniSeed);
        Bytes crlf{0xEF, 0xBB, 0xBF};
        for (uint8_t c : iniSeed) {
            if (c == '\n') crlf.push_back('\r');
            crlf.push_back(c);
        }
        ini.add(crlf);

        // The cache file as the cache writes it: images one after another, read at the second.
        for (PixelFormat first : {PixelFormat::pf8bit, PixelFormat::pf24bit}) {
            const Bytes a = bmpOf(pattern(first, 7, 5)), b = bmpOf(pattern(PixelFormat::pf32bit, 4, 4));
            Bytes seed;
            bmptest::put32(seed, uint32_t(a.size()));
            seed.insert(seed.end(), a.begin(), a.end());
            seed.insert(seed.end(), b.begin(), b.end());
            thumbs.add(seed);
        }
    } catch (const std::exception& e) {
        std::cerr << "make_corpus: " << e.what() << '\n';
        return 1;
    }
    return 0;
}
