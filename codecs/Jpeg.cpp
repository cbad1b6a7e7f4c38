#include "codecs/Jpeg.h"

#include "imaging/Errors.h"

namespace korvel {

struct TJPEGImage::Header {};

const GraphicClass TJPEGImage::classInfo{"TJPEGImage", &TGraphic::classInfo,
                                         [] { return std::unique_ptr<TGraphic>(new TJPEGImage); }};

TJPEGImage::TJPEGImage() = default;
TJPEGImage::~TJPEGImage() = default;
int TJPEGImage::width() const { return 0; }
int TJPEGImage::height() const { return 0; }
bool TJPEGImage::empty() const { return true; }
void TJPEGImage::loadFromMemory(const uint8_t*, size_t) { throw EInvalidGraphic("JPEG decoder not built yet"); }
void TJPEGImage::saveToStream(std::ostream&) const { throw EInvalidGraphic("JPEG encoder not built yet"); }
void TJPEGImage::setScale(JpegScale s) { scale_ = s; }
const TBitmap& TJPEGImage::bitmap() const { throw EInvalidGraphic("JPEG decoder not built yet"); }
void TJPEGImage::assign(const TBitmap& source) { source_ = std::make_unique<TBitmap>(source); }
void TJPEGImage::compress() { throw EInvalidGraphic("JPEG encoder not built yet"); }
void ChooseJpegScale(TJPEGImage&, int, int) {}

}  // namespace korvel
