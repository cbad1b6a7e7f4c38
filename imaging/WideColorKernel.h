#pragma once
// The matrix-shaper conversion for processors with AVX-512 byte permutes: 64 pixels at a time,
// the input curves as byte tables held in registers and the output curves as one quadratic per
// half octave of linear light, so no pixel waits on a table lookup in memory.
#include <array>
#include <cstdint>
#include <memory>

namespace korvel {

class WideColorKernel {
public:
    // Linear light in 15 bits, as the lookup kernel keeps it.
    static constexpr int kTop = 32767;
    using Matrix = std::array<std::array<double, 3>, 3>;
    // linear[c][v]: input level v of channel c (0 red, 1 green, 2 blue) in linear light, 0 to 1.
    using Linear = std::array<std::array<double, 256>, 3>;
    // levels[c][l]: output level of channel c, 0 to 255 and not rounded, for linear light l / kTop.
    using Levels = std::array<const float*, 3>;

    // Null when the processor lacks the instructions, when the matrix takes colours out of gamut
    // past four times white, or when an output curve bends too sharply near black for the
    // quadratics to follow it within a third of a level (a pure power curve may): the lookup
    // kernel converts then.
    static std::unique_ptr<const WideColorKernel> make(const Matrix& m, const Linear& linear, const Levels& levels);
    ~WideColorKernel();

    // `count` blue, green, red pixels `step` (3 or 4) bytes apart, in place; a fourth byte is kept
    // and nothing past the last pixel is touched.
    void convertRow(uint8_t* p, int count, int step) const noexcept;

    struct Tables;  // the kernel's constants

private:
    explicit WideColorKernel(std::unique_ptr<Tables> t);
    std::unique_ptr<Tables> t_;
};

}  // namespace korvel
