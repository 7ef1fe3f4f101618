// LZH throughput on the payload of a 415 x 200 skin-like picture (uncompressed bytes per second).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <stdexcept>
#include <vector>

#include "DIB/Source/DIBLZH.h"
#include "DIB/Source/DIBStream.h"

namespace {

// A background gradient, flat panels with a bevel, slider tracks and a little noise, as the
// editor's skins have: long runs, repeated rows and some incompressible texture.
std::vector<std::uint8_t> SkinPayload() {
  constexpr int W = 415, H = 200;
  std::vector<std::uint8_t> b(4 + 4 * W * H);
  b[0] = W & 0xFF;
  b[1] = W >> 8;
  b[2] = H;
  b[3] = 0;
  std::mt19937 rng(1985);
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x) {
      std::uint8_t* p = &b[4 + 4 * (y * W + x)];
      int v = 40 + y * 60 / H;  // vertical gradient
      if (x % 46 > 8 && x % 46 < 38 && y > 20 && y < 170) {
        v = 90;                                                // flat panel
        if (x % 46 == 9 || y == 21) v = 140;                   // bevel highlight
        if (x % 46 > 20 && x % 46 < 26) v = 20 + (y & 1) * 4;  // slider track
      }
      if (y > 180) v += static_cast<int>(rng() % 9);  // noisy status strip
      p[0] = static_cast<std::uint8_t>(v + 10);
      p[1] = static_cast<std::uint8_t>(v);
      p[2] = static_cast<std::uint8_t>(v / 2 + x / 16);
      p[3] = 255;
    }
  return b;
}

std::vector<std::uint8_t> Encode(const std::vector<std::uint8_t>& payload) {
  TDIBMemoryStream in(payload.data(), payload.size()), out;
  TLZHStream(in, out).Encode(static_cast<std::uint32_t>(payload.size()));
  return out.TakeBytes();
}

void BM_LZHEncode(benchmark::State& state) {
  const auto payload = SkinPayload();
  for (auto _ : state) {
    auto stream = Encode(payload);
    benchmark::DoNotOptimize(stream.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(payload.size()));
  state.counters["ratio"] = double(payload.size()) / double(Encode(payload).size());
}
BENCHMARK(BM_LZHEncode)->Unit(benchmark::kMillisecond);

void BM_LZHDecode(benchmark::State& state) {
  const auto payload = SkinPayload();
  const auto stream = Encode(payload);
  TDIBMemoryStream out;
  for (auto _ : state) {
    TDIBMemoryStream in(stream.data(), stream.size());
    out.SetPosition(0);
    TLZHStream(in, out).Decode();
    benchmark::DoNotOptimize(out.Memory());
  }
  if (out.Bytes() != payload) throw std::runtime_error("LZH round trip differs");
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(payload.size()));
}
BENCHMARK(BM_LZHDecode)->Unit(benchmark::kMicrosecond);

}  // namespace
