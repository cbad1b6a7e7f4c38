#include "codecs/Jpeg.h"

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <ostream>
#include <string>

#include "codecs/JpegLib.h"
#include "codecs/PhotoMeta.h"
#include "imaging/RowPipeline.h"
#include "base/Errors.h"
#include "base/Limits.h"

namespace korvel {

struct TJPEGImage::Header : jpeglib::HeaderInfo {};

const GraphicClass TJPEGImage::classInfo{"TJPEGImage", &TGraphic::classInfo,
                                         [] { return std::unique_ptr<TGraphic>(new TJPEGImage); }};

namespace {

[[noreturn]] void throwJpegError(const char* message) {
    throw EInvalidGraphic(std::string("JPEG error: ") + (message[0] ? message : "unknown failure"));
}

int scaleIndex(JpegScale s) { return static_cast<int>(s); }

std::vector<RGBQuad> greyPalette() {
    std::vector<RGBQuad> pal(256);
    for (int i = 0; i < 256; ++i) pal[i] = RGBQuad{uint8_t(i), uint8_t(i), uint8_t(i), 0};
    return pal;
}

}  // namespace

TJPEGImage::TJPEGImage() = default;
TJPEGImage::~TJPEGImage() = default;

int TJPEGImage::width() const {
    if (header_) return header_->scaledWidth[scaleIndex(scale_)];
    return source_ ? source_->width() : 0;
}

int TJPEGImage::height() const {
    if (header_) return header_->scaledHeight[scaleIndex(scale_)];
    return source_ ? source_->height() : 0;
}

bool TJPEGImage::empty() const { return width() <= 0 || height() <= 0; }

bool TJPEGImage::progressive() const { return header_ && header_->progressive; }

bool TJPEGImage::isGrayscale() const { return header_ && header_->output == jpeglib::OutputKind::Grey; }

void TJPEGImage::loadFromMemory(const uint8_t* data, size_t size, const DecodeLimits& limits) {
    setData(FileBytes::hold(std::vector<uint8_t>(data, data + size)), limits);
    source_.reset();
}

void TJPEGImage::loadFromFile(const std::string& path, const DecodeLimits& limits) {
    setData(FileBytes::open(path, maxFileBytes(limits)), limits);
    source_.reset();
}

void TJPEGImage::setData(std::shared_ptr<const FileBytes> data, const DecodeLimits& limits) {
    auto header = std::make_unique<Header>();
    char message[jpeglib::kMessageSize];
    const bool read = jpeglib::readHeader(data->data(), data->size(), header.get(), message);
    data->requireWhole();
    if (!read) throwJpegError(message);
    if (header->output == jpeglib::OutputKind::Unsupported)
        throw EUnsupportedGraphic("JPEG error: unsupported colour space with " + std::to_string(header->components) +
                              " components");
    PhotoMeta meta = ReadJpegPhotoMeta(data->data(), data->size());
    data->requireWhole();
    setPhotoMeta(std::move(meta));
    data_ = std::move(data);
    header_ = std::move(header);
    limits_ = limits;
    decoded_.reset();
}

bool TJPEGImage::setRowStage(std::shared_ptr<RowStage> stage) {
    stage_ = std::move(stage);
    decoded_.reset();
    return true;
}

void TJPEGImage::setScale(JpegScale s) {
    if (s == scale_) return;
    scale_ = s;
    decoded_.reset();
}

const TBitmap& TJPEGImage::bitmap() const {
    if (decoded_) return *decoded_;
    if (!header_) {
        // Nothing compressed yet: the assigned raster, or an empty one.
        if (source_) return *source_;
        decoded_ = std::make_unique<TBitmap>();
        return *decoded_;
    }
    decoded_ = decode();
    return *decoded_;
}

std::unique_ptr<TBitmap> TJPEGImage::decode() const {
    const int w = width(), h = height();
    const bool grey = header_->output == jpeglib::OutputKind::Grey;
    // Limits before any allocation: a header may claim 65500 x 65500.
    checkImageSize(w, h, grey ? 8 : 24, limits_.maxPixels);
    auto out = std::make_unique<TBitmap>(w, h, grey ? PixelFormat::pf8bit : PixelFormat::pf24bit, limits_.maxPixels);
    if (grey) out->setPalette(greyPalette());
    std::vector<uint8_t*> rows(static_cast<size_t>(h));
    for (int y = 0; y < h; ++y) rows[size_t(y)] = out->scanLine(y);
    std::vector<uint8_t> scratch;
    if (header_->output == jpeglib::OutputKind::Cmyk)
        scratch.resize(checkedMul(size_t(w) * 4, size_t(jpeglib::kCmykBatch)));

    jpeglib::DecodeJob job;
    job.data = data_->data();
    job.size = data_->size();
    job.scaleDenom = 1 << scaleIndex(scale_);
    job.output = header_->output;
    job.width = w;
    job.height = h;
    job.rows = rows.data();
    job.scratch = scratch.data();
    job.invertedCmyk = header_->adobeMarker;
    // Eight bytes per pixel of the limit: two per coefficient, four components at most.
    job.memoryLimit = size_t(std::min<uint64_t>(limits_.maxPixels, uint64_t(1) << 40) * 8);
    job.maxScans = limits_.maxJpegScans;
    std::optional<RowPipeline> pipeline;
    if (stage_) {
        pipeline.emplace(*stage_, *out);
        job.rowsDone = [](void* pipe, int rows) { static_cast<RowPipeline*>(pipe)->finished(rows); };
        job.context = &*pipeline;
    }
    char message[jpeglib::kMessageSize];
    progress(ProgressStage::Starting, 0);
    const jpeglib::DecodeResult result = jpeglib::decode(&job, message);
    // A file cut short while it was decoded: the zeros read for its lost end are not the picture.
    data_->requireWhole();
    switch (result) {
        case jpeglib::DecodeResult::Ok: break;
        case jpeglib::DecodeResult::Failed: throwJpegError(message);
        case jpeglib::DecodeResult::OverMemoryLimit:
            throw EImageTooLarge("JPEG error: decoding " + std::to_string(header_->imageWidth) + "x" +
                                 std::to_string(header_->imageHeight) +
                                 " needs more memory than the pixel limit allows");
        case jpeglib::DecodeResult::OverScanLimit: throw EImageTooLarge(std::string("JPEG error: ") + message);
    }
    if (pipeline) pipeline->finish();
    progress(ProgressStage::Ending, 100);
    return out;
}

void TJPEGImage::saveToStream(std::ostream& out) const {
    if (data_ && data_->size()) {
        out.write(reinterpret_cast<const char*>(data_->data()), std::streamsize(data_->size()));
    } else if (source_) {
        std::vector<uint8_t> bytes = encode();
        out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    } else {
        throw EInvalidGraphic("JPEG error: no image to save");
    }
    if (!out) throw EFileError("Cannot write the JPEG data");
}

void TJPEGImage::assign(const TBitmap& source) {
    source_ = std::make_unique<TBitmap>(source);
    data_.reset();
    header_.reset();
    decoded_.reset();
}

std::vector<uint8_t> TJPEGImage::encode() const {
    const TBitmap* src = source_.get();
    if (!src || src->empty()) throw EInvalidGraphic("JPEG error: no image to compress");
    // libjpeg takes blue-green-red rows; other formats go through one converted copy.
    TBitmap converted;
    if (src->pixelFormat() != PixelFormat::pf24bit) {
        converted = *src;
        converted.convertTo24();
        src = &converted;
    }
    std::vector<const uint8_t*> rows(static_cast<size_t>(src->height()));
    for (int y = 0; y < src->height(); ++y) rows[size_t(y)] = src->scanLine(y);

    jpeglib::EncodeJob job;
    job.width = src->width();
    job.height = src->height();
    job.rows = rows.data();
    job.quality = std::clamp(compressionQuality, 1, 100);
    job.progressive = progressiveEncoding;
    job.grayscale = grayscale;
    char message[jpeglib::kMessageSize];
    if (!jpeglib::encode(&job, message)) throwJpegError(message);
    std::unique_ptr<unsigned char, void (*)(void*)> owned(job.output, std::free);
    return std::vector<uint8_t>(owned.get(), owned.get() + job.outputSize);
}

void TJPEGImage::compress() { setData(FileBytes::hold(encode()), DecodeLimits{}); }

void TJPEGImage::requestDecodeScale(int denominator) {
    setScale(denominator >= 8   ? JpegScale::jsEighth
             : denominator >= 4 ? JpegScale::jsQuarter
             : denominator >= 2 ? JpegScale::jsHalf
                                : JpegScale::jsFullSize);
}

void TJPEGImage::requestDecodeSize(int requiredWidth, int requiredHeight) {
    ChooseJpegScale(*this, requiredWidth, requiredHeight);
}

void ChooseJpegScale(TJPEGImage& jpeg, int requiredWidth, int requiredHeight) {
    for (JpegScale s : {JpegScale::jsEighth, JpegScale::jsQuarter, JpegScale::jsHalf}) {
        jpeg.setScale(s);
        if (jpeg.width() >= requiredWidth && jpeg.height() >= requiredHeight) return;
    }
    jpeg.setScale(JpegScale::jsFullSize);
}

}  // namespace korvel
