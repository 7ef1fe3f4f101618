// Throughput of each row routine on a whole-window draw (415 x 200, the editor background).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>

#include "DIB/Source/cDIB.h"

namespace {

constexpr int kWidth = 415;
constexpr int kHeight = 200;

void Noise(TAbstractSuperDIB& dib, unsigned seed) {
  std::mt19937 rng(seed);
  std::uint8_t* p = dib.Bits();
  for (int i = 0; i < dib.Width() * dib.Height() * 4; ++i) p[i] = static_cast<std::uint8_t>(rng());
}

void RunRoutine(benchmark::State& state, TDIBDrawRoutine routine, std::uint8_t opacity, bool keyed) {
  TMemoryDIB src(kWidth, kHeight), dst(kWidth, kHeight);
  Noise(src, 1);
  Noise(dst, 2);
  src.SetOpacity(opacity);
  if (keyed) {
    // About one pixel in eight carries the key colour.
    src.SetTransparentMode(tmFixed);
    src.SetTransparentColor(0x00FF00FF);
    std::mt19937 rng(3);
    for (int i = 0; i < kWidth * kHeight; ++i)
      if (rng() % 8 == 0) {
        std::uint8_t* px = src.Bits() + i * 4;
        px[0] = 0xFF;
        px[1] = 0x00;
        px[2] = 0xFF;
      }
  }
  for (auto _ : state) {
    (src.*routine)(src.ScanLine(0), dst.ScanLine(0), kHeight, kWidth, kWidth, kWidth);
    benchmark::DoNotOptimize(dst.Bits());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
}

void BM_RowsCopy(benchmark::State& s) { RunRoutine(s, &TAbstractSuperDIB::RowsCopy, 255, false); }
void BM_RowsBlendOpacity(benchmark::State& s) { RunRoutine(s, &TAbstractSuperDIB::RowsBlendOpacity, 128, false); }
void BM_RowsBlendMask(benchmark::State& s) { RunRoutine(s, &TAbstractSuperDIB::RowsBlendMask, 255, false); }
void BM_RowsBlendMaskOpacity(benchmark::State& s) {
  RunRoutine(s, &TAbstractSuperDIB::RowsBlendMaskOpacity, 128, false);
}
void BM_RowsCopyKeyed(benchmark::State& s) { RunRoutine(s, &TAbstractSuperDIB::RowsCopyKeyed, 255, true); }
void BM_RowsBlendKeyedOpacity(benchmark::State& s) {
  RunRoutine(s, &TAbstractSuperDIB::RowsBlendKeyedOpacity, 128, true);
}
void BM_RowsCopyAlpha(benchmark::State& s) { RunRoutine(s, &TAbstractSuperDIB::RowsCopyAlpha, 255, false); }
void BM_RowsMaskToGrey(benchmark::State& s) { RunRoutine(s, &TAbstractSuperDIB::RowsMaskToGrey, 255, false); }

// The whole Draw path with clipping and the change notification, for a masked image.
void BM_DrawMasked(benchmark::State& state) {
  TMemoryDIB src(kWidth, kHeight), dst(kWidth, kHeight);
  Noise(src, 1);
  Noise(dst, 2);
  src.SetMasked(true);
  for (auto _ : state) {
    src.Draw(0, 0, kWidth, kHeight, &dst);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
}

}  // namespace

BENCHMARK(BM_RowsCopy);
BENCHMARK(BM_RowsBlendOpacity);
BENCHMARK(BM_RowsBlendMask);
BENCHMARK(BM_RowsBlendMaskOpacity);
BENCHMARK(BM_RowsCopyKeyed);
BENCHMARK(BM_RowsBlendKeyedOpacity);
BENCHMARK(BM_RowsCopyAlpha);
BENCHMARK(BM_RowsMaskToGrey);
BENCHMARK(BM_DrawMasked);
