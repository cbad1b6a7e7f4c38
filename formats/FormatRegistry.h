#pragma once
// The process-wide registry of image formats: extension -> description and graphic class.
// Lookup walks from the newest registration to the oldest, so later registrations win.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "base/Translatable.h"
#include "imaging/Graphic.h"

namespace korvel {

struct FormatEntry {
    std::string extension;  // lower-case, without the dot; may be "" or contain a dot
    std::string description;
    const GraphicClass* graphicClass;
};

class TFileFormatsList {
public:
    void registerFormat(const std::string& extension, const std::string& description, const GraphicClass& cls);
    // Removes every entry whose class is cls or descends from it.
    void unregisterFormatClass(const GraphicClass& cls);
    // The newest entry whose extension equals ext (both lower-cased), or null.
    const FormatEntry* findEntryByExtension(const std::string& ext) const;
    const GraphicClass* findFormatByExtension(const std::string& ext) const;
    // The file-type filter string for classes descending from base, its texts through translate
    // when one is given.
    std::string graphicFilter(const GraphicClass& base, const TextTranslator& translate = {}) const;
    const std::vector<FormatEntry>& entries() const { return entries_; }
    // The description of the newest entry for cls (or a class it descends from); "" when none.
    std::string describe(const GraphicClass& cls) const;

private:
    std::vector<FormatEntry> entries_;
};

// What a file's first bytes say it holds, whatever its name says.
enum class ContentFormat { Unknown, Png, Jpeg, Gif, Bmp, Ico, WebP, Tiff, Heif, JpegXl };

// Enough of a file's start for every signature below (HEIF brands may sit past byte 12).
constexpr size_t kSniffBytes = 64;

// The format whose signature the bytes start with; Unknown when none matches.
ContentFormat sniffContent(const uint8_t* data, size_t size);
// A short name for the user ("JPEG", "HEIF").
const char* contentName(ContentFormat format);
// The extensions files of the format usually carry, the common one first.
const std::vector<std::string>& contentExtensions(ContentFormat format);
// The format whose usual extensions include ext (any case, without the dot); Unknown for none.
ContentFormat formatOfExtension(const std::string& ext);
// The built-in class that reads the format, or null when only plug-ins can.
const GraphicClass* builtinClassFor(ContentFormat format);
// The classes to try, in order, on a file of format whose extension's class refused it: the
// built-in class first, then those formats registers for the format's extensions (plug-ins),
// each once and none equal to refused.
std::vector<const GraphicClass*> fallbackClasses(const TFileFormatsList& formats, ContentFormat format,
                                                 const GraphicClass* refused);

// Registers the built-in codecs in their fixed start-up order.
void registerBuiltinFormats(TFileFormatsList& list);

// The process-wide list, filled with the built-in formats on first use.
TFileFormatsList& fileFormats();

// GraphicFilter of the process-wide list.
std::string GraphicFilter(const GraphicClass& base, const TextTranslator& translate = {});

}  // namespace korvel
