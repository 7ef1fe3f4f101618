// Exact bytes of the eight row routines, against a plain per-byte model and the worked examples.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include "DIB/Source/cDIBRows.h"

namespace {

using Px = std::uint32_t;  // 0xAARRGGBB

std::uint8_t B(Px p, int k) { return static_cast<std::uint8_t>(p >> (8 * k)); }

Px Make(int b0, int b1, int b2, int b3) { return Px(b0) | Px(b1) << 8 | Px(b2) << 16 | Px(b3) << 24; }

unsigned Mix(unsigned s, unsigned d, unsigned a) { return (a * s + (255 - a) * d + 255) >> 8; }

enum Routine { kCopy, kOpacity, kMask, kMaskOpacity, kKeyed, kKeyedOpacity, kAlpha, kGrey };

// The per-pixel rule of each routine, written out one byte at a time.
Px Model(Routine r, Px s, Px d, unsigned o, Px key) {
  const bool keyed = (s & 0xFFFFFF) == (key & 0xFFFFFF);
  switch (r) {
    case kCopy: return s;
    case kOpacity:
    case kMask:
    case kMaskOpacity: {
      const unsigned a = r == kOpacity ? o : r == kMask ? B(s, 3) : (B(s, 3) * o) >> 8;
      return Make(Mix(B(s, 0), B(d, 0), a), Mix(B(s, 1), B(d, 1), a), Mix(B(s, 2), B(d, 2), a),
                  std::max(B(s, 3), B(d, 3)));
    }
    case kKeyed: return keyed ? d : (s & 0xFFFFFF);
    case kKeyedOpacity:
      return keyed ? d : Make(Mix(B(s, 0), B(d, 0), o), Mix(B(s, 1), B(d, 1), o), Mix(B(s, 2), B(d, 2), o), B(s, 3));
    case kAlpha: return (d & 0xFFFFFF) | (s & 0xFF000000);
    case kGrey: return Make(B(s, 3), B(s, 3), B(s, 3), B(s, 3));
  }
  return 0;
}

void RunRoutine(Routine r, const DIBRows::TRowBlock& b, unsigned o, Px key) {
  switch (r) {
    case kCopy: DIBRows::Copy(b); break;
    case kOpacity: DIBRows::BlendOpacity(b, std::uint8_t(o)); break;
    case kMask: DIBRows::BlendMask(b); break;
    case kMaskOpacity: DIBRows::BlendMaskOpacity(b, std::uint8_t(o)); break;
    case kKeyed: DIBRows::CopyKeyed(b, key); break;
    case kKeyedOpacity: DIBRows::BlendKeyedOpacity(b, key, std::uint8_t(o)); break;
    case kAlpha: DIBRows::CopyAlpha(b); break;
    case kGrey: DIBRows::MaskToGrey(b); break;
  }
}

Px RunOne(Routine r, Px s, Px d, unsigned o = 255, Px key = 0) {
  DIBRows::TRowBlock b{reinterpret_cast<const std::uint8_t*>(&s), reinterpret_cast<std::uint8_t*>(&d), 1, 1, 1, 1};
  RunRoutine(r, b, o, key);
  return d;
}

}  // namespace

TEST(DIBRows, WorkedExamples) {
  // 200 over 100 at opacity 128: (128*200 + 127*100 + 255) >> 8 = 150.
  EXPECT_EQ(RunOne(kOpacity, Make(200, 200, 200, 10), Make(100, 100, 100, 20), 128), Make(150, 150, 150, 20));
  // Full alpha reproduces the source exactly, alpha 0 keeps the target.
  EXPECT_EQ(RunOne(kMask, Make(1, 128, 254, 255), Make(9, 9, 9, 0)), Make(1, 128, 254, 255));
  EXPECT_EQ(RunOne(kMask, Make(1, 128, 254, 0), Make(9, 77, 200, 5)), Make(9, 77, 200, 5));
  // The mask is scaled by opacity, but the alpha byte takes the unscaled source alpha.
  EXPECT_EQ(RunOne(kMaskOpacity, Make(200, 0, 255, 200), Make(100, 100, 0, 3), 128),
            Make(Mix(200, 100, 100), Mix(0, 100, 100), Mix(255, 0, 100), 200));
  // Keyed: opaque copies colour with alpha 0; with opacity the source alpha is copied.
  EXPECT_EQ(RunOne(kKeyed, Make(1, 2, 3, 200), Make(9, 9, 9, 9), 255, 0x00FF00FF), Make(1, 2, 3, 0));
  EXPECT_EQ(RunOne(kKeyed, Make(0xFF, 0, 0xFF, 200), Make(9, 9, 9, 9), 255, 0x00FF00FF), Make(9, 9, 9, 9));
  EXPECT_EQ(RunOne(kKeyedOpacity, Make(200, 200, 200, 77), Make(100, 100, 100, 9), 128, 0), Make(150, 150, 150, 77));
  // The key compares colour only, never the alpha byte.
  EXPECT_EQ(RunOne(kKeyedOpacity, Make(5, 6, 7, 99), Make(1, 1, 1, 1), 10, 0xAB070605), Make(1, 1, 1, 1));
  EXPECT_EQ(RunOne(kAlpha, Make(1, 2, 3, 44), Make(9, 8, 7, 6)), Make(9, 8, 7, 44));
  EXPECT_EQ(RunOne(kGrey, Make(1, 2, 3, 44), Make(9, 8, 7, 6)), Make(44, 44, 44, 44));
}

// Every routine over blocks of awkward widths, inside larger bottom-up images with different
// strides: compared with the model byte for byte, and nothing outside the block is touched.
TEST(DIBRows, BlocksMatchModelAndStayInside) {
  std::mt19937 rng(1234);
  const Routine all[] = {kCopy, kOpacity, kMask, kMaskOpacity, kKeyed, kKeyedOpacity, kAlpha, kGrey};
  for (Routine r : all) {
    for (int pixels : {1, 2, 3, 7, 8, 15, 16, 17, 33, 64, 67}) {
      const int rows = 3, sw = pixels + 5, dw = pixels + 2;
      std::vector<Px> src(sw * (rows + 1)), dst(dw * (rows + 1));
      const Px key = 0x000000FF;
      for (auto& p : src) p = (rng() % 4 == 0) ? ((rng() & 0xFF000000u) | key) : rng();  // a quarter hit the key
      for (auto& p : dst) p = rng();
      const std::vector<Px> before = dst;
      const unsigned o = rng() % 256;
      // Top visual row of the block is stored row `rows`, column 2 of the source, 1 of the target.
      DIBRows::TRowBlock b{reinterpret_cast<const std::uint8_t*>(&src[rows * sw + 2]),
                           reinterpret_cast<std::uint8_t*>(&dst[rows * dw + 1]),
                           rows,
                           pixels - 2 > 0 ? pixels - 2 : 1,
                           sw,
                           dw};
      RunRoutine(r, b, o, key);
      for (int row = 0; row <= rows; ++row)
        for (int col = 0; col < dw; ++col) {
          const int i = row * dw + col;
          const bool inside = row >= 1 && col >= 1 && col < 1 + b.Pixels;
          const Px want = inside ? Model(r, src[row * sw + col + 1], before[i], o, key) : before[i];
          ASSERT_EQ(dst[i], want) << "routine " << r << " pixels " << pixels << " at " << col << "," << row;
        }
    }
  }
}
