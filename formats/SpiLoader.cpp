#include "formats/SpiLoader.h"

#include <cerrno>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <malloc.h>
#include <mutex>

#include "base/Errors.h"
#include "base/FileBytes.h"
#include "base/FileNames.h"
#include "codecs/PhotoMeta.h"
#include "formats/SpiHost.h"

namespace korvel {

namespace {
// The loader whose decode is running: a progress report whose user data is anything else is
// ignored rather than trusted.
TInSPIAbleData* g_running = nullptr;

struct RunningGuard {
    TInSPIAbleData* previous;
    explicit RunningGuard(TInSPIAbleData* self) : previous(g_running) { g_running = self; }
    ~RunningGuard() { g_running = previous; }
};
}  // namespace

TInSPIAbleData::~TInSPIAbleData() { Release(); }

void TInSPIAbleData::Release() {
    // The blocks are malloc'd by the plug-in; locking is the identity, so only free remains.
    std::free(bitmapInfo_);
    std::free(bitmap_);
    if (pictureInfoObtained_) std::free(pictureInfo_.hInfo);
    bitmapInfo_ = nullptr;
    bitmap_ = nullptr;
    pictureInfo_ = SpiPictureInfo{};
    pictureInfoObtained_ = false;
    photoMeta_ = PhotoMeta{};
    decoder_.clear();
    deferred_ = nullptr;
}

void TInSPIAbleData::notify(ProgressStage stage, int percent, const std::string& message) const {
    if (listener) listener(stage, percent, message);
}

int TInSPIAbleData::progressPercent(int32_t done, int32_t total) {
    if (total == 0) return 2;
    // Rounded to nearest, ties to even, as the default floating-point rounding does.
    const double exact = double(int64_t(done) * 97) / double(total);
    return int(std::nearbyint(exact)) + 2;
}

int32_t TInSPIAbleData::progressCallback(int32_t done, int32_t total, intptr_t data) {
    auto* self = reinterpret_cast<TInSPIAbleData*>(data);
    if (self && self == g_running && self->listener)
        self->notify(ProgressStage::Running, progressPercent(done, total), {});
    return 0;  // never cancels
}

std::vector<TSPI*> TInSPIAbleData::candidates(const TSPIs& host, const std::string& sourceName) {
    if (host.GraphicForcedLoader) return {host.GraphicForcedLoader};
    const std::string ext = asciiUpper(extractFileExt(sourceName));
    std::vector<TSPI*> front, rest;
    for (int i = 0; i < host.Count(); ++i) {
        TSPI* spi = host.item(i);
        if (spi->kind() != SpiKind::In) continue;
        bool matches = false;
        for (const std::string& entry : spi->FileExtList) {
            // The entry's extension is its text from the last ".", so "*.tif;*.tiff" gives ".tiff".
            const size_t dot = entry.rfind('.');
            if (dot != std::string::npos && asciiUpper(entry.substr(dot)) == ext) matches = true;
        }
        // Each match goes to the front as it is met: matches end up in reverse list order.
        if (matches)
            front.insert(front.begin(), spi);
        else
            rest.push_back(spi);
    }
    front.insert(front.end(), rest.begin(), rest.end());
    return front;
}

// Plug-ins are never called from two threads at once (conversion workers and the window's
// thumbnails); recursive, as a progress callback may start another load on the same thread.
static std::recursive_mutex& pluginCallMutex() {
    static std::recursive_mutex calls;
    return calls;
}

bool TInSPIAbleData::tryPlugin(TSPI& spi, const uint8_t* header, size_t offset, bool preview) {
    auto isSupported = spi.require(spi.IsSupported, "IsSupported");
    if (isSupported(sourceName_.c_str(), header + offset) == 0) return false;

    // A plug-in with the metadata export hands back rows as stored; this host turns them.
    const uint32_t flag = sourceFlag() | (spi.GetPictureMeta ? SPI_HOST_ORIENTS : 0u);
    auto getInfo = spi.require(spi.GetPictureInfo, "GetPictureInfo");
    SpiPictureInfo info{};
    if (getInfo(sourceBuffer(offset), sourceLength(offset), flag, &info) == 0) {
        if (pictureInfoObtained_) std::free(pictureInfo_.hInfo);
        pictureInfo_ = info;
        pictureInfoObtained_ = true;
    }

    if (deferSized && spi.GetPictureSized && pictureInfoObtained_ && info.width > 0 && info.height > 0) {
        readMeta(spi, offset, flag);
        deferred_ = &spi;
        deferredOffset_ = offset;
        return true;
    }

    auto call = [&](SpiGetPictureFn fn) {
        void* hInfo = nullptr;
        void* hBm = nullptr;
        const int32_t rc = fn(sourceBuffer(offset), sourceLength(offset), flag, &hInfo, &hBm,
                              &TInSPIAbleData::progressCallback, reinterpret_cast<intptr_t>(this));
        // With a failure result the plug-in keeps ownership of whatever it left in the handles.
        if (rc != 0) return false;
        bitmapInfo_ = hInfo;
        bitmap_ = hBm;
        if (complete()) {
            readMeta(spi, offset, flag);
            return true;
        }
        std::free(bitmapInfo_);
        std::free(bitmap_);
        bitmapInfo_ = bitmap_ = nullptr;
        return false;
    };
    if (preview && call(spi.require(spi.GetPreview, "GetPreview"))) return true;
    return call(spi.require(spi.GetPicture, "GetPicture"));
}

// The plug-in is untrusted here too: an orientation outside 1..8 means upright, and a profile
// larger than its allocation or than any file may carry is dropped.
void TInSPIAbleData::readMeta(TSPI& spi, size_t offset, uint32_t flag) {
    if (!spi.GetPictureMeta) return;
    SpiPictureMeta meta{};
    if (spi.GetPictureMeta(sourceBuffer(offset), sourceLength(offset), flag, &meta) != 0) return;
    if (meta.orientation >= 1 && meta.orientation <= 8) photoMeta_.orientation = meta.orientation;
    if (meta.hIcc && meta.iccSize > 0 && meta.iccSize <= kMaxIccProfileBytes &&
        meta.iccSize <= ::malloc_usable_size(meta.hIcc)) {
        const auto* p = static_cast<const uint8_t*>(meta.hIcc);
        photoMeta_.iccProfile.assign(p, p + meta.iccSize);
    }
    std::free(meta.hIcc);
}

bool TInSPIAbleData::Decode(int32_t width, int32_t height) {
    if (!deferred_) return complete();
    std::lock_guard lock(pluginCallMutex());
    std::free(bitmapInfo_);
    std::free(bitmap_);
    bitmapInfo_ = bitmap_ = nullptr;
    TSPI& spi = *deferred_;
    const uint32_t flag = sourceFlag() | (spi.GetPictureMeta ? SPI_HOST_ORIENTS : 0u);
    void* hInfo = nullptr;
    void* hBm = nullptr;
    const char* buf = sourceBuffer(deferredOffset_);
    const intptr_t len = sourceLength(deferredOffset_);
    const intptr_t data = reinterpret_cast<intptr_t>(this);
    const int32_t rc = width > 0 && height > 0
                           ? spi.GetPictureSized(buf, len, flag, width, height, &hInfo, &hBm,
                                                 &TInSPIAbleData::progressCallback, data)
                           : spi.require(spi.GetPicture, "GetPicture")(buf, len, flag, &hInfo, &hBm,
                                                                       &TInSPIAbleData::progressCallback, data);
    if (rc != 0) return false;
    bitmapInfo_ = hInfo;
    bitmap_ = hBm;
    if (complete()) return true;
    std::free(bitmapInfo_);
    std::free(bitmap_);
    bitmapInfo_ = bitmap_ = nullptr;
    return false;
}

void TInSPIAbleData::Execute(TSPIs* host) {
    std::lock_guard lock(pluginCallMutex());
    struct Ending {
        const TInSPIAbleData* self;
        ~Ending() { self->notify(ProgressStage::Ending, 100, "Loaded Graphic by Susie Plugin"); }
    } ending{this};
    notify(ProgressStage::Starting, 0, "Loading Graphic by Susie Plugin");
    Release();
    notify(ProgressStage::Running, 1, "Seeking enabled Susie Plugins");
    if (!host) return;
    const std::vector<TSPI*> order = candidates(*host, sourceName_);

    std::vector<uint8_t> header(kSpiHeaderBufferSize, 0);
    const size_t filled = fillHeader(header.data());
    std::vector<size_t> offsets{0};
    // A source that ends before byte 128 has nothing to offer there.
    if (host->MacBinary && filled > kMacBinaryOffset) offsets.push_back(kMacBinaryOffset);

    RunningGuard running(this);
    for (TSPI* spi : order) {
        for (size_t offset : offsets) {
            notify(ProgressStage::Running, 1, "Loading by [" + extractFileName(spi->FileName) + "]");
            if (tryPlugin(*spi, header.data(), offset, host->GraphicPreview)) {
                decoder_ = extractFileName(spi->FileName);
                return;
            }
            Release();
        }
    }
}

TInSPIAbleFromStream::TInSPIAbleFromStream(std::vector<uint8_t> owned, const std::string& fileName)
    : TInSPIAbleData(fileName), owned_(std::move(owned)), data_(owned_.data()), size_(owned_.size()) {}

size_t TInSPIAbleFromStream::fillHeader(uint8_t* buf) {
    const size_t n = std::min(size_, kSpiHeaderBufferSize);
    if (n) std::memcpy(buf, data_, n);
    return n;
}

size_t TInSPIAbleFromFile::fillHeader(uint8_t* buf) {
    // Plug-ins open the file by its name themselves: a pipe or device is refused here, before
    // any of them is called. No size bound: the format is the plug-in's, and only the header
    // is read here.
    const std::shared_ptr<const FileBytes> bytes = FileBytes::open(sourceName());
    const size_t n = std::min(bytes->size(), kSpiHeaderBufferSize);
    if (n) std::memcpy(buf, bytes->data(), n);
    bytes->requireWhole();
    return n;
}

}  // namespace korvel
