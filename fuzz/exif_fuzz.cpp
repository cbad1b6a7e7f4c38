// EXIF blocks and the JPEG markers that carry them: the orientation is 1 to 8 whatever the input,
// and a date taken, when one is found, is a real one.
#include "codecs/PhotoMeta.h"
#include "codecs/PhotoMetaTaken.h"
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
    for (const auto& taken : {ReadTakenTime(data, size), ExifTakenTime(data, size)}) {
        if (!taken) continue;
        fuzz::check(taken->year >= 1000 && taken->year <= 9999 && taken->month >= 1 && taken->month <= 12 &&
                    taken->day >= 1 && taken->day <= 31 && taken->hour <= 23 && taken->minute <= 59 &&
                    taken->second <= 59);
        fuzz::check(!taken->hasOffset || (taken->offsetMinutes >= -899 && taken->offsetMinutes <= 899));
    }
    return 0;
}
