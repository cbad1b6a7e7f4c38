#include "codecs/Png.h"

#include <ctime>

#include "codecs/PngChunks.h"
#include "codecs/PngStreams.h"

namespace korvel {

const GraphicClass TGLDPNG::classInfo{"TGLDPNG", &TGraphic::classInfo,
                                      [] { return std::unique_ptr<TGraphic>(new TGLDPNG); }};

bool PngTime::valid() const {
    return month >= 1 && month <= 12 && day >= 1 && day <= 31 && hour >= 0 && hour < 24 && minute >= 0 &&
           minute < 60 && second >= 0 && second < 61 && year >= 0 && year <= 65535;
}

PngTime PngTime::nowUtc() {
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    if (!gmtime_r(&now, &utc)) return PngTime{};
    return PngTime{utc.tm_year + 1900, utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec};
}

void TGLDPNG::setIdatSize(int bytes) {
    if (bytes < kMinIdatSize || bytes > kMaxIdatSize) png::fail(png::msg::kIdatSize);
    idatSize_ = bytes;
}

void TGLDPNG::assign(const TBitmap& source) {
    image_ = source;
    transparentColor = -1;
    transparentIsIndex = false;
    if (source.transparency() == Transparency::Color) {
        transparentColor = source.transparentColor();
    } else if (source.transparency() == Transparency::Index) {
        transparentColor = source.transparentIndex();
        transparentIsIndex = true;
    }
}

void TGLDPNG::loadFromMemory(const uint8_t* data, size_t size, const DecodeLimits& limits) {
    progress(ProgressStage::Starting, 0);
    // Decode into a fresh graphic so that a failure leaves this one as it was.
    TGLDPNG fresh;
    fresh.read16Bit = read16Bit;
    fresh.readPaletteAlpha = readPaletteAlpha;
    TGLDPNGReadStream(data, size, limits).read(fresh);
    image_ = std::move(fresh.image_);
    comment = std::move(fresh.comment);
    texts = std::move(fresh.texts);
    backgroundColor = fresh.backgroundColor;
    backgroundIsIndex = fresh.backgroundIsIndex;
    transparentColor = fresh.transparentColor;
    transparentIsIndex = fresh.transparentIsIndex;
    gamma = fresh.gamma;
    physicalSize = fresh.physicalSize;
    significantBits = std::move(fresh.significantBits);
    modificationTime = fresh.modificationTime;
    chromaticities = fresh.chromaticities;
    gifgBlock = fresh.gifgBlock;
    privateFlags = fresh.privateFlags;
    setPhotoMeta(fresh.photoMeta());
    progress(ProgressStage::Ending, 100);
}

void TGLDPNG::saveToStream(std::ostream& out) const { TGLDPNGWriteStream(out).write(*this); }

}  // namespace korvel
