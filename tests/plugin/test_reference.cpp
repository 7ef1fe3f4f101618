// The effect's block processing, which computes ahead in vectors, against the plain per-sample
// formulation on the primitives, bit for bit, over programs, feedback, merged inputs, sync and
// sample-rate changes.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>

#include "PluginTestHost.h"
#include "plugin/uDelay4p.h"
#include "plugin/uLp1.h"
#include "plugin/uPara.h"

namespace {

// One sample at a time, every stored value rounded where the effect rounds it.
class PlainDoppler {
 public:
  explicit PlainDoppler(const APlugin& fx) : fx(fx) {}

  void frame(std::int32_t sampleRateInt, float inL, float inR, float& outL, float& outR) {
    const float rateF = static_cast<float>(sampleRateInt);
    const double l = inL, r = inR;
    if (++writePos > sampleRateInt) writePos = 0;
    para.Step(fx.Rate.load(), rateF, fx.PhaseOffset.load());
    const float mod1 = static_cast<float>(para.Out1 * 0.5);
    const float mod2 = static_cast<float>(para.Out2 * 0.5);
    const double fb = fx.FeedbackGain.load();
    if (fx.MergeSwitch.load() > 0.5f) {
      lineL->Write(writePos, static_cast<float>((l + r) * 0.6 + wetL * fb));
      lineR->Write(writePos, static_cast<float>((r + l) * 0.6 + wetR * fb));
    } else {
      lineL->Write(writePos, static_cast<float>(wetL * fb + l));
      lineR->Write(writePos, static_cast<float>(wetR * fb + r));
    }
    const float delay = static_cast<float>((mod1 + 0.5) * fx.DelayDepth.load());
    lineL->Read(writePos, sampleRateInt + 1, delay);
    lineR->Read(writePos, sampleRateInt + 1, delay);
    wetL = static_cast<float>(lineL->Output);
    wetR = static_cast<float>(lineR->Output);
    float gainL, gainR;
    if (fx.TrajSwap.load() > 0.5f) {
      gainL = static_cast<float>(1 - (mod1 + 0.5) * fx.LeftDepth.load());
      gainR = static_cast<float>(1 - (mod2 + 0.5) * fx.RightDepth.load());
    } else {
      gainL = static_cast<float>(1 - (mod2 + 0.5) * fx.LeftDepth.load());
      gainR = static_cast<float>(1 - (mod1 + 0.5) * fx.RightDepth.load());
    }
    gainL = std::fmin(std::fmax(gainL, 0.0f), 1.0f);
    gainR = std::fmin(std::fmax(gainR, 0.0f), 1.0f);
    const float ll = wetL * gainL, lr = wetL * gainR, rl = wetR * gainL, rr = wetR * gainR;
    const float mixL = static_cast<float>((static_cast<double>(ll) + rl) * 0.7);
    const float mixR = static_cast<float>((static_cast<double>(lr) + rr) * 0.7);
    dampL.Process(mixL, static_cast<float>(12000 - (mod1 + 0.5) * fx.DampDepth.load()), rateF);
    dampR.Process(mixR, static_cast<float>(12000 - (mod2 + 0.5) * fx.DampDepth.load()), rateF);
    outL = static_cast<float>(dampL.Output * fx.MasterGain.load());
    outR = static_cast<float>(dampR.Output * fx.MasterGain.load());
  }

 private:
  const APlugin& fx;
  TPara para;
  std::unique_ptr<Tdelay4p> lineL = std::make_unique<Tdelay4p>(APlugin::kDelayLineLength);
  std::unique_ptr<Tdelay4p> lineR = std::make_unique<Tdelay4p>(APlugin::kDelayLineLength);
  TLp1 dampL, dampR;
  std::int32_t writePos = 0;
  float wetL = 0, wetR = 0;
};

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
  float amount = -1.0f;  // Doppler Amount, or the program's when negative
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
      PlainDoppler plain(fx);
      const Stereo in = testSignal(24000, 0.7f, static_cast<std::uint32_t>(s.program + 11));
      Stereo out(in.size());
      std::size_t at = 0;
      for (std::size_t block : {1u, 63u, 64u, 65u, 500u, 4096u, 30000u}) {
        const std::size_t n = std::min(block, in.size() - at);
        if (n == 0) break;
        float* ins[2] = {const_cast<float*>(in.l.data() + at), const_cast<float*>(in.r.data() + at)};
        float* outs[2] = {out.l.data() + at, out.r.data() + at};
        fx.processReplacing(ins, outs, static_cast<VstInt32>(n));
        // The block start has captured the rate and, when synced, replaced Rate: follow it.
        for (std::size_t i = at; i < at + n; ++i) {
          float l, r;
          plain.frame(fx.SampleRateInt.load(), in.l[i], in.r[i], l, r);
          ASSERT_EQ(bits(out.l[i]), bits(l)) << s.what << (wide ? ", wide" : ", plain") << " frame " << i;
          ASSERT_EQ(bits(out.r[i]), bits(r)) << s.what << (wide ? ", wide" : ", plain") << " frame " << i;
        }
        at += n;
      }
    }
}
