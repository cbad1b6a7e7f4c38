#include "formats/SpiGraphic.h"

#include <malloc.h>

#include <algorithm>
#include <cstring>
#include <ostream>

#include "imaging/Bmp.h"
#include "imaging/BmpHeader.h"
#include "base/Errors.h"
#include "base/FileBytes.h"
#include "base/FileNames.h"
#include "base/Limits.h"
#include "formats/FormatRegistry.h"
#include "formats/SpiHost.h"
#include "formats/SpiLoader.h"

namespace korvel {

const GraphicClass TSPIGraphic::classInfo{"TSPIGraphic", &TGraphic::classInfo,
                                          [] { return std::unique_ptr<TGraphic>(new TSPIGraphic); }};
const GraphicClass TSPIBitmap::classInfo{"TSPIBitmap", &TBitmap::classInfo,
                                         [] { return std::unique_ptr<TGraphic>(new TSPIBitmap); }};

const GraphicClass*& defaultPluginClass() {
    static const GraphicClass* cls = &TSPIBitmap::classInfo;
    return cls;
}

namespace {

constexpr uint32_t kBiRgb = 0, kBiBitfields = 3;
const char* const kCouldNotDecode = "Susie Plugins could not decode";
constexpr size_t kInfoHeaderSize = 40;

uint32_t get32(const uint8_t* p) {
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
void put32(std::string& s, uint32_t v) {
    for (int i = 0; i < 4; ++i) s += char(uint8_t(v >> (8 * i)));
}

[[noreturn]] void broken(const std::string& plugin, const std::string& what) {
    throw EInvalidGraphic("Susie Plugin [" + plugin + "] returned a broken image: " + what);
}

}  // namespace

TSPIGraphic::TSPIGraphic() = default;
TSPIGraphic::~TSPIGraphic() = default;

void TSPIGraphic::reset() {
    loader_.reset();
    raster_.reset();
    width_ = height_ = bitCount_ = colorCount_ = 0;
    compression_ = 0;
    infoSize_ = pixelSize_ = 0;
    copyPalette_ = false;
    reduced_ = fullWanted_ = false;
    setPhotoMeta({});
}

bool TSPIGraphic::empty() const { return !loader_ || !(loader_->complete() || loader_->deferred()); }

bool TSPIGraphic::onDemand() const { return loader_ && loader_->deferred(); }

void TSPIGraphic::fetch(int width, int height) {
    raster_.reset();
    if (!loader_->Decode(width, height)) throw EInvalidGraphic(kCouldNotDecode);
    computeFields();
    const SpiPictureInfo& info = loader_->pictureInfo();
    reduced_ = width > 0 && height > 0 && (width_ < info.width || this->height() < info.height);
    fullWanted_ = false;
}

void TSPIGraphic::ensurePixels() const {
    if (!onDemand() || (loader_->complete() && !fullWanted_)) return;
    // The put-off decode is part of reading the graphic, as for formats that decode on first use.
    const_cast<TSPIGraphic*>(this)->fetch(0, 0);
}

bool TSPIGraphic::rasterIsWholeImage() const {
    return onDemand() && loader_->pictureInfo().colorDepth != 32;
}

void TSPIGraphic::requestDecodeSize(int requiredWidth, int requiredHeight) {
    if (!onDemand()) return;
    const SpiPictureInfo& info = loader_->pictureInfo();
    if (requiredWidth >= info.width && requiredHeight >= info.height) return requestDecodeScale(1);
    fetch(std::max(1, requiredWidth), std::max(1, requiredHeight));
}

void TSPIGraphic::requestDecodeScale(int denominator) {
    if (!onDemand()) return;
    const SpiPictureInfo& info = loader_->pictureInfo();
    if (denominator > 1) return requestDecodeSize(info.width / denominator, info.height / denominator);
    if (!reduced_ && !fullWanted_) return;
    // The full picture is fetched when next asked for; until then it reports the full size.
    reduced_ = false;
    fullWanted_ = true;
    raster_.reset();
    width_ = info.width;
    height_ = info.height;
}

std::string TSPIGraphic::decoder() const { return loader_ ? loader_->decoder() : std::string(); }

void TSPIGraphic::loadFromFile(const std::string& path, const DecodeLimits& limits) {
    load(std::make_unique<TInSPIAbleFromFile>(path), limits);
}

void TSPIGraphic::loadFromMemory(const uint8_t* data, size_t size, const DecodeLimits& limits) {
    loadFromStreamWithName(data, size, "", limits);
}

void TSPIGraphic::loadFromStreamWithName(const uint8_t* data, size_t size, const std::string& fileName,
                                         const DecodeLimits& limits) {
    // The caller's buffer may go away after loading; the blocks do not depend on it.
    load(std::make_unique<TInSPIAbleFromStream>(data, size, fileName), limits);
}

void TSPIGraphic::load(std::unique_ptr<TInSPIAbleData> loader, const DecodeLimits& limits) {
    reset();
    limits_ = limits;
    loader->listener = [this](ProgressStage stage, int percent, const std::string& message) {
        progress(stage, percent, message);
    };
    loader->deferSized = true;
    loader->Execute(TSPIs::instance());
    if (!loader->complete() && !loader->deferred()) throw EInvalidGraphic(kCouldNotDecode);
    loader_ = std::move(loader);
    try {
        if (loader_->deferred()) {
            const SpiPictureInfo& info = loader_->pictureInfo();
            checkImageSize(info.width, info.height, 24, limits_.maxPixels);
            width_ = info.width;
            height_ = info.height;
            fullWanted_ = true;
        } else {
            computeFields();
        }
        setPhotoMeta(loader_->photoMeta());
    } catch (...) {
        reset();
        throw;
    }
}

// The blocks come from an untrusted library: the header must describe an uncompressed image
// whose colour table and pixels fit inside what was allocated. The allocation's usable size is
// an upper bound of what may be read, so nothing is read outside the blocks.
void TSPIGraphic::computeFields() {
    const std::string name = loader_->decoder();
    const auto* info = static_cast<const uint8_t*>(loader_->bitmapInfo());
    const size_t infoUsable = ::malloc_usable_size(loader_->bitmapInfo());
    const size_t pixelUsable = ::malloc_usable_size(loader_->bitmap());
    if (infoUsable < kInfoHeaderSize) broken(name, "bitmap header shorter than 40 bytes");
    if (get32(info) != kInfoHeaderSize) broken(name, "bitmap header size is not 40");
    const int32_t width = int32_t(get32(info + 4));
    const int32_t height = int32_t(get32(info + 8));
    const int bits = info[14] | (info[15] << 8);
    const uint32_t compression = get32(info + 16);
    const uint32_t used = get32(info + 32);
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
        broken(name, "bit count " + std::to_string(bits));
    if (compression != kBiRgb && !(compression == kBiBitfields && (bits == 16 || bits == 32)))
        broken(name, "compressed pixels");
    if (width <= 0 || height == 0 || height == INT32_MIN) broken(name, "empty or negative size");
    checkImageSize(width, height < 0 ? -int64_t(height) : height, bits, limits_.maxPixels);

    int colors = 0;
    if (used != 0)
        colors = used > 256 ? -1 : int(used);
    else if (bits <= 8)
        colors = 1 << bits;
    if (colors < 0 || (bits <= 8 && colors > (1 << bits))) broken(name, "colour table of " + std::to_string(used));
    const size_t masks = compression == kBiBitfields ? 12 : 0;
    const size_t infoSize = kInfoHeaderSize + masks + 4 * size_t(colors);
    const size_t pixelSize = checkedMul(paddedRowBytes(width, bits), size_t(height < 0 ? -int64_t(height) : height));
    if (infoSize > infoUsable) broken(name, "colour table beyond the info block");
    if (pixelSize > pixelUsable) broken(name, "pixel block shorter than its header claims");

    width_ = width;
    height_ = height;
    bitCount_ = bits;
    compression_ = compression;
    colorCount_ = colors;
    infoSize_ = infoSize;
    pixelSize_ = pixelSize;
    copyPalette_ = bits == 4;
}

std::vector<RGBQuad> TSPIGraphic::palette() const {
    std::vector<RGBQuad> out;
    if (empty()) return out;
    ensurePixels();
    const auto* table = static_cast<const uint8_t*>(loader_->bitmapInfo()) + infoSize_ - 4 * size_t(colorCount_);
    for (int i = 0; i < colorCount_; ++i)
        out.push_back(RGBQuad{table[4 * i], table[4 * i + 1], table[4 * i + 2], 0});
    return out;
}

std::string TSPIGraphic::bitmapFileImage() const {
    if (empty()) throw EInvalidGraphic(kCouldNotDecode);
    ensurePixels();
    std::string out;
    const size_t fileSize = checkedAdd(checkedAdd(14, infoSize_), pixelSize_);
    out.reserve(fileSize);
    out += "BM";
    put32(out, uint32_t(fileSize));
    put32(out, 0);  // two reserved words
    put32(out, uint32_t(14 + infoSize_));
    out.append(static_cast<const char*>(loader_->bitmapInfo()), infoSize_);
    out.append(static_cast<const char*>(loader_->bitmap()), pixelSize_);
    return out;
}

void TSPIGraphic::saveToStream(std::ostream& out) const {
    const std::string bytes = bitmapFileImage();
    out.write(bytes.data(), std::streamsize(bytes.size()));
    if (!out) throw EFileError("Cannot write the bitmap");
}

const TBitmap* TSPIGraphic::raster() const {
    if (empty()) return nullptr;
    ensurePixels();
    if (!raster_) {
        const std::string bytes = bitmapFileImage();
        auto bmp = std::make_unique<TBitmap>();
        readBmp(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), *bmp, limits_.maxPixels);
        // Plug-ins put alpha in the fourth byte of 32-bit pixels; all zero means opaque.
        if (bitCount_ == 32 && compression_ == kBiRgb) bmp::maskFromAlpha(*bmp, limits_.maxPixels);
        raster_ = std::move(bmp);
    }
    return raster_.get();
}

void TSPIBitmap::takeOver(const TBitmap& result) {
    // Assigning a raster also assigns its (empty) listener; this bitmap keeps its own.
    ProgressListener own = progressListener();
    static_cast<TBitmap&>(*this) = result;
    setProgressListener(std::move(own));
}

void TSPIBitmap::loadThrough(const std::string& name, const std::function<void(TGraphic&)>& loadOne) {
    struct Ending {
        TSPIBitmap* self;
        ~Ending() { self->progress(ProgressStage::Ending, 100, "Loaded Graphic"); }
    } ending{this};
    const bool isBmp = asciiUpper(extractFileExt(name)) == ".BMP";
    auto forward = [this](ProgressStage stage, int percent, const std::string& message) {
        if (stage != ProgressStage::Ending) progress(stage, percent, message);
    };
    for (int attempt = 0; attempt < 2; ++attempt) {
        const bool bitmapTurn = (attempt == 0) == isBmp;
        try {
            if (bitmapTurn) {
                TBitmap bmp;
                bmp.setProgressListener(forward);
                loadOne(bmp);
                takeOver(bmp);
            } else {
                TSPIGraphic spi;
                spi.setProgressListener(forward);
                loadOne(spi);
                // The raster is the bitmap file image of the blocks read back, palette included.
                takeOver(*spi.raster());
                setPhotoMeta(spi.photoMeta());
            }
            return;
        } catch (const std::exception&) {
            // Discarded: the other class gets its chance.
        }
    }
    throw EInvalidGraphic(kCouldNotDecode);
}

void TSPIBitmap::loadFromFile(const std::string& path, const DecodeLimits& limits) {
    // Said plainly here, rather than lost among the classes' failures below.
    refuseSpecialFile(path);
    loadThrough(path, [&](TGraphic& g) { g.loadFromFile(path, limits); });
}

void TSPIBitmap::loadFromStreamWithName(const uint8_t* data, size_t size, const std::string& fileName,
                                        const DecodeLimits& limits) {
    if (OnLoadFromStreamWithName) {
        OnLoadFromStreamWithName(*this, data, size, fileName);
        return;
    }
    loadThrough(fileName, [&](TGraphic& g) {
        if (auto* spi = dynamic_cast<TSPIGraphic*>(&g))
            spi->loadFromStreamWithName(data, size, fileName, limits);
        else
            g.loadFromMemory(data, size, limits);
    });
}

}  // namespace korvel
