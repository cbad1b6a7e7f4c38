#pragma once
// Why a file could not be shown, and what a file holds when its extension says otherwise: the
// decoder that was tried and its reason, in words the status bar, the viewer and korvel-tool
// show alike.
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/ErrorReason.h"
#include "base/Translatable.h"
#include "formats/FormatRegistry.h"

namespace korvel {

enum class DecodeFailureKind {
    NoDecoder,       // no decoder for the extension (detail: the extension)
    Unreadable,      // the file could not be read (detail: the system's reason)
    Damaged,         // the decoder refused the data (detail: where, in its words)
    Unsupported,     // a variant the decoder does not read (detail: which)
    OverLimit,       // over one of Korvel's limits (detail: which)
    PluginMissing,   // the plug-in for the content is not installed
    PluginDisabled,  // the user switched the plug-in off
    LibraryMissing,  // the plug-in's library cannot be loaded (detail: the library, package: its package)
};

struct DecodeFailure {
    DecodeFailureKind kind = DecodeFailureKind::Damaged;
    std::string decoder;  // the decoder's description or the plug-in's file name
    std::string detail;   // the decoder's own words, a limit, a library
    TrText markedDetail;  // a detail of Korvel's own, translated with the rest; wins over detail
    std::string package;  // LibraryMissing: the Debian package that provides the library

    // One line for the user, its texts through translate when one is given.
    std::string text(const TextTranslator& translate = {}) const;
};

// What a caught decoder error says about the file: Unreadable, OverLimit, Unsupported or Damaged.
DecodeFailure classifyFailure(const std::exception& error, const std::string& decoder);

// "JPEG (拡張子 .png)": the content of a file loaded by its signature rather than its extension.
struct ContentNote {
    ContentFormat format = ContentFormat::Unknown;
    std::string extension;  // as the file's name has it, without the dot
    bool mislabelled() const { return format != ContentFormat::Unknown; }
    std::string text(const TextTranslator& translate = {}) const;
};

// The Debian package that ships a library by its soname: "libheif.so.1" -> "libheif1",
// "libjxl.so.0.7" -> "libjxl0.7", and "libfoo2.so.1" -> "libfoo2-1" (the package naming rule).
std::string packageForLibrary(const std::string& soname);

// What the host knows about the plug-ins and their libraries; the process's own by default,
// another in tests.
class PluginFacts {
public:
    virtual ~PluginFacts() = default;
    // A plug-in of this file name is loaded.
    virtual bool loaded(const std::string& pluginFile) const;
    // The user switched the plug-in of this file name off.
    virtual bool disabled(const std::string& pluginFile) const;
    // The library can be opened and has symbol.
    virtual bool libraryUsable(const std::string& soname, const std::string& symbol) const;
    // libheif has a decoder for its compression format number (1 HEVC, 4 AV1).
    virtual bool heifDecoder(int compression) const;
};

// Installs facts for the process (null: the default); returns the previous one.
std::shared_ptr<const PluginFacts> setPluginFacts(std::shared_ptr<const PluginFacts> facts);
const PluginFacts& pluginFacts();

// For content only plug-ins read: a more precise reason than "the plug-in refused it" when the
// plug-in is missing or switched off, its library cannot be loaded, or (HEIF) the codec the
// file's brand needs is not there. header: the file's first bytes. Nothing when all is in place.
std::optional<DecodeFailure> diagnosePlugin(ContentFormat format, const uint8_t* header, size_t size,
                                            const PluginFacts& facts);

}  // namespace korvel
