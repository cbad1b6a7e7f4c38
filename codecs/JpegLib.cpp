#include "codecs/JpegLib.h"

#include <csetjmp>
#include <cstdio>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>

#include <jpeglib.h>
#include <jerror.h>

// Everything here is plain C: libjpeg reports a fatal error by calling error_exit, which must not
// return, so it jumps back to the setjmp of the public function. No local between the setjmp and
// the jump has a destructor, and no C++ exception ever crosses libjpeg.

namespace korvel::jpeglib {

static_assert(kMessageSize >= JMSG_LENGTH_MAX);

namespace {

struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    char* message;
    bool overScanLimit;
};

[[noreturn]] void failWith(j_common_ptr cinfo, const char* text) {
    ErrorManager* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    std::snprintf(err->message, kMessageSize, "%s", text);
    std::longjmp(err->jump, 1);
}

extern "C" void onErrorExit(j_common_ptr cinfo) {
    ErrorManager* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, err->message);
    std::longjmp(err->jump, 1);
}

// Warnings (premature end of data, extraneous bytes) are counted, never printed: a damaged
// file still shows what could be decoded.
extern "C" void onEmitMessage(j_common_ptr cinfo, int level) {
    if (level < 0) cinfo->err->num_warnings++;
}

extern "C" void onOutputMessage(j_common_ptr) {}

// The progress manager carries the job's scan limit to the monitor.
struct ScanMonitor {
    jpeg_progress_mgr pub;
    int maxScans;
};

extern "C" void onProgress(j_common_ptr cinfo) {
    const ScanMonitor* monitor = reinterpret_cast<const ScanMonitor*>(cinfo->progress);
    if (cinfo->is_decompressor && reinterpret_cast<j_decompress_ptr>(cinfo)->input_scan_number > monitor->maxScans) {
        reinterpret_cast<ErrorManager*>(cinfo->err)->overScanLimit = true;
        failWith(cinfo, "Too many scans in the JPEG data");
    }
}

void setUpErrors(ErrorManager* err, char* message) {
    jpeg_std_error(&err->pub);
    err->pub.error_exit = onErrorExit;
    err->pub.emit_message = onEmitMessage;
    err->pub.output_message = onOutputMessage;
    err->message = message;
    err->overScanLimit = false;
    message[0] = '\0';
}

OutputKind outputKindOf(const jpeg_decompress_struct& cinfo) {
    switch (cinfo.jpeg_color_space) {
        case JCS_GRAYSCALE: return cinfo.num_components == 1 ? OutputKind::Grey : OutputKind::Unsupported;
        case JCS_YCbCr:
        case JCS_RGB: return cinfo.num_components == 3 ? OutputKind::Bgr : OutputKind::Unsupported;
        case JCS_CMYK:
        case JCS_YCCK: return cinfo.num_components == 4 ? OutputKind::Cmyk : OutputKind::Unsupported;
        default: return OutputKind::Unsupported;
    }
}

// Ink values to screen colour: c, m, y, k are ink amounts (0 = none) unless inverted, as Adobe
// writes them (0 = full ink).
void cmykRowToBgr(const uint8_t* in, uint8_t* out, int width, bool inverted) {
    const unsigned flip = inverted ? 0 : 255;
    for (int x = 0; x < width; ++x, in += 4, out += 3) {
        unsigned c = in[0] ^ flip, m = in[1] ^ flip, y = in[2] ^ flip, k = in[3] ^ flip;
        out[0] = uint8_t((y * k + 127) / 255);
        out[1] = uint8_t((m * k + 127) / 255);
        out[2] = uint8_t((c * k + 127) / 255);
    }
}

// Destination that grows a malloc buffer held by the job, so the caller can always free it,
// also after an error in the middle of compression.
struct Destination {
    jpeg_destination_mgr pub;
    EncodeJob* job;
    size_t capacity;
};

constexpr size_t kInitialOutput = 64 * 1024;

extern "C" void onInitDestination(j_compress_ptr cinfo) {
    Destination* dest = reinterpret_cast<Destination*>(cinfo->dest);
    dest->job->output = static_cast<unsigned char*>(std::malloc(kInitialOutput));
    if (!dest->job->output) failWith(reinterpret_cast<j_common_ptr>(cinfo), "Out of memory for the JPEG data");
    dest->capacity = kInitialOutput;
    dest->pub.next_output_byte = dest->job->output;
    dest->pub.free_in_buffer = kInitialOutput;
}

extern "C" boolean onEmptyOutputBuffer(j_compress_ptr cinfo) {
    Destination* dest = reinterpret_cast<Destination*>(cinfo->dest);
    size_t grown = dest->capacity * 2;
    void* p = grown > dest->capacity ? std::realloc(dest->job->output, grown) : nullptr;
    if (!p) failWith(reinterpret_cast<j_common_ptr>(cinfo), "Out of memory for the JPEG data");
    dest->job->output = static_cast<unsigned char*>(p);
    // The whole old buffer is full (libjpeg's contract for this call).
    dest->pub.next_output_byte = dest->job->output + dest->capacity;
    dest->pub.free_in_buffer = grown - dest->capacity;
    dest->capacity = grown;
    return TRUE;
}

extern "C" void onTermDestination(j_compress_ptr cinfo) {
    Destination* dest = reinterpret_cast<Destination*>(cinfo->dest);
    dest->job->outputSize = static_cast<unsigned long>(dest->capacity - dest->pub.free_in_buffer);
}

const int kScaleDenoms[4] = {1, 2, 4, 8};

}  // namespace

bool readHeader(const uint8_t* data, size_t size, HeaderInfo* info, char* message) {
    jpeg_decompress_struct cinfo;
    std::memset(&cinfo, 0, sizeof cinfo);
    ErrorManager err;
    setUpErrors(&err, message);
    cinfo.err = &err.pub;
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, data, static_cast<unsigned long>(size));
    jpeg_read_header(&cinfo, TRUE);
    info->imageWidth = int(cinfo.image_width);
    info->imageHeight = int(cinfo.image_height);
    info->components = cinfo.num_components;
    info->colorSpace = cinfo.jpeg_color_space;
    info->progressive = cinfo.progressive_mode;
    info->adobeMarker = cinfo.saw_Adobe_marker;
    info->output = outputKindOf(cinfo);
    for (int i = 0; i < 4; ++i) {
        cinfo.scale_num = 1;
        cinfo.scale_denom = unsigned(kScaleDenoms[i]);
        jpeg_calc_output_dimensions(&cinfo);
        info->scaledWidth[i] = int(cinfo.output_width);
        info->scaledHeight[i] = int(cinfo.output_height);
    }
    jpeg_destroy_decompress(&cinfo);
    return true;
}

DecodeResult decode(const DecodeJob* job, char* message) {
    jpeg_decompress_struct cinfo;
    std::memset(&cinfo, 0, sizeof cinfo);
    ErrorManager err;
    setUpErrors(&err, message);
    ScanMonitor progress;
    std::memset(&progress, 0, sizeof progress);
    progress.pub.progress_monitor = onProgress;
    progress.maxScans = job->maxScans;
    cinfo.err = &err.pub;
    if (setjmp(err.jump)) {
        // Without a backing store, running out of the allowed memory shows as this error.
        const bool overLimit = err.pub.msg_code == JERR_NO_BACKING_STORE;
        jpeg_destroy_decompress(&cinfo);
        if (err.overScanLimit) return DecodeResult::OverScanLimit;
        return overLimit ? DecodeResult::OverMemoryLimit : DecodeResult::Failed;
    }
    jpeg_create_decompress(&cinfo);
    if (job->memoryLimit)
        cinfo.mem->max_memory_to_use =
            long(std::min<size_t>(job->memoryLimit, size_t(std::numeric_limits<long>::max())));
    cinfo.progress = &progress.pub;
    jpeg_mem_src(&cinfo, job->data, static_cast<unsigned long>(job->size));
    jpeg_read_header(&cinfo, TRUE);
    cinfo.scale_num = 1;
    cinfo.scale_denom = unsigned(job->scaleDenom);
    const bool cmyk = job->output == OutputKind::Cmyk;
    cinfo.out_color_space = job->output == OutputKind::Grey ? JCS_GRAYSCALE : cmyk ? JCS_CMYK : JCS_EXT_BGR;
    jpeg_start_decompress(&cinfo);
    if (int(cinfo.output_width) != job->width || int(cinfo.output_height) != job->height)
        failWith(reinterpret_cast<j_common_ptr>(&cinfo), "JPEG output size differs from its header");
    const JDIMENSION height = cinfo.output_height;
    while (cinfo.output_scanline < height) {
        const JDIMENSION y = cinfo.output_scanline;
        JDIMENSION got;
        if (cmyk) {
            JSAMPROW batch[kCmykBatch];
            for (int k = 0; k < kCmykBatch; ++k) batch[k] = job->scratch + size_t(k) * 4 * size_t(job->width);
            JDIMENSION want = height - y < JDIMENSION(kCmykBatch) ? height - y : JDIMENSION(kCmykBatch);
            got = jpeg_read_scanlines(&cinfo, batch, want);
            for (JDIMENSION i = 0; i < got; ++i)
                cmykRowToBgr(batch[i], job->rows[y + i], job->width, job->invertedCmyk);
        } else {
            // Several rows per call, straight into the raster.
            got = jpeg_read_scanlines(&cinfo, job->rows + y, height - y);
        }
        // The memory source never suspends; no progress means a broken stream.
        if (got == 0) failWith(reinterpret_cast<j_common_ptr>(&cinfo), "JPEG decoding stalled");
        if (job->rowsDone) job->rowsDone(job->context, int(cinfo.output_scanline));
    }
    // No jpeg_finish_decompress: every row is out, and trailing damage must not cost the picture.
    jpeg_destroy_decompress(&cinfo);
    return DecodeResult::Ok;
}

bool encode(EncodeJob* job, char* message) {
    jpeg_compress_struct cinfo;
    std::memset(&cinfo, 0, sizeof cinfo);
    ErrorManager err;
    setUpErrors(&err, message);
    Destination dest;
    std::memset(&dest, 0, sizeof dest);
    dest.job = job;
    dest.pub.init_destination = onInitDestination;
    dest.pub.empty_output_buffer = onEmptyOutputBuffer;
    dest.pub.term_destination = onTermDestination;
    job->output = nullptr;
    job->outputSize = 0;
    cinfo.err = &err.pub;
    if (setjmp(err.jump)) {
        jpeg_destroy_compress(&cinfo);
        std::free(job->output);
        job->output = nullptr;
        job->outputSize = 0;
        return false;
    }
    jpeg_create_compress(&cinfo);
    cinfo.dest = &dest.pub;
    cinfo.image_width = JDIMENSION(job->width);
    cinfo.image_height = JDIMENSION(job->height);
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_EXT_BGR;
    jpeg_set_defaults(&cinfo);
    // libjpeg-turbo converts blue-green-red input to grey itself.
    if (job->grayscale) jpeg_set_colorspace(&cinfo, JCS_GRAYSCALE);
    jpeg_set_quality(&cinfo, job->quality, TRUE);
    if (job->progressive) jpeg_simple_progression(&cinfo);
    jpeg_start_compress(&cinfo, TRUE);
    const JDIMENSION height = cinfo.image_height;
    while (cinfo.next_scanline < height) {
        JSAMPARRAY rows = const_cast<JSAMPARRAY>(job->rows + cinfo.next_scanline);
        jpeg_write_scanlines(&cinfo, rows, height - cinfo.next_scanline);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    return true;
}

}  // namespace korvel::jpeglib
