// The effect's block processing, which computes ahead in vectors, against a plain per-sample
// formulation, bit for bit, over programs, feedback, merged inputs, sync and sample-rate changes.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "PluginTestHost.h"
#include "tests/support/PlainDoppler.h"

namespace {

std::uint32_t bits(float f) {
  std::uint32_t u;
  std::memcpy(&u, &f, 4);
  return u;
}

struct Setting {
  const char* what;
  int program;
  float feedback, merge, sync, speed;
  float rate;
  float amount = -1.0f;   // Doppler Amount, or the program's when negative
  float damping = -1.0f;  // Damping, or the program's when negative
};

}  // namespace

TEST(PluginReference, BlockProcessingEqualsThePlainPerSampleFormulation) {
  const Setting settings[] = {
      {"Doppler 1", 1, 0.0f, 0.0f, 0.0f, 0.1f, 44100.0f},
      {"Doppler 2, fast", 2, 0.0f, 0.0f, 0.0f, 1.0f, 44100.0f},
      {"Doppler 3, feedback, merged", 3, 0.8f, 1.0f, 0.0f, 0.05f, 48000.0f},
      {"full feedback at a low rate", 0, 1.0f, 0.0f, 0.0f, 0.9f, 2000.0f},
      {"synced", 1, 0.3f, 0.0f, 1.0f, 0.4f, 8000.0f},
      // Delays sweeping the whole ring, up to its last positions, with feedback.
      {"full depth", 3, 0.7f, 0.0f, 0.0f, 1.0f, 3000.0f, 1.0f},
      // Delays of 0 to 8 samples (one sample at a time) and a small ring's deepest, fed back.
      {"short delays", 1, 0.5f, 0.0f, 0.0f, 1.0f, 44100.0f, 8.0f / 44100.0f},
      {"short delays, merged, full feedback", 2, 1.0f, 1.0f, 0.0f, 0.7f, 44100.0f, 6.0f / 44100.0f},
      {"ring's end, full feedback", 2, 1.0f, 0.0f, 0.0f, 0.3f, 1000.0f, 1.0f},
      {"full feedback, merged", 3, 1.0f, 1.0f, 0.0f, 0.6f, 44100.0f},
      // Cutoffs sweeping down to 0 (a coefficient of 0) and staying at the top.
      {"full damping, fed back", 1, 0.9f, 0.0f, 0.0f, 1.0f, 44100.0f, -1.0f, 1.0f},
      {"no damping, merged", 2, 0.0f, 1.0f, 0.0f, 0.8f, 96000.0f, -1.0f, 0.0f},
      // Oscillators standing still: every move of the phases adds 0.
      {"still oscillators, fed back", 3, 0.6f, 0.0f, 0.0f, 0.0f, 44100.0f},
  };
  TestHost::reset();
  TestHost::tempoAt = 1370000;
  // Both builds of the kernel, where the processor runs the wide one.
  for (const bool wide : {false, true})
    for (const Setting& s : settings) {
      APlugin fx(TestHost::callback);
      if (wide && !fx.UseWideVectors) continue;
      fx.UseWideVectors = wide;
      fx.setSampleRate(s.rate);
      fx.setProgram(s.program);
      fx.setParameter(APlugin::kFeedback, s.feedback);
      fx.setParameter(APlugin::kMergeins, s.merge);
      fx.setParameter(APlugin::kSync, s.sync);
      fx.setParameter(APlugin::kSpeed, s.speed);
      if (s.amount >= 0.0f)
        fx.setParameter(APlugin::kDopplerAmount, s.amount);
      else if (s.program == 0)
        fx.setParameter(APlugin::kDopplerAmount, 0.01f);
      if (s.damping >= 0.0f) fx.setParameter(APlugin::kDamping, s.damping);
      plainref::PlainDoppler plain(fx);
      // Then silence, into which the lines and filters decay, their states down to the offset.
      Stereo in = testSignal(24000, 0.7f, static_cast<std::uint32_t>(s.program + 11));
      in.l.resize(39000);
      in.r.resize(39000);
      Stereo out(in.size());
      std::size_t at = 0;
      bool inPlace = false;  // every other block, the host hands the same buffers as input and output
      // Every block size from 1 to 4096 frames that meets a boundary of the processing's steps.
      for (std::size_t block : {1u,  2u,   3u,   4u,   5u,   7u,   8u,   31u,  32u,   33u,   63u,   64u,
                                65u, 127u, 128u, 129u, 255u, 256u, 257u, 500u, 4095u, 4096u, 30000u}) {
        const std::size_t n = std::min(block, in.size() - at);
        float* ins[2] = {const_cast<float*>(in.l.data() + at), const_cast<float*>(in.r.data() + at)};
        float* outs[2] = {out.l.data() + at, out.r.data() + at};
        if (inPlace) {
          std::copy_n(ins[0], n, outs[0]);
          std::copy_n(ins[1], n, outs[1]);
        }
        fx.processReplacing(inPlace ? outs : ins, outs, static_cast<VstInt32>(n));
        // The block start has captured the rate and, when synced, replaced Rate: follow it.
        for (std::size_t i = at; i < at + n; ++i) {
          float l, r;
          plain.frame(fx.SampleRateInt.load(), in.l[i], in.r[i], l, r);
          ASSERT_EQ(bits(out.l[i]), bits(l)) << s.what << (wide ? ", wide" : ", plain") << " frame " << i;
          ASSERT_EQ(bits(out.r[i]), bits(r)) << s.what << (wide ? ", wide" : ", plain") << " frame " << i;
        }
        // The lines' last-read fields as a read after the block finds them.
        const std::int32_t ring = fx.SampleRateInt.load() + 1;
        const Tdelay4p::TTaps taps = Tdelay4p::locate(fx.WritePos, ring, fx.DelayTime);
        ASSERT_EQ(fx.DelayL.Output, fx.DelayL.Tap(fx.WritePos, ring, fx.DelayTime)) << s.what;
        ASSERT_EQ(fx.DelayR.Output, fx.DelayR.Tap(fx.WritePos, ring, fx.DelayTime)) << s.what;
        ASSERT_TRUE(fx.DelayR.WholeDelay == taps.whole && fx.DelayR.Fraction == taps.fraction &&
                    std::equal(taps.pos, taps.pos + 4, fx.DelayR.Taps))
            << s.what;
        at += n;
        inPlace = !inPlace;
      }
      ASSERT_EQ(at, in.size());
    }
}
