#pragma once
// The decoder plug-in host: TSPI is one loaded "*.spi" library, classified by the API version
// it reports; TSPIs finds, loads and keeps the accepted ones and binds their extensions to the
// format registry. Plug-ins are untrusted: every text and size they hand back is checked.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/Errors.h"
#include "imaging/Graphic.h"
#include "formats/SpiApi.h"

namespace korvel {

class TFileFormatsList;

// Base of the plug-in host's errors.
class ESPIError : public Exception {
public:
    using Exception::Exception;
};
// A second host while one exists.
class ESPIDupCreateSPIs : public ESPIError {
public:
    ESPIDupCreateSPIs();
};
// The library could not be loaded.
class ESPIFOpenErrorSPI : public ESPIError {
public:
    explicit ESPIFOpenErrorSPI(const std::string& path);
};
// An export the call or the plug-in's class needs is missing.
class ESPIInvalidAPI : public ESPIError {
public:
    ESPIInvalidAPI(const std::string& exportName, const std::string& fileName);
};
// The plug-in answered an information call with data that breaks the interface.
class ESPIInvalidSPI : public ESPIError {
public:
    ESPIInvalidSPI(const std::string& fileName, const std::string& reason);
};

enum class SpiKind { Plain, In, Am, Xn };

class TSPI {
public:
    // Loads path and builds the object of the class its API version asks for ("00IN", "00AM",
    // "00XN", anything else a plain TSPI). Returns null when the library cannot be loaded or
    // breaks the information calls; throws ESPIInvalidAPI when an export its class needs is missing.
    static std::unique_ptr<TSPI> create(const std::string& path);
    virtual ~TSPI();
    TSPI(const TSPI&) = delete;
    TSPI& operator=(const TSPI&) = delete;

    virtual SpiKind kind() const { return SpiKind::Plain; }
    // Throws ESPIInvalidAPI naming the first required export that is missing.
    virtual void CheckAPI() const;

    std::string FileName;  // the path the loader reports for the module, else the path asked for
    std::string APIVersion;
    std::string AboutPlugIn;
    std::vector<std::string> FileExtList;  // masks such as "*.tif;*.tiff"
    std::vector<std::string> FormatList;   // one description per FileExtList entry

    // Entry points; null when the export is missing.
    SpiGetPluginInfoFn GetPluginInfo = nullptr;
    SpiIsSupportedFn IsSupported = nullptr;
    SpiGetPictureInfoFn GetPictureInfo = nullptr;
    SpiGetPictureFn GetPicture = nullptr;
    SpiGetPictureFn GetPreview = nullptr;
    SpiGetPictureMetaFn GetPictureMeta = nullptr;  // optional
    SpiGetPictureSizedFn GetPictureSized = nullptr;  // optional
    // Optional, all four or none (then all null).
    SpiOpenAnimationFn OpenAnimation = nullptr;
    SpiNextAnimationFrameFn NextAnimationFrame = nullptr;
    SpiRewindAnimationFn RewindAnimation = nullptr;
    SpiCloseAnimationFn CloseAnimation = nullptr;
    SpiGetArchiveInfoFn GetArchiveInfo = nullptr;
    SpiGetFileInfoFn GetFileInfo = nullptr;
    SpiGetFileFn GetFile = nullptr;
    SpiConfigurationDlgFn ConfigurationDlg = nullptr;

    // Throws ESPIInvalidAPI(name) when entry is null; every call goes through it.
    template <typename Fn>
    Fn require(Fn entry, const char* name) const {
        if (!entry) throw ESPIInvalidAPI(name, FileName);
        return entry;
    }

    // Information item n as text: empty when the plug-in reports fewer than 1 character.
    // Throws ESPIInvalidSPI when it claims more than the buffer or leaves it unterminated.
    std::string pluginInfo(int n) const;

protected:
    explicit TSPI(const std::string& path);
    // Runs CheckAPI and reads the information items; the constructors of the classes call it
    // once they are complete, so CheckAPI is the class's own.
    void initialise();
    void requireExport(const void* entry, const char* name) const;

private:
    void* module_ = nullptr;
};

class TLoaderSPI : public TSPI {
public:
    void CheckAPI() const override;

protected:
    using TSPI::TSPI;
};

// Image loader ("00IN"): the only kind Korvel keeps.
class TInSPI : public TLoaderSPI {
public:
    explicit TInSPI(const std::string& path);
    SpiKind kind() const override { return SpiKind::In; }
    void CheckAPI() const override;
};

// Archive extractor ("00AM").
class TAmSPI : public TLoaderSPI {
public:
    explicit TAmSPI(const std::string& path);
    SpiKind kind() const override { return SpiKind::Am; }
    void CheckAPI() const override;
};

// "00XN" plug-ins.
class TXnSPI : public TSPI {
public:
    explicit TXnSPI(const std::string& path);
    SpiKind kind() const override { return SpiKind::Xn; }
};

enum TSPISearchOption : unsigned {
    spsSusieDir = 1,
    spsAppDir = 2,
    spsCurrentDir = 4,
    spsSystemDir = 8,   // no such folder on Linux: skipped
    spsWindowsDir = 16, // likewise
};

// The plug-in host. Exactly one exists at a time; instance() names it.
class TSPIs {
public:
    // formats: where Add registers extensions (the process-wide list when null).
    // executablePath: for the program's own folder and the config folder's registry.ini.
    explicit TSPIs(std::string executablePath, TFileFormatsList* formats = nullptr);
    ~TSPIs();
    TSPIs(const TSPIs&) = delete;
    TSPIs& operator=(const TSPIs&) = delete;

    static TSPIs* instance();

    unsigned SearchOptions = spsSusieDir | spsAppDir;
    bool AutoSearch = true;
    bool MacBinary = true;        // also try every source from byte 128 on
    bool GraphicPreview = false;  // ask the plug-in's preview function first
    TSPI* GraphicForcedLoader = nullptr;

    // Veto before the library is loaded (full path).
    std::function<void(TSPIs& sender, const std::string& fileName, bool& accept)> OnSearching;
    // Veto after it is loaded and classified.
    std::function<void(TSPIs& sender, TSPI& spi, bool& accept)> OnSearch;
    // Change or clear the class bound to one extension of an image loader.
    std::function<void(TSPIs& sender, TInSPI& spi, const std::string& extension, const std::string& description,
                       const GraphicClass*& cls)>
        OnPictureRegister;

    // Runs Search("*.spi") when AutoSearch is set (the owner calls it once its handlers are in place).
    void Loaded();
    // Searches mask's folder when it names one, else the folders of SearchOptions in order.
    void Search(const std::string& mask = "*.spi");
    // The Susie plug-in folder (the owner reads it from registry.ini); "" when none is configured.
    std::string SusieFolder;

    int Count() const { return int(items_.size()); }
    TSPI* item(int index) const { return items_.at(size_t(index)).get(); }
    // Appends and, for an image loader, registers its extensions.
    void Add(std::unique_ptr<TSPI> spi);
    void Insert(int index, std::unique_ptr<TSPI> spi);
    void Delete(int index);
    // First entry whose FileName equals path ignoring ASCII case, or -1.
    int IndexOf(const std::string& path) const;
    void Clear();

private:
    void searchFolder(const std::string& folder, const std::string& nameMask);
    void registerExtensions(TInSPI& spi);

    std::string executablePath_;
    TFileFormatsList* formats_;
    std::vector<std::unique_ptr<TSPI>> items_;
};

// Splits one FileExtList entry into the extensions it offers, in registration order: from the
// last ";"-separated mask to the first, each without the text up to its first ".".
std::vector<std::string> splitPluginMasks(const std::string& entry);

}  // namespace korvel
