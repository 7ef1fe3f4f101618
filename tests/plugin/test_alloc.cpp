// Processing at a constant block size allocates nothing: every allocation of this test program
// goes through the counting operator new of tests/support/CountingNew.cpp.
#include <gtest/gtest.h>

#include "PluginTestHost.h"
#include "tests/support/CountingNew.h"

using testalloc::allocations;
using testalloc::counting;

TEST(PluginAllocation, ProcessingAtAConstantBlockSizeAllocatesNothing) {
  TestHost::reset();
  TestHost::tempoAt = 1200000;
  APlugin fx(TestHost::callback);
  AEffect* e = fx.getAeffect();
  for (VstInt32 block : {64, 512, 4096}) {
    e->dispatcher(e, effSetBlockSize, 0, block, nullptr, 0.0f);
    e->dispatcher(e, effMainsChanged, 0, 1, nullptr, 0.0f);
    Stereo in = testSignal(static_cast<std::size_t>(block));
    Stereo out(static_cast<std::size_t>(block));
    float* ins[2] = {in.l.data(), in.r.data()};
    float* outs[2] = {out.l.data(), out.r.data()};
    e->processReplacing(e, ins, outs, block);  // the first block of a new size may grow buffers
    allocations = 0;
    counting = true;
    for (int n = 0; n < 200; ++n) {
      e->processReplacing(e, ins, outs, block);
      e->process(e, ins, outs, block);
      if (n == 100) e->setParameter(e, APlugin::kSync, 1.0f);  // a derivation inside a block start
      if (n == 150) e->dispatcher(e, effSetSampleRate, 0, 0, nullptr, 48000.0f);
    }
    counting = false;
    EXPECT_EQ(allocations.load(), 0) << block;
    e->setParameter(e, APlugin::kSync, 0.0f);
    e->dispatcher(e, effSetSampleRate, 0, 0, nullptr, 44100.0f);
  }
}
