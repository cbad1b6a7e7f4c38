#pragma once
// The process-wide registry of image formats: extension -> description and graphic class.
// Lookup walks from the newest registration to the oldest, so later registrations win.
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

private:
    std::vector<FormatEntry> entries_;
};

// Registers the built-in codecs in their fixed start-up order.
void registerBuiltinFormats(TFileFormatsList& list);

// The process-wide list, filled with the built-in formats on first use.
TFileFormatsList& fileFormats();

// GraphicFilter of the process-wide list.
std::string GraphicFilter(const GraphicClass& base, const TextTranslator& translate = {});

}  // namespace korvel
