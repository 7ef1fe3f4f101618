// Exact arithmetic of the per-sample kernels, the delay line, the damping filter and the
// oscillator pair.
#include <gtest/gtest.h>

#include <bit>
#include <clocale>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "plugin/uDelay4p.h"
#include "plugin/uLp1.h"
#include "plugin/uPara.h"
#include "vst/DDspUtils.h"
#include "vst/DVstUtils.h"

namespace {
constexpr float kInf = std::numeric_limits<float>::infinity();
std::uint32_t bits(float f) { return std::bit_cast<std::uint32_t>(f); }
std::string display(float v, std::size_t capacity = 32) {
  char buf[64] = "untouched";
  floatToDisplay(buf, capacity, v);
  return buf;
}
}  // namespace

TEST(VstUtils, FourCharCodesAndValueDisplay) {
  EXPECT_EQ(fourCharToLong('V', 's', 't', 'P'), 0x56737450);
  EXPECT_EQ(static_cast<std::uint32_t>(fourCharToLong('\xff', '\x80', 0, '\x01')), 0xff800001u);
  const struct {
    float v;
    const char* text;
  } cases[] = {{0.5f, "0.50"},   {1.0f, "1.00"},     {0.0f, "0.00"},    {0.1f, "0.10"},  {-3.25f, "-3.25"},
               {0.125f, "0.13"}, {-0.125f, "-0.13"}, {-0.001f, "0.00"}, {-0.0f, "0.00"}, {1234.5f, "1234.50"}};
  for (const auto& c : cases) EXPECT_EQ(display(c.v), c.text) << c.v;
  EXPECT_EQ(display(std::numeric_limits<float>::max()).find('e'), std::string::npos);
  EXPECT_EQ(display(1234.5f, 5), "1234");  // cut to the buffer, still terminated
  EXPECT_EQ(display(0.5f, 0), "untouched");
  floatToDisplay(nullptr, 8, 1.0f);
  const std::string previous = std::setlocale(LC_NUMERIC, nullptr);
  if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr) {
    EXPECT_EQ(display(0.1f), "0,10");
  }
  std::setlocale(LC_NUMERIC, previous.c_str());
}

TEST(DspUtils, KernelsGiveExactBits) {
  const struct {
    float x;
    std::int32_t floor;
  } floors[] = {{2.5f, 2},         {2.75f, 2},         {-0.5f, -1},       {-2.25f, -3},
                {-0.0f, 0},        {3.0f, 3},          {-3.0f, -3},       {2049.0f, 2048},
                {-2049.0f, -2050}, {2050.0f, 2050},    {-1e-30f, -1},     {16777215.0f, 16777214},
                {3e9f, INT32_MAX}, {-kInf, INT32_MIN}, {std::nanf(""), 0}};
  for (const auto& c : floors) EXPECT_EQ(fastFloor(c.x), c.floor) << c.x;

  EXPECT_EQ(bits(fastSin(0.7853981634f)), bits(0.70722562f));
  for (float x = 0.0f; x <= 1.5707964f; x += 0.01f) EXPECT_NEAR(fastSin(x), std::sin(x), 2e-4) << x;
  EXPECT_EQ(bits(fastAbs(-0.0f)), 0u);
  EXPECT_EQ(bits(fastAbs(-1e-45f)), 1u);

  const float ys[][4] = {{0.3f, -0.7f, 0.11f, 5.0f}, {1e-3f, 2e5f, -3.5f, 0.0f}};
  for (const auto& y : ys) {
    EXPECT_EQ(bits(hermite4(0.0f, y[0], y[1], y[2], y[3])), bits(y[1]));
    EXPECT_EQ(hermite4(1.0f, y[0], y[1], y[2], y[3]), y[2]);
  }
  for (float x : {0.25f, 0.77f, 1.5f}) EXPECT_EQ(hermite4(x, -0.333f, -0.333f, -0.333f, -0.333f), -0.333f);
  EXPECT_EQ(hermite4(1.5f, -1.0f, 0.0f, 1.0f, 2.0f), 1.5f);  // exact on a line
}

TEST(Delay4p, ReadsWrapsOnceAndStaysInsideTheLine) {
  Tdelay4p line(100);
  const std::int32_t ring = 90;
  for (int p = 0; p < ring; ++p) line.Write(p, static_cast<float>(p));
  line.Read(40, ring, 0.0f);  // whole delay -1, fraction 1: the sample just written
  EXPECT_EQ(line.WholeDelay, -1);
  EXPECT_EQ(line.Fraction, 1.0);
  EXPECT_EQ(line.Output, 40.0);
  for (int n = 1; n < 30; ++n) {
    line.Read(40, ring, static_cast<float>(n));
    EXPECT_EQ(line.Output, 40.0 - n) << n;
    line.Read(40, ring, n + 0.5f);
    EXPECT_EQ(line.Output, 39.5 - n) << n;
  }
  line.Read(1, ring, 5.0f);  // taps -2..-5 wrap to 88..85
  EXPECT_EQ(line.Taps[0], 88);
  EXPECT_EQ(line.Taps[3], 85);
  EXPECT_EQ(line.Output, 86.0);
  line.Read(89, ring, 89.0f);  // the deepest delay the ring allows
  EXPECT_EQ(line.Output, 0.0);

  for (int wp = 0; wp < ring; wp += 11)
    for (float d : {-1.0f, 90.0f, 1e30f, kInf, -kInf, std::nanf("")}) {
      line.Read(wp, ring, d);
      for (std::int32_t t : line.Taps) ASSERT_TRUE(t >= 0 && t < 100) << wp << " " << d;
    }
}

// The four-at-once tap arithmetic agrees with locate: same fraction, same taps as a run that is
// contiguous, or marked as straddling position 0 exactly when locate wraps only some taps.
TEST(Delay4p, RunsOfFourAgreeWithLocate) {
  const std::int32_t ring = 44101;
  const float delays[] = {0.0f,  0.25f, 0.5f,    0.75f,         1.0f,    1.5f,      2.0f,     2.5f,
                          3.0f,  7.3f,  2049.0f, 2049.5f,       2050.5f, 4095.5f,   44099.9f, 44100.0f,
                          -2.0f, 1e30f, kInf,    std::nanf(""), 4410.0f, 1234.567f, 0.4999f,  3001.5f};
  const std::int32_t positions[] = {0, 1, 2, 3, 4, 5, 2048, 2049, 2050, 4410, 44098, 44100};
  for (std::int32_t wp : positions) {
    for (std::size_t i = 0; i < std::size(delays); i += 4) {
      const std::int32_t wps[4] = {wp, wp, wp, wp};
      std::int32_t start[4];
      float fraction[4];
      Tdelay4p::locateRuns(wps, ring, delays + i, start, fraction);
      for (int j = 0; j < 4; ++j) {
        const Tdelay4p::TTaps t = Tdelay4p::locate(wp, ring, delays[i + j]);
        SCOPED_TRACE(testing::Message() << "writePos " << wp << " delay " << delays[i + j]);
        EXPECT_EQ(bits(fraction[j]), bits(static_cast<float>(t.fraction)));
        const bool straddles = t.pos[3] > t.pos[0];
        EXPECT_EQ(start[j] < 0, straddles);
        if (straddles) {
          EXPECT_GE(start[j], -3);
          EXPECT_EQ(start[j], wp - t.whole - 2);
        } else {
          for (int k = 0; k < 4; ++k) EXPECT_EQ(start[j] + k, t.pos[3 - k]);
        }
      }
    }
  }
}

// Two lines sharing one store side by side read as two lines of their own would.
TEST(Delay4p, LinesSharingAStoreKeepTheirOwnSamples) {
  const std::int32_t length = 64, ring = 60;
  std::vector<double> store(2 * length);
  Tdelay4p left(store.data(), length, 2), right(store.data() + 1, length, 2);
  Tdelay4p aloneL(length), aloneR(length);
  for (std::int32_t i = 0; i < 3 * ring; ++i) {
    const std::int32_t wp = i % ring;
    const float l = std::sin(0.3f * i), r = -0.5f * i;
    left.Write(wp, l);
    right.Write(wp, r);
    aloneL.Write(wp, l);
    aloneR.Write(wp, r);
    const float delay = 0.37f * static_cast<float>(i % 97);
    left.Read(wp, ring, delay);
    right.Read(wp, ring, delay);
    aloneL.Read(wp, ring, delay);
    aloneR.Read(wp, ring, delay);
    ASSERT_EQ(left.Output, aloneL.Output) << i;
    ASSERT_EQ(right.Output, aloneR.Output) << i;
  }
}

TEST(Lp1, CoefficientStateAndStability) {
  TLp1 f;
  f.Process(1.0f, 11025.0f, 44100.0f);  // a quarter of the rate: fastSin(pi/4), not the sine
  EXPECT_EQ(f.Coefficient, static_cast<double>(0.70722562f));
  EXPECT_EQ(f.Output, f.Coefficient / (1.0 + f.Coefficient));
  EXPECT_EQ(f.PrevIn, 1.0 + 1e-24);
  const double held = f.PrevOut;
  f.Process(-5.0f, 0.0f, 44100.0f);  // cutoff 0 holds the previous output, offset included
  EXPECT_EQ(f.Output, held);
  // Every cutoff the effect asks for, at every accepted rate, even far beyond Nyquist.
  for (float rate : {1.0f, 8000.0f, 768000.0f}) {
    TLp1 g;
    for (int i = 0; i < 5000; ++i) {
      g.Process((i & 1) ? 1.0f : -1.0f, static_cast<float>((i * 37) % 12001), rate);
      ASSERT_LE(std::fabs(g.Output), 10.0) << rate << " " << i;
    }
  }
}

TEST(Lp1, CoefficientRoundsTheWholeArgumentOnce) {
  // pi x cutoff / rate rounded to float once; rounding cutoff / rate first gives the neighbour.
  struct Pin {
    float cutoff, rate;
    std::uint32_t coefficient, twiceRounded;
  };
  const Pin pins[] = {
      {12000.0f, 44100.0f, 0x3F412D3Au, 0x3F412D3Bu},
      {std::bit_cast<float>(0x463B7D0Au), 44100.0f, 0x3F412AF6u, 0x3F412AF5u},  // 11999.26
      {std::bit_cast<float>(0x458FCECDu), 48000.0f, 0x3E97E56Fu, 0x3E97E570u},  // 4601.85
  };
  for (const Pin& pin : pins) {
    const std::uint32_t got = std::bit_cast<std::uint32_t>(TLp1::coefficientFor(pin.cutoff, pin.rate));
    EXPECT_EQ(got, pin.coefficient) << pin.cutoff;
    EXPECT_NE(got, pin.twiceRounded) << pin.cutoff;
    TLp1 f;
    f.Process(0.5f, pin.cutoff, pin.rate);
    EXPECT_EQ(f.Coefficient, static_cast<double>(std::bit_cast<float>(pin.coefficient)));
  }
}

TEST(Para, ShapeRateZeroWrapAndPhaseLead) {
  TPara q;
  for (double want : {0.0, -1.0, -1.0, 0.0, 1.0}) {  // phases .25 .5 -.5 -.25 0
    q.Step(1.0f, 4.0f, 0.0f);
    EXPECT_EQ(q.Out1, want) << q.Phase1;
  }
  const TPara still = q;
  q.Step(0.0f, 44100.0f, 0.3f);
  EXPECT_EQ(q.Out1, still.Out1);
  EXPECT_EQ(q.Phase1, still.Phase1);

  // Together until the first wrap, then the second leads by offset + 0.5 (less the excess it
  // drops at its own wraps, under one step).
  TPara r;
  const float offset = 0.2f - 0.5f;
  bool wrapped = false;
  for (int i = 0; i < 3000; ++i) {
    const double before = r.Phase1;
    r.Step(3.0f, 1000.0f, offset);
    wrapped |= r.Phase1 < before;
    double lead = wrapped ? std::remainder(r.Phase2 - r.Phase1 - (offset + 0.5), 1.0) : r.Phase2 - r.Phase1;
    ASSERT_NEAR(lead, 0.0, r.Increment) << i;
  }
  EXPECT_TRUE(wrapped);
  r.Phase1 = std::nan("");  // a phase that is not a number restarts
  r.Step(1.0f, 100.0f, 0.0f);
  EXPECT_EQ(r.Phase1, -0.5);
}
