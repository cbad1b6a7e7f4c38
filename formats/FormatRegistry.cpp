#include "formats/FormatRegistry.h"

#include <algorithm>

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

namespace {
constexpr char kContext[] = "FileFormats";
}  // namespace

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
