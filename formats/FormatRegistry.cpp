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

std::string TFileFormatsList::graphicFilter(const GraphicClass& base) const {
    std::string filters, masks;
    int taken = 0;
    for (auto it = entries_.rbegin(); it != entries_.rend(); ++it) {
        if (it->extension.empty() || !it->graphicClass->inheritsFrom(base)) continue;
        if (taken > 0) {
            filters += "|";
            masks += ";";
        }
        filters += it->description + " (*." + it->extension + ")|*." + it->extension;
        masks += "*." + it->extension;
        ++taken;
    }
    if (taken > 1) return "すべてのファイル (" + masks + ")|" + masks + "|" + filters;
    return filters;
}

void registerBuiltinFormats(TFileFormatsList& list) {
    // The list starts with four entries; bmp is replaced when the bitmap unit registers.
    list.registerFormat("wmf", "メタファイル", TMetafile::classInfo);
    list.registerFormat("emf", "エンハンス メタファイル", TMetafile::classInfo);
    list.registerFormat("ico", "アイコン", TIcon::classInfo);
    list.registerFormat("bmp", "ビットマップ", TBitmap::classInfo);
    list.registerFormat("GIF", "GIF Image", TGIFImage::classInfo);
    list.unregisterFormatClass(TBitmap::classInfo);
    list.registerFormat("dib", "ビットマップ", TBitmap::classInfo);
    list.registerFormat("bmp", "ビットマップ", TBitmap::classInfo);
    list.registerFormat("jpeg", "JPEG イメージファイル", TJPEGImage::classInfo);
    list.registerFormat("jpg", "JPEG イメージファイル", TJPEGImage::classInfo);
    list.registerFormat("PNG", "PNG Format", TGLDPNG::classInfo);
}

TFileFormatsList& fileFormats() {
    static TFileFormatsList* list = [] {
        auto* l = new TFileFormatsList;
        registerBuiltinFormats(*l);
        return l;
    }();
    return *list;
}

std::string GraphicFilter(const GraphicClass& base) { return fileFormats().graphicFilter(base); }

}  // namespace korvel
