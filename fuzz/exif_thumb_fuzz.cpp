// The head of a camera JPEG: the embedded EXIF picture lies inside the data, and a stand-in made
// from it is never larger than the thumbnail box.
#include "browse/EmbeddedThumbs.h"
#include "codecs/PhotoMetaThumb.h"
#include "fuzz/FuzzSupport.h"

using namespace korvel;

extern "C" int LLVMFuzzerInitialize(int*, char***) { return 0; }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const ExifThumbnailSpan span = FindJpegExifThumbnail(data, size);
    fuzz::check(span.size == 0 || (span.offset <= size && span.size <= size - span.offset));
    fuzz::check(span.orientation >= 1 && span.orientation <= 8);
    const ThumbParams params;
    TBitmap thumb;
    if (EmbeddedThumbnail(data, size, params, thumb))
        fuzz::check(thumb.width() >= 1 && thumb.height() >= 1 && thumb.width() <= params.box() &&
                    thumb.height() <= params.box());
    return 0;
}
