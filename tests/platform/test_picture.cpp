// Picture files: PNG round trips, the BMP variants, and hostile files.
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "platform/Picture.h"

namespace plat {
namespace {

std::vector<uint8_t> Pixels(int w, int h) {
  std::vector<uint8_t> p(size_t(w) * h * 4);
  for (size_t i = 0; i < p.size(); ++i) p[i] = uint8_t(i * 37 + 11);
  return p;
}

void Put16(std::vector<uint8_t>& v, size_t at, uint32_t x) {
  v[at] = uint8_t(x);
  v[at + 1] = uint8_t(x >> 8);
}
void Put32(std::vector<uint8_t>& v, size_t at, uint32_t x) {
  for (int i = 0; i < 4; ++i) v[at + i] = uint8_t(x >> (8 * i));
}

// A BMP with the 40-byte header; `rows` are file rows as stored (bottom-up unless height < 0).
std::vector<uint8_t> Bmp(int32_t w, int32_t h, int bpp, const std::vector<uint8_t>& palette,
                         const std::vector<uint8_t>& rows, uint32_t colorsUsed = 0) {
  std::vector<uint8_t> v(54 + palette.size());
  v[0] = 'B';
  v[1] = 'M';
  Put32(v, 10, uint32_t(v.size()));
  Put32(v, 14, 40);
  Put32(v, 18, uint32_t(w));
  Put32(v, 22, uint32_t(h));
  Put16(v, 26, 1);
  Put16(v, 28, uint32_t(bpp));
  Put32(v, 46, colorsUsed);
  if (!palette.empty()) std::memcpy(v.data() + 54, palette.data(), palette.size());
  v.insert(v.end(), rows.begin(), rows.end());
  Put32(v, 2, uint32_t(v.size()));
  return v;
}

uint32_t Crc32(const uint8_t* p, size_t n) {
  uint32_t c = 0xFFFFFFFFu;
  for (size_t i = 0; i < n; ++i) {
    c ^= p[i];
    for (int k = 0; k < 8; ++k) c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1)));
  }
  return ~c;
}

TEST(Picture, PngRoundTripKeepsPixelsAndAlpha) {
  for (bool alpha : {true, false}) {
    const int w = 7, h = 5;
    auto px = Pixels(w, h);
    std::vector<uint8_t> png;
    ASSERT_EQ(EncodePng(px.data(), w, h, alpha, &png), Status::Ok);
    Picture pic;
    ASSERT_EQ(LoadPictureFromMemory(png.data(), png.size(), &pic), Status::Ok);
    EXPECT_EQ(pic.width, w);
    EXPECT_EQ(pic.height, h);
    EXPECT_EQ(pic.hasAlpha, alpha);
    for (size_t i = 0; i < px.size(); ++i) {
      const uint8_t want = (i % 4 == 3 && !alpha) ? 255 : px[i];
      ASSERT_EQ(pic.pixels[i], want) << "byte " << i << (alpha ? " rgba" : " rgb");
    }
  }
  const std::string path = ::testing::TempDir() + "/kestrune_roundtrip.png";
  auto px = Pixels(3, 3);
  ASSERT_EQ(SavePng(path, px.data(), 3, 3, true), Status::Ok);
  Picture pic;
  ASSERT_EQ(LoadPicture(path, &pic), Status::Ok);
  EXPECT_EQ(pic.pixels, px);
  EXPECT_EQ(LoadPicture(path + ".missing", &pic), Status::IoError);
  EXPECT_EQ(SavePng("/nonexistent-dir/x.png", px.data(), 3, 3, true), Status::IoError);
}

TEST(Picture, BmpVariantsDecodeToBottomUpBgra) {
  // 24 bits, 3 x 2, rows padded to 4 bytes; bottom row first in the file.
  std::vector<uint8_t> rows24 = {1, 2, 3, 4, 5, 6, 7, 8, 9, 0, 0, 0, 10, 11, 12, 13, 14, 15, 16, 17, 18, 0, 0, 0};
  Picture p;
  auto file = Bmp(3, 2, 24, {}, rows24);
  ASSERT_EQ(LoadPictureFromMemory(file.data(), file.size(), &p), Status::Ok);
  EXPECT_FALSE(p.hasAlpha);
  EXPECT_EQ(p.pixels, (std::vector<uint8_t>{1,  2,  3,  255, 4,  5,  6,  255, 7,  8,  9,  255,
                                            10, 11, 12, 255, 13, 14, 15, 255, 16, 17, 18, 255}));
  // Top-down (negative height) ends up bottom-up as well.
  file = Bmp(3, -2, 24, {}, rows24);
  ASSERT_EQ(LoadPictureFromMemory(file.data(), file.size(), &p), Status::Ok);
  EXPECT_EQ(p.pixels[0], 10);
  // 32 bits: alpha from the file.
  file = Bmp(1, 1, 32, {}, {1, 2, 3, 4});
  ASSERT_EQ(LoadPictureFromMemory(file.data(), file.size(), &p), Status::Ok);
  EXPECT_TRUE(p.hasAlpha);
  EXPECT_EQ(p.pixels, (std::vector<uint8_t>{1, 2, 3, 4}));
  // 1 bit over more than one byte, two palette entries.
  file = Bmp(9, 1, 1, {0, 0, 0, 0, 255, 255, 255, 0}, {0b10100000, 0b10000000, 0, 0}, 2);
  ASSERT_EQ(LoadPictureFromMemory(file.data(), file.size(), &p), Status::Ok);
  std::vector<uint8_t> blue;
  for (int x = 0; x < 9; ++x) blue.push_back(p.pixels[x * 4]);
  EXPECT_EQ(blue, (std::vector<uint8_t>{255, 0, 255, 0, 0, 0, 0, 0, 255}));
  // 8 bits with a short palette: indices beyond it are black.
  file = Bmp(2, 1, 8, {9, 8, 7, 0}, {0, 200, 0, 0}, 1);
  ASSERT_EQ(LoadPictureFromMemory(file.data(), file.size(), &p), Status::Ok);
  EXPECT_EQ(p.pixels, (std::vector<uint8_t>{9, 8, 7, 255, 0, 0, 0, 255}));
  // 16 bits, five bits per channel: full red.
  file = Bmp(1, 1, 16, {}, {0x00, 0x7C, 0, 0});
  ASSERT_EQ(LoadPictureFromMemory(file.data(), file.size(), &p), Status::Ok);
  EXPECT_EQ(p.pixels, (std::vector<uint8_t>{0, 0, 255, 255}));
}

TEST(Picture, HostileFilesAnswerAnErrorNeverACrash) {
  auto px = Pixels(6, 4);
  std::vector<uint8_t> png;
  ASSERT_EQ(EncodePng(px.data(), 6, 4, true, &png), Status::Ok);
  auto bmp = Bmp(3, 2, 24, {}, std::vector<uint8_t>(24, 1));
  Picture p;
  // Every truncation.
  for (size_t n = 0; n < png.size(); ++n)
    EXPECT_NE(LoadPictureFromMemory(png.data(), n, &p), Status::Ok) << "png cut at " << n;
  for (size_t n = 0; n < bmp.size(); ++n)
    EXPECT_NE(LoadPictureFromMemory(bmp.data(), n, &p), Status::Ok) << "bmp cut at " << n;
  EXPECT_TRUE(p.pixels.empty());

  struct Case {
    const char* what;
    std::vector<uint8_t> file;
    Status expected;
  };
  auto withField = [&](size_t at, uint32_t value) {
    auto f = bmp;
    Put32(f, at, value);
    return f;
  };
  auto pngHuge = png;
  pngHuge[16] = 0x00, pngHuge[17] = 0x01, pngHuge[18] = 0x86, pngHuge[19] = 0xA0;  // width 100000
  Put32(pngHuge, 29, 0);
  const uint32_t crc = Crc32(pngHuge.data() + 12, 17);
  for (int i = 0; i < 4; ++i) pngHuge[29 + i] = uint8_t(crc >> (24 - 8 * i));
  std::vector<Case> cases = {
      {"bmp huge width", withField(18, 100000), Status::TooLarge},
      {"bmp huge area",
       [&] {
         auto f = withField(18, 16000);
         Put32(f, 22, 16000);
         return f;
       }(),
       Status::TooLarge},
      {"bmp size beyond file", withField(18, 1000), Status::BadFormat},
      {"bmp zero width", withField(18, 0), Status::BadFormat},
      {"bmp negative width", withField(18, uint32_t(-3)), Status::BadFormat},
      {"bmp most negative height", withField(22, 0x80000000u), Status::TooLarge},
      {"bmp pixels offset beyond file", withField(10, 0xFFFFFFF0u), Status::BadFormat},
      {"bmp header beyond file", withField(14, 0x7FFFFFFFu), Status::BadFormat},
      {"bmp run-length", withField(30, 1), Status::Unsupported},
      {"bmp 8-bit with 1000 colours",
       [&] {
         auto f = Bmp(2, 1, 8, {}, {0, 0, 0, 0});
         Put32(f, 46, 1000);
         return f;
       }(),
       Status::BadFormat},
      {"png huge width", pngHuge, Status::TooLarge},
      {"not a picture", {'G', 'I', 'F', '8', '9', 'a', 0, 0}, Status::BadFormat},
  };
  for (const Case& c : cases) EXPECT_EQ(LoadPictureFromMemory(c.file.data(), c.file.size(), &p), c.expected) << c.what;

  // Random corruption of a valid PNG: any answer but a crash or an overrun.
  std::mt19937 rng(7);
  for (int round = 0; round < 300; ++round) {
    auto f = png;
    for (int k = 0; k < 3; ++k) f[8 + rng() % (f.size() - 8)] ^= uint8_t(1 + rng() % 255);
    LoadPictureFromMemory(f.data(), f.size(), &p);
  }
}

}  // namespace
}  // namespace plat
