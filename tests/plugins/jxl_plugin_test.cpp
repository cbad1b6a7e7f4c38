// The JPEG XL plug-in through the host, on files cjxl makes here from pictures written here,
// against djxl's own decode of the same files.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <sstream>
#include <tuple>

#include "base/Errors.h"
#include "base/FileBytes.h"
#include "formats/FormatRegistry.h"
#include "formats/SpiGraphic.h"
#include "formats/SpiHost.h"
#include "imaging/Orientation.h"
#include "tests/support/ColorSamples.h"
#include "tests/support/Mutation.h"
#include "tests/support/PhotoSamples.h"
#include "tests/support/TempTree.h"
#include "tests/tools/ToolRun.h"

using namespace korvel;
using namespace korvel::testing;

namespace {

// Runs a command line, its output thrown away; true when it exits 0.
bool run(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()) == 0; }

std::string text(const Bytes& b) { return std::string(b.begin(), b.end()); }
Bytes bytes(const std::string& s) { return Bytes(s.begin(), s.end()); }

// Sample (x, y, c) of a test picture on a 0..1 scale: every pixel distinct, alpha never 0.
double sample(int x, int y, int c) {
    switch (c) {
        case 0: return (x * 37 + y * 3) % 256 / 255.0;
        case 1: return (y * 41 + 7) % 256 / 255.0;
        case 2: return ((x ^ y) * 23) % 256 / 255.0;
        default: return (40 + (x * 11 + y * 17) % 216) / 255.0;
    }
}

// The picture as a netpbm file: P6 with 8 or 16 bits, P7 with alpha, or little-endian PF
// (floats, rows bottom to top).
Bytes netpbm(int w, int h, int bits, bool alpha) {
    std::string head = alpha ? "P7\nWIDTH " + std::to_string(w) + "\nHEIGHT " + std::to_string(h) +
                                   "\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n"
                       : bits == 32 ? "PF\n" + std::to_string(w) + " " + std::to_string(h) + "\n-1.0\n"
                                    : "P6\n" + std::to_string(w) + " " + std::to_string(h) + "\n" +
                                          (bits == 16 ? "65535" : "255") + "\n";
    Bytes v = bytes(head);
    for (int row = 0; row < h; ++row) {
        const int y = bits == 32 ? h - 1 - row : row;
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < (alpha ? 4 : 3); ++c) {
                const double s = sample(x, y, c);
                if (bits == 32) {
                    const float f = float(s * 0.9 + 0.05);
                    uint8_t raw[4];
                    std::memcpy(raw, &f, 4);
                    v.insert(v.end(), raw, raw + 4);
                } else if (bits == 16) {
                    // A low byte the 8-bit rounding must look at.
                    const int value = int(s * 65535 * 0.98) + 97;
                    v.insert(v.end(), {uint8_t(value >> 8), uint8_t(value)});
                } else {
                    v.push_back(uint8_t(s * 255 + 0.5));
                }
            }
    }
    return v;
}

// A decoded picture as netpbm files hold it, 8 bits a sample.
struct Pixels {
    int width = 0, height = 0, channels = 0;
    std::vector<int> samples;
};

// Reads djxl's P6 or P7 output (8 or 16 bits; 16 bits rounded to the nearest 8-bit level).
Pixels readNetpbm(const std::string& file) {
    std::istringstream in(file);
    std::string magic, word;
    Pixels p;
    int maxval = 0;
    in >> magic;
    if (magic == "P6") {
        in >> p.width >> p.height >> maxval;
        p.channels = 3;
    } else {
        while (in >> word && word != "ENDHDR") {
            if (word == "WIDTH") in >> p.width;
            if (word == "HEIGHT") in >> p.height;
            if (word == "DEPTH") in >> p.channels;
            if (word == "MAXVAL") in >> maxval;
        }
    }
    in.get();
    const size_t n = size_t(p.width) * size_t(p.height) * size_t(p.channels);
    for (size_t i = 0; i < n && in; ++i) {
        const int hi = in.get();
        const int v = maxval > 255 ? hi << 8 | in.get() : hi;
        p.samples.push_back(maxval > 255 ? (v * 255 + 32767) / 65535 : v);
    }
    if (p.samples.size() != n || !in) p.samples.clear();
    return p;
}

// "" when got shows want within levels, else where they first differ.
std::string sameWithin(const TBitmap& got, const Pixels& want, int levels) {
    if (std::tuple(got.width(), got.height(), got.bitsPerPixel()) != std::tuple(want.width, want.height, want.channels * 8) ||
        want.samples.empty())
        return "size " + std::to_string(got.width()) + "x" + std::to_string(got.height()) + "x" +
               std::to_string(got.bitsPerPixel()) + " differs";
    for (int y = 0; y < got.height(); ++y)
        for (int x = 0; x < got.width(); ++x) {
            const Color c = got.pixel(x, y);
            const int have[] = {redOf(c), greenOf(c), blueOf(c), got.alphaAt(x, y)};
            for (int k = 0; k < want.channels; ++k) {
                const int d = have[k] - want.samples[(size_t(y) * size_t(want.width) + size_t(x)) * size_t(want.channels) + size_t(k)];
                if (std::abs(d) > levels)
                    return "channel " + std::to_string(k) + " at " + std::to_string(x) + "," + std::to_string(y) +
                           " off by " + std::to_string(d);
            }
        }
    return "";
}

class JxlPlugin : public ::testing::Test {
protected:
    void SetUp() override { host_.Search(std::string(KORVEL_PLUGIN_DIR) + "/korvel-jxl.spi"); }
    // cjxl's file of the source bytes (its kind told by the extension), with cjxl's options.
    Bytes cjxl(const std::string& ext, const Bytes& source, const std::string& options = "") {
        const std::string in = dir_.write("src." + ext, text(source)), out = dir_ / "made.jxl";
        if (!run("cjxl '" + in + "' '" + out + "' " + options)) ADD_FAILURE() << "cjxl failed on " << ext;
        return bytes(readFile(out));
    }
    // djxl's decode of a file, with alpha as PAM, else as PPM; float samples, which netpbm
    // files cannot hold, as 16 bits.
    Pixels djxl(const std::string& jxlPath, bool alpha) {
        const std::string out = dir_ / (alpha ? "ref.pam" : "ref.ppm");
        ::unlink(out.c_str());
        const std::string command = "djxl '" + jxlPath + "' '" + out + "'";
        EXPECT_TRUE(run(command) || run(command + " --bits_per_sample=16")) << jxlPath;
        return readNetpbm(readFile(out));
    }
    TempTree dir_;
    TFileFormatsList formats_;
    TSPIs host_{"", &formats_};
};

// Each file decoded through the host as the program does (rows as stored, orientation and
// profile in the photo metadata) matches djxl's decode, turned as djxl turns it. Lossless
// files also match the picture they were made from, 16 bits rounded to the nearest 8-bit level.
// Damaged copies never crash (each decodes or fails with an image error); cut ones are refused.
TEST_F(JxlPlugin, PixelsMatchTheReferenceDecoder) {
    const int w = 37, h = 23;
    const Bytes icc = profileOf(kSpaces[1]);
    const Bytes jpeg = encodedJpeg(gradientBitmap(w, h), 90);
    const Bytes ppm = netpbm(w, h, 8, false), pam = netpbm(w, h, 8, true), ppm16 = netpbm(w, h, 16, false);
    const struct {
        const char* name;
        Bytes file;
        int orientation;
        int levels;            // difference allowed from djxl's decode
        int hasProfile;        // 1: some profile, 2: exactly icc
        const Bytes* source;   // lossless: also exactly this picture
    } rows[] = {
        {"8-bit", cjxl("ppm", ppm, "-d 0"), 1, 0, 0, &ppm},
        {"alpha", cjxl("pam", pam, "-d 0"), 1, 0, 0, &pam},
        {"16-bit", cjxl("ppm", ppm16, "-d 0"), 1, 1, 0, &ppm16},
        {"float", cjxl("pfm", netpbm(w, h, 32, false), "-d 0"), 1, 1, 0, nullptr},
        {"lossy", cjxl("ppm", ppm, "-d 1.5"), 1, 1, 0, nullptr},
        {"recompressed JPEG with profile", cjxl("jpg", withJpegIcc(jpeg, icc)), 1, 1, 2, nullptr},
        {"recompressed JPEG turned", cjxl("jpg", withJpegSegment(jpeg, 0xE1, exifApp1(6, true))), 6, 1, 0, nullptr},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        const std::string path = dir_.write(std::string(r.name) + ".jxl", text(r.file));
        TSPIBitmap b;
        b.loadFromFile(path);
        EXPECT_EQ(b.photoMeta().orientation, r.orientation);
        if (r.hasProfile == 2) {
            EXPECT_EQ(b.photoMeta().iccProfile, icc);
        }
        EXPECT_EQ(!b.photoMeta().iccProfile.empty(), r.hasProfile != 0);
        EXPECT_EQ(sameWithin(OrientUpright(b, r.orientation), djxl(path, b.bitsPerPixel() == 32), r.levels), "");
        if (r.source) {
            EXPECT_EQ(sameWithin(b, readNetpbm(text(*r.source)), 0), "");
        }
        forEachMutation(r.file, 300, [&](const Bytes& m) {
            try {
                TSPIBitmap().loadFromMemory(m.data(), m.size());
            } catch (const EInvalidGraphic&) {
            }
        });
        for (size_t keep : {size_t(20), r.file.size() / 2, r.file.size() - 1}) {
            const std::string cut = dir_.write("cut.jxl", text(Bytes(r.file.begin(), r.file.begin() + long(keep))));
            EXPECT_THROW(TSPIBitmap().loadFromFile(cut), EInvalidGraphic) << keep;
        }
    }
}

// A host that does not turn pictures itself gets the rows turned by libjxl and orientation 1;
// the program's host gets them as stored and orientation 6: turned once either way.
TEST_F(JxlPlugin, TurnedOnceWhoeverTurns) {
    const Bytes file = cjxl("jpg", withJpegSegment(encodedJpeg(gradientBitmap(40, 20), 90), 0xE1, exifApp1(6, false)));
    const std::string path = dir_.write("t.jxl", text(file));
    const TSPI& plugin = *host_.item(0);
    for (const auto& [flag, width, height, orientation] :
         {std::tuple<uint32_t, int, int, int>{SPI_SOURCE_FILE, 20, 40, 1}, {SPI_SOURCE_FILE | SPI_HOST_ORIENTS, 40, 20, 6}}) {
        SCOPED_TRACE(flag);
        void *info = nullptr, *bits = nullptr;
        ASSERT_EQ(plugin.GetPicture(path.c_str(), 0, flag, &info, &bits, nullptr, 0), SPI_OK);
        EXPECT_EQ(std::pair(static_cast<int32_t*>(info)[1], static_cast<int32_t*>(info)[2]), std::pair(width, height));
        std::free(info);
        std::free(bits);
        SpiPictureMeta meta{};
        ASSERT_EQ(plugin.GetPictureMeta(path.c_str(), 0, flag, &meta), SPI_OK);
        EXPECT_EQ(meta.orientation, orientation);
        std::free(meta.hIcc);
    }
}

TEST_F(JxlPlugin, RegistersJxlAndItsHeadersOnly) {
    ASSERT_EQ(host_.Count(), 1) << "the plug-in did not load";
    EXPECT_EQ(formats_.findFormatByExtension("jxl"), &TSPIBitmap::classInfo);
    const struct {
        const char* name;
        Bytes header;
        bool supported;
    } rows[] = {
        {"codestream", {0xFF, 0x0A, 0xFA}, true},
        {"container", {0, 0, 0, 12, 'J', 'X', 'L', ' ', 0x0D, 0x0A, 0x87, 0x0A}, true},
        {"container, damaged box", {0, 0, 0, 12, 'J', 'X', 'L', ' ', 0x0D, 0x0A, 0x87, 0x0B}, false},
        {"JPEG", {0xFF, 0xD8, 0xFF}, false},
        {"PNG", {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'}, false},
    };
    for (const auto& r : rows) {
        Bytes header = r.header;
        header.resize(SPI_HEADER_BYTES, 0);
        EXPECT_EQ(host_.item(0)->IsSupported("x", header.data()) != 0, r.supported) << r.name;
    }
}

// Every start of Korvel loads the plug-ins, so loading this one must not load libjxl: it is
// opened when a JPEG XL picture is read. The loader's log tells.
TEST_F(JxlPlugin, LibjxlOpenedOnlyToReadAPicture) {
    const Bytes file = cjxl("ppm", netpbm(6, 5, 8, false), "-d 0");
    const Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R'};
    for (const auto& [name, content, shown, loaded] :
         {std::tuple<std::string, Bytes, std::string, bool>{"png.jxl", png, "error", false}, {"j.jxl", file, "6x5 24", true}}) {
        SCOPED_TRACE(name);
        const std::string path = dir_.write(name, text(content));
        const ToolRun r = runTool({"info", path}, {"LC_ALL=C.UTF-8", "LD_DEBUG=files"});
        EXPECT_EQ(r.out.rfind(path + "\t" + shown, 0), 0u) << r.out;
        EXPECT_EQ(r.err.find("libjxl.so") != std::string::npos, loaded);
    }
}

}  // namespace
