#pragma once
// PNG output of the extended copy: the codec with the copy's level and interlace choices.
#include <iosfwd>

namespace korvel {

class TBitmap;
struct ExtendedCopyOptions;

void writePngOutput(const TBitmap& output, const ExtendedCopyOptions& options, std::ostream& out);

}  // namespace korvel
