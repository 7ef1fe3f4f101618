// Stored "Data" bytes: container, registry, the run-length and LZH codecs, hostile containers.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "DIB/Source/DIBErrors.h"
#include "DIB/Source/DIBLZH.h"
#include "DIB/Source/DIBStream.h"
#include "DIB/Source/cDIBCompressor.h"
#include "DIB/Source/cDIBStandardCompressors.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

const std::string kRLE = "{CABA9056-7349-43A4-B010-3764FBFAC230}";
const std::string kLZH = "{BC0C10FC-E045-41E7-A37C-B86AF21320B8}";

// Restores "no active codec" after each test.
class Container : public ::testing::Test {
 protected:
  void TearDown() override { SetActiveCompressor(nullptr); }
};

Bytes Payload(std::uint16_t width, std::uint16_t height, unsigned seed) {
  Bytes b(4 + 4u * width * height);
  b[0] = static_cast<std::uint8_t>(width);
  b[1] = static_cast<std::uint8_t>(width >> 8);
  b[2] = static_cast<std::uint8_t>(height);
  b[3] = static_cast<std::uint8_t>(height >> 8);
  std::mt19937 rng(seed);
  for (std::size_t p = 0; p < std::size_t(width) * height; ++p) {
    const std::size_t x = p % width, y = p / width;
    std::uint8_t* px = &b[4 + 4 * p];
    const bool flat = (x / 16 + y / 8) % 3 == 0;
    px[0] = flat ? 0x40 : static_cast<std::uint8_t>(x * 255 / width);
    px[1] = flat ? 0x40 : static_cast<std::uint8_t>(y * 255 / height + rng() % 3);
    px[2] = static_cast<std::uint8_t>((x + y) / 4);
    px[3] = 0xFF;
  }
  return b;
}

Bytes Store(const Bytes& payload) {
  TDIBMemoryStream source(payload.data(), payload.size()), target;
  CompressStream(nullptr, source, target);
  return target.TakeBytes();
}

Bytes Load(const Bytes& data, bool* handled = nullptr) {
  TDIBMemoryStream source(data.data(), data.size()), target;
  bool h = true;
  DecompressStream(nullptr, source, target, h);
  if (handled) *handled = h;
  return target.TakeBytes();
}

Bytes Header(const std::string& guidText, std::uint32_t length) {
  TDIBGUID guid;
  EXPECT_TRUE(TDIBGUID::FromString(guidText, guid));
  Bytes b = {'D', 'I', 'B', 'C', 'M', 'P'};
  const auto g = guid.ToBytes();
  b.insert(b.end(), g.begin(), g.end());
  for (int i = 0; i < 4; ++i) b.push_back(static_cast<std::uint8_t>(length >> (8 * i)));
  return b;
}

}  // namespace

TEST(DIBGUID, TextAndStoredBytes) {
  TDIBGUID g;
  ASSERT_TRUE(TDIBGUID::FromString("{bc0c10fc-e045-41e7-a37c-b86af21320b8}", g));
  EXPECT_EQ(g.ToString(), kLZH);
  EXPECT_EQ(g, TLZHDIBCompressor::GUID);
  const auto b = g.ToBytes();
  const Bytes expected = {0xFC, 0x10, 0x0C, 0xBC, 0x45, 0xE0, 0xE7, 0x41,
                          0xA3, 0x7C, 0xB8, 0x6A, 0xF2, 0x13, 0x20, 0xB8};
  EXPECT_EQ(Bytes(b.begin(), b.end()), expected);
  EXPECT_EQ(TDIBGUID::FromBytes(b.data()), g);
  for (const char* bad : {"", "BC0C10FC-E045-41E7-A37C-B86AF21320B8", "{BC0C10FC-E045-41E7-A37C-B86AF21320BX}",
                          "{BC0C10FCE-045-41E7-A37C-B86AF21320B8}"})
    EXPECT_FALSE(TDIBGUID::FromString(bad, g)) << bad;
}

TEST(DIBRegistry, StandardCodecsAndLookup) {
  TAbstractDIBCompressor* rle = FindCompressor(kRLE);
  TAbstractDIBCompressor* lzh = FindCompressor(kLZH);
  ASSERT_NE(rle, nullptr);
  ASSERT_NE(lzh, nullptr);
  EXPECT_EQ(rle->GetName(), "Shuffle4 RLE");
  EXPECT_EQ(lzh->GetName(), "DIB LZH");
  EXPECT_NE(rle->GetDescription().find("in order to create higher repitition,\r\n"), std::string::npos);
  EXPECT_EQ(lzh->GetDescription().substr(0, 48), "Uses LZH compression to compress the graphics,\r\n");
  EXPECT_TRUE(lzh->AcceptsGUID(TLZHDIBCompressor::GUID));
  EXPECT_FALSE(lzh->AcceptsGUID(TRLEDIBCompressor::GUID));
  // Exact, case-sensitive text.
  EXPECT_EQ(FindCompressor("{bc0c10fc-e045-41e7-a37c-b86af21320b8}"), nullptr);
  EXPECT_EQ(FindCompressor(""), nullptr);
  EXPECT_EQ(ActiveCompressor(), nullptr);
}

TEST(Shuffle4, PlanesAndTail) {
  const Bytes in = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
  Bytes shuffled(in.size()), back(in.size());
  DIBShuffle4(in.data(), shuffled.data(), 10);
  EXPECT_EQ(shuffled, (Bytes{1, 5, 2, 6, 3, 7, 4, 8, 0, 0}));
  DIBUnshuffle4(shuffled.data(), back.data(), 10);
  EXPECT_EQ(back, (Bytes{1, 2, 3, 4, 5, 6, 7, 8, 0, 0}));
}

TEST(RLECodec, Runs) {
  TRLEDIBCompressor rle;
  // An all-zero 10 x 10 image: width byte, 201 zeros, height byte, 201 zeros.
  Bytes zero = Payload(10, 10, 0);
  std::fill(zero.begin() + 4, zero.end(), 0);
  Bytes out(zero.size());
  ASSERT_EQ(rle.Compress(nullptr, zero.data(), 404, out.data()), 8u);
  EXPECT_EQ(Bytes(out.begin(), out.begin() + 8), (Bytes{0x01, 0x0A, 0xC9, 0x00, 0x01, 0x0A, 0xC9, 0x00}));

  // A run of 255 stops there; the next run starts fresh even with the same value.
  Bytes plane(1200, 7);
  for (std::size_t g = 255; g < 300; ++g) plane[g] = 9;  // first plane: 255 x 7, 45 x 9
  Bytes shuffledBack(plane.size());
  DIBUnshuffle4(plane.data(), shuffledBack.data(), 1200);  // so that Compress sees `plane` shuffled
  out.assign(plane.size(), 0);
  const std::uint32_t n = rle.Compress(nullptr, shuffledBack.data(), 1200, out.data());
  ASSERT_GE(n, 6u);
  EXPECT_EQ(Bytes(out.begin(), out.begin() + 6), (Bytes{255, 7, 45, 9, 255, 7}));
  Bytes back(1200);
  bool handled = true;
  rle.Decompress(nullptr, rle.GUID, handled, 1200, n, back.data(), out.data());
  EXPECT_FALSE(handled);
  EXPECT_EQ(back, shuffledBack);

  // All runs of length 1: more pairs than the budget allows.
  Bytes distinct(256);
  for (int i = 0; i < 256; ++i) distinct[i] = static_cast<std::uint8_t>(i * 37);
  out.assign(256, 0);
  EXPECT_EQ(rle.Compress(nullptr, distinct.data(), 256, out.data()), 0u);
}

TEST_F(Container, RoundTripsWithEveryCodecAndWithout) {
  const Bytes payloads[] = {Payload(1, 1, 1), Payload(16, 30, 2), Payload(160, 30, 3), Payload(415, 200, 4)};
  for (const char* guid : {"", kRLE.c_str(), kLZH.c_str(), "{00000000-0000-0000-0000-000000000000}"}) {
    SetActiveCompressor(FindCompressor(guid));
    for (const Bytes& payload : payloads) {
      const Bytes data = Store(payload);
      const bool packed = data.size() >= 26 && std::memcmp(data.data(), "DIBCMP", 6) == 0;
      if (ActiveCompressor() == nullptr || payload.size() == 8) {
        EXPECT_EQ(data, payload);  // bare payload; 8 bytes never compress
      } else if (packed) {
        EXPECT_LE(data.size(), payload.size() + 26);
      }
      bool handled = true;
      EXPECT_EQ(Load(data, &handled), payload) << guid << " " << payload.size();
      EXPECT_FALSE(handled);
    }
  }
  // The large picture really is stored as a container by both codecs.
  for (const std::string& guid : {kRLE, kLZH}) {
    SetActiveCompressor(FindCompressor(guid));
    const Bytes data = Store(payloads[3]);
    ASSERT_GT(data.size(), 26u);
    EXPECT_EQ(Bytes(data.begin(), data.begin() + 26), Header(guid, static_cast<std::uint32_t>(payloads[3].size())));
  }
}

TEST_F(Container, ShortOrUnmarkedDataIsAPayload) {
  // Shorter than a header, even when it starts with the magic: copied as it is.
  const Bytes shortData = {'D', 'I', 'B', 'C', 'M', 'P', 1, 2, 3};
  EXPECT_EQ(Load(shortData), shortData);
  const Bytes unmarked(100, 0x55);
  EXPECT_EQ(Load(unmarked), unmarked);
  EXPECT_EQ(Load({}), Bytes{});
}

TEST_F(Container, HostileContainers) {
  // Unknown codec.
  Bytes unknown = Header("{01234567-89AB-CDEF-0123-456789ABCDEF}", 8);
  unknown.resize(40);
  try {
    Load(unknown);
    ADD_FAILURE();
  } catch (const EDIBCompressError& e) {
    EXPECT_STREQ(e.what(), "Could not find a suitable decompressor.");
  }
  // Gigabytes declared over a few bytes: refused before any allocation, for both codecs.
  for (const std::string& guid : {kRLE, kLZH}) {
    Bytes huge = Header(guid, 0xFFFFFFF0u);
    huge.insert(huge.end(), {0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00});
    EXPECT_THROW(Load(huge), EDIBCompressError) << guid;
  }
  // Two gigabytes declared over many packed bytes: still more than
  // any image holds, so nothing is allocated for it.
  Bytes large = Header(kRLE, 0x7FFFFF00u);
  large.resize(large.size() + (0x7FFFFF00u / 128 + 2), 0xFF);
  try {
    Load(large);
    ADD_FAILURE();
  } catch (const EDIBCompressError& e) {
    EXPECT_NE(std::string(e.what()).find("more than any image holds"), std::string::npos) << e.what();
  }
  // A declared length of 0 (found by fuzzing): an empty payload, and no codec touches a null block.
  for (const std::string& guid : {kRLE, kLZH}) {
    Bytes empty = Header(guid, 0);
    empty.insert(empty.end(), {0x00, 0x58, 0x00, 0x00, 0xF9, 0x00, 0xFE});
    EXPECT_EQ(Load(empty), Bytes{}) << guid;
  }
  // Codec output shorter than declared: the rest is zero.
  Bytes rle = Header(kRLE, 12);
  rle.insert(rle.end(), {2, 0xAA, 3});  // two bytes of plane 0, then an odd trailing byte
  EXPECT_EQ(Load(rle), (Bytes{0xAA, 0, 0, 0, 0xAA, 0, 0, 0, 0, 0, 0, 0}));
  // An LZH stream declaring fewer bytes than the container: the rest is zero.
  SetActiveCompressor(FindCompressor(kLZH));
  const Bytes payload = Payload(16, 30, 9);
  Bytes data = Store(payload);
  ASSERT_GT(data.size(), 30u);
  data[22] = static_cast<std::uint8_t>(payload.size() + 40);  // container now claims 40 more bytes
  const Bytes loaded = Load(data);
  ASSERT_EQ(loaded.size(), payload.size() + 40);
  EXPECT_TRUE(std::equal(payload.begin(), payload.end(), loaded.begin()));
  EXPECT_EQ(Bytes(loaded.end() - 40, loaded.end()), Bytes(40, 0));
  // Truncated codec output still gives the declared length (missing bits read as zeros).
  data = Store(payload);
  data.resize(data.size() - 20);
  EXPECT_EQ(Load(data).size(), payload.size());
}

TEST_F(Container, PackedBytesCutShortDecodeAsZeros) {
  // Far more declared than any codec expands a few bytes to: still decoded, the rest zero.
  const Bytes payload = Payload(64, 64, 3);
  for (const std::string& guid : {kRLE, kLZH}) {
    SetActiveCompressor(FindCompressor(guid));
    Bytes data = Store(payload);
    ASSERT_GT(data.size(), 26u + 4u) << guid;
    for (std::size_t kept : {std::size_t{0}, std::size_t{1}, std::size_t{4}}) {
      Bytes cut(data.begin(), data.begin() + 26 + kept);
      Bytes loaded;
      ASSERT_NO_THROW(loaded = Load(cut)) << guid << " " << kept;
      EXPECT_EQ(loaded.size(), payload.size()) << guid << " " << kept;
    }
  }
}

TEST(LZHCodec, RefusalsStoreUncompressed) {
  TLZHDIBCompressor lzh;
  Bytes noise(64);
  std::mt19937 rng(11);
  for (auto& b : noise) b = static_cast<std::uint8_t>(rng());
  Bytes out(noise.size());
  EXPECT_EQ(lzh.Compress(nullptr, noise.data(), 64, out.data()), 0u);
  // Accepted by the encoder (7 bytes of bit stream) but 11 bytes do not fit in 7.
  const Bytes fits = {'t', 'u', 'v', 'w', 'x', 'y', 'z'};
  out.assign(7, 0);
  EXPECT_EQ(lzh.Compress(nullptr, fits.data(), 7, out.data()), 0u);
}
