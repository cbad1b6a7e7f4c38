/* The same measurements with libspng: decode to 8-bit RGB, encode RGB 8-bit at a zlib level with
 * filter None or all filters (adaptive), default zlib strategy as Korvel uses.
 *   spng_bench decode FILE RUNS
 *   spng_bench encode FILE LEVEL FILTER RUNS */
#include <spng.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <zlib.h>

static double now(void) {
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec + t.tv_nsec * 1e-9;
}

static unsigned char* readAll(const char* path, size_t* size) {
    FILE* f = fopen(path, "rb");
    if (!f) return NULL;
    fseek(f, 0, SEEK_END);
    *size = (size_t)ftell(f);
    fseek(f, 0, SEEK_SET);
    unsigned char* p = malloc(*size);
    if (fread(p, 1, *size, f) != *size) { free(p); p = NULL; }
    fclose(f);
    return p;
}

static unsigned char* decode(const unsigned char* data, size_t size, struct spng_ihdr* ihdr, size_t* outSize) {
    spng_ctx* ctx = spng_ctx_new(0);
    spng_set_png_buffer(ctx, data, size);
    spng_get_ihdr(ctx, ihdr);
    spng_decoded_image_size(ctx, SPNG_FMT_RGB8, outSize);
    unsigned char* out = malloc(*outSize);
    int r = spng_decode_image(ctx, out, *outSize, SPNG_FMT_RGB8, 0);
    spng_ctx_free(ctx);
    if (r) { fprintf(stderr, "decode: %s\n", spng_strerror(r)); exit(1); }
    return out;
}

int main(int argc, char** argv) {
    if (argc < 4) return 2;
    size_t size, pixelsSize, bytes = 0;
    unsigned char* data = readAll(argv[2], &size);
    if (!data) return 1;
    struct spng_ihdr ihdr;
    double best = 1e9;
    if (strcmp(argv[1], "decode") == 0) {
        int runs = atoi(argv[3]);
        for (int i = 0; i < runs; ++i) {
            double t0 = now();
            free(decode(data, size, &ihdr, &pixelsSize));
            double t = now() - t0;
            if (t < best) best = t;
        }
    } else if (argc == 6) {
        unsigned char* pixels = decode(data, size, &ihdr, &pixelsSize);
        int level = atoi(argv[3]), runs = atoi(argv[5]);
        int filter = strcmp(argv[4], "adaptive") == 0 ? SPNG_FILTER_CHOICE_ALL : SPNG_FILTER_CHOICE_NONE;
        for (int i = 0; i < runs; ++i) {
            double t0 = now();
            spng_ctx* ctx = spng_ctx_new(SPNG_CTX_ENCODER);
            spng_set_option(ctx, SPNG_ENCODE_TO_BUFFER, 1);
            spng_set_option(ctx, SPNG_IMG_COMPRESSION_LEVEL, level);
            spng_set_option(ctx, SPNG_IMG_COMPRESSION_STRATEGY, Z_DEFAULT_STRATEGY);
            spng_set_option(ctx, SPNG_FILTER_CHOICE, filter);
            struct spng_ihdr out = {ihdr.width, ihdr.height, 8, SPNG_COLOR_TYPE_TRUECOLOR, 0, 0, 0};
            spng_set_ihdr(ctx, &out);
            int r = spng_encode_image(ctx, pixels, pixelsSize, SPNG_FMT_PNG, SPNG_ENCODE_FINALIZE);
            if (r) { fprintf(stderr, "encode: %s\n", spng_strerror(r)); return 1; }
            int err;
            void* png = spng_get_png_buffer(ctx, &bytes, &err);
            spng_ctx_free(ctx);
            double t = now() - t0;
            free(png);
            if (t < best) best = t;
        }
        free(pixels);
    } else {
        return 2;
    }
    printf("%.6f %zu\n", best, bytes);
    free(data);
    return 0;
}
