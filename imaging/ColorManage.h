#pragma once
// Embedded ICC profiles converted to the colours Korvel shows: sRGB, or the monitor's profile
// when the window side has set one. Transforms are made once per profile and shared by threads.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace korvel {

class TBitmap;

// A transform from one embedded RGB profile to the shown colours.
class ColorTransform {
public:
    virtual ~ColorTransform() = default;
    // Converts the raster in place: pixels of 24 and 32-bit rasters (the fourth byte kept), the
    // palette of palette formats, other formats after widening to 24 bits. The mask is kept; a
    // transparent colour becomes a mask of the same pixels.
    virtual void apply(TBitmap& bitmap) const = 0;
    // Converts rows [from, to) of a 24 or 32-bit raster in place (the fourth byte kept), for
    // callers that convert rows as a decoder finishes them. Other formats are left alone.
    virtual void applyRows(TBitmap& bitmap, int from, int to) const noexcept = 0;
    // The same conversion by the table kernel every processor runs, where this one uses the
    // processor's wide vector kernel; null otherwise. Checks compare the two.
    virtual std::shared_ptr<const ColorTransform> portable() const { return nullptr; }
};

// The cached transform from profile to sRGB, or with toDisplay to the monitor profile when one
// is set; null when the profile cannot be read, is not an RGB profile of an input, display or
// colour space, or is the target itself, or both are curves-and-matrix profiles so near each
// other that no colour would move by more than a level (many photos carry an sRGB profile).
// Thread-safe.
std::shared_ptr<const ColorTransform> TransformForProfile(const std::vector<uint8_t>& profile, bool toDisplay = false);

// The profile's description tag (in English where it has several), "" when it cannot be read.
std::string IccProfileDescription(const std::vector<uint8_t>& profile);

// The monitor profile for toDisplay transforms (empty: sRGB there too). A profile that cannot
// be read, or is not an RGB display profile, is ignored. Drops the cached transforms.
void SetDisplayProfile(const std::vector<uint8_t>& profile);
// Whether toDisplay transforms go to a monitor profile rather than sRGB.
bool HasDisplayProfile();

}  // namespace korvel
