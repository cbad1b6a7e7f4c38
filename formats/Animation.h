#pragma once
// Opens a file as an animation when its content is one: a GIF with more than one image, a PNG
// with an animation control chunk, or a file a loaded plug-in plays (animated WebP). Windows play what it returns; everything else (thumbnails,
// copies, the slideshow) keeps using the first frame through TPicture.
#include <memory>
#include <string>

#include "base/Limits.h"
#include "codecs/FrameSource.h"

namespace korvel {

// A player on the file's first frame, or null when the file is no animation or cannot be read
// as one (the still path then shows it or says why it cannot).
std::unique_ptr<FramePlayer> openAnimation(const std::string& path, const DecodeLimits& limits = {});

}  // namespace korvel
