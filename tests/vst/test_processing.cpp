// The template's block processing: replacing and accumulating output, host tempo per block, work
// buffers, hostile block arguments and the denormal scope.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "tests/vst/FakeHost.h"
#include "tests/vst/TestTemplate.h"
#include "vst/DDenormalGuard.h"

namespace {

struct Stereo {
  explicit Stereo(std::size_t frames, float left = 0.0f, float right = 0.0f)
      : l(frames, left), r(frames, right), channels{l.data(), r.data()} {}
  std::vector<float> l, r;
  float* channels[2];
};

}  // namespace

TEST(Processing, ReplacingOverwritesAndAccumulatingAdds) {
  TTestTemplate fx;
  fx.gain = 0.5f;
  AEffect* e = fx.getAeffect();
  Stereo in(64, 1.0f, -2.0f), out(64, 10.0f, 10.0f);
  e->processReplacing(e, in.channels, out.channels, 64);
  EXPECT_EQ(out.l[63], 0.5f);
  EXPECT_EQ(out.r[0], -1.0f);
  e->process(e, in.channels, out.channels, 64);
  EXPECT_EQ(out.l[0], 1.0f);
  EXPECT_EQ(out.r[63], -2.0f);

  // In place: the host hands the same buffers as input and output.
  e->processReplacing(e, out.channels, out.channels, 64);
  EXPECT_EQ(out.l[5], 0.5f);
  EXPECT_EQ(out.r[5], -1.0f);

  // Replacing blocks go straight to an effect that takes the host's buffers, in place too;
  // accumulating ones, and those missing a channel (silence), through the work buffers.
  fx.direct = true;
  e->process(e, in.channels, out.channels, 64);
  e->processReplacing(e, out.channels, out.channels, 64);
  EXPECT_EQ(out.r[5], -1.0f);
  float* noLeft[2] = {nullptr, in.r.data()};
  e->processReplacing(e, noLeft, out.channels, 64);
  EXPECT_EQ(out.l[7], 0.0f);
  EXPECT_EQ(fx.directBlocks, std::vector<VstInt32>{64});
  EXPECT_EQ(fx.blocks.size(), 5u);
}

TEST(Processing, HostilePointersAndLengthsAreSurvived) {
  FakeHost host;
  TTestTemplate fx(&FakeHost::callback);
  AEffect* e = fx.getAeffect();
  Stereo in(8, 1.0f, 1.0f), out(8, 7.0f, 7.0f);
  for (VstInt32 frames : {0, -1, std::numeric_limits<VstInt32>::min()}) {
    e->processReplacing(e, in.channels, out.channels, frames);
    e->process(e, in.channels, out.channels, frames);
  }
  EXPECT_EQ(out.l[0], 7.0f);
  EXPECT_TRUE(fx.blocks.empty());
  EXPECT_TRUE(host.calls.empty());  // no tempo query for an empty block

  // No output array: nothing can be written, so nothing runs, whatever the length claims.
  e->processReplacing(e, in.channels, nullptr, std::numeric_limits<VstInt32>::max());
  e->process(e, nullptr, nullptr, std::numeric_limits<VstInt32>::max());
  EXPECT_TRUE(fx.blocks.empty());

  // A missing input is silence; a missing output channel is skipped.
  float* noInputs[2] = {nullptr, nullptr};
  e->processReplacing(e, nullptr, out.channels, 8);
  EXPECT_EQ(out.l[3], 0.0f);
  out.l.assign(8, 7.0f);
  float* onlyRight[2] = {nullptr, out.r.data()};
  e->processReplacing(e, noInputs, onlyRight, 8);
  EXPECT_EQ(out.l[3], 7.0f);
  EXPECT_EQ(out.r[3], 0.0f);
}

TEST(Processing, ProcessingBeforeResumeUsesTheInitialBuffers) {
  TTestTemplate fx;
  AEffect* e = fx.getAeffect();
  Stereo in(256, 0.25f, 0.5f), out(256);
  e->processReplacing(e, in.channels, out.channels, 256);
  EXPECT_EQ(out.r[255], 0.5f);
}

TEST(Processing, WorkBuffersFollowTheBlockAndStayPutAtAConstantSize) {
  TTestTemplate fx;
  AEffect* e = fx.getAeffect();
  Stereo in(3000, 1.0f, 1.0f), out(3000);
  e->processReplacing(e, in.channels, out.channels, 3000);
  EXPECT_EQ(fx.inputs()[0].size(), 3000u);
  EXPECT_EQ(fx.outputs()[1].size(), 3000u);
  const float* inData = fx.inputs()[0].data();
  const float* outData = fx.outputs()[1].data();
  for (VstInt32 frames : {3000, 3000, 100, 3000, 1}) {
    e->processReplacing(e, in.channels, out.channels, frames);
    EXPECT_EQ(fx.inputs()[0].size(), static_cast<std::size_t>(frames));
  }
  EXPECT_EQ(fx.inputs()[0].data(), inData);  // never reallocated
  EXPECT_EQ(fx.outputs()[1].data(), outData);

  // After resume with a block size announced, a block of that size finds the buffers ready.
  e->dispatcher(e, effSetBlockSize, 0, 8192, nullptr, 0.0f);
  e->dispatcher(e, effMainsChanged, 0, 1, nullptr, 0.0f);
  const float* grown = fx.inputs()[0].data();
  Stereo big(8192, 1.0f, 1.0f), bigOut(8192);
  e->processReplacing(e, big.channels, bigOut.channels, 8192);
  EXPECT_EQ(fx.inputs()[0].data(), grown);
}

TEST(Processing, LongBlocksArePassedOnInPieces) {
  TTestTemplate fx;
  fx.gain = 2.0f;
  AEffect* e = fx.getAeffect();
  const VstInt32 frames = 2 * TVstTemplate::kMaxWorkFrames + 17;
  Stereo in(static_cast<std::size_t>(frames)), out(static_cast<std::size_t>(frames), 1.0f, 1.0f);
  for (VstInt32 i = 0; i < frames; ++i) in.l[static_cast<std::size_t>(i)] = static_cast<float>(i % 1000);
  e->process(e, in.channels, out.channels, frames);
  EXPECT_EQ(fx.blocks, (std::vector<VstInt32>{TVstTemplate::kMaxWorkFrames, TVstTemplate::kMaxWorkFrames, 17}));
  for (VstInt32 i : {0, 999, TVstTemplate::kMaxWorkFrames, TVstTemplate::kMaxWorkFrames + 1, frames - 1})
    EXPECT_EQ(out.l[static_cast<std::size_t>(i)], 1.0f + 2.0f * static_cast<float>(i % 1000)) << i;
  EXPECT_LE(fx.inputs()[0].capacity(), 2u * TVstTemplate::kMaxWorkFrames);  // bounded, not 2^17 + 17 per channel
}

TEST(Processing, TempoComesFromTheTempoQueryOrTheTimeInformation) {
  struct Row {
    VstIntPtr tempoAnswer;
    bool timeInfo;
    VstInt32 timeFlags;
    double timeTempo;
    float expected;
    std::size_t hostCalls;
  };
  const double nan = std::nan("");
  const Row rows[] = {
      {1200000, true, kVstTempoValid, 90.0, 120.0f, 1},  // the tempo query wins
      {1234567, false, 0, 0.0, 123.4567f, 1},
      {0, true, kVstTempoValid, 90.0, 90.0f, 2},  // falls back to the time information
      {0, true, 0, 90.0, 0.0f, 2},                // tempo not flagged valid
      {0, false, 0, 0.0, 0.0f, 2},                // no time information
      {-1200000, true, kVstTempoValid, 75.0, 75.0f, 2},
      {0, true, kVstTempoValid, -90.0, 0.0f, 2},
      {0, true, kVstTempoValid, nan, 0.0f, 2},
      {0, true, kVstTempoValid, 1.0e300, 0.0f, 2},
  };
  for (const Row& r : rows) {
    FakeHost host;
    VstTimeInfo info{};
    info.flags = r.timeFlags;
    info.tempo = r.timeTempo;
    host.answer = [&](const HostCall& c) -> VstIntPtr {
      if (c.opcode == audioMasterTempoAt) return r.tempoAnswer;
      if (c.opcode == audioMasterGetTime) {
        EXPECT_EQ(c.value, kVstTempoValid);
        return r.timeInfo ? reinterpret_cast<VstIntPtr>(&info) : 0;
      }
      return 0;
    };
    TTestTemplate fx(&FakeHost::callback);
    host.calls.clear();
    AEffect* e = fx.getAeffect();
    Stereo io(32);
    e->processReplacing(e, io.channels, io.channels, 32);
    EXPECT_EQ(fx.getTempo(), r.expected) << r.tempoAnswer << " " << r.timeTempo;
    EXPECT_EQ(host.calls.size(), r.hostCalls);
    EXPECT_EQ(host.calls.front().opcode, audioMasterTempoAt);
    EXPECT_EQ(host.calls.front().value, 0);
  }
}

#ifdef KESTRUNE_HAVE_MXCSR
// Whatever rounding the host's thread has set, processing rounds to nearest: the samples do not
// depend on it.
TEST(Processing, DenormalsAreFlushedAndRoundingIsToNearestWhileProcessingOnly) {
  struct Probe : TTestTemplate {
    void processAudio(TArrayOfSingleArray&, TArrayOfSingleArray&, VstInt32) override { seen = _mm_getcsr(); }
    unsigned seen = 0;
  } fx;
  const unsigned host = _mm_getcsr();
  for (const unsigned rounding : {0x0000u, 0x2000u, 0x4000u, 0x6000u}) {  // nearest, down, up, toward zero
    _mm_setcsr((host & ~TDenormalGuard::kRounding) | rounding);
    const unsigned before = _mm_getcsr();
    AEffect* e = fx.getAeffect();
    Stereo io(4);
    e->processReplacing(e, io.channels, io.channels, 4);
    const unsigned after = _mm_getcsr();
    _mm_setcsr(host);
    const unsigned both = TDenormalGuard::kFlushToZero | TDenormalGuard::kDenormalsAreZero;
    EXPECT_EQ(fx.seen & both, both) << rounding;
    EXPECT_EQ(fx.seen & TDenormalGuard::kRounding, 0u) << rounding;
    EXPECT_EQ(after, before) << rounding;
  }
}
#endif
