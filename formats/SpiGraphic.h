#pragma once
// How the rest of Korvel sees plug-in images: TSPIGraphic is a view of the two blocks a plug-in
// returned; TSPIBitmap, the class registered for plug-in extensions, loads a file through the
// plug-ins (with the bitmap reader as the other chance) into an ordinary TBitmap raster.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "imaging/Bitmap.h"
#include "imaging/Graphic.h"

namespace korvel {

class TInSPIAbleData;

class TSPIGraphic : public TGraphic {
public:
    static const GraphicClass classInfo;

    TSPIGraphic();
    ~TSPIGraphic() override;
    const GraphicClass& graphicClass() const override { return classInfo; }

    // Decodes through the host's plug-ins. Throws EInvalidGraphic "Susie Plugins could not decode"
    // when none hands back both blocks, and EInvalidGraphic / EImageTooLarge when the blocks
    // break their own header (too short, absurd sizes, over limits); the graphic is empty then.
    void loadFromFile(const std::string& path, const DecodeLimits& limits = {}) override;
    // A stream without a name.
    void loadFromMemory(const uint8_t* data, size_t size, const DecodeLimits& limits = {}) override;
    void loadFromStreamWithName(const uint8_t* data, size_t size, const std::string& fileName,
                                const DecodeLimits& limits = {});

    int width() const override { return width_; }
    // The header's height without its sign (a negative one means rows top-down).
    int height() const override { return height_ < 0 ? -height_ : height_; }
    int storedHeight() const { return height_; }
    bool empty() const override;

    int colorCount() const { return colorCount_; }
    size_t infoBlockSize() const { return infoSize_; }
    size_t pixelBlockSize() const { return pixelSize_; }
    // Set for 4-bit images, whose palette the taking bitmap copies.
    bool copyPalette() const { return copyPalette_; }
    // The colour table behind the header (colorCount entries).
    std::vector<RGBQuad> palette() const;
    // Name of the plug-in that decoded the image.
    std::string decoder() const;

    // Plug-ins exporting GetPictureSized are only asked for the picture's size and metadata on
    // loading; the pixels are fetched when first needed. A size asked for before then is handed
    // to the plug-in, which may answer with a smaller picture (an embedded preview); asking for
    // scale 1 goes back to the full picture. Other plug-ins' pictures ignore both.
    bool rasterIsWholeImage() const override;
    void requestDecodeScale(int denominator) override;
    void requestDecodeSize(int requiredWidth, int requiredHeight) override;

    // A bitmap file image: file header, the info block, the pixel block.
    void saveToStream(std::ostream& out) const override;
    std::string bitmapFileImage() const;
    // The blocks decoded into a raster (built on first use).
    const TBitmap* raster() const override;

private:
    void load(std::unique_ptr<TInSPIAbleData> loader, const DecodeLimits& limits);
    void computeFields();
    void reset();
    bool onDemand() const;
    // Fetches the put-off pixels (full when width or height is 0); throws when the plug-in fails.
    void fetch(int width, int height);
    void ensurePixels() const;

    std::unique_ptr<TInSPIAbleData> loader_;
    int width_ = 0, height_ = 0, bitCount_ = 0, colorCount_ = 0;
    uint32_t compression_ = 0;
    size_t infoSize_ = 0, pixelSize_ = 0;
    bool copyPalette_ = false;
    bool reduced_ = false;  // the blocks are a reduced picture
    bool fullWanted_ = false;  // the full picture is asked for again
    DecodeLimits limits_;
    mutable std::unique_ptr<TBitmap> raster_;
};

class TSPIBitmap : public TBitmap {
public:
    static const GraphicClass classInfo;

    const GraphicClass& graphicClass() const override { return classInfo; }

    // Tries the bitmap reader and the plug-ins (the bitmap reader first for ".bmp" names);
    // throws EInvalidGraphic "Susie Plugins could not decode" when both fail.
    void loadFromFile(const std::string& path, const DecodeLimits& limits = {}) override;
    void loadFromMemory(const uint8_t* data, size_t size, const DecodeLimits& limits = {}) override {
        loadFromStreamWithName(data, size, "", limits);
    }
    // Runs OnLoadFromStreamWithName when set, else the own stream loader.
    void loadFromStreamWithName(const uint8_t* data, size_t size, const std::string& fileName,
                                const DecodeLimits& limits = {});

    std::function<void(TSPIBitmap& sender, const uint8_t* data, size_t size, const std::string& fileName)>
        OnLoadFromStreamWithName;

private:
    void takeOver(const TBitmap& result);
    void loadThrough(const std::string& name, const std::function<void(TGraphic&)>& loadOne);
};

// The graphic class offered for every plug-in extension: TSPIBitmap unless changed.
const GraphicClass*& defaultPluginClass();

}  // namespace korvel
