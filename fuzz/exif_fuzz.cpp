// EXIF blocks and the JPEG markers that carry them: the orientation is 1 to 8 whatever the input.
#include "codecs/PhotoMeta.h"
#include "fuzz/FuzzSupport.h"
#include "imaging/Exif.h"

using namespace korvel;

extern "C" int LLVMFuzzerInitialize(int*, char***) { return 0; }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const int o = ExifOrientation(data, size);
    fuzz::check(o >= 1 && o <= 8);
    const int app1 = ExifOrientationOfApp1(data, size);
    fuzz::check(app1 >= 1 && app1 <= 8);
    const PhotoMeta meta = ReadJpegPhotoMeta(data, size);
    fuzz::check(meta.orientation >= 1 && meta.orientation <= 8 && meta.iccProfile.size() <= size);
    return 0;
}
