#include "formats/SpiHost.h"

#include <dirent.h>
#include <dlfcn.h>
#include <fnmatch.h>
#include <link.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <new>

#include "base/FileNames.h"
#include "formats/FormatRegistry.h"
#include "formats/SpiGraphic.h"
#include "base/UserFolders.h"
#include "base/ProgramFolders.h"

namespace korvel {

ESPIDupCreateSPIs::ESPIDupCreateSPIs()
    : ESPIError(TrText{"SusiePlugins", KORVEL_TR_NOOP("SusiePlugins", "TSPIs は複数生成できません"), {}}) {}
ESPIFOpenErrorSPI::ESPIFOpenErrorSPI(const std::string& path)
    : ESPIError(TrText{"SusiePlugins", KORVEL_TR_NOOP("SusiePlugins", "%1:Susie Pluginがロードできませんでした"), {path}}) {}
ESPIInvalidAPI::ESPIInvalidAPI(const std::string& exportName, const std::string& fileName)
    : ESPIError(TrText{"SusiePlugins", KORVEL_TR_NOOP("SusiePlugins", "%1は[%2]では使えないSusie Plugin APIです"),
                       {exportName, fileName}}) {}
ESPIInvalidSPI::ESPIInvalidSPI(const std::string& fileName, const std::string& reason)
    : ESPIError(fileName + ":invalid Susie Plugin (" + reason + ")") {}

namespace {

// Information texts come in a 256-byte buffer announced as 255 long. Guard bytes fill the rest of
// a 64 KiB area behind it, so an overrun of up to that much lands in memory of ours that holds
// nothing and is found afterwards; after the area comes a page that cannot be touched, so a
// longer one stops the process at the faulting write instead of corrupting the heap.
constexpr int kInfoBufferLength = 255;
constexpr size_t kInfoAreaBytes = size_t(64) << 10;
constexpr uint8_t kGuardByte = 0xA5;

class InfoArea {
public:
    InfoArea() {
        page_ = size_t(::sysconf(_SC_PAGESIZE));
        mapped_ = (kInfoAreaBytes + page_ - 1) / page_ * page_ + page_;
        void* p = ::mmap(nullptr, mapped_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (p == MAP_FAILED) throw std::bad_alloc();
        base_ = static_cast<char*>(p);
        ::mprotect(base_ + mapped_ - page_, page_, PROT_NONE);
        // The buffer ends where the guard bytes end: right before the inaccessible page.
        start_ = base_ + mapped_ - page_ - kInfoAreaBytes;
    }
    ~InfoArea() { ::munmap(base_, mapped_); }
    InfoArea(const InfoArea&) = delete;
    InfoArea& operator=(const InfoArea&) = delete;
    char* data() const { return start_; }

private:
    size_t page_ = 0, mapped_ = 0;
    char* base_ = nullptr;
    char* start_ = nullptr;
};
// A plug-in that never ends its list of formats is cut here.
constexpr int kMaxFormatPairs = 256;

TSPIs* g_instance = nullptr;

std::string absolutePath(const std::string& path) {
    if (path.empty() || path[0] == '/') return path;
    char cwd[4096];
    if (!::getcwd(cwd, sizeof cwd)) return path;
    return withSlash(cwd) + path;
}

template <typename Fn>
Fn lookup(void* module, const char* name) {
    return reinterpret_cast<Fn>(::dlsym(module, name));
}

}  // namespace

TSPI::TSPI(const std::string& path) {
    // RTLD_NOW: a library with unresolved symbols fails here, not in the middle of a decode.
    // RTLD_LOCAL: plug-ins exporting the same names never see each other's functions.
    module_ = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module_) throw ESPIFOpenErrorSPI(path);
    FileName = path;
    link_map* map = nullptr;
    if (::dlinfo(module_, RTLD_DI_LINKMAP, &map) == 0 && map && map->l_name && *map->l_name)
        FileName = absolutePath(map->l_name);
    GetPluginInfo = lookup<SpiGetPluginInfoFn>(module_, "GetPluginInfo");
    IsSupported = lookup<SpiIsSupportedFn>(module_, "IsSupported");
    GetPictureInfo = lookup<SpiGetPictureInfoFn>(module_, "GetPictureInfo");
    GetPicture = lookup<SpiGetPictureFn>(module_, "GetPicture");
    GetPreview = lookup<SpiGetPictureFn>(module_, "GetPreview");
    GetPictureMeta = lookup<SpiGetPictureMetaFn>(module_, "GetPictureMeta");
    GetPictureSized = lookup<SpiGetPictureSizedFn>(module_, "GetPictureSized");
    OpenAnimation = lookup<SpiOpenAnimationFn>(module_, "OpenAnimation");
    NextAnimationFrame = lookup<SpiNextAnimationFrameFn>(module_, "NextAnimationFrame");
    RewindAnimation = lookup<SpiRewindAnimationFn>(module_, "RewindAnimation");
    CloseAnimation = lookup<SpiCloseAnimationFn>(module_, "CloseAnimation");
    // The animation exports work together: a plug-in missing one has none.
    if (!OpenAnimation || !NextAnimationFrame || !RewindAnimation || !CloseAnimation)
        OpenAnimation = nullptr, NextAnimationFrame = nullptr, RewindAnimation = nullptr, CloseAnimation = nullptr;
    GetArchiveInfo = lookup<SpiGetArchiveInfoFn>(module_, "GetArchiveInfo");
    GetFileInfo = lookup<SpiGetFileInfoFn>(module_, "GetFileInfo");
    GetFile = lookup<SpiGetFileFn>(module_, "GetFile");
    ConfigurationDlg = lookup<SpiConfigurationDlgFn>(module_, "ConfigurationDlg");
}

TSPI::~TSPI() {
    if (module_) ::dlclose(module_);
}

void TSPI::requireExport(const void* entry, const char* name) const {
    if (!entry) throw ESPIInvalidAPI(name, FileName);
}

void TSPI::CheckAPI() const { requireExport(reinterpret_cast<const void*>(GetPluginInfo), "GetPluginInfo"); }

void TLoaderSPI::CheckAPI() const {
    TSPI::CheckAPI();
    requireExport(reinterpret_cast<const void*>(IsSupported), "IsSupported");
}

TInSPI::TInSPI(const std::string& path) : TLoaderSPI(path) { initialise(); }

void TInSPI::CheckAPI() const {
    TLoaderSPI::CheckAPI();
    requireExport(reinterpret_cast<const void*>(GetPictureInfo), "GetPictureInfo");
    requireExport(reinterpret_cast<const void*>(GetPicture), "GetPicture");
}

TAmSPI::TAmSPI(const std::string& path) : TLoaderSPI(path) { initialise(); }

void TAmSPI::CheckAPI() const {
    TLoaderSPI::CheckAPI();
    requireExport(reinterpret_cast<const void*>(GetArchiveInfo), "GetArchiveInfo");
    requireExport(reinterpret_cast<const void*>(GetFileInfo), "GetFileInfo");
    requireExport(reinterpret_cast<const void*>(GetFile), "GetFile");
}

TXnSPI::TXnSPI(const std::string& path) : TSPI(path) { initialise(); }

std::string TSPI::pluginInfo(int n) const {
    auto fn = require(GetPluginInfo, "GetPluginInfo");
    InfoArea area;
    char* const buf = area.data();
    std::memset(buf, 0, kInfoBufferLength + 1);
    std::memset(buf + kInfoBufferLength + 1, kGuardByte, kInfoAreaBytes - kInfoBufferLength - 1);
    const int32_t written = fn(n, buf, kInfoBufferLength);
    for (size_t i = kInfoBufferLength + 1; i < kInfoAreaBytes; ++i)
        if (uint8_t(buf[i]) != kGuardByte) throw ESPIInvalidSPI(FileName, "information text overran its buffer");
    if (written < 1) return {};
    if (written > kInfoBufferLength) throw ESPIInvalidSPI(FileName, "information text longer than its buffer");
    const char* end = static_cast<const char*>(std::memchr(buf, '\0', kInfoBufferLength + 1));
    if (!end) throw ESPIInvalidSPI(FileName, "information text not terminated");
    return std::string(static_cast<const char*>(buf), end);
}

void TSPI::initialise() {
    CheckAPI();
    if (std::string s = pluginInfo(0); !s.empty()) APIVersion = s;
    if (std::string s = pluginInfo(1); !s.empty()) AboutPlugIn = s;
    for (int n = 2; n < 2 + 2 * kMaxFormatPairs; n += 2) {
        std::string ext = pluginInfo(n);
        if (ext.empty()) break;
        std::string format = pluginInfo(n + 1);
        if (format.empty()) break;
        FileExtList.push_back(std::move(ext));
        FormatList.push_back(std::move(format));
    }
}

std::unique_ptr<TSPI> TSPI::create(const std::string& path) {
    try {
        std::string version;
        {
            std::unique_ptr<TSPI> probe(new TSPI(path));
            probe->initialise();
            version = probe->APIVersion;
        }
        if (version == "00IN") return std::make_unique<TInSPI>(path);
        if (version == "00AM") return std::make_unique<TAmSPI>(path);
        if (version == "00XN") return std::make_unique<TXnSPI>(path);
        std::unique_ptr<TSPI> plain(new TSPI(path));
        plain->initialise();
        return plain;
    } catch (const ESPIFOpenErrorSPI&) {
        return nullptr;
    } catch (const ESPIInvalidSPI&) {
        return nullptr;
    }
}

std::vector<std::string> splitPluginMasks(const std::string& entry) {
    std::vector<std::string> out;
    std::string rest = entry;
    for (;;) {
        const size_t semi = rest.rfind(';');
        std::string part = semi == std::string::npos ? rest : rest.substr(semi + 1);
        if (const size_t dot = part.find('.'); dot != std::string::npos) part.erase(0, dot + 1);
        out.push_back(std::move(part));
        if (semi == std::string::npos) break;
        rest.erase(semi);
    }
    return out;
}

TSPIs::TSPIs(std::string executablePath, TFileFormatsList* formats)
    : executablePath_(std::move(executablePath)), formats_(formats) {
    if (g_instance) throw ESPIDupCreateSPIs();
    g_instance = this;
}

TSPIs::~TSPIs() {
    Clear();
    if (g_instance == this) g_instance = nullptr;
}

TSPIs* TSPIs::instance() { return g_instance; }

void TSPIs::Loaded() {
    if (AutoSearch) Search("*.spi");
}

void TSPIs::Search(const std::string& mask) {
    const std::string folder = extractFilePath(mask);
    const std::string nameMask = extractFileName(mask);
    if (!folder.empty()) {
        searchFolder(folder, nameMask);
        return;
    }
    if (SearchOptions & spsSusieDir)
        if (!SusieFolder.empty()) searchFolder(withSlash(SusieFolder), nameMask);
    if (SearchOptions & spsAppDir)
        // The program's own plug-in folder: beside it in a build folder, the installed one otherwise.
        if (std::string app = programFolders(absolutePath(executablePath_)).plugins; !app.empty())
            searchFolder(app, nameMask);
    if (SearchOptions & spsCurrentDir)
        if (char cwd[4096]; ::getcwd(cwd, sizeof cwd)) searchFolder(withSlash(cwd), nameMask);
}

void TSPIs::searchFolder(const std::string& folder, const std::string& nameMask) {
    std::vector<std::string> names;
    if (DIR* dir = ::opendir(folder.c_str())) {
        while (dirent* e = ::readdir(dir)) {
            const std::string name = e->d_name;
            if (name.empty() || name[0] == '.') continue;  // hidden, "." and ".."
            // Masks match ignoring case, as Windows file searches do.
            if (::fnmatch(nameMask.c_str(), name.c_str(), FNM_CASEFOLD) != 0) continue;
            struct stat st;
            // Only regular files: loading a fifo or device would block or worse.
            if (::stat((folder + name).c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
            names.push_back(name);
        }
        ::closedir(dir);
    }
    std::sort(names.begin(), names.end());  // a stable order on every file system
    std::vector<std::string> paths;
    for (const std::string& name : names)
        if (IndexOf(folder + name) < 0) paths.push_back(folder + name);

    for (const std::string& path : paths) {
        bool accept = true;
        if (OnSearching) OnSearching(*this, path, accept);
        if (!accept) continue;
        std::unique_ptr<TSPI> spi;
        try {
            spi = TSPI::create(path);
        } catch (const ESPIInvalidAPI&) {
            continue;  // a library lacking its class's exports is skipped; the search goes on
        }
        if (!spi) continue;
        accept = true;
        if (OnSearch) OnSearch(*this, *spi, accept);
        if (accept) Add(std::move(spi));
    }
}

void TSPIs::Add(std::unique_ptr<TSPI> spi) { Insert(Count(), std::move(spi)); }

void TSPIs::Insert(int index, std::unique_ptr<TSPI> spi) {
    TSPI* raw = spi.get();
    index = std::clamp(index, 0, Count());
    items_.insert(items_.begin() + index, std::move(spi));
    try {
        if (raw->kind() == SpiKind::In) registerExtensions(static_cast<TInSPI&>(*raw));
    } catch (...) {
        items_.erase(items_.begin() + index);
        throw;
    }
}

void TSPIs::registerExtensions(TInSPI& spi) {
    TFileFormatsList& formats = formats_ ? *formats_ : fileFormats();
    for (size_t i = 0; i < spi.FileExtList.size(); ++i) {
        for (const std::string& ext : splitPluginMasks(spi.FileExtList[i])) {
            // Plug-ins that can hand back a smaller picture decode on demand, once the size is known.
            const GraphicClass* cls = spi.GetPictureSized ? &TSPIGraphic::classInfo : defaultPluginClass();
            if (OnPictureRegister) OnPictureRegister(*this, spi, ext, spi.FormatList[i], cls);
            if (cls) formats.registerFormat(ext, spi.FormatList[i], *cls);
        }
    }
}

void TSPIs::Delete(int index) { items_.erase(items_.begin() + index); }

int TSPIs::IndexOf(const std::string& path) const {
    const std::string wanted = asciiLower(path);
    for (size_t i = 0; i < items_.size(); ++i)
        if (asciiLower(items_[i]->FileName) == wanted) return int(i);
    return -1;
}

void TSPIs::Clear() {
    while (!items_.empty()) Delete(0);
}

}  // namespace korvel
