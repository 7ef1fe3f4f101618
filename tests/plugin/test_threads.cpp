// Processing on one thread while a second stores parameters and programs and a third polls and
// clears `changed`, as a host and an open editor do. Run under the thread sanitizer.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <thread>

#include "PluginTestHost.h"

TEST(PluginThreads, ProcessingParametersAndTheChangedFlagRunConcurrently) {
  TestHost::reset();
  TestHost::tempoAt = 1200000;
  APlugin fx(TestHost::callback);
  AEffect* e = fx.getAeffect();
  std::atomic<bool> stop{false};
  std::atomic<int> blocks{0};
  std::atomic<bool> finite{true};

  std::thread audio([&] {
    const Stereo in = testSignal(256);
    while (!stop.load() || blocks.load() < 50) {
      const Stereo out = runBlocks(fx, in, 256);
      for (std::size_t i = 0; i < out.size(); ++i)
        if (!std::isfinite(out.l[i]) || !std::isfinite(out.r[i])) finite = false;
      ++blocks;
    }
  });
  std::thread automation([&] {
    for (int n = 0; n < 3000; ++n) {
      e->setParameter(e, n % 11, static_cast<float>(n % 97) / 96.0f);
      if (n % 100 == 0) e->dispatcher(e, effSetProgram, 0, (n / 100) % 4, nullptr, 0.0f);
      (void)e->getParameter(e, n % 11);
    }
  });
  int seen = 0;
  std::thread editor([&] {
    for (int n = 0; n < 3000; ++n) {
      if (fx.isChanged()) {
        ++seen;
        (void)fx.getParameter(n % 11);
        fx.clearChanged();
      }
      std::this_thread::yield();
    }
  });
  automation.join();
  editor.join();
  stop = true;
  audio.join();
  EXPECT_TRUE(finite.load());
  EXPECT_GT(seen, 0);
  EXPECT_GE(blocks.load(), 50);
}
