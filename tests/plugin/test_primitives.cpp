// Exact arithmetic of the per-sample kernels, the delay line, the damping filter and the
// oscillator pair.
#include <gtest/gtest.h>

#include <bit>
#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>

#include "plugin/uDelay4p.h"
#include "plugin/uLp1.h"
#include "plugin/uPara.h"
#include "vst/DDspUtils.h"
#include "vst/DVstUtils.h"

namespace {

std::uint32_t bits(float f) { return std::bit_cast<std::uint32_t>(f); }

std::string display(float v, std::size_t capacity = 32) {
  char buf[64];
  std::memset(buf, 'x', sizeof buf);
  floatToDisplay(buf, capacity, v);
  return buf;
}

}  // namespace

TEST(VstUtils, FourCharCodesPackFirstCharacterHighAndUnsigned) {
  EXPECT_EQ(fourCharToLong('V', 's', 't', 'P'), 0x56737450);
  EXPECT_EQ(fourCharToLong('Q', 'X', '0', '9'), 0x51583039);
  EXPECT_EQ(static_cast<std::uint32_t>(fourCharToLong('\xff', '\x80', 0, '\x01')), 0xff800001u);
}

TEST(VstUtils, DisplayHasTwoDecimalsAndRoundsHalfAwayFromZero) {
  const struct {
    float v;
    const char* text;
  } cases[] = {
      {0.5f, "0.50"},     {1.0f, "1.00"},     {0.0f, "0.00"},      {0.1f, "0.10"},   {0.05f, "0.05"},
      {-3.25f, "-3.25"},  {0.125f, "0.13"},   {-0.125f, "-0.13"},  {0.375f, "0.38"}, {0.999f, "1.00"},
      {-0.001f, "0.00"},  {-0.0f, "0.00"},    {1234.5f, "1234.50"}, {16777216.0f, "16777216.00"},
  };
  for (const auto& c : cases) EXPECT_EQ(display(c.v), c.text) << c.v;
  EXPECT_EQ(display(std::numeric_limits<float>::max()).substr(0, 6), "340282");
  EXPECT_EQ(display(std::numeric_limits<float>::max()).find('e'), std::string::npos);
}

TEST(VstUtils, DisplayStaysInsideItsBufferAndFollowsTheLocaleSeparator) {
  EXPECT_EQ(display(1234.5f, 5), "1234");
  EXPECT_EQ(display(0.5f, 1), "");
  floatToDisplay(nullptr, 8, 1.0f);  // must not crash
  char untouched = 'x';
  floatToDisplay(&untouched, 0, 1.0f);
  EXPECT_EQ(untouched, 'x');

  // Only checked where a locale with a decimal comma is installed.
  const std::string previous = std::setlocale(LC_NUMERIC, nullptr);
  for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8"}) {
    if (std::setlocale(LC_NUMERIC, name) != nullptr) {
      EXPECT_EQ(display(0.1f), "0,10");
      break;
    }
  }
  std::setlocale(LC_NUMERIC, previous.c_str());
}

TEST(DspUtils, FastFloorIsFloorAndDeterministicOnIntegers) {
  const struct {
    float x;
    std::int32_t want;
  } cases[] = {
      {2.5f, 2},         {2.75f, 2},          {-0.5f, -1},        {-2.25f, -3},      {0.0f, 0},
      {-0.0f, 0},        {3.0f, 3},           {-3.0f, -3},        {2049.0f, 2048},   {-2049.0f, -2050},
      {2050.0f, 2050},   {2048.0f, 2048},     {2047.0f, 2047},    {-2047.0f, -2047}, {0.99999994f, 0},
      {1e-30f, 0},       {-1e-30f, -1},       {16777215.0f, 16777214}, {8388607.5f, 8388607},
      {3e9f, INT32_MAX}, {-3e9f, INT32_MIN},  {std::numeric_limits<float>::infinity(), INT32_MAX},
      {-std::numeric_limits<float>::infinity(), INT32_MIN},   {std::nanf(""), 0},
  };
  for (const auto& c : cases) EXPECT_EQ(fastFloor(c.x), c.want) << c.x;
}

TEST(DspUtils, FastSinIsTheFloatPolynomial) {
  EXPECT_EQ(fastSin(0.7853981634f), 0.70722562f);
  EXPECT_EQ(bits(fastSin(0.7853981634f)), bits(0.70722562f));
  EXPECT_EQ(bits(fastSin(0.0f)), 0u);
  EXPECT_EQ(fastSin(-0.5f), -fastSin(0.5f));
  // Close to the sine over the quarter wave it is used for, never equal to it.
  for (float x = 0.0f; x <= 1.5707964f; x += 0.01f) EXPECT_NEAR(fastSin(x), std::sin(x), 2e-4) << x;
  // Its cubic term is 0.16605 held wider than float: rounding it to float first changes results.
  int differences = 0;
  for (float x = 0.01f; x < 1.6f; x += 0.001f) {
    const float s = x * x;
    float t = std::bit_cast<float>(0x3BF95D4Fu) * s;
    t = t - 0.16605f;
    differences += bits(((t * s) + 1.0f) * x) != bits(fastSin(x));
  }
  EXPECT_GT(differences, 0);
}

TEST(DspUtils, FastAbsClearsOnlyTheSign) {
  EXPECT_EQ(bits(fastAbs(-0.0f)), 0u);
  EXPECT_EQ(fastAbs(-2.5f), 2.5f);
  EXPECT_EQ(bits(fastAbs(-1e-45f)), 1u);
  EXPECT_TRUE(std::isnan(fastAbs(-std::nanf(""))));
}

TEST(DspUtils, Hermite4HitsItsSupportPointsAndConstants) {
  const float ys[][4] = {{0.3f, -0.7f, 0.11f, 5.0f}, {1e-3f, 2e5f, -3.5f, 0.0f}, {-1, 1, -1, 1}};
  for (const auto& y : ys) {
    EXPECT_EQ(bits(hermite4(0.0f, y[0], y[1], y[2], y[3])), bits(y[1]));
    EXPECT_EQ(hermite4(1.0f, y[0], y[1], y[2], y[3]), y[2]);
  }
  for (float c : {0.0f, 1.0f, -0.333f, 12345.678f})
    for (float x : {0.0f, 0.25f, 0.5f, 0.77f, 1.0f, 1.25f, 1.5f}) EXPECT_EQ(hermite4(x, c, c, c, c), c);
  // Exact on a straight line, and rounded once: the midpoint of 0 and 1 on a line is exactly 0.5.
  EXPECT_EQ(hermite4(0.5f, -1.0f, 0.0f, 1.0f, 2.0f), 0.5f);
  EXPECT_EQ(hermite4(1.5f, -1.0f, 0.0f, 1.0f, 2.0f), 1.5f);
  // The alternating signal (the highest frequency) is never amplified at any fraction in use.
  for (float x = 0.5f; x <= 1.5f; x += 0.125f) EXPECT_LE(std::fabs(hermite4(x, 1, -1, 1, -1)), 1.0f) << x;
}

TEST(Delay4p, ReadsWholeAndHalfDelaysAndWrapsTapsOnce) {
  Tdelay4p line(100);
  const std::int32_t ring = 90;
  for (int p = 0; p < ring; ++p) line.Write(p, static_cast<float>(p));
  // Delay 0: whole delay -1, fraction 1, the sample just written.
  line.Read(40, ring, 0.0f);
  EXPECT_EQ(line.WholeDelay, -1);
  EXPECT_EQ(line.Fraction, 1.0);
  EXPECT_EQ(line.Output, 40.0);
  EXPECT_EQ(line.Taps[0], 42);
  EXPECT_EQ(line.Taps[3], 39);
  for (int n = 1; n < 30; ++n) {
    line.Read(40, ring, static_cast<float>(n));
    EXPECT_EQ(line.WholeDelay, n - 1);
    EXPECT_EQ(line.Output, 40.0 - n) << n;
    line.Read(40, ring, n + 0.5f);
    EXPECT_EQ(line.Output, 40.0 - n - 0.5) << n;  // on a ramp the cubic is the line itself
  }
  // Taps below 0 wrap once by the ring length: delay 5 at position 1 reads 4 .. -3 -> 86 .. 87.
  line.Read(1, ring, 5.0f);
  EXPECT_EQ(line.Taps[0], 88);
  EXPECT_EQ(line.Taps[3], 85);
  EXPECT_EQ(line.Output, 86.0);
  Tdelay4p hundred(103);
  hundred.Read(0, 100, 2.0f);  // taps 0, -1, -2, -3
  EXPECT_EQ(hundred.Taps[3], 97);
}

TEST(Delay4p, DelaysOutsideTheRingStayInsideTheLine) {
  Tdelay4p line(12);
  for (int p = 0; p < 12; ++p) line.Write(p, 1.0f);
  const float hostile[] = {-1.0f, 11.0f, 1e30f, std::numeric_limits<float>::infinity(),
                           -std::numeric_limits<float>::infinity(), std::nanf("")};
  for (int wp = 0; wp < 10; ++wp) {
    for (float d : hostile) {
      line.Read(wp, 10, d);
      for (std::int32_t t : line.Taps) {
        EXPECT_GE(t, 0);
        EXPECT_LT(t, 12);
      }
      EXPECT_EQ(line.Output, 1.0);
    }
  }
  // The deepest delay the ring allows reads the sample ringLength - 1 positions back.
  for (int p = 0; p < 10; ++p) line.Write(p, static_cast<float>(p));
  line.Read(9, 10, 9.0f);
  EXPECT_EQ(line.WholeDelay, 8);
  EXPECT_EQ(line.Fraction, 1.0);
  EXPECT_EQ(line.Output, 0.0);
}

TEST(Lp1, CoefficientIsTheSinePolynomialAndTheStateCarriesTheOffset) {
  TLp1 f;
  f.Process(1.0f, 11025.0f, 44100.0f);
  EXPECT_EQ(f.Coefficient, static_cast<double>(0.70722562f));
  const double c = f.Coefficient;
  EXPECT_EQ(f.Output, c * 1.0 / (1.0 + c));
  EXPECT_EQ(f.PrevIn, 1.0 + 1e-24);
  EXPECT_EQ(f.PrevOut, f.Output + 1e-24);
  // Cutoff 0: coefficient 0, the previous output held (the offset stays out of Output).
  const double held = f.PrevOut;
  f.Process(-5.0f, 0.0f, 44100.0f);
  EXPECT_EQ(f.Coefficient, 0.0);
  EXPECT_EQ(f.Output, held);
  // Unity gain at DC, and a quotient rounded to float before it is scaled by pi.
  TLp1 g;
  for (int i = 0; i < 2000; ++i) g.Process(0.25f, 12000.0f, 44100.0f);
  EXPECT_NEAR(g.Output, 0.25, 1e-12);
  const float q = 12000.0f / 44100.0f;
  EXPECT_EQ(g.Coefficient, fastSin(static_cast<float>(3.1415926536 * q)));
}

TEST(Lp1, StableForEveryCutoffTheEffectCanAskFor) {
  // The effect asks for 0..12000 Hz at any accepted rate, down to 1 Hz: far beyond Nyquist.
  for (float rate : {1.0f, 8000.0f, 22050.0f, 44100.0f, 768000.0f}) {
    TLp1 f;
    for (int i = 0; i < 5000; ++i) {
      f.Process((i & 1) ? 1.0f : -1.0f, static_cast<float>((i * 37) % 12001), rate);
      ASSERT_GE(f.Coefficient, 0.0);
      ASSERT_LE(std::fabs(f.Output), 10.0) << rate << " " << i;
    }
  }
}

TEST(Para, ShapeRateZeroAndThePhaseLead) {
  TPara p;
  p.Step(0.0f, 44100.0f, 0.3f);
  EXPECT_EQ(p.Phase1, 0.0);
  EXPECT_EQ(p.Out1, 1.0);
  EXPECT_EQ(p.Out2, 1.0);
  p.Step(0.0f, 44100.0f, 0.3f);
  EXPECT_EQ(p.Out1, 1.0);

  // Quarter-cycle steps land on the parabola's zeros and on -1 at the wrap.
  TPara q;
  const double want[] = {0.0, -1.0, -1.0, 0.0, 1.0, 0.0};  // phases .25 .5 -.5 -.25 0 .25
  for (double w : want) {
    q.Step(1.0f, 4.0f, 0.0f);
    EXPECT_EQ(q.Out1, w) << q.Phase1;
  }

  // Before the first wrap both run together; afterwards the second leads by offset + 0.5 (less
  // the excess the second one drops at its own wraps, under one step).
  TPara r;
  const float offset = 0.2f - 0.5f;
  bool wrapped = false;
  for (int i = 0; i < 3000; ++i) {
    const double before = r.Phase1;
    r.Step(3.0f, 1000.0f, offset);
    if (r.Phase1 < before) wrapped = true;
    if (!wrapped) {
      ASSERT_EQ(r.Phase1, r.Phase2);
      ASSERT_EQ(r.Out1, r.Out2);
    } else {
      double lead = std::fmod(r.Phase2 - r.Phase1 - (offset + 0.5) + 2.0, 1.0);
      if (lead > 0.5) lead -= 1.0;
      ASSERT_NEAR(lead, 0.0, r.Increment) << i;
    }
    ASSERT_LE(std::fabs(r.Out1), 1.0);
    ASSERT_LE(r.Phase1, 0.5);
    ASSERT_GE(r.Phase1, -0.5);
  }
  EXPECT_TRUE(wrapped);

  // The excess over 0.5 is dropped: a step landing past 0.5 restarts at exactly -0.5.
  TPara s;
  s.Phase1 = 0.49;
  s.Step(0.02f, 1.0f, 0.0f);
  EXPECT_EQ(s.Phase1, -0.5);
  EXPECT_EQ(s.Out1, -1.0);
  // A phase that is not a number restarts instead of sticking.
  s.Phase1 = std::nan("");
  s.Step(1.0f, 100.0f, 0.0f);
  EXPECT_EQ(s.Phase1, -0.5);
}
