#include "formats/FormatRegistry.h"

#include <algorithm>
#include <cstring>

#include "codecs/Gif.h"
#include "codecs/Icon.h"
#include "codecs/Jpeg.h"
#include "codecs/Metafile.h"
#include "codecs/Png.h"
#include "imaging/Bitmap.h"
#include "base/FileNames.h"

namespace korvel {

void TFileFormatsList::registerFormat(const std::string& extension, const std::string& description,
                                      const GraphicClass& cls) {
    entries_.push_back(FormatEntry{asciiLower(extension), description, &cls});
}

void TFileFormatsList::unregisterFormatClass(const GraphicClass& cls) {
    std::erase_if(entries_, [&](const FormatEntry& e) { return e.graphicClass->inheritsFrom(cls); });
}

const FormatEntry* TFileFormatsList::findEntryByExtension(const std::string& ext) const {
    const std::string wanted = asciiLower(ext);
    for (auto it = entries_.rbegin(); it != entries_.rend(); ++it)
        if (it->extension == wanted) return &*it;
    return nullptr;
}

const GraphicClass* TFileFormatsList::findFormatByExtension(const std::string& ext) const {
    const FormatEntry* e = findEntryByExtension(ext);
    return e ? e->graphicClass : nullptr;
}

std::string TFileFormatsList::describe(const GraphicClass& cls) const {
    for (auto it = entries_.rbegin(); it != entries_.rend(); ++it)
        if (it->graphicClass == &cls) return it->description;
    for (auto it = entries_.rbegin(); it != entries_.rend(); ++it)
        if (cls.inheritsFrom(*it->graphicClass)) return it->description;
    return {};
}

namespace {
constexpr char kContext[] = "FileFormats";

uint32_t le32(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }
uint32_t be32(const uint8_t* p) { return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]; }

bool startsWith(const uint8_t* d, size_t n, const char* sig, size_t len) {
    return n >= len && std::memcmp(d, sig, len) == 0;
}

// ISO/IEC 23008-12 brands of HEIF images and sequences (HEVC, AV1 and the generic ones).
bool heifBrand(const uint8_t* b) {
    static const char* const brands[] = {"heic", "heix", "hevc", "hevx", "heim", "heis", "hevm",
                                         "hevs", "mif1", "msf1", "avif", "avis"};
    return std::any_of(std::begin(brands), std::end(brands), [&](const char* s) { return std::memcmp(b, s, 4) == 0; });
}

// The file-type box comes first: size, "ftyp", major brand, minor version, compatible brands.
bool heifSignature(const uint8_t* d, size_t n) {
    if (n < 12 || std::memcmp(d + 4, "ftyp", 4) != 0) return false;
    if (heifBrand(d + 8)) return true;
    const uint32_t size = be32(d);
    const size_t end = std::min<size_t>(n, size < 16 ? 16 : size);
    for (size_t at = 16; at + 4 <= end; at += 4)
        if (heifBrand(d + at)) return true;
    return false;
}

// A BMP file header is followed by an info header of one of the sizes Windows and OS/2 wrote.
bool bmpSignature(const uint8_t* d, size_t n) {
    if (n < 18 || d[0] != 'B' || d[1] != 'M') return false;
    const uint32_t info = le32(d + 14);
    return info == 12 || info == 16 || info == 40 || info == 52 || info == 56 || info == 64 || info == 108 ||
           info == 124;
}

// Icon and cursor directories: reserved 0, type 1 or 2, at least one image.
bool icoSignature(const uint8_t* d, size_t n) {
    return n >= 6 && d[0] == 0 && d[1] == 0 && (d[2] == 1 || d[2] == 2) && d[3] == 0 && (d[4] | d[5]) != 0;
}
}  // namespace

ContentFormat sniffContent(const uint8_t* d, size_t n) {
    if (startsWith(d, n, "\x89PNG\r\n\x1a\n", 8)) return ContentFormat::Png;
    if (startsWith(d, n, "\xff\xd8\xff", 3)) return ContentFormat::Jpeg;
    if (startsWith(d, n, "GIF87a", 6) || startsWith(d, n, "GIF89a", 6)) return ContentFormat::Gif;
    if (n >= 12 && std::memcmp(d, "RIFF", 4) == 0 && std::memcmp(d + 8, "WEBP", 4) == 0) return ContentFormat::WebP;
    // Classic and BigTIFF, either byte order.
    if (startsWith(d, n, "II*\0", 4) || startsWith(d, n, "MM\0*", 4) || startsWith(d, n, "II+\0", 4) ||
        startsWith(d, n, "MM\0+", 4))
        return ContentFormat::Tiff;
    // JPEG XL: a bare codestream, or the ISO BMFF container's signature box.
    if (startsWith(d, n, "\xff\x0a", 2) || startsWith(d, n, "\0\0\0\x0cJXL \r\n\x87\n", 12))
        return ContentFormat::JpegXl;
    if (heifSignature(d, n)) return ContentFormat::Heif;
    if (bmpSignature(d, n)) return ContentFormat::Bmp;
    if (icoSignature(d, n)) return ContentFormat::Ico;
    return ContentFormat::Unknown;
}

const char* contentName(ContentFormat format) {
    switch (format) {
        case ContentFormat::Png: return "PNG";
        case ContentFormat::Jpeg: return "JPEG";
        case ContentFormat::Gif: return "GIF";
        case ContentFormat::Bmp: return "BMP";
        case ContentFormat::Ico: return "ICO";
        case ContentFormat::WebP: return "WebP";
        case ContentFormat::Tiff: return "TIFF";
        case ContentFormat::Heif: return "HEIF";
        case ContentFormat::JpegXl: return "JPEG XL";
        case ContentFormat::Unknown: break;
    }
    return "";
}

const std::vector<std::string>& contentExtensions(ContentFormat format) {
    static const std::vector<std::string> none, png{"png"}, jpeg{"jpg", "jpeg"}, gif{"gif"}, bmp{"bmp", "dib"},
        ico{"ico"}, webp{"webp"}, tiff{"tif", "tiff"}, heif{"heic", "heif", "avif"}, jxl{"jxl"};
    switch (format) {
        case ContentFormat::Png: return png;
        case ContentFormat::Jpeg: return jpeg;
        case ContentFormat::Gif: return gif;
        case ContentFormat::Bmp: return bmp;
        case ContentFormat::Ico: return ico;
        case ContentFormat::WebP: return webp;
        case ContentFormat::Tiff: return tiff;
        case ContentFormat::Heif: return heif;
        case ContentFormat::JpegXl: return jxl;
        case ContentFormat::Unknown: break;
    }
    return none;
}

ContentFormat formatOfExtension(const std::string& ext) {
    const std::string lower = asciiLower(ext);
    for (ContentFormat f : {ContentFormat::Png, ContentFormat::Jpeg, ContentFormat::Gif, ContentFormat::Bmp,
                            ContentFormat::Ico, ContentFormat::WebP, ContentFormat::Tiff, ContentFormat::Heif,
                            ContentFormat::JpegXl}) {
        const std::vector<std::string>& exts = contentExtensions(f);
        if (std::find(exts.begin(), exts.end(), lower) != exts.end()) return f;
    }
    return ContentFormat::Unknown;
}

const GraphicClass* builtinClassFor(ContentFormat format) {
    switch (format) {
        case ContentFormat::Png: return &TGLDPNG::classInfo;
        case ContentFormat::Jpeg: return &TJPEGImage::classInfo;
        case ContentFormat::Gif: return &TGIFImage::classInfo;
        case ContentFormat::Bmp: return &TBitmap::classInfo;
        case ContentFormat::Ico: return &TIcon::classInfo;
        default: return nullptr;
    }
}

std::vector<const GraphicClass*> fallbackClasses(const TFileFormatsList& formats, ContentFormat format,
                                                 const GraphicClass* refused) {
    std::vector<const GraphicClass*> out;
    auto add = [&](const GraphicClass* cls) {
        if (cls && cls->create && cls != refused && std::find(out.begin(), out.end(), cls) == out.end())
            out.push_back(cls);
    };
    add(builtinClassFor(format));
    for (const std::string& ext : contentExtensions(format)) add(formats.findFormatByExtension(ext));
    return out;
}

std::string TFileFormatsList::graphicFilter(const GraphicClass& base, const TextTranslator& translate) const {
    auto translated = [&](const std::string& text) { return translate ? translate(kContext, text) : text; };
    std::string filters, masks;
    int taken = 0;
    for (auto it = entries_.rbegin(); it != entries_.rend(); ++it) {
        if (it->extension.empty() || !it->graphicClass->inheritsFrom(base)) continue;
        if (taken > 0) {
            filters += "|";
            masks += ";";
        }
        filters += translated(it->description) + " (*." + it->extension + ")|*." + it->extension;
        masks += "*." + it->extension;
        ++taken;
    }
    if (taken > 1) {
        const std::string all = fillIn(translated(KORVEL_TR_NOOP("FileFormats", "すべてのファイル (%1)")), {masks});
        return all + "|" + masks + "|" + filters;
    }
    return filters;
}

void registerBuiltinFormats(TFileFormatsList& list) {
    // The list starts with four entries; bmp is replaced when the bitmap unit registers.
    list.registerFormat("wmf", KORVEL_TR_NOOP("FileFormats", "メタファイル"), TMetafile::classInfo);
    list.registerFormat("emf", KORVEL_TR_NOOP("FileFormats", "エンハンス メタファイル"), TMetafile::classInfo);
    list.registerFormat("ico", KORVEL_TR_NOOP("FileFormats", "アイコン"), TIcon::classInfo);
    list.registerFormat("bmp", KORVEL_TR_NOOP("FileFormats", "ビットマップ"), TBitmap::classInfo);
    list.registerFormat("GIF", KORVEL_TR_NOOP("FileFormats", "GIF Image"), TGIFImage::classInfo);
    list.unregisterFormatClass(TBitmap::classInfo);
    list.registerFormat("dib", KORVEL_TR_NOOP("FileFormats", "ビットマップ"), TBitmap::classInfo);
    list.registerFormat("bmp", KORVEL_TR_NOOP("FileFormats", "ビットマップ"), TBitmap::classInfo);
    list.registerFormat("jpeg", KORVEL_TR_NOOP("FileFormats", "JPEG イメージファイル"), TJPEGImage::classInfo);
    list.registerFormat("jpg", KORVEL_TR_NOOP("FileFormats", "JPEG イメージファイル"), TJPEGImage::classInfo);
    list.registerFormat("PNG", KORVEL_TR_NOOP("FileFormats", "PNG Format"), TGLDPNG::classInfo);
}

TFileFormatsList& fileFormats() {
    static TFileFormatsList* list = [] {
        auto* l = new TFileFormatsList;
        registerBuiltinFormats(*l);
        return l;
    }();
    return *list;
}

std::string GraphicFilter(const GraphicClass& base, const TextTranslator& translate) {
    return fileFormats().graphicFilter(base, translate);
}

}  // namespace korvel
