#include "imaging/Graphic.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>

#include "imaging/Bitmap.h"
#include "base/Errors.h"
#include "base/FileBytes.h"
#include "base/Limits.h"
#include "imaging/PlainStretch.h"

namespace korvel {

const GraphicClass TGraphic::classInfo{"TGraphic", nullptr, nullptr};

bool GraphicClass::inheritsFrom(const GraphicClass& base) const {
    for (const GraphicClass* c = this; c; c = c->parent)
        if (c == &base) return true;
    return false;
}

uint64_t TGraphic::maxFileBytes(const DecodeLimits& limits) const { return fileByteLimit(limits, 16); }

void TGraphic::loadFromFile(const std::string& path, const DecodeLimits& limits) {
    const std::shared_ptr<const FileBytes> bytes = FileBytes::open(path, maxFileBytes(limits));
    loadFromMemory(bytes->data(), bytes->size(), limits);
    bytes->requireWhole();
}

void TGraphic::loadFromStream(std::istream& in, const DecodeLimits& limits) {
    std::vector<uint8_t> data{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    loadFromMemory(data.data(), data.size(), limits);
}

void TGraphic::saveToStream(std::ostream&) const {
    throw EInvalidGraphic(std::string("Saving is not supported for ") + graphicClass().name);
}

void TGraphic::saveToFile(const std::string& path) const {
    std::ostringstream buffer;
    saveToStream(buffer);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) throw EFileError("Cannot create", path, errno);
    const std::string bytes = buffer.str();
    out.write(bytes.data(), std::streamsize(bytes.size()));
    out.flush();
    if (!out) throw EFileError("Cannot write", path, errno ? errno : EIO);
}

void TGraphic::draw(TBitmap& canvas, const Rect& dest) const {
    const TBitmap* src = raster();
    if (!src || src->empty()) return;
    stretchDraw(*src, Rect{0, 0, src->width(), src->height()}, canvas, dest);
}

void TGraphic::progress(ProgressStage stage, int percent, const std::string& message) const {
    if (progress_) progress_(stage, percent, message);
}

}  // namespace korvel
