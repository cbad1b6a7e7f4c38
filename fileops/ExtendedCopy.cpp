#include "fileops/ExtendedCopy.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <ostream>
#include <sstream>
#include <vector>

#include "imaging/Bmp.h"
#include "codecs/Gif.h"
#include "codecs/Jpeg.h"
#include "fileops/PngOutput.h"
#include "base/SafeWrite.h"
#include "imaging/Bitmap.h"
#include "base/FileNames.h"
#include "formats/Picture.h"
#include "imaging/PlainStretch.h"
#include "imaging/StretchUtils.h"

namespace korvel {

namespace {

bool fileExists(const std::string& path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
}

int atLeastOne(int64_t v) { return int(std::clamp<int64_t>(v, 1, INT32_MAX)); }

// A new canvas is white, as everywhere in Korvel, so transparent areas come out white.
void fillWhite(TBitmap& b) {
    if (b.empty()) return;
    if (isPaletteFormat(b.pixelFormat())) {
        uint32_t white = uint32_t(nearestPaletteIndex(b.palette(), 0xFFFFFF));
        for (int y = 0; y < b.height(); ++y)
            for (int x = 0; x < b.width(); ++x) b.setRawPixel(x, y, white);
        return;
    }
    for (int y = 0; y < b.height(); ++y) std::fill_n(b.scanLine(y), b.stride(), 0xFF);
}

void drawAt00(const TGraphic& g, TBitmap& canvas) { g.draw(canvas, Rect{0, 0, g.width(), g.height()}); }

// The palette of an output drawn from source, with white in it when source has transparent
// pixels, so that they come out white: the transparent index's entry (drawn nowhere) becomes
// white, or white is added where the format has room. Without it the canvas would take the
// entry nearest to white, which may be any colour of the picture.
std::vector<RGBQuad> withWhite(std::vector<RGBQuad> palette, const TBitmap* source, PixelFormat pf) {
    if (!source || (!source->mask() && source->transparency() == Transparency::None)) return palette;
    if (std::any_of(palette.begin(), palette.end(), [](const RGBQuad& q) { return q.color() == 0xFFFFFF; })) return palette;
    const RGBQuad white = RGBQuad::of(0xFFFFFF);
    if (source->transparency() == Transparency::Index && size_t(source->transparentIndex()) < palette.size())
        palette[size_t(source->transparentIndex())] = white;
    else if (palette.size() < (size_t(1) << bitsPerPixel(pf)))
        palette.push_back(white);
    return palette;
}

}  // namespace

Size scaledSize(int width, int height, int percent) {
    return Size{atLeastOne(int64_t(width) * percent / 100), atLeastOne(int64_t(height) * percent / 100)};
}

Size fittedSize(int width, int height, int longerSide) {
    int64_t l = std::max(1, longerSide);
    // A graphic without pixels has no aspect ratio; never divide by its zero side.
    if (width <= 0 || height <= 0) return Size{atLeastOne(l), atLeastOne(l)};
    if (double(l) / width >= double(l) / height) return Size{atLeastOne(width * l / height), atLeastOne(l)};
    return Size{atLeastOne(l), atLeastOne(height * l / width)};
}

void PrepareOutputFormat(const TGraphic& graphic, const std::string& sourcePath, TBitmap& output) {
    output.clear();
    output.clearTransparency();
    if (graphic.graphicClass().inheritsFrom(TBitmap::classInfo)) {
        const TBitmap& src = static_cast<const TBitmap&>(graphic);
        output.setPixelFormat(src.pixelFormat());
        output.setPalette(withWhite(src.palette(), &src, src.pixelFormat()));
    } else if (asciiUpper(extractFileExt(sourcePath)) == ".GIF") {
        output.setPixelFormat(PixelFormat::pf8bit);
        // Keeping the GIF's own colours makes the 8-bit copy lossless.
        const TBitmap* r = graphic.raster();
        output.setPalette(r && r->pixelFormat() == PixelFormat::pf8bit ? withWhite(r->palette(), r, PixelFormat::pf8bit)
                                                                       : defaultPalette(PixelFormat::pf8bit));
    } else {
        output.setPixelFormat(PixelFormat::pf24bit);
        output.setPalette({});
    }
}

void ResizeIntoOutput(TPicture& picture, const ExtendedCopyOptions& options, TBitmap& output) {
    TGraphic& g = *picture.graphic();
    const int w = g.width(), h = g.height();
    output.setSize(0, 0);
    if (options.sizeMode == SizeMode::Original) {
        output.setSize(w, h);
        fillWhite(output);
        drawAt00(g, output);
        picture.setGraphic(nullptr);
        return;
    }
    TBitmap work(w, h, PixelFormat::pf24bit);
    fillWhite(work);
    drawAt00(g, work);
    picture.setGraphic(nullptr);
    Size size;
    if (options.sizeMode == SizeMode::Scale) {
        size = scaledSize(w, h, options.percent);
    } else if (options.keepAspect) {
        size = fittedSize(w, h, options.width);
    } else {
        // A given width and height take the same resampler choice as the other modes.
        size = Size{std::max(1, options.width), std::max(1, options.height)};
    }
    if (options.qualityResample) {
        StretchBitmap(work, size.width, size.height);
        output = std::move(work);
    } else {
        output.setSize(size.width, size.height);
        stretchCopy(work, Rect{0, 0, w, h}, output, Rect{0, 0, size.width, size.height});
    }
}

void RotateOutput(int turn, TBitmap& output) {
    std::unique_ptr<TBitmap> turned;
    switch (turn) {
        case 1: turned = Rotate90Right(output); break;
        case 2: turned = Rotate180(output); break;
        case 3: turned = Rotate90Left(output); break;
        default: return;
    }
    output = std::move(*turned);
}

std::string UniqueOutputName(const std::string& path) {
    const std::string folder = extractFilePath(path), ext = extractFileExt(path);
    const std::string name = extractFileName(path);
    const std::string base = folder + name.substr(0, name.size() - ext.size());
    std::string candidate = path;
    for (long n = 1; fileExists(candidate); ++n) candidate = base + "_" + std::to_string(n) + ext;
    return candidate;
}

std::string claimUniqueOutputName(const std::string& path) {
    for (;;) {
        std::string name = UniqueOutputName(path);
        if (claimNewFile(name)) return name;
    }
}

std::string EncodeOutput(const TBitmap& output, const ExtendedCopyOptions& options) {
    std::ostringstream out;
    switch (options.format) {
        case OutputFormat::Bmp: writeBmp(output, out); break;
        case OutputFormat::Jpeg: {
            TJPEGImage jpeg;
            jpeg.grayscale = options.grayscale;
            jpeg.assign(output);
            jpeg.progressiveEncoding = options.progressive;
            jpeg.compressionQuality = options.jpegQuality;
            jpeg.compress();
            jpeg.saveToStream(out);
            break;
        }
        case OutputFormat::Png: writePngOutput(output, options, out); break;
    }
    return std::move(out).str();
}

namespace {

void fillWith(const std::string& path, const std::string& bytes) {
    fillClaimedFile(path, [&](std::ostream& out) { out.write(bytes.data(), std::streamsize(bytes.size())); });
}

ExtendedCopyOptions withFormat(const ExtendedCopyOptions& options, OutputFormat format) {
    ExtendedCopyOptions o = options;
    o.format = format;
    return o;
}

}  // namespace

// Encoding inside the writer, so a failed encode also gives the claim back.
void SaveAsBmp(const TBitmap& output, const std::string& path) {
    fillClaimedFile(path, [&](std::ostream& out) { out << EncodeOutput(output, withFormat({}, OutputFormat::Bmp)); });
}

void SaveAsJpeg(const TBitmap& output, const std::string& path, const ExtendedCopyOptions& options) {
    fillClaimedFile(path, [&](std::ostream& out) { out << EncodeOutput(output, withFormat(options, OutputFormat::Jpeg)); });
}

void SaveAsPng(const TBitmap& output, const std::string& path, const ExtendedCopyOptions& options) {
    fillClaimedFile(path, [&](std::ostream& out) { out << EncodeOutput(output, withFormat(options, OutputFormat::Png)); });
}

void CopyFileTimes(const std::string& source, const std::string& copy) {
    struct stat st;
    if (::stat(source.c_str(), &st) != 0) throw EFileError("Cannot read the times of", source, errno);
    struct timespec times[2] = {st.st_atim, st.st_mtim};
    if (::utimensat(AT_FDCWD, copy.c_str(), times, 0) != 0) throw EFileError("Cannot set the times of", copy, errno);
}

std::string PrepareConvertedCopy(const std::string& source, const ExtendedCopyOptions& options, TPicture& picture,
                                 TBitmap& output) {
    DecodeLimits limits;
    limits.photo = options.photo;
    picture.loadFromFile(source, limits);
    PrepareOutputFormat(*picture.graphic(), source, output);
    ResizeIntoOutput(picture, options, output);
    RotateOutput(options.turn, output);
    return EncodeOutput(output, options);
}

std::string WriteConvertedCopy(const std::string& source, const std::string& destFolder,
                               const ExtendedCopyOptions& options, const std::string& encoded) {
    // A free name for the source's own extension first, so the copy gets a suffix whenever
    // a file of the source's name stands in the destination.
    std::string name = UniqueOutputName(destFolder + extractFileName(source));
    static const char* const kExts[] = {".bmp", ".jpg", ".png"};
    name = claimUniqueOutputName(changeFileExt(name, kExts[int(options.format)]));
    fillWith(name, encoded);
    // The copy stands either way; a date that could not be copied is not reported.
    if (options.copyDate) {
        try {
            CopyFileTimes(source, name);
        } catch (const EFileError&) {
        }
    }
    return name;
}

std::string ConvertOneFile(const std::string& source, const std::string& destFolder,
                           const ExtendedCopyOptions& options, TPicture& picture, TBitmap& output) {
    return WriteConvertedCopy(source, destFolder, options, PrepareConvertedCopy(source, options, picture, output));
}

TrText convertFailureText(const std::string& source) {
    return {"ExtendedCopy", KORVEL_TR_NOOP("ExtendedCopy", "\"%1\"は処理出来ませんでした。"), {extractFileName(source)}};
}

std::string ConvertFailureMessage(const std::string& source) { return convertFailureText(source).str(); }

}  // namespace korvel
