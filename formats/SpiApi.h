/* The decoder plug-in interface: a plug-in is a shared library named "*.spi" exporting these
 * C functions. Fixed-width types keep plug-ins and Korvel in agreement on every 64-bit system.
 * docs/plugins.md explains each call for plug-in authors. Plain C, so plug-ins need no C++. */
#ifndef KORVEL_SPI_API_H
#define KORVEL_SPI_API_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#pragma pack(push, 1)
typedef struct SpiPictureInfo { /* 30 bytes on 64-bit systems */
    int32_t left, top, width, height;
    uint16_t x_density, y_density;
    int16_t colorDepth;
    void *hInfo; /* text information, malloc'd by the plug-in, or NULL; Korvel frees it */
} SpiPictureInfo;
#pragma pack(pop)

/* How a picture is meant to be shown, from the optional GetPictureMeta export. */
typedef struct SpiPictureMeta {
    int32_t orientation; /* EXIF orientation 1..8 still to apply to GetPicture's rows; 1 when none */
    uint32_t iccSize;    /* bytes at hIcc */
    void *hIcc;          /* the embedded ICC profile, malloc'd by the plug-in, or NULL; Korvel frees it */
} SpiPictureMeta;

/* Called by a plug-in while it decodes; a non-zero result asks it to stop. */
typedef int32_t (*SpiProgressCallback)(int32_t done, int32_t total, intptr_t data);

/* Low three bits of the flag arguments: where buf points. */
#define SPI_SOURCE_FILE 0   /* buf: UTF-8 path; len: byte offset to start reading at */
#define SPI_SOURCE_MEMORY 1 /* buf: the data; len: its size in bytes */
#define SPI_SOURCE_MASK 7
/* Set by the host only for plug-ins that export GetPictureMeta: the host turns pictures upright
 * itself, so a plug-in that would turn them (TIFF's orientation tag) hands back the rows as stored
 * and reports the orientation instead. Plug-ins ignore flag bits they do not know. */
#define SPI_HOST_ORIENTS 0x100

/* Results. Korvel treats every non-zero result as failure. */
#define SPI_OK 0
#define SPI_NOT_IMPLEMENTED (-1)
#define SPI_ABORTED 1
#define SPI_UNKNOWN_FORMAT 2
#define SPI_BROKEN_DATA 3
#define SPI_NO_MEMORY 4
#define SPI_READ_ERROR 6
#define SPI_INTERNAL_ERROR 8

/* Bytes of the header block IsSupported may read. */
#define SPI_HEADER_BYTES 2048

typedef int32_t (*SpiGetPluginInfoFn)(int32_t infono, char *buf, int32_t buflen);
typedef int32_t (*SpiIsSupportedFn)(const char *filename, const void *header);
typedef int32_t (*SpiGetPictureInfoFn)(const char *buf, intptr_t len, uint32_t flag, SpiPictureInfo *info);
typedef int32_t (*SpiGetPictureFn)(const char *buf, intptr_t len, uint32_t flag, void **pHBInfo, void **pHBm,
                                   SpiProgressCallback progress, intptr_t data);
/* Optional: a picture covering width x height (rows as GetPicture hands them), possibly smaller. */
typedef int32_t (*SpiGetPictureSizedFn)(const char *buf, intptr_t len, uint32_t flag, int32_t width, int32_t height,
                                        void **pHBInfo, void **pHBm, SpiProgressCallback progress, intptr_t data);
typedef int32_t (*SpiGetPictureMetaFn)(const char *buf, intptr_t len, uint32_t flag, SpiPictureMeta *meta);
/* Optional, all four or none: an animation played frame by frame. OpenAnimation answers the
 * canvas and the number of plays (0 = forever) and a handle the plug-in owns until CloseAnimation.
 * NextAnimationFrame writes the next composed frame as straight RGBA rows, top-down, into rgba
 * (width * height * 4 bytes) and its delay in milliseconds: SPI_OK, SPI_END_OF_FRAMES after the
 * last frame, or a failure result. RewindAnimation starts again at the first frame. */
#define SPI_END_OF_FRAMES 7
typedef struct SpiAnimationInfo {
    int32_t width, height, plays;
} SpiAnimationInfo;
typedef int32_t (*SpiOpenAnimationFn)(const char *buf, intptr_t len, uint32_t flag, SpiAnimationInfo *info,
                                      void **handle);
typedef int32_t (*SpiNextAnimationFrameFn)(void *handle, uint8_t *rgba, int32_t *delayMs);
typedef int32_t (*SpiRewindAnimationFn)(void *handle);
typedef void (*SpiCloseAnimationFn)(void *handle);
typedef int32_t (*SpiGetArchiveInfoFn)(const char *buf, intptr_t len, uint32_t flag, void **lphInf);
typedef int32_t (*SpiGetFileInfoFn)(const char *buf, intptr_t len, const char *filename, uint32_t flag,
                                    void *lpInfo);
typedef int32_t (*SpiGetFileFn)(const char *src, intptr_t len, char *dest, uint32_t flag,
                                SpiProgressCallback progress, intptr_t data);
typedef int32_t (*SpiConfigurationDlgFn)(void *parent, int32_t fnc);

/* What a plug-in defines. Korvel itself only looks the names up at run time. */
int32_t GetPluginInfo(int32_t infono, char *buf, int32_t buflen);
int32_t IsSupported(const char *filename, const void *header);
int32_t GetPictureInfo(const char *buf, intptr_t len, uint32_t flag, SpiPictureInfo *info);
int32_t GetPicture(const char *buf, intptr_t len, uint32_t flag, void **pHBInfo, void **pHBm,
                   SpiProgressCallback progress, intptr_t data);
int32_t GetPreview(const char *buf, intptr_t len, uint32_t flag, void **pHBInfo, void **pHBm,
                   SpiProgressCallback progress, intptr_t data);
/* Optional: only called on plug-ins that export it, after a successful GetPicture. */
int32_t GetPictureMeta(const char *buf, intptr_t len, uint32_t flag, SpiPictureMeta *meta);
/* Optional: lets the host ask for a picture that only has to cover a size (thumbnails). */
int32_t GetPictureSized(const char *buf, intptr_t len, uint32_t flag, int32_t width, int32_t height, void **pHBInfo,
                        void **pHBm, SpiProgressCallback progress, intptr_t data);
int32_t OpenAnimation(const char *buf, intptr_t len, uint32_t flag, SpiAnimationInfo *info, void **handle);
int32_t NextAnimationFrame(void *handle, uint8_t *rgba, int32_t *delayMs);
int32_t RewindAnimation(void *handle);
void CloseAnimation(void *handle);
int32_t GetArchiveInfo(const char *buf, intptr_t len, uint32_t flag, void **lphInf);
int32_t GetFileInfo(const char *buf, intptr_t len, const char *filename, uint32_t flag, void *lpInfo);
int32_t GetFile(const char *src, intptr_t len, char *dest, uint32_t flag, SpiProgressCallback progress,
                intptr_t data);
int32_t ConfigurationDlg(void *parent, int32_t fnc);

#ifdef __cplusplus
}
#endif

#endif /* KORVEL_SPI_API_H */
