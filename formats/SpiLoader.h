#pragma once
// One decode through the plug-ins: the candidates in their defined order, each tried at offset 0
// and (MacBinary) 128, until one hands back both memory blocks. The loader owns the blocks.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "imaging/Graphic.h"
#include "formats/SpiApi.h"

namespace korvel {

class TSPI;
class TSPIs;

// The header buffer: 2048 bytes a plug-in may read, plus 128 for the MacBinary offset.
constexpr size_t kSpiHeaderBufferSize = 2048 + 128;
constexpr size_t kMacBinaryOffset = 128;

class TInSPIAbleData {
public:
    virtual ~TInSPIAbleData();
    TInSPIAbleData(const TInSPIAbleData&) = delete;
    TInSPIAbleData& operator=(const TInSPIAbleData&) = delete;

    // Runs the decode with host's plug-ins (none when host is null). Success: both blocks present.
    // A source that cannot be read throws EFileError; a plug-in missing an export it is asked
    // for throws ESPIInvalidAPI.
    void Execute(TSPIs* host);
    // Frees both blocks and the picture information's text, as far as they are the loader's.
    void Release();

    // When set, a plug-in exporting GetPictureSized that takes the source is only asked for its
    // picture information and metadata; Decode then fetches the pixels.
    bool deferSized = false;
    // Set after Execute when the decode was put off.
    bool deferred() const { return deferred_ != nullptr; }
    // The put-off decode: the full picture when width or height is 0, else one covering that
    // size. Frees any blocks held before; true with both blocks present.
    bool Decode(int32_t width, int32_t height);

    bool complete() const { return bitmapInfo_ && bitmap_; }
    void* bitmapInfo() const { return bitmapInfo_; }
    void* bitmap() const { return bitmap_; }
    const std::string& sourceName() const { return sourceName_; }
    const SpiPictureInfo& pictureInfo() const { return pictureInfo_; }
    bool pictureInfoObtained() const { return pictureInfoObtained_; }
    // What the decoding plug-in's GetPictureMeta reported; as for no metadata when it has none.
    const PhotoMeta& photoMeta() const { return photoMeta_; }
    // File name (without folder) of the plug-in that decoded the source, "" when none did.
    const std::string& decoder() const { return decoder_; }

    ProgressListener listener;

    // The plug-ins in the order they are tried for sourceName (exposed for tests).
    static std::vector<TSPI*> candidates(const TSPIs& host, const std::string& sourceName);
    // Percent shown for a plug-in's progress report: done * 97 / total, rounded, plus 2.
    static int progressPercent(int32_t done, int32_t total);

protected:
    explicit TInSPIAbleData(std::string sourceName) : sourceName_(std::move(sourceName)) {}
    // Fills buf (zeroed, kSpiHeaderBufferSize bytes) from the start of the source; returns the
    // bytes copied.
    virtual size_t fillHeader(uint8_t* buf) = 0;
    // The plug-in's buf / len / flag arguments for a decode starting at offset.
    virtual const char* sourceBuffer(size_t offset) const = 0;
    virtual intptr_t sourceLength(size_t offset) const = 0;
    virtual uint32_t sourceFlag() const = 0;

private:
    bool tryPlugin(TSPI& spi, const uint8_t* header, size_t offset, bool preview);
    void readMeta(TSPI& spi, size_t offset, uint32_t flag);
    void notify(ProgressStage stage, int percent, const std::string& message) const;
    static int32_t progressCallback(int32_t done, int32_t total, intptr_t data);

    std::string sourceName_;
    void* bitmapInfo_ = nullptr;
    void* bitmap_ = nullptr;
    SpiPictureInfo pictureInfo_{};
    bool pictureInfoObtained_ = false;
    PhotoMeta photoMeta_;
    std::string decoder_;
    TSPI* deferred_ = nullptr;
    size_t deferredOffset_ = 0;
};

// A file source: the plug-in gets the path and the offset.
class TInSPIAbleFromFile : public TInSPIAbleData {
public:
    explicit TInSPIAbleFromFile(const std::string& path) : TInSPIAbleData(path) {}

protected:
    size_t fillHeader(uint8_t* buf) override;
    const char* sourceBuffer(size_t) const override { return sourceName().c_str(); }
    intptr_t sourceLength(size_t offset) const override { return intptr_t(offset); }
    uint32_t sourceFlag() const override { return SPI_SOURCE_FILE; }
};

// A memory source: the plug-in gets the data from the offset on and its remaining size. The
// data must outlive the loader unless it is handed over.
class TInSPIAbleFromStream : public TInSPIAbleData {
public:
    TInSPIAbleFromStream(const uint8_t* data, size_t size, const std::string& fileName)
        : TInSPIAbleData(fileName), data_(data), size_(size) {}
    TInSPIAbleFromStream(std::vector<uint8_t> owned, const std::string& fileName);

protected:
    size_t fillHeader(uint8_t* buf) override;
    const char* sourceBuffer(size_t offset) const override { return reinterpret_cast<const char*>(data_) + offset; }
    intptr_t sourceLength(size_t offset) const override { return intptr_t(size_ - offset); }
    uint32_t sourceFlag() const override { return SPI_SOURCE_MEMORY; }

private:
    std::vector<uint8_t> owned_;
    const uint8_t* data_;
    size_t size_;
};

}  // namespace korvel
