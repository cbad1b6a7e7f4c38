// korvel-tool info and decode: one decoded file each, through the same registry the windows use.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "imaging/Bitmap.h"
#include "imaging/ColorManage.h"
#include "base/Errors.h"
#include "base/FileNames.h"
#include "formats/FormatRegistry.h"
#include "formats/Picture.h"
#include "tools/korvel-tool/Args.h"
#include "tools/korvel-tool/Commands.h"

namespace korvel::tool {

namespace {

std::string formatDescription(const std::string& path) {
    std::string ext = extractFileExt(path);
    if (!ext.empty()) ext.erase(0, 1);
    const FormatEntry* e = fileFormats().findEntryByExtension(ext);
    return e ? e->description : std::string();
}

// Converts row y to PAM's R, G, B, A bytes: alpha from the mask, 0 on transparent colour or
// index pixels, 255 elsewhere.
void pamRow(const TBitmap& b, int y, bool plain, std::vector<uint8_t>& bgr, uint8_t* o) {
    const int w = b.width();
    if (plain && b.pixelFormat() == PixelFormat::pf24bit) {
        // The common case, kept to one simple loop the compiler can vectorise.
        const uint8_t* row = b.scanLine(y);
        for (int x = 0; x < w; ++x) {
            const uint32_t v = 0xFF000000u | uint32_t(row[3 * x]) << 16 | uint32_t(row[3 * x + 1]) << 8 | row[3 * x + 2];
            std::memcpy(o + 4 * x, &v, 4);  // R, G, B, A in memory on a little-endian machine
        }
        return;
    }
    b.rowToBgr(y, bgr.data());
    for (int x = 0; x < w; ++x) {
        o[4 * x] = bgr[3 * x + 2];
        o[4 * x + 1] = bgr[3 * x + 1];
        o[4 * x + 2] = bgr[3 * x];
        o[4 * x + 3] = plain ? 255 : b.alphaAt(x, y);
    }
}

// Writes the raster as an 8-bit RGB_ALPHA PAM, a block of rows per write call.
void writePam(const TBitmap& b, const std::string& path) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) throw EFileError("Cannot create \"" + path + "\"");
    out << "P7\nWIDTH " << b.width() << "\nHEIGHT " << b.height()
        << "\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n";
    const size_t rowBytes = size_t(b.width()) * 4;
    const int rowsPerBlock = int(std::max<size_t>(1, (size_t(1) << 20) / rowBytes));
    std::vector<uint8_t> bgr(size_t(b.width()) * 3), block(rowBytes * size_t(rowsPerBlock));
    const bool plain = !b.mask() && b.transparency() == Transparency::None;
    for (int y0 = 0; y0 < b.height(); y0 += rowsPerBlock) {
        const int rows = std::min(rowsPerBlock, b.height() - y0);
        for (int r = 0; r < rows; ++r) pamRow(b, y0 + r, plain, bgr, block.data() + rowBytes * size_t(r));
        out.write(reinterpret_cast<const char*>(block.data()), std::streamsize(rowBytes * size_t(rows)));
    }
    out.flush();
    if (!out) throw EFileError("Cannot write \"" + path + "\"");
}

DecodeLimits photoLimits() {
    DecodeLimits limits;
    limits.photo = photoSwitches;
    return limits;
}

// What a photo's metadata asks for, after a tab: its EXIF orientation when not upright.
std::string photoDescription(const PhotoMeta& meta) {
    std::string text;
    if (meta.orientation != 1) text += "\torientation " + std::to_string(meta.orientation);
    if (!meta.iccProfile.empty()) {
        const std::string description = IccProfileDescription(meta.iccProfile);
        text += "\tprofile " + (description.empty() ? std::string("(unreadable)") : description);
    }
    return text;
}

int parseScale(const std::string& s) {
    if (s == "1" || s == "1/1") return 1;
    if (s == "1/2") return 2;
    if (s == "1/4") return 4;
    if (s == "1/8") return 8;
    throw Exception("--scale takes 1, 1/2, 1/4 or 1/8");
}

}  // namespace

const char kInfoUsage[] =
    "usage: korvel-tool info FILE...\n"
    "  prints a line per file: its path, a tab, WIDTHxHEIGHT BITS FORMAT, then a tab and\n"
    "  \"orientation N\" when the EXIF orientation is not upright, a tab and \"profile NAME\" when it\n"
    "  has an ICC profile; or the path, a tab and \"error: REASON\" naming the decoder tried.\n"
    "  A file whose content is not what its extension says shows FORMAT as \"JPEG (拡張子 .png)\".\n";

const char kDecodeUsage[] = "usage: korvel-tool decode [--scale 1|1/2|1/4|1/8] FILE OUT.pam\n";

int runInfo(const std::vector<std::string>& args) {
    std::vector<std::string> files;
    if (const auto status = readFilesOnly(args, "info", kInfoUsage, files)) return *status;
    int status = 0;
    for (const std::string& path : files) {
        TPicture picture;
        try {
            picture.loadFromFile(path, photoLimits());
            TGraphic& g = *picture.graphic();
            const int w = g.width(), h = g.height();
            // The depth is the same at every JPEG scale; the smallest decodes fastest.
            g.requestDecodeScale(8);
            const TBitmap* r = g.raster();
            // A file read by its content rather than its extension says so instead.
            const std::string format =
                picture.content().mislabelled() ? picture.content().text() : formatDescription(path);
            std::printf("%s\t%dx%d %d %s%s\n", path.c_str(), w, h, r ? r->bitsPerPixel() : 0, format.c_str(),
                        photoDescription(g.photoMeta()).c_str());
        } catch (const std::exception& e) {
            // The picture knows which decoder refused the file and why; a raster failure after
            // the load has only the exception's word.
            const std::string reason = picture.failure() ? picture.failure()->text() : std::string(e.what());
            std::printf("%s\terror: %s\n", path.c_str(), reason.c_str());
            std::fprintf(stderr, "%s: %s\n", path.c_str(), reason.c_str());
            status = 1;
        }
    }
    return status;
}

int runDecode(const std::vector<std::string>& args) {
    std::vector<std::string> files;
    int scale = 1;
    try {
        for (ArgReader a(args); a.next();) {
            if (!a.isOption()) files.push_back(a.arg());
            else if (a.arg() == "--help") return showUsage(kDecodeUsage);
            else if (a.arg() == "--scale") scale = parseScale(a.value());
            else throw Exception("unknown option " + a.arg());
        }
        if (files.size() != 2) throw Exception("decode takes one file and one output file");
    } catch (const std::exception& e) {
        return usageError("decode", e.what(), kDecodeUsage);
    }
    try {
        TPicture picture;
        picture.loadFromFile(files[0], photoLimits());
        picture.graphic()->requestDecodeScale(scale);
        const TBitmap* r = picture.graphic()->raster();
        if (!r || r->empty()) throw EInvalidGraphic("The image has no pixels");
        writePam(*r, files[1]);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s: %s\n", files[0].c_str(), e.what());
        return 1;
    }
    return 0;
}

}  // namespace korvel::tool
