#include "formats/PictureFailure.h"

#include <dlfcn.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <mutex>
#include <new>
#include <utility>

#include "base/Errors.h"
#include "base/FileNames.h"
#include "base/ProgramFolders.h"
#include "formats/SpiExclusion.h"
#include "formats/SpiHost.h"

namespace korvel {

namespace {
constexpr char kContext[] = "Picture";

std::string translated(const TextTranslator& translate, const TrText& t) {
    if (t.empty()) return {};
    return fillIn(translate ? translate(t.context, t.text) : std::string(t.text), t.args);
}

const char* frameOf(DecodeFailureKind kind) {
    switch (kind) {
        case DecodeFailureKind::NoDecoder: return KORVEL_TR_NOOP("Picture", "拡張子 .%1 の画像形式は処理できません");
        case DecodeFailureKind::Unreadable: return KORVEL_TR_NOOP("Picture", "%1: 読み込めません (%2)");
        case DecodeFailureKind::Damaged: return KORVEL_TR_NOOP("Picture", "%1: ファイルが壊れています (%2)");
        case DecodeFailureKind::Unsupported: return KORVEL_TR_NOOP("Picture", "%1: 対応していない種類です (%2)");
        case DecodeFailureKind::OverLimit: return KORVEL_TR_NOOP("Picture", "%1: 上限を超えています (%2)");
        case DecodeFailureKind::PluginMissing: return KORVEL_TR_NOOP("Picture", "%1: プラグインがありません");
        case DecodeFailureKind::PluginDisabled: return KORVEL_TR_NOOP("Picture", "%1: プラグインは無効にされています");
        case DecodeFailureKind::LibraryMissing:
            return KORVEL_TR_NOOP("Picture", "%1: ライブラリ %2 がありません (パッケージ %3)");
    }
    return "%1";
}
}  // namespace

std::string DecodeFailure::text(const TextTranslator& translate) const {
    const std::string shownDetail = markedDetail.empty() ? detail : translated(translate, markedDetail);
    // A built-in decoder is named by its format's description, which has its own translation.
    const std::string shownDecoder = translate && !decoder.empty() ? translate("FileFormats", decoder) : decoder;
    const TrText frame{kContext, frameOf(kind), {shownDecoder, shownDetail, package}};
    if (kind == DecodeFailureKind::NoDecoder) return translated(translate, TrText{kContext, frame.text, {detail}});
    return translated(translate, frame);
}

DecodeFailure classifyFailure(const std::exception& error, const std::string& decoder) {
    DecodeFailure f;
    f.decoder = decoder;
    f.detail = error.what();
    if (const auto* ex = dynamic_cast<const Exception*>(&error)) f.markedDetail = ex->text();
    if (const auto* file = dynamic_cast<const EFileError*>(&error)) {
        f.kind = DecodeFailureKind::Unreadable;
        if (const char* reason = errorReasonText(file->errorNumber())) f.markedDetail = TrText{kErrorReasonContext, reason, {}};
    } else if (dynamic_cast<const EImageTooLarge*>(&error) || dynamic_cast<const std::bad_alloc*>(&error)) {
        f.kind = DecodeFailureKind::OverLimit;
    } else if (dynamic_cast<const EUnsupportedGraphic*>(&error)) {
        f.kind = DecodeFailureKind::Unsupported;
    } else {
        f.kind = DecodeFailureKind::Damaged;
    }
    return f;
}

std::string ContentNote::text(const TextTranslator& translate) const {
    if (!mislabelled()) return {};
    return translated(translate, TrText{kContext, KORVEL_TR_NOOP("Picture", "%1 (拡張子 .%2)"),
                                        {contentName(format), extension}});
}

std::string packageForLibrary(const std::string& soname) {
    const size_t so = soname.find(".so.");
    if (so == std::string::npos || so == 0) return soname;
    std::string name = asciiLower(soname.substr(0, so));
    const std::string version = soname.substr(so + 4);
    // A name that ends in a digit is kept apart from its version by a hyphen.
    if (std::isdigit(static_cast<unsigned char>(name.back()))) name += '-';
    return name + version;
}

bool PluginFacts::loaded(const std::string& pluginFile) const {
    const TSPIs* host = TSPIs::instance();
    if (!host) return false;
    for (int i = 0; i < host->Count(); ++i)
        if (asciiLower(extractFileName(host->item(i)->FileName)) == asciiLower(pluginFile)) return true;
    return false;
}

bool PluginFacts::disabled(const std::string& pluginFile) const {
    const std::string exe = runningExecutablePath("");
    return isExcludedPlugin(readExclusionLines(exclusionFilePath(exe)), pluginFile);
}

bool PluginFacts::libraryUsable(const std::string& soname, const std::string& symbol) const {
    void* lib = ::dlopen(soname.c_str(), RTLD_LAZY | RTLD_LOCAL);
    if (!lib) return false;
    const bool found = ::dlsym(lib, symbol.c_str()) != nullptr;
    ::dlclose(lib);
    return found;
}

bool PluginFacts::heifDecoder(int compression) const {
    void* lib = ::dlopen("libheif.so.1", RTLD_LAZY | RTLD_LOCAL);
    if (!lib) return false;
    using HaveDecoder = int (*)(int);
    auto have = reinterpret_cast<HaveDecoder>(::dlsym(lib, "heif_have_decoder_for_format"));
    // Older libheif without the query: assume it has what it was built with.
    const bool result = !have || have(compression) != 0;
    ::dlclose(lib);
    return result;
}

namespace {
std::mutex g_factsMutex;
std::shared_ptr<const PluginFacts> g_facts;

struct PluginNeed {
    ContentFormat format;
    const char* plugin;
    std::vector<const char*> libraries;  // any one will do; the first names the package
    const char* symbol;
};

const PluginNeed* needOf(ContentFormat format) {
    static const PluginNeed needs[] = {
        {ContentFormat::WebP, "korvel-webp.spi", {"libwebp.so.7"}, "WebPDecode"},
        {ContentFormat::Tiff, "korvel-tiff.spi", {"libtiff.so.6", "libtiff.so.5"}, "TIFFClientOpen"},
        {ContentFormat::Heif, "korvel-heif.spi", {"libheif.so.1"}, "heif_context_alloc"},
        {ContentFormat::JpegXl, "korvel-jxl.spi",
         {"libjxl.so.0.7", "libjxl.so.0.8", "libjxl.so.0.9", "libjxl.so.0.10", "libjxl.so.0.11"}, "JxlDecoderCreate"},
    };
    for (const PluginNeed& n : needs)
        if (n.format == format) return &n;
    return nullptr;
}

// libheif's compression number for the codec the file-type box's brands ask for: AV1 for the
// AVIF brands, else HEVC.
int heifCompression(const uint8_t* h, size_t n) {
    const size_t end = n < 12 ? 0 : std::min<size_t>(n, std::max<uint32_t>(16, uint32_t(h[0]) << 24 | h[1] << 16 | h[2] << 8 | h[3]));
    for (size_t at = 8; at + 4 <= end; at += 4) {
        if (at == 12) continue;  // the minor version
        if (std::memcmp(h + at, "avif", 4) == 0 || std::memcmp(h + at, "avis", 4) == 0) return 4;
    }
    return 1;
}
}  // namespace

std::shared_ptr<const PluginFacts> setPluginFacts(std::shared_ptr<const PluginFacts> facts) {
    std::lock_guard lock(g_factsMutex);
    return std::exchange(g_facts, std::move(facts));
}

const PluginFacts& pluginFacts() {
    static const PluginFacts fallback;
    std::lock_guard lock(g_factsMutex);
    return g_facts ? *g_facts : fallback;
}

std::optional<DecodeFailure> diagnosePlugin(ContentFormat format, const uint8_t* header, size_t size,
                                            const PluginFacts& facts) {
    const PluginNeed* need = needOf(format);
    if (!need) return std::nullopt;
    DecodeFailure f;
    f.decoder = need->plugin;
    if (facts.disabled(need->plugin)) {
        f.kind = DecodeFailureKind::PluginDisabled;
        return f;
    }
    bool usable = false;
    for (const char* lib : need->libraries) usable = usable || facts.libraryUsable(lib, need->symbol);
    if (!usable) {
        f.kind = DecodeFailureKind::LibraryMissing;
        f.detail = need->libraries.front();
        f.package = packageForLibrary(f.detail);
        return f;
    }
    if (!facts.loaded(need->plugin)) {
        f.kind = DecodeFailureKind::PluginMissing;
        return f;
    }
    if (format == ContentFormat::Heif) {
        const int compression = heifCompression(header, size);
        if (!facts.heifDecoder(compression)) {
            f.kind = DecodeFailureKind::Unsupported;
            f.markedDetail = TrText{kContext, KORVEL_TR_NOOP("Picture", "%1 のデコーダーがありません"),
                                    {compression == 4 ? "AV1" : "HEVC"}};
            return f;
        }
    }
    return std::nullopt;
}

}  // namespace korvel
