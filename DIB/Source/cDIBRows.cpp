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


// Two pixels at a time in 16-bit lanes (GCC/Clang vector extensions: SSE2 on x86, NEON elsewhere,
// plain code where neither exists). Lanes 3 and 7 are the alpha bytes.
using U8x8 = std::uint8_t __attribute__((vector_size(8)));
using U16x8 = std::uint16_t __attribute__((vector_size(16)));
using U32x4 = std::uint32_t __attribute__((vector_size(16)));

inline U16x8 Load8(const std::uint8_t* p)
{
    U8x8 v;
    std::memcpy(&v, p, 8);
    return __builtin_convertvector(v, U16x8);
}

inline void Store8(std::uint8_t* p, U16x8 v)
{
    const U8x8 b = __builtin_convertvector(v, U8x8);
    std::memcpy(p, &b, 8);
}

inline U32x4 Load32(const std::uint8_t* p)
{
    U32x4 v;
    std::memcpy(&v, p, 16);
    return v;
}

inline void Store32(std::uint8_t* p, U32x4 v) { std::memcpy(p, &v, 16); }

constexpr U16x8 kAlphaLane = {0, 0, 0, 0xFFFF, 0, 0, 0, 0xFFFF};

inline U16x8 MixLanes(U16x8 s, U16x8 d, U16x8 a)
{
    return (a * s + (255 - a) * d + 255) >> 8;
}

// Colour lanes blended with weight a (per lane), alpha lanes max(d, s).
inline U16x8 BlendLanes(U16x8 s, U16x8 d, U16x8 a)
{
    const U16x8 highest = s > d ? s : d;
    return (MixLanes(s, d, a) & ~kAlphaLane) | (highest & kAlphaLane);
}

inline U16x8 AlphaOfEachPixel(U16x8 s)
{
    return __builtin_shufflevector(s, s, 3, 3, 3, 3, 7, 7, 7, 7);
}

// Runs op over the row two pixels at a time, then scalar for an odd last pixel.
template <typename Pair, typename Single>
inline void Pairs(const std::uint8_t* __restrict s, std::uint8_t* __restrict d, int n, Pair pair, Single single)
{
    int i = 0;
    for (; i + 8 <= n * 4; i += 8)
        Store8(d + i, pair(Load8(s + i), Load8(d + i)));
    for (; i < n * 4; i += 4)
        single(s + i, d + i);
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
        const U16x8 weight = U16x8{} + static_cast<std::uint16_t>(o);
        Pairs(s, d, n, [weight](U16x8 sv, U16x8 dv) { return BlendLanes(sv, dv, weight); },
              [o](const std::uint8_t* sp, std::uint8_t* dp) {
                  dp[0] = Mix(sp[0], dp[0], o);
                  dp[1] = Mix(sp[1], dp[1], o);
                  dp[2] = Mix(sp[2], dp[2], o);
                  dp[3] = Max(dp[3], sp[3]);
              });
    });
}

void BlendMask(const TRowBlock& block)
{
    ForEachRow(block, [](const std::uint8_t* __restrict s, std::uint8_t* __restrict d, int n) {
        Pairs(s, d, n, [](U16x8 sv, U16x8 dv) { return BlendLanes(sv, dv, AlphaOfEachPixel(sv)); },
              [](const std::uint8_t* sp, std::uint8_t* dp) {
                  const unsigned a = sp[3];
                  dp[0] = Mix(sp[0], dp[0], a);
                  dp[1] = Mix(sp[1], dp[1], a);
                  dp[2] = Mix(sp[2], dp[2], a);
                  dp[3] = Max(dp[3], sp[3]);
              });
    });
}

void BlendMaskOpacity(const TRowBlock& block, std::uint8_t opacity)
{
    const unsigned o = opacity;
    ForEachRow(block, [o](const std::uint8_t* __restrict s, std::uint8_t* __restrict d, int n) {
        const U16x8 weight = U16x8{} + static_cast<std::uint16_t>(o);
        Pairs(s, d, n,
              [weight](U16x8 sv, U16x8 dv) { return BlendLanes(sv, dv, (AlphaOfEachPixel(sv) * weight) >> 8); },
              [o](const std::uint8_t* sp, std::uint8_t* dp) {
                  const unsigned a = (sp[3] * o) >> 8;
                  dp[0] = Mix(sp[0], dp[0], a);
                  dp[1] = Mix(sp[1], dp[1], a);
                  dp[2] = Mix(sp[2], dp[2], a);
                  dp[3] = Max(dp[3], sp[3]);
              });
    });
}

void CopyKeyed(const TRowBlock& block, std::uint32_t key)
{
    key &= 0x00FFFFFFu;
    ForEachRow(block, [key](const std::uint8_t* __restrict s, std::uint8_t* __restrict d, int n) {
        int i = 0;
        for (; i + 16 <= n * 4; i += 16) {
            const U32x4 colour = Load32(s + i) & 0x00FFFFFFu;
            const U32x4 isKey = colour == key;  // all ones where keyed out
            Store32(d + i, (Load32(d + i) & isKey) | (colour & ~isKey));
        }
        for (; i < n * 4; i += 4) {
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
    const U16x8 weight = U16x8{} + static_cast<std::uint16_t>(o);
    const std::uint16_t k0 = key & 0xFF, k1 = (key >> 8) & 0xFF, k2 = (key >> 16) & 0xFF;
    const U16x8 keyLanes = {k0, k1, k2, 0, k0, k1, k2, 0};
    ForEachRow(block, [&](const std::uint8_t* __restrict s, std::uint8_t* __restrict d, int n) {
        Pairs(s, d, n,
              [&](U16x8 sv, U16x8 dv) {
                  const U16x8 blended = (MixLanes(sv, dv, weight) & ~kAlphaLane) | (sv & kAlphaLane);
                  // A pixel is keyed out when all four of its lanes agree (alpha compared as 0 == 0).
                  U16x8 same = (sv & ~kAlphaLane) == keyLanes;
                  same &= __builtin_shufflevector(same, same, 1, 0, 3, 2, 5, 4, 7, 6);
                  same &= __builtin_shufflevector(same, same, 2, 3, 0, 1, 6, 7, 4, 5);
                  return (dv & same) | (blended & ~same);
              },
              [&](const std::uint8_t* sp, std::uint8_t* dp) {
                  if (Colour(sp) != key) {
                      dp[0] = Mix(sp[0], dp[0], o);
                      dp[1] = Mix(sp[1], dp[1], o);
                      dp[2] = Mix(sp[2], dp[2], o);
                      dp[3] = sp[3];
                  }
              });
    });
}

void CopyAlpha(const TRowBlock& block)
{
    ForEachRow(block, [](const std::uint8_t* __restrict s, std::uint8_t* __restrict d, int n) {
        int i = 0;
        for (; i + 16 <= n * 4; i += 16)
            Store32(d + i, (Load32(d + i) & 0x00FFFFFFu) | (Load32(s + i) & 0xFF000000u));
        for (i += 3; i < n * 4; i += 4)
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
