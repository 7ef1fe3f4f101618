#include "DIB/Source/cDIBRows.h"

#include <algorithm>
#include <cstring>

namespace DIBRows {
namespace {

// The blend of one colour byte. Both weights are at most 255, so the sum stays below 65 536 and
// the result below 256.
inline std::uint8_t Mix(unsigned s, unsigned d, unsigned a) {
  return static_cast<std::uint8_t>((a * s + (255u - a) * d + 255u) >> 8);
}

inline std::uint8_t Max(std::uint8_t a, std::uint8_t b) { return a > b ? a : b; }

// Runs fn(source row, target row, pixels) for every row of the block. The rows are handed over as
// restrict pointers so that the compiler may vectorise the per-row loops.
template <typename RowFn>
inline void ForEachRow(const TRowBlock& b, RowFn fn) {
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

inline std::uint32_t Colour(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16);
}

// Four pixels at a time in 16-bit lanes (GCC/Clang vector extensions: SSE2 on x86, NEON elsewhere,
// plain code where neither exists). Lanes 3, 7, 11 and 15 are the alpha bytes. These helpers are
// always inlined, so the wide vectors never cross a call (which is what -Wpsabi warns about).
#if defined(__GNUC__)
#pragma GCC diagnostic ignored "-Wpsabi"
#endif
using U8x16 = std::uint8_t __attribute__((vector_size(16)));
using U16x16 = std::uint16_t __attribute__((vector_size(32)));
using U32x4 = std::uint32_t __attribute__((vector_size(16)));

#define DIB_INLINE inline __attribute__((always_inline))

DIB_INLINE U8x16 Load(const std::uint8_t* p) {
  U8x16 v;
  std::memcpy(&v, p, 16);
  return v;
}

DIB_INLINE void Store(std::uint8_t* p, U8x16 v) { std::memcpy(p, &v, 16); }

DIB_INLINE U16x16 Widen(U8x16 v) { return __builtin_convertvector(v, U16x16); }
DIB_INLINE U8x16 Narrow(const U16x16& v) { return __builtin_convertvector(v, U8x16); }

constexpr U16x16 kAlphaLane = {0, 0, 0, 0xFFFF, 0, 0, 0, 0xFFFF, 0, 0, 0, 0xFFFF, 0, 0, 0, 0xFFFF};

// a*s + (255-a)*d + 255 rewritten as 255*d + a*(s-d) + 255: one multiply. The true sum lies in
// [0, 65 280], so computing it modulo 2^16 (where s - d may wrap) gives it exactly.
DIB_INLINE U16x16 MixLanes(const U16x16& s, const U16x16& d, const U16x16& a) {
  return ((d << 8) - d + a * (s - d) + 255) >> 8;
}

// Colour lanes blended with weight a (per lane), alpha lanes max(d, s).
DIB_INLINE U16x16 BlendLanes(const U16x16& s, const U16x16& d, const U16x16& a) {
  const U16x16 highest = s > d ? s : d;
  return (MixLanes(s, d, a) & ~kAlphaLane) | (highest & kAlphaLane);
}

// Each pixel's alpha byte copied into all four of its bytes.
DIB_INLINE U8x16 AlphaOfEachPixel(U8x16 s) {
  U32x4 w;
  std::memcpy(&w, &s, 16);
  w >>= 24;
  w |= (w << 8);
  w |= (w << 16);
  U8x16 r;
  std::memcpy(&r, &w, 16);
  return r;
}

// Runs quad over the row four pixels at a time, then single for the last one to three pixels.
template <typename Quad, typename Single>
DIB_INLINE void Quads(const std::uint8_t* __restrict s, std::uint8_t* __restrict d, int n, const Quad& quad,
                      const Single& single) {
  int i = 0;
  for (; i + 16 <= n * 4; i += 16) Store(d + i, quad(Load(s + i), Load(d + i)));
  for (; i < n * 4; i += 4) single(s + i, d + i);
}

DIB_INLINE U32x4 AsWords(U8x16 v) {
  U32x4 w;
  std::memcpy(&w, &v, 16);
  return w;
}

DIB_INLINE U8x16 AsBytes(U32x4 w) {
  U8x16 v;
  std::memcpy(&v, &w, 16);
  return v;
}

}  // namespace

void Copy(const TRowBlock& block) {
  ForEachRow(block, [](const std::uint8_t* s, std::uint8_t* d, int n) {
    std::memmove(d, s, static_cast<std::size_t>(n) * 4);
  });
}

void BlendOpacity(const TRowBlock& block, std::uint8_t opacity) {
  const unsigned o = opacity;
  ForEachRow(block, [o](const std::uint8_t* __restrict s, std::uint8_t* __restrict d, int n) {
    const U16x16 weight = U16x16{} + static_cast<std::uint16_t>(o);
    Quads(
        s, d, n, [weight](U8x16 sv, U8x16 dv) { return Narrow(BlendLanes(Widen(sv), Widen(dv), weight)); },
        [o](const std::uint8_t* sp, std::uint8_t* dp) {
          dp[0] = Mix(sp[0], dp[0], o);
          dp[1] = Mix(sp[1], dp[1], o);
          dp[2] = Mix(sp[2], dp[2], o);
          dp[3] = Max(dp[3], sp[3]);
        });
  });
}

void BlendMask(const TRowBlock& block) {
  ForEachRow(block, [](const std::uint8_t* __restrict s, std::uint8_t* __restrict d, int n) {
    Quads(
        s, d, n,
        [](U8x16 sv, U8x16 dv) { return Narrow(BlendLanes(Widen(sv), Widen(dv), Widen(AlphaOfEachPixel(sv)))); },
        [](const std::uint8_t* sp, std::uint8_t* dp) {
          const unsigned a = sp[3];
          dp[0] = Mix(sp[0], dp[0], a);
          dp[1] = Mix(sp[1], dp[1], a);
          dp[2] = Mix(sp[2], dp[2], a);
          dp[3] = Max(dp[3], sp[3]);
        });
  });
}

void BlendMaskOpacity(const TRowBlock& block, std::uint8_t opacity) {
  const unsigned o = opacity;
  ForEachRow(block, [o](const std::uint8_t* __restrict s, std::uint8_t* __restrict d, int n) {
    const U16x16 weight = U16x16{} + static_cast<std::uint16_t>(o);
    Quads(
        s, d, n,
        [weight](U8x16 sv, U8x16 dv) {
          return Narrow(BlendLanes(Widen(sv), Widen(dv), (Widen(AlphaOfEachPixel(sv)) * weight) >> 8));
        },
        [o](const std::uint8_t* sp, std::uint8_t* dp) {
          const unsigned a = (sp[3] * o) >> 8;
          dp[0] = Mix(sp[0], dp[0], a);
          dp[1] = Mix(sp[1], dp[1], a);
          dp[2] = Mix(sp[2], dp[2], a);
          dp[3] = Max(dp[3], sp[3]);
        });
  });
}

void CopyKeyed(const TRowBlock& block, std::uint32_t key) {
  key &= 0x00FFFFFFu;
  ForEachRow(block, [key](const std::uint8_t* __restrict s, std::uint8_t* __restrict d, int n) {
    int i = 0;
    for (; i + 16 <= n * 4; i += 16) {
      const U32x4 colour = AsWords(Load(s + i)) & 0x00FFFFFFu;
      const U32x4 isKey = colour == key;  // all ones where keyed out
      Store(d + i, AsBytes((AsWords(Load(d + i)) & isKey) | (colour & ~isKey)));
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

void BlendKeyedOpacity(const TRowBlock& block, std::uint32_t key, std::uint8_t opacity) {
  key &= 0x00FFFFFFu;
  const unsigned o = opacity;
  const U16x16 weight = U16x16{} + static_cast<std::uint16_t>(o);
  ForEachRow(block, [&](const std::uint8_t* __restrict s, std::uint8_t* __restrict d, int n) {
    Quads(
        s, d, n,
        [&](U8x16 sv, U8x16 dv) {
          const U16x16 s16 = Widen(sv), d16 = Widen(dv);
          const U8x16 blended = Narrow((MixLanes(s16, d16, weight) & ~kAlphaLane) | (s16 & kAlphaLane));
          // Keyed-out pixels keep the target.
          const U32x4 isKey = (AsWords(sv) & 0x00FFFFFFu) == key;
          return AsBytes((AsWords(dv) & isKey) | (AsWords(blended) & ~isKey));
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

void CopyAlpha(const TRowBlock& block) {
  ForEachRow(block, [](const std::uint8_t* __restrict s, std::uint8_t* __restrict d, int n) {
    int i = 0;
    for (; i + 16 <= n * 4; i += 16)
      Store(d + i, AsBytes((AsWords(Load(d + i)) & 0x00FFFFFFu) | (AsWords(Load(s + i)) & 0xFF000000u)));
    for (i += 3; i < n * 4; i += 4) d[i] = s[i];
  });
}

void MaskToGrey(const TRowBlock& block) {
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
