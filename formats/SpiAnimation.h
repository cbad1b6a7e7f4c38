#pragma once
// Animations from decoder plug-ins that export the animation calls.
#include <memory>
#include <string>

#include "base/Limits.h"
#include "codecs/FrameSource.h"

namespace korvel {

class TSPI;

// The frames of path through spi, or null when the plug-in has no animation calls or refuses the
// file. Throws EImageTooLarge for a canvas over limits.maxPixels.
std::unique_ptr<FrameSource> openPluginFrames(TSPI& spi, const std::string& path, const DecodeLimits& limits = {});

// The first loaded image plug-in that plays path as an animation, or null.
std::unique_ptr<FrameSource> openPluginFrames(const std::string& path, const DecodeLimits& limits = {});

}  // namespace korvel
