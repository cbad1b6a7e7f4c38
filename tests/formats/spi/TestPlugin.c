/* A plug-in for the host's tests. One source, many plug-ins: compile definitions choose the
 * information texts and the faults. It reads two formats made by the tests:
 *   "KVTIMG01" u32 width, u32 height: a 24-bit image filled with SPI_COLOR (0xRRGGBB);
 *   "KVRAWBLK" u32 infoLen, u32 pixelLen, then both blocks, handed back byte for byte in
 *   blocks of exactly those sizes (so a test controls every header field).
 * Every call is reported to korvelSpiTestTrace when the test program exports it. */
#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include "formats/SpiApi.h"

#define SPI_EXPORT __attribute__((visibility("default")))

#ifndef SPI_NAME
#define SPI_NAME "test"
#endif
#ifndef SPI_VERSION
#define SPI_VERSION "00IN"
#endif
#ifndef SPI_ABOUT
#define SPI_ABOUT "Korvel test plug-in " SPI_NAME
#endif
#ifndef SPI_COLOR
#define SPI_COLOR 0x336699
#endif

static void trace(const char *fmt, long a, long b) {
    void (*fn)(const char *) = (void (*)(const char *))dlsym(RTLD_DEFAULT, "korvelSpiTestTrace");
    if (!fn) return;
    char line[256];
    char body[200];
    snprintf(body, sizeof body, fmt, a, b);
    snprintf(line, sizeof line, "%s:%s", SPI_NAME, body);
    fn(line);
}

static const char *const info_items[] = {
    SPI_VERSION, SPI_ABOUT,
#ifdef SPI_EXT1
    SPI_EXT1, SPI_DESC1,
#endif
#ifdef SPI_EXT2
    SPI_EXT2, SPI_DESC2,
#endif
};

SPI_EXPORT int32_t GetPluginInfo(int32_t infono, char *buf, int32_t buflen) {
#ifdef SPI_BAD_INFO_LONG
    if (infono == 0) return 300; /* claims more than the buffer holds */
#endif
#ifdef SPI_BAD_INFO_UNTERMINATED
    if (infono == 1) {
        memset(buf, 'x', (size_t)buflen + 1); /* fills the whole 256 bytes, no terminator */
        return buflen;
    }
#endif
#ifdef SPI_BAD_INFO_OVERRUN
    if (infono == 1) { /* an about text copied without regard to buflen */
        memset(buf, 'x', SPI_BAD_INFO_OVERRUN - 1);
        buf[SPI_BAD_INFO_OVERRUN - 1] = 0;
        return buflen;
    }
#endif
#ifdef SPI_NO_FORMATS
    if (infono == 3) return 0; /* the extension item is there, its description is not */
    if (infono == 2) {
        strncpy(buf, "*.nof", (size_t)buflen);
        return 5;
    }
#endif
    if (infono < 0 || infono >= (int32_t)(sizeof info_items / sizeof info_items[0])) return 0;
    size_t n = strlen(info_items[infono]);
    if (n >= (size_t)buflen) n = (size_t)buflen - 1;
    memcpy(buf, info_items[infono], n);
    buf[n] = 0;
    /* The build passes ";" as "|" (CMake splits lists at ";"). */
    for (size_t i = 0; i < n; ++i)
        if (buf[i] == '|') buf[i] = ';';
    return (int32_t)n;
}

static uint32_t get32(const unsigned char *p) {
    return (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) | ((uint32_t)p[3] << 24);
}

static uint32_t fnv1a(const unsigned char *p, size_t n) {
    uint32_t h = 2166136261u;
    for (size_t i = 0; i < n; ++i) h = (h ^ p[i]) * 16777619u;
    return h;
}

SPI_EXPORT int32_t IsSupported(const char *filename, const void *header) {
    const unsigned char *h = (const unsigned char *)header;
    trace("IsSupported:hdr=%08lx", (long)fnv1a(h, SPI_HEADER_BYTES), 0);
#ifdef SPI_SUPPORTS_NOTHING
    return 0;
#endif
    return memcmp(h, "KVTIMG01", 8) == 0 || memcmp(h, "KVRAWBLK", 8) == 0 || memcmp(h, "BMKVTIMG01", 10) == 0;
}

/* The source's bytes from its start (file: from offset len; memory: buf itself). */
static unsigned char *read_source(const char *buf, intptr_t len, uint32_t flag, size_t *size) {
    if ((flag & SPI_SOURCE_MASK) == SPI_SOURCE_MEMORY) {
        if (len < 0) return NULL;
        unsigned char *copy = malloc(len ? (size_t)len : 1);
        if (copy) memcpy(copy, buf, (size_t)len);
        *size = (size_t)len;
        return copy;
    }
    FILE *f = fopen(buf, "rb");
    if (!f) return NULL;
    const long end = fseek(f, 0, SEEK_END) == 0 ? ftell(f) : -1;
    unsigned char *data = NULL;
    if (len >= 0 && end >= len && fseek(f, (long)len, SEEK_SET) == 0) data = malloc((size_t)(end - len) + 1);
    if (data) *size = fread(data, 1, (size_t)(end - len), f);
    fclose(f);
    return data;
}

static const unsigned char *kvt_start(const unsigned char *d, size_t n) {
    if (n >= 16 && memcmp(d, "KVTIMG01", 8) == 0) return d;
    if (n >= 18 && memcmp(d, "BMKVTIMG01", 10) == 0) return d + 2;
    return NULL;
}

SPI_EXPORT int32_t GetPictureInfo(const char *buf, intptr_t len, uint32_t flag, SpiPictureInfo *info) {
    trace("GetPictureInfo:flag=%ld:len=%ld", (long)flag, (long)len);
    memset(info, 0, sizeof *info);
    info->hInfo = strdup("test text"); /* a text the host must free */
    return SPI_OK;
}

/* The KVTIMG01 picture as a 24-bit DIB's blocks, rows bottom-up, filled with SPI_COLOR. */
static int32_t kvt_blocks(const unsigned char *k, unsigned char **bi, unsigned char **bits) {
    const uint32_t w = get32(k + 8), h = get32(k + 12);
    if (w == 0 || h == 0 || w > 4096 || h > 4096) return SPI_BROKEN_DATA;
    const size_t stride = ((size_t)w * 3 + 3) & ~(size_t)3;
    *bits = malloc(stride * h);
    *bi = calloc(1, 40);
    if (!*bi || !*bits) return SPI_NO_MEMORY;
    for (size_t y = 0; y < h; ++y)
        for (size_t x = 0; x < w; ++x) {
            unsigned char *p = *bits + y * stride + 3 * x;
            p[0] = SPI_COLOR & 0xFF;
            p[1] = (SPI_COLOR >> 8) & 0xFF;
            p[2] = (SPI_COLOR >> 16) & 0xFF;
        }
    const uint32_t fields[] = {40, w, h};
    memcpy(*bi, fields, sizeof fields);
    (*bi)[12] = 1;  /* planes */
    (*bi)[14] = 24; /* bit count */
    return SPI_OK;
}

__attribute__((unused)) static int32_t decode(const char *buf, intptr_t len, uint32_t flag, void **pHBInfo,
                                              void **pHBm, SpiProgressCallback progress, intptr_t data,
                                              const char *what) {
    trace(what, (long)flag, (long)len);
    *pHBInfo = NULL;
    *pHBm = NULL;
#ifdef SPI_FAIL_WITH_HANDLES
    /* Fails but leaves addresses in the handles: the host must not free them. */
    static unsigned char keep_info[40], keep_bits[16];
    *pHBInfo = keep_info;
    *pHBm = keep_bits;
    return SPI_BROKEN_DATA;
#endif
    size_t n = 0;
    unsigned char *d = read_source(buf, len, flag, &n), *bi = NULL, *bits = NULL;
    if (!d) return SPI_READ_ERROR;
    if (progress) trace("progress=%ld", (long)progress(1, 3, data), 0);
    int32_t rc = SPI_UNKNOWN_FORMAT;
    const unsigned char *k = kvt_start(d, n);
    if (k) {
        rc = kvt_blocks(k, &bi, &bits);
    } else if (n >= 16 && memcmp(d, "KVRAWBLK", 8) == 0) {
        const uint32_t infoLen = get32(d + 8), pixelLen = get32(d + 12);
        rc = SPI_BROKEN_DATA;
        if ((uint64_t)infoLen + pixelLen <= n - 16 && infoLen != 0 && pixelLen != 0) {
            bi = malloc(infoLen);
            bits = malloc(pixelLen);
            rc = bi && bits ? SPI_OK : SPI_NO_MEMORY;
            if (rc == SPI_OK) {
                memcpy(bi, d + 16, infoLen);
                memcpy(bits, d + 16 + infoLen, pixelLen);
            }
        }
    }
    if (rc == SPI_OK) {
        *pHBInfo = bi;
        *pHBm = bits;
        if (progress) progress(3, 3, data);
    } else {
        free(bi);
        free(bits);
    }
    free(d);
    return rc;
}

#ifndef SPI_NO_GETPICTURE
SPI_EXPORT int32_t GetPicture(const char *buf, intptr_t len, uint32_t flag, void **pHBInfo, void **pHBm,
                              SpiProgressCallback progress, intptr_t data) {
    /* Plug-ins need not be thread-safe: the host must never call one from two threads at once.
       The pause widens the window in which a second caller would be caught. */
    static int inside;
    if (__atomic_add_fetch(&inside, 1, __ATOMIC_SEQ_CST) != 1) abort();
    const struct timespec pause = {0, 200000};
    nanosleep(&pause, NULL);
    const int32_t rc = decode(buf, len, flag, pHBInfo, pHBm, progress, data, "GetPicture:flag=%ld:len=%ld");
    __atomic_sub_fetch(&inside, 1, __ATOMIC_SEQ_CST);
    return rc;
}
#endif

#ifdef SPI_WITH_PREVIEW
SPI_EXPORT int32_t GetPreview(const char *buf, intptr_t len, uint32_t flag, void **pHBInfo, void **pHBm,
                              SpiProgressCallback progress, intptr_t data) {
    trace("GetPreview:flag=%ld:len=%ld", (long)flag, (long)len);
    *pHBInfo = NULL;
    *pHBm = NULL;
    return SPI_NOT_IMPLEMENTED;
}
#endif

#ifdef SPI_ARCHIVE
SPI_EXPORT int32_t GetArchiveInfo(const char *buf, intptr_t len, uint32_t flag, void **lphInf) { return -1; }
SPI_EXPORT int32_t GetFileInfo(const char *buf, intptr_t len, const char *filename, uint32_t flag, void *lpInfo) {
    return -1;
}
SPI_EXPORT int32_t GetFile(const char *src, intptr_t len, char *dest, uint32_t flag, SpiProgressCallback progress,
                           intptr_t data) {
    return -1;
}
#endif

#ifdef SPI_META_ORIENTATION
/* Reports an orientation and a profile of SPI_META_ICC_ALLOC bytes, claiming SPI_META_ICC_CLAIM. */
SPI_EXPORT int32_t GetPictureMeta(const char *buf, intptr_t len, uint32_t flag, SpiPictureMeta *meta) {
    trace("GetPictureMeta:flag=%ld:len=%ld", (long)flag, (long)len);
    meta->orientation = SPI_META_ORIENTATION;
    meta->hIcc = malloc(SPI_META_ICC_ALLOC);
    if (meta->hIcc) memset(meta->hIcc, 'p', SPI_META_ICC_ALLOC);
    meta->iccSize = SPI_META_ICC_CLAIM;
    return SPI_OK;
}
#endif
