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

// A host that reads the first parameter again on each display update, unless on the audio thread.
std::atomic<std::thread::id> gAudioThread;
std::vector<float> gUpdates;
std::atomic<int> gUpdatesOnAudio{0};

VstIntPtr VSTCALLBACK RecordingHost(AEffect* e, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
  if (opcode != audioMasterUpdateDisplay) return opcode == audioMasterVersion ? 2400 : 0;
  if (std::this_thread::get_id() == gAudioThread.load()) return ++gUpdatesOnAudio, 0;
  gUpdates.push_back(e->getParameter(e, 0));
  return 1;
}

}  // namespace

// After a program change the host reads the parameters again and finds the program's values. Never
// on the audio thread (while the editor thread dispatches): the next call on another thread does.
// Nor from inside a processing call on the thread that built the effect (a program change among
// the events, say): its next call does.
TEST(Threads, ProgramChangesAskTheHostToReadTheParametersOffTheAudioThread) {
  struct TChangingProgram : TTestTemplate {
    using TTestTemplate::TTestTemplate;
    void processMidi(VstEvent*) override {
      setProgram(1);
      updatesInside = gUpdates.size();
    }
    std::size_t updatesInside = 99;
  } fx(&RecordingHost);
  fx.OnParameterChange = {};
  AEffect* e = fx.getAeffect();
  auto call = [e](VstInt32 opcode, VstIntPtr value = 0) { e->dispatcher(e, opcode, 0, value, nullptr, 0.0f); };
  for (VstInt32 p = 0; p < 4; ++p) fx.getProgramAt(p)->setValue(0, static_cast<float>(p) / 4.0f);
  std::vector<float> l(64, 0.0f), r(64, 0.0f);
  float* io[2] = {l.data(), r.data()};
  call(effSetProgram, 2);
  e->processReplacing(e, io, io, 64);  // a host doing everything on the thread that built the effect
  call(effSetProgram, 3);
  EXPECT_EQ(gUpdates, (std::vector<float>{0.5f, 0.75f}));
  VstEvent note{kVstMidiType, 32, 0, 0, {}};
  struct {
    VstInt32 numEvents;
    VstIntPtr reserved;
    VstEvent* events[2];
  } events{1, 0, {&note, nullptr}};
  e->dispatcher(e, effProcessEvents, 0, 0, &events, 0.0f);
  EXPECT_EQ(fx.updatesInside, 2u);
  call(effEditIdle);
  EXPECT_EQ(gUpdates, (std::vector<float>{0.5f, 0.75f, 0.25f}));

  std::atomic<bool> stop{false};
  std::thread audio([&] {
    gAudioThread = std::this_thread::get_id();
    for (int block = 0; block < 3000; ++block) {
      e->processReplacing(e, io, io, 64);
      call(effSetProgram, block % 4);
    }
    stop = true;
  });
  while (!stop) call(effEditIdle);
  audio.join();
  call(effEditIdle);
  EXPECT_EQ(gUpdatesOnAudio.load(), 0);
  EXPECT_GT(gUpdates.size(), 2u);
  EXPECT_EQ(gUpdates.back(), fx.getProgramAt(fx.getProgram())->value(0));
}

namespace {

// A host that holds each call for its version until told to answer.
std::atomic<int> gInside{0};
std::atomic<bool> gRelease{false};

VstIntPtr VSTCALLBACK HoldingHost(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
  if (opcode != audioMasterVersion) return 0;
  ++gInside;
  while (!gRelease.load()) std::this_thread::yield();
  return 2400;
}

}  // namespace

// A call to the host under way is seen from every thread: one held on a thread with a counter of
// its own, and one held on a thread sharing the last counter once the eight own ones are used up.
TEST(Threads, HostCallsUnderWayAreSeenFromEveryThread) {
  gInside = 0;
  gRelease = true;
  TTestTemplate fx(&HoldingHost);
  EXPECT_FALSE(fx.inHostCall());
  const auto seenWhileHeld = [&fx] {
    gInside = 0;
    gRelease = false;
    std::thread caller([&fx] { EXPECT_EQ(fx.getMasterVersion(), 2400); });
    while (gInside.load() < 1) std::this_thread::yield();
    EXPECT_TRUE(fx.inHostCall());
    gRelease = true;
    caller.join();
    EXPECT_FALSE(fx.inHostCall());
  };
  seenWhileHeld();
  for (int i = 0; i < 8; ++i) std::thread([&fx] { (void)fx.getMasterVersion(); }).join();
  seenWhileHeld();
}
