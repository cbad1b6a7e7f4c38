#pragma once
// Animations described frame by frame and written as GIF (giflib's encoder) or APNG (chunks by
// hand, rows stored unfiltered through zlib), with the plain compositor the decoders must match.
#include <gif_lib.h>
#include <zlib.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "tests/support/CodecSamples.h"

namespace korvel::testing {

struct AnimFramePlan {
    int x = 0, y = 0, w = 0, h = 0;
    int delayMs = 100;
    int dispose = 0;        // 0 none, 1 clear to transparent, 2 restore the canvas before the frame
    bool blendOver = true;  // false: the frame replaces its rectangle (APNG only; GIF always lays over)
    std::vector<uint8_t> rgba;  // w x h straight RGBA
};

struct AnimPlan {
    int width = 0, height = 0;
    int loops = 0;  // GIF: the loop extension's count, -1 for none; APNG: num_plays
    std::vector<AnimFramePlan> frames;
};

// A frame filled with one colour, a transparent hole at its centre when hole is set.
inline AnimFramePlan solidFrame(int x, int y, int w, int h, uint32_t rgba, int dispose = 0, int delayMs = 100,
                                bool hole = false) {
    AnimFramePlan f{x, y, w, h, delayMs, dispose, true, {}};
    for (int j = 0; j < h; ++j)
        for (int i = 0; i < w; ++i) {
            const bool clear = hole && i == w / 2 && j == h / 2;
            for (int k = 0; k < 4; ++k) f.rgba.push_back(clear ? 0 : uint8_t(rgba >> (24 - 8 * k)));
        }
    return f;
}

// The canvas after frame k, replayed from the start for every k.
inline std::vector<uint8_t> referenceCanvas(const AnimPlan& s, size_t k) {
    std::vector<uint8_t> canvas(size_t(s.width * s.height * 4), 0);
    for (size_t i = 0; i <= k; ++i) {
        const AnimFramePlan& f = s.frames[i];
        const std::vector<uint8_t> before = canvas;
        for (int y = 0; y < f.h; ++y)
            for (int x = 0; x < f.w; ++x) {
                const uint8_t* src = &f.rgba[size_t((y * f.w + x) * 4)];
                uint8_t* dst = &canvas[size_t(((f.y + y) * s.width + f.x + x) * 4)];
                if (!f.blendOver || src[3] == 255) {
                    std::memcpy(dst, src, 4);
                } else if (src[3] > 0) {
                    const double a = src[3] / 255.0, da = dst[3] / 255.0 * (1 - a), oa = a + da;
                    for (int c = 0; c < 3; ++c) dst[c] = uint8_t((src[c] * a + dst[c] * da) / oa + 0.5);
                    dst[3] = uint8_t(oa * 255 + 0.5);
                }
            }
        if (i == k) break;
        if (f.dispose == 2) canvas = before;
        if (f.dispose == 1)
            for (int y = 0; y < f.h; ++y)
                std::memset(&canvas[size_t(((f.y + y) * s.width + f.x) * 4)], 0, size_t(f.w * 4));
    }
    return canvas;
}

// Colours of a GIF: each distinct opaque colour gets an index; index 255 is transparent.
inline std::vector<uint8_t> writeAnimatedGif(const AnimPlan& s) {
    std::vector<uint32_t> colours;
    auto indexOf = [&](const uint8_t* p) -> GifPixelType {
        if (p[3] == 0) return 255;
        const uint32_t c = (uint32_t(p[0]) << 16) | (uint32_t(p[1]) << 8) | p[2];
        for (size_t i = 0; i < colours.size(); ++i)
            if (colours[i] == c) return GifPixelType(i);
        colours.push_back(c);
        return GifPixelType(colours.size() - 1);
    };
    std::vector<std::vector<GifPixelType>> indices;
    for (const AnimFramePlan& f : s.frames) {
        indices.emplace_back();
        for (size_t p = 0; p < f.rgba.size(); p += 4) indices.back().push_back(indexOf(&f.rgba[p]));
    }
    std::vector<GifColorType> map(256, GifColorType{0, 0, 0});
    for (size_t i = 0; i < colours.size(); ++i)
        map[i] = GifColorType{uint8_t(colours[i] >> 16), uint8_t(colours[i] >> 8), uint8_t(colours[i])};
    std::vector<uint8_t> out;
    int err = 0;
    GifFileType* gif = EGifOpen(&out, samples::appendGifBytes, &err);
    EGifSetGifVersion(gif, true);
    ColorMapObject* global = GifMakeMapObject(256, map.data());
    EGifPutScreenDesc(gif, s.width, s.height, 8, 0, global);
    GifFreeMapObject(global);
    if (s.loops >= 0) {
        EGifPutExtensionLeader(gif, APPLICATION_EXT_FUNC_CODE);
        EGifPutExtensionBlock(gif, 11, "NETSCAPE2.0");
        const uint8_t loop[3] = {1, uint8_t(s.loops), uint8_t(s.loops >> 8)};
        EGifPutExtensionBlock(gif, 3, loop);
        EGifPutExtensionTrailer(gif);
    }
    for (size_t i = 0; i < s.frames.size(); ++i) {
        const AnimFramePlan& f = s.frames[i];
        GraphicsControlBlock gcb{f.dispose == 1 ? DISPOSE_BACKGROUND : f.dispose == 2 ? DISPOSE_PREVIOUS : DISPOSE_DO_NOT,
                                 false, f.delayMs / 10, 255};
        GifByteType ext[4];
        EGifGCBToExtension(&gcb, ext);
        EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, ext);
        EGifPutImageDesc(gif, f.x, f.y, f.w, f.h, false, nullptr);
        for (int y = 0; y < f.h; ++y) EGifPutLine(gif, &indices[i][size_t(y * f.w)], f.w);
    }
    EGifCloseFile(gif, &err);
    return out;
}

inline std::vector<uint8_t> be32Bytes(std::initializer_list<uint32_t> values) {
    std::vector<uint8_t> b;
    for (uint32_t v : values)
        for (int k = 3; k >= 0; --k) b.push_back(uint8_t(v >> (8 * k)));
    return b;
}

inline void putApngChunk(std::vector<uint8_t>& out, const char* type, const std::vector<uint8_t>& body) {
    const std::vector<uint8_t> size = be32Bytes({uint32_t(body.size())});
    out.insert(out.end(), size.begin(), size.end());
    const size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), body.begin(), body.end());
    const std::vector<uint8_t> crc = be32Bytes({uint32_t(crc32(0, &out[start], uInt(out.size() - start)))});
    out.insert(out.end(), crc.begin(), crc.end());
}

// 8-bit RGBA APNG; the first frame is the default image (IDAT) unless it is left out of the
// animation, when a grey default image precedes the frames.
inline std::vector<uint8_t> writeApng(const AnimPlan& s, bool defaultImageHidden = false) {
    std::vector<uint8_t> out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<uint8_t> ihdr = be32Bytes({uint32_t(s.width), uint32_t(s.height)});
    ihdr.insert(ihdr.end(), {8, 6, 0, 0, 0});
    putApngChunk(out, "IHDR", ihdr);
    putApngChunk(out, "acTL", be32Bytes({uint32_t(s.frames.size()), uint32_t(s.loops)}));
    uint32_t seq = 0;
    auto compressed = [](int w, int h, const std::vector<uint8_t>& rgba) {
        std::vector<uint8_t> raw;
        for (int y = 0; y < h; ++y) {
            raw.push_back(0);
            raw.insert(raw.end(), rgba.begin() + y * w * 4, rgba.begin() + (y + 1) * w * 4);
        }
        uLongf n = compressBound(uLong(raw.size()));
        std::vector<uint8_t> z(n);
        compress(z.data(), &n, raw.data(), uLong(raw.size()));
        z.resize(n);
        return z;
    };
    if (defaultImageHidden)
        putApngChunk(out, "IDAT", compressed(s.width, s.height, std::vector<uint8_t>(size_t(s.width * s.height * 4), 128)));
    for (size_t i = 0; i < s.frames.size(); ++i) {
        const AnimFramePlan& f = s.frames[i];
        std::vector<uint8_t> fctl = be32Bytes({seq++, uint32_t(f.w), uint32_t(f.h), uint32_t(f.x), uint32_t(f.y)});
        fctl.insert(fctl.end(), {uint8_t(f.delayMs >> 8), uint8_t(f.delayMs), 0x03, 0xE8, uint8_t(f.dispose),
                                 uint8_t(f.blendOver ? 1 : 0)});
        putApngChunk(out, "fcTL", fctl);
        std::vector<uint8_t> z = compressed(f.w, f.h, f.rgba);
        if (i == 0 && !defaultImageHidden) {
            putApngChunk(out, "IDAT", z);
        } else {
            // Split in two fdAT chunks, so that frames spread over chunks are read whole.
            for (const auto& [from, to] : {std::pair{size_t(0), z.size() / 2}, {z.size() / 2, z.size()}}) {
                std::vector<uint8_t> chunk = be32Bytes({seq++});
                chunk.insert(chunk.end(), z.begin() + long(from), z.begin() + long(to));
                putApngChunk(out, "fdAT", chunk);
            }
        }
    }
    putApngChunk(out, "IEND", {});
    return out;
}

}  // namespace korvel::testing
