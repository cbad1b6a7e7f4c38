#pragma once
// TGraphic: the abstract decoded image of any format, and the class information the
// format registry binds to extensions.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

#include "base/Limits.h"

namespace korvel {

class RowStage;
class TBitmap;
class TGraphic;

struct Rect {
    int left = 0, top = 0, right = 0, bottom = 0;
    int width() const { return right - left; }
    int height() const { return bottom - top; }
};

// What a decoder found about how its picture is meant to be shown: the EXIF orientation (1 is
// upright, 2 to 8 as EXIF defines them) and the embedded ICC profile, empty when there is none.
struct PhotoMeta {
    int orientation = 1;
    std::vector<uint8_t> iccProfile;
};

enum class ProgressStage { Starting, Running, Ending };
using ProgressListener = std::function<void(ProgressStage stage, int percent, const std::string& message)>;

// Runtime class information: the registry binds extensions to classes and tests descent.
struct GraphicClass {
    const char* name;
    const GraphicClass* parent;
    std::unique_ptr<TGraphic> (*create)();  // null for abstract classes
    bool inheritsFrom(const GraphicClass& base) const;
};

class TGraphic {
public:
    static const GraphicClass classInfo;

    virtual ~TGraphic() = default;
    virtual const GraphicClass& graphicClass() const = 0;

    virtual int width() const = 0;
    virtual int height() const = 0;
    virtual bool empty() const { return width() <= 0 || height() <= 0; }

    // Decodes one complete file image held in memory within limits (also for a decode put off
    // until the raster is first asked for). On failure throws and the graphic is left empty or
    // as it was; it never half-works. Overrides repeat the default argument.
    virtual void loadFromMemory(const uint8_t* data, size_t size, const DecodeLimits& limits = {}) = 0;
    // Opens the file through FileBytes (regular files only, at most maxFileBytes(limits), large
    // ones mapped), then decodes it. A file that cannot be read, or is cut short while it is
    // decoded, throws EFileError with the reason (the graphic is then to be dropped).
    virtual void loadFromFile(const std::string& path, const DecodeLimits& limits = {});
    // Most bytes a file of this format can need for an image within limits; larger files are
    // refused unread. Formats without a tighter bound allow 16 bytes per pixel.
    virtual uint64_t maxFileBytes(const DecodeLimits& limits) const;
    // Reads the rest of the stream, then decodes it.
    void loadFromStream(std::istream& in, const DecodeLimits& limits = {});

    // Encodes the graphic; formats without an encoder throw EInvalidGraphic.
    virtual void saveToStream(std::ostream& out) const;
    // Writes the encoded graphic to path; a failed write throws EFileError.
    void saveToFile(const std::string& path) const;

    // The decoded raster (rows top-down), or null when the graphic has none.
    virtual const TBitmap* raster() const = 0;

    // True when raster() is the whole image with nothing to composite, so that a copy of it
    // stands for the graphic.
    virtual bool rasterIsWholeImage() const { return false; }
    // Asks for a reduced decode, 1/denominator (1, 2, 4 or 8) of the full size, from formats
    // that can decode reduced for less work; width() and height() then give the reduced size.
    // Other formats ignore it.
    virtual void requestDecodeScale(int denominator) {}
    // The coarsest such reduction whose size still covers the required size.
    virtual void requestDecodeSize(int requiredWidth, int requiredHeight) {}
    // Formats that finish their rows in order run stage over them during every later decode
    // (see RowPipeline) and return true; the others return false and the caller works on the
    // finished raster instead. Drops a raster decoded without the stage.
    virtual bool setRowStage(std::shared_ptr<RowStage> stage) { return false; }

    // Stretch-draws the graphic into dest of canvas with the plain stretch. Transparent
    // pixels (mask, transparent colour or index) leave the canvas as it was; mask values
    // between 0 and 255 blend.
    virtual void draw(TBitmap& canvas, const Rect& dest) const;

    // Recorded by the decoder, acted on by TPicture (the decoded raster itself is as stored).
    const PhotoMeta& photoMeta() const { return photoMeta_; }
    void setPhotoMeta(PhotoMeta meta) { photoMeta_ = std::move(meta); }

    void setProgressListener(ProgressListener listener) { progress_ = std::move(listener); }
    const ProgressListener& progressListener() const { return progress_; }

protected:
    void progress(ProgressStage stage, int percent, const std::string& message = {}) const;

private:
    ProgressListener progress_;
    PhotoMeta photoMeta_;
};

}  // namespace korvel
