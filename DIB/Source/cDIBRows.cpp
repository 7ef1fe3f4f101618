#include "DIB/Source/cDIBRows.h"

#include <algorithm>
#include <cstring>

namespace DIBRows {
namespace {

// The blend of one colour byte. Both weights are at most 255, so the sum stays below 65 536 and
// the result below 256.
inline std::uint8_t Mix(unsigned s, unsigned d, unsigned a)
{
    return static_cast<std::uint8_t>((a * s + (255u - a) * d + 255u) >> 8);
}

inline std::uint8_t Max(std::uint8_t a, std::uint8_t b) { return a > b ? a : b; }

// Runs fn(source row, target row, pixels) for every row of the block. The rows are handed over as
// restrict pointers so that the compiler may vectorise the per-row loops.
template <typename RowFn>
inline void ForEachRow(const TRowBlock& b, RowFn fn)
{
    const std::uint8_t* s = b.Source;
    std::uint8_t* d = b.Target;
    const std::ptrdiff_t sStep = static_cast<std::ptrdiff_t>(b.SourceWidth) * 4;
    const std::ptrdiff_t dStep = static_cast<std::ptrdiff_t>(b.TargetWidth) * 4;
    for (int row = 0; row < b.Rows; ++row) {
        fn(s, d, b.Pixels);
        s -= sStep;
        d -= dStep;
    }
}

inline std::uint32_t Colour(const std::uint8_t* p)
{
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16);
}

}  // namespace

void Copy(const TRowBlock& block)
{
    ForEachRow(block, [](const std::uint8_t* s, std::uint8_t* d, int n) {
        std::memmove(d, s, static_cast<std::size_t>(n) * 4);
    });
}

void BlendOpacity(const TRowBlock& block, std::uint8_t opacity)
{
    const unsigned o = opacity;
    ForEachRow(block, [o](const std::uint8_t* __restrict s, std::uint8_t* __restrict d, int n) {
        for (int i = 0; i < n * 4; i += 4) {
            d[i + 0] = Mix(s[i + 0], d[i + 0], o);
            d[i + 1] = Mix(s[i + 1], d[i + 1], o);
            d[i + 2] = Mix(s[i + 2], d[i + 2], o);
            d[i + 3] = Max(d[i + 3], s[i + 3]);
        }
    });
}

void BlendMask(const TRowBlock& block)
{
    ForEachRow(block, [](const std::uint8_t* __restrict s, std::uint8_t* __restrict d, int n) {
        for (int i = 0; i < n * 4; i += 4) {
            const unsigned a = s[i + 3];
            d[i + 0] = Mix(s[i + 0], d[i + 0], a);
            d[i + 1] = Mix(s[i + 1], d[i + 1], a);
            d[i + 2] = Mix(s[i + 2], d[i + 2], a);
            d[i + 3] = Max(d[i + 3], s[i + 3]);
        }
    });
}

void BlendMaskOpacity(const TRowBlock& block, std::uint8_t opacity)
{
    const unsigned o = opacity;
    ForEachRow(block, [o](const std::uint8_t* __restrict s, std::uint8_t* __restrict d, int n) {
        for (int i = 0; i < n * 4; i += 4) {
            const unsigned a = (s[i + 3] * o) >> 8;
            d[i + 0] = Mix(s[i + 0], d[i + 0], a);
            d[i + 1] = Mix(s[i + 1], d[i + 1], a);
            d[i + 2] = Mix(s[i + 2], d[i + 2], a);
            d[i + 3] = Max(d[i + 3], s[i + 3]);
        }
    });
}

void CopyKeyed(const TRowBlock& block, std::uint32_t key)
{
    key &= 0x00FFFFFFu;
    ForEachRow(block, [key](const std::uint8_t* __restrict s, std::uint8_t* __restrict d, int n) {
        for (int i = 0; i < n * 4; i += 4) {
            if (Colour(s + i) != key) {
                d[i + 0] = s[i + 0];
                d[i + 1] = s[i + 1];
                d[i + 2] = s[i + 2];
                d[i + 3] = 0;
            }
        }
    });
}

void BlendKeyedOpacity(const TRowBlock& block, std::uint32_t key, std::uint8_t opacity)
{
    key &= 0x00FFFFFFu;
    const unsigned o = opacity;
    ForEachRow(block, [key, o](const std::uint8_t* __restrict s, std::uint8_t* __restrict d, int n) {
        for (int i = 0; i < n * 4; i += 4) {
            if (Colour(s + i) != key) {
                d[i + 0] = Mix(s[i + 0], d[i + 0], o);
                d[i + 1] = Mix(s[i + 1], d[i + 1], o);
                d[i + 2] = Mix(s[i + 2], d[i + 2], o);
                d[i + 3] = s[i + 3];
            }
        }
    });
}

void CopyAlpha(const TRowBlock& block)
{
    ForEachRow(block, [](const std::uint8_t* __restrict s, std::uint8_t* __restrict d, int n) {
        for (int i = 3; i < n * 4; i += 4)
            d[i] = s[i];
    });
}

void MaskToGrey(const TRowBlock& block)
{
    ForEachRow(block, [](const std::uint8_t* __restrict s, std::uint8_t* __restrict d, int n) {
        for (int i = 0; i < n * 4; i += 4) {
            const std::uint8_t a = s[i + 3];
            d[i + 0] = a;
            d[i + 1] = a;
            d[i + 2] = a;
            d[i + 3] = a;
        }
    });
}

}  // namespace DIBRows
