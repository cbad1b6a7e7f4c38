#pragma once
// Adam7 interlacing (PNG standard): the seven passes' pixel grids, and moving a pass row's
// pixels to and from their places in a full row.
#include <cstddef>
#include <cstdint>

namespace korvel::png {

struct Adam7Pass {
    int x0, y0, dx, dy;
    // Pixels of this pass in a row of `width` pixels, and rows in an image of `height` rows.
    int columns(int width) const { return width > x0 ? (width - x0 + dx - 1) / dx : 0; }
    int rows(int height) const { return height > y0 ? (height - y0 + dy - 1) / dy : 0; }
};

inline constexpr Adam7Pass kAdam7[7] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                                        {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};

// Places the `count` packed pixels of src (bitsPerPixel each: 1, 2, 4 or a multiple of 8) at
// columns pass.x0 + i * pass.dx of the full row dst.
void scatterPixels(const uint8_t* src, uint8_t* dst, int count, const Adam7Pass& pass, int bitsPerPixel);

// The reverse: collects the pixels at columns pass.x0 + i * pass.dx of the full row src into
// the packed pass row dst; the unused low bits of a last partial byte are zero.
void gatherPixels(const uint8_t* src, uint8_t* dst, int count, const Adam7Pass& pass, int bitsPerPixel);

}  // namespace korvel::png
