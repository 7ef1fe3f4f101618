// Processing on one thread while others set parameters, switch programs and poll `changed`.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <thread>
#include <vector>

#include "tests/vst/TestTemplate.h"

TEST(Threads, ParametersProgramsAndChangedFlagAcrossThreads) {
  TTestTemplate fx;
  fx.OnParameterChange = {};  // the recorder is not thread-safe; the store path is what matters here
  AEffect* e = fx.getAeffect();
  std::atomic<bool> stop{false};
  std::atomic<long> seenChanges{0};

  std::thread audio([&] {
    std::vector<float> l(256, 1.0f), r(256, 1.0f);
    float* io[2] = {l.data(), r.data()};
    // Keep the audio thread busy until the editor thread has seen changes: on a fast machine
    // 2000 blocks can be over before the other threads have started.
    for (int block = 0; block < 2000 || seenChanges.load() < 3; ++block) {
      e->processReplacing(e, io, io, block % 2 == 0 ? 256 : 64);
      const float v = e->getParameter(e, 0);
      ASSERT_TRUE(v >= 0.0f && v <= 1.0f);
    }
    stop = true;
  });
  std::thread automation([&] {
    const float values[] = {0.1f, std::nanf(""), 2.0f, -1.0f, 0.9f};
    for (int i = 0; !stop; ++i) e->setParameter(e, i % 11, values[i % 5]);
  });
  std::thread editor([&] {
    while (!stop) {
      if (fx.isChanged()) {
        fx.clearChanged();
        ++seenChanges;
        for (VstInt32 p = 0; p < 11; ++p) (void)fx.getParameter(p);
      }
    }
  });
  for (int i = 0; !stop; ++i) e->dispatcher(e, effSetProgram, 0, i % 4, nullptr, 0.0f);

  audio.join();
  automation.join();
  editor.join();
  EXPECT_GT(seenChanges.load(), 0);
  for (VstInt32 p = 0; p < 11; ++p) {
    const float v = fx.getParameter(p);
    EXPECT_TRUE(v >= 0.0f && v <= 1.0f) << p;
  }
}

namespace {

// A host that only counts display updates, and those that came on the audio thread.
std::atomic<std::thread::id> gAudioThread;
std::atomic<int> gUpdates{0};
std::atomic<int> gUpdatesOnAudio{0};

VstIntPtr VSTCALLBACK CountingHost(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
  if (opcode == audioMasterVersion) return 2400;
  if (opcode == audioMasterUpdateDisplay) {
    ++gUpdates;
    if (std::this_thread::get_id() == gAudioThread.load()) ++gUpdatesOnAudio;
  }
  return 0;
}

class TProgramByMidi : public TTestTemplate {
 public:
  using TTestTemplate::TTestTemplate;
  void processMidi(VstEvent* event) override { setProgram(event->data[0]); }
};

}  // namespace

// Programs chosen on the audio thread (by MIDI inside processing, by the host between blocks)
// while the editor thread dispatches: the host hears of every change, never on the audio thread.
TEST(Threads, ProgramChangesReachTheHostOnlyOffTheAudioThread) {
  TProgramByMidi fx(&CountingHost);
  fx.OnParameterChange = {};
  AEffect* e = fx.getAeffect();
  e->dispatcher(e, effOpen, 0, 0, nullptr, 0.0f);
  std::atomic<bool> stop{false};

  std::thread audio([&] {
    gAudioThread = std::this_thread::get_id();
    std::vector<float> l(64, 0.0f), r(64, 0.0f);
    float* io[2] = {l.data(), r.data()};
    for (int block = 0; block < 1500; ++block) {
      e->processReplacing(e, io, io, 64);
      VstEvent change{kVstMidiType, 32, 0, 0, {char(block % 4)}};
      VstEvents events{1, 0, {&change, nullptr}};
      e->dispatcher(e, effProcessEvents, 0, 0, &events, 0.0f);
      e->dispatcher(e, effSetProgram, 0, (block + 1) % 4, nullptr, 0.0f);
    }
    stop = true;
  });
  for (int i = 0; !stop; ++i) {
    e->dispatcher(e, effEditIdle, 0, 0, nullptr, 0.0f);
    if (i % 64 == 0) e->dispatcher(e, effSetProgram, 0, i % 4, nullptr, 0.0f);
  }
  audio.join();
  e->dispatcher(e, effEditIdle, 0, 0, nullptr, 0.0f);
  EXPECT_GT(gUpdates.load(), 0);
  EXPECT_EQ(gUpdatesOnAudio.load(), 0);
  gAudioThread = std::thread::id();
}
