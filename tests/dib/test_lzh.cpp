// LZH codec: exact streams for small inputs, refusals, and round trips over varied data.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "DIB/Source/DIBErrors.h"
#include "DIB/Source/DIBLZH.h"
#include "DIB/Source/DIBStream.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes ToBytes(const std::string& s) { return Bytes(s.begin(), s.end()); }

Bytes Encode(const Bytes& input, std::uint32_t* reported = nullptr) {
  TDIBMemoryStream in(input.data(), input.size()), out;
  TLZHStream lzh(in, out);
  const std::uint32_t n = lzh.Encode(static_cast<std::uint32_t>(input.size()));
  if (reported) *reported = n;
  return out.TakeBytes();
}

Bytes Decode(const Bytes& stream, std::uint32_t* reported = nullptr) {
  TDIBMemoryStream in(stream.data(), stream.size()), out;
  TLZHStream lzh(in, out);
  const std::uint32_t n = lzh.Decode();
  if (reported) *reported = n;
  return out.TakeBytes();
}

// Literal-heavy data that still repeats now and then, so both symbol kinds keep the tree busy.
Bytes Mixed(std::size_t size, unsigned seed) {
  std::mt19937 rng(seed);
  Bytes b(size);
  for (std::size_t i = 0; i < size; ++i) {
    const unsigned r = rng() % 100;
    if (r < 60 || i < 64)
      b[i] = static_cast<std::uint8_t>('a' + rng() % 16);
    else if (r < 90)
      b[i] = b[i - 1 - rng() % 48];
    else
      b[i] = static_cast<std::uint8_t>(i >> 7);
  }
  return b;
}

}  // namespace

// Golden streams. Ten spaces then "xyz": one match of 10 at position 0 into the space fill (symbol
// 263, then 3 + 6 zero bits), then three literals. A run of 100 equal bytes: one literal, a match of
// 60 and a match of 39 at position 0.
TEST(LZHStream, SmallInputsEncodeToKnownStreams) {
  struct Case {
    std::string input;
    Bytes stream;
  };
  const Case cases[] = {
      {"          xyz", {0x0D, 0x00, 0x00, 0x00, 0x93, 0x00, 0x02, 0x02, 0x83, 0x00}},
      {std::string(100, 'a'), {0x64, 0x00, 0x00, 0x00, 0xF6, 0xFB, 0x40, 0x16, 0x00, 0x00}},
      // Seven distinct bytes with 8-bit codes fit exactly: as long as the input is accepted.
      {"tuvwxyz", {0x07, 0x00, 0x00, 0x00, 0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06}},
  };
  for (const Case& c : cases) {
    std::uint32_t reported = 0;
    EXPECT_EQ(Encode(ToBytes(c.input), &reported), c.stream) << c.input;
    EXPECT_EQ(reported, c.stream.size() - 4);
    EXPECT_EQ(Decode(c.stream), ToBytes(c.input));
  }
}

TEST(LZHStream, RefusesOutputLongerThanInput) {
  // Low byte values start with 9-bit codes: seven of them need 8 bytes of bit stream.
  const std::string inputs[] = {"", "a", "ab", "abc", std::string("\1\2\3\4\5\6\7", 7), "abcdefg"};
  for (const std::string& input : inputs) {
    try {
      Encode(ToBytes(input));
      ADD_FAILURE() << "accepted " << input.size() << " bytes";
    } catch (const ElzhException& e) {
      EXPECT_STREQ(e.what(), "Compressed file is larger than the original.");
    }
  }
}

TEST(LZHStream, RoundTripsVariedData) {
  std::vector<Bytes> inputs;
  for (std::size_t size : {4u, 5u, 59u, 60u, 61u, 4095u, 4096u, 4097u, 5000u})
    inputs.push_back(Bytes(size, 0x20));  // matches reach into the space fill and its zero tail
  for (std::size_t size : {4u, 61u, 4155u, 70000u}) inputs.push_back(Bytes(size, 0x00));
  // Long enough for the root weight to reach the rebuild limit several times.
  inputs.push_back(Mixed(300000, 1));
  Bytes ramps(400000);
  for (std::size_t i = 0; i < ramps.size(); ++i)
    ramps[i] = static_cast<std::uint8_t>((i % 415) * 255 / 414 + ((i / 1660) & 1));
  inputs.push_back(ramps);
  // Several megabytes: a few pictures' worth of skin-like data, far past any table's first fill.
  Bytes large = Mixed(3u << 20, 7);
  for (std::size_t i = 0; i < large.size(); i += 8192)
    std::fill_n(large.begin() + static_cast<std::ptrdiff_t>(i), 2048, static_cast<std::uint8_t>(i >> 13));
  inputs.push_back(large);
  for (const Bytes& input : inputs) {
    Bytes stream;
    try {
      stream = Encode(input);
    } catch (const ElzhException&) {
      continue;  // incompressible: nothing to decode
    }
    ASSERT_EQ(Decode(stream), input) << "size " << input.size();
  }
}

TEST(LZHStream, RebuildKeepsEncoderAndDecoderInStep) {
  // 60000 literal-heavy symbols push the root weight past 0x8000 on both sides at the same symbol.
  const Bytes input = Mixed(60000, 7);
  std::uint32_t reported = 0;
  const Bytes stream = Encode(input, &reported);
  EXPECT_EQ(reported, stream.size() - 4);
  EXPECT_LT(stream.size(), input.size());
  EXPECT_EQ(Decode(stream), input);
}

TEST(LZHStream, DamagedStreamsStayInBounds) {
  const Bytes input = Mixed(20000, 3);
  const Bytes stream = Encode(input);
  // Truncated: the missing bits read as zeros and exactly the declared size comes out.
  for (std::size_t keep :
       {std::size_t{0}, std::size_t{2}, std::size_t{4}, std::size_t{5}, stream.size() / 2, stream.size() - 1}) {
    const Bytes cut(stream.begin(), stream.begin() + static_cast<std::ptrdiff_t>(keep));
    std::uint32_t reported = 0;
    const Bytes out = Decode(cut, &reported);
    const std::size_t declared = keep == 0 ? 0 : input.size();  // 20000 fits in the first two bytes
    EXPECT_EQ(out.size(), declared);
    EXPECT_EQ(reported, declared);
  }
  // Flipped bits change the output but never its length.
  std::mt19937 rng(5);
  for (int i = 0; i < 50; ++i) {
    Bytes bad = stream;
    bad[4 + rng() % (bad.size() - 4)] ^= static_cast<std::uint8_t>(1u << (rng() % 8));
    EXPECT_EQ(Decode(bad).size(), input.size());
  }
}

TEST(LZHStream, DecodeLimitStopsAtTheCallersLength) {
  // A declared size of 4 GiB over a 6-byte stream: bounded by the caller, not the declaration.
  const Bytes stream = {0xFF, 0xFF, 0xFF, 0xFF, 0x12, 0x34};
  TDIBMemoryStream in(stream.data(), stream.size()), out;
  TLZHStream lzh(in, out);
  EXPECT_EQ(lzh.Decode(1000), 1000u);
  EXPECT_EQ(out.Size(), 1000u);
  EXPECT_LT(TAbstractLZH::MaxDecodedSize(stream.size()), 0xFFFFFFFFull);
}

// A picture-like input long enough to exercise tree deletions, rebuilds and every position code. The
// stream was produced by a plain byte-by-byte tree walk; any faster walk must give the same bytes.
TEST(LZHStream, StructuredInputEncodesToKnownStream) {
  Bytes b(120000);
  std::uint32_t s = 12345;
  for (std::size_t i = 0; i < b.size(); ++i) {
    s = s * 1103515245u + 12345u;
    const std::size_t x = (i / 4) % 300, y = i / 1200;
    b[i] = i % 4 == 3 ? 255 : (x > 100 && x < 180) ? 0x5A : static_cast<std::uint8_t>(x / 3 + y / 2 + (s >> 16) % 3);
  }
  const Bytes stream = Encode(b);
  std::uint64_t hash = 1469598103934665603ull;  // FNV-1a
  for (std::uint8_t v : stream) hash = (hash ^ v) * 1099511628211ull;
  EXPECT_EQ(stream.size(), 50065u);
  EXPECT_EQ(hash, 0xdd49371efa453fb9ull);
  EXPECT_EQ(Decode(stream), b);
}
