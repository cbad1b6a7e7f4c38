#include "formats/Picture.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>

#include "codecs/Jpeg.h"
#include "imaging/Bitmap.h"
#include "base/Errors.h"
#include "base/FdIo.h"
#include "base/FileNames.h"
#include "formats/FormatRegistry.h"
#include "formats/PhotoGraphic.h"

namespace korvel {

namespace {
// The first kSniffBytes of the file; fewer when it is shorter or cannot be read.
std::vector<uint8_t> fileStart(const std::string& path) {
    std::vector<uint8_t> bytes(kSniffBytes);
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    const ssize_t got = fd < 0 ? -1 : readAll(fd, bytes.data(), bytes.size(), 0);
    if (fd >= 0) ::close(fd);
    bytes.resize(got > 0 ? size_t(got) : 0);
    return bytes;
}

std::string decoderName(const TFileFormatsList& formats, const GraphicClass& cls) {
    const std::string d = formats.describe(cls);
    return d.empty() ? cls.name : d;
}
}  // namespace

std::unique_ptr<TGraphic> TPicture::loadAs(const GraphicClass& cls, const std::string& path,
                                           const DecodeLimits& limits) {
    std::unique_ptr<TGraphic> fresh = cls.create();
    if (onProgress) fresh->setProgressListener(onProgress);
    fresh->loadFromFile(path, limits);
    return fresh;
}

std::unique_ptr<TGraphic> TPicture::loadByContent(const std::string& path, const std::string& ext,
                                                  const GraphicClass* refused, const DecodeLimits& limits) {
    const std::vector<uint8_t> start = fileStart(path);
    const ContentFormat format = sniffContent(start.data(), start.size());
    if (format == ContentFormat::Unknown) return nullptr;
    const TFileFormatsList& formats = formats_ ? *formats_ : fileFormats();
    // Content the extension's own decoder stands for gets no second try from the same decoder.
    const bool sameFormat = refused && builtinClassFor(format) == refused;
    for (const GraphicClass* cls : fallbackClasses(formats, format, refused)) {
        try {
            std::unique_ptr<TGraphic> g = loadAs(*cls, path, limits);
            content_ = sameFormat ? ContentNote{} : ContentNote{format, ext};
            return g;
        } catch (const std::exception& e) {
            failure_ = classifyFailure(e, decoderName(formats, *cls));
        }
    }
    // Only plug-ins read this content: say what keeps them from it, when something does.
    if (!builtinClassFor(format))
        if (auto why = diagnosePlugin(format, start.data(), start.size(), pluginFacts())) failure_ = std::move(why);
    return nullptr;
}

void TPicture::loadFromFile(const std::string& path, const DecodeLimits& limits) {
    content_ = {};
    failure_.reset();
    std::string ext = extractFileExt(path);
    if (!ext.empty()) ext.erase(0, 1);
    const TFileFormatsList& formats = formats_ ? *formats_ : fileFormats();
    const GraphicClass* cls = formats.findFormatByExtension(ext);
    if (!cls || !cls->create) {
        // No decoder for the name; the content may still be one Korvel reads.
        failure_ = DecodeFailure{DecodeFailureKind::NoDecoder, "", ext, {}, {}};
        if (std::unique_ptr<TGraphic> g = loadByContent(path, ext, nullptr, limits)) {
            failure_.reset();
            setGraphic(ShowAsPhoto(std::move(g), limits.photo));
            return;
        }
        throw EInvalidGraphic(TrText{"Picture", KORVEL_TR_NOOP("Picture", "拡張子 .%1 の画像形式は処理できません"), {ext}});
    }
    std::unique_ptr<TGraphic> fresh;
    try {
        fresh = loadAs(*cls, path, limits);
    } catch (const EImageTooLarge& e) {
        // The extension's decoder knew the data well enough to measure it.
        failure_ = classifyFailure(e, decoderName(formats, *cls));
        throw;
    } catch (const EInvalidGraphic& e) {
        failure_ = classifyFailure(e, decoderName(formats, *cls));
        fresh = loadByContent(path, ext, cls, limits);
        if (!fresh) throw;
        failure_.reset();
    } catch (const std::exception& e) {
        failure_ = classifyFailure(e, decoderName(formats, *cls));
        throw;
    }
    // A plug-in class may read more than its extension's format: what the file held is noted
    // when its name belongs to another format of the table.
    const ContentFormat named = formatOfExtension(ext);
    if (!content_.mislabelled() && named != ContentFormat::Unknown && builtinClassFor(named) != cls) {
        const std::vector<uint8_t> start = fileStart(path);
        const ContentFormat held = sniffContent(start.data(), start.size());
        if (held != ContentFormat::Unknown && held != named) content_ = ContentNote{held, ext};
    }
    setGraphic(ShowAsPhoto(std::move(fresh), limits.photo));
}

void TPicture::setGraphic(std::unique_ptr<TGraphic> graphic) {
    graphic_ = std::move(graphic);
    if (onChange) onChange();
}

void LoadPictureAsBitmap(TPicture& picture, uint64_t maxPixels) {
    TGraphic* g = picture.graphic();
    if (!g || g->graphicClass().inheritsFrom(TBitmap::classInfo)) return;
    std::unique_ptr<TBitmap> bitmap;
    if (g->rasterIsWholeImage()) {
        bitmap = std::make_unique<TBitmap>(*g->raster());
    } else {
        bitmap = std::make_unique<TBitmap>(g->width(), g->height(), PixelFormat::pf24bit, maxPixels);
        // A new canvas is white, so transparent areas show white as they do elsewhere in Korvel.
        for (int y = 0; y < bitmap->height(); ++y) std::fill_n(bitmap->scanLine(y), bitmap->stride(), 0xFF);
        g->draw(*bitmap, Rect{0, 0, g->width(), g->height()});
    }
    picture.setGraphic(std::move(bitmap));
}

}  // namespace korvel
