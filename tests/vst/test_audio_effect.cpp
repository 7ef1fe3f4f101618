// The base and extended effect as a host reaches them through the record.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <stdexcept>

#include "tests/vst/FakeHost.h"
#include "vst/DAudioEffectX.h"

namespace {

struct Counts {
  int setSampleRate = 0, setBlockSize = 0, suspend = 0, resume = 0, setProgram = 0, textCalls = 0;
  int destroyed = 0;
};

class TCountingEffect : public AudioEffectX {
 public:
  TCountingEffect(audioMasterCallback host, Counts& counts) : AudioEffectX(host, 4, 11), counts(counts) {}
  ~TCountingEffect() override { ++counts.destroyed; }
  void process(float**, float**, VstInt32) override {}
  void setSampleRate(float rate) override {
    ++counts.setSampleRate;
    AudioEffectX::setSampleRate(rate);
  }
  void setBlockSize(VstInt32 size) override {
    ++counts.setBlockSize;
    AudioEffectX::setBlockSize(size);
  }
  void suspend() override { ++counts.suspend; }
  void resume() override { ++counts.resume; }
  void setProgram(VstInt32 p) override {
    ++counts.setProgram;
    AudioEffectX::setProgram(p);
  }
  void getProgramName(char*) override { ++counts.textCalls; }
  void getParameterName(VstInt32, char*) override { ++counts.textCalls; }
  bool getEffectName(char*) override { return ++counts.textCalls, true; }
  VstInt32 canDo(char*) override { return ++counts.textCalls, 1; }
  Counts& counts;
};

class TThrowingEffect : public AudioEffectX {
 public:
  explicit TThrowingEffect(int* destroyed) : AudioEffectX(nullptr, 1, 1), destroyed(destroyed) {}
  ~TThrowingEffect() override { ++*destroyed; }
  void process(float**, float**, VstInt32) override { throw std::runtime_error("process"); }
  void processReplacing(float**, float**, VstInt32) override { throw std::bad_alloc(); }
  void setParameter(VstInt32, float) override { throw 7; }
  float getParameter(VstInt32) override { throw std::runtime_error("get"); }
  VstIntPtr dispatcher(VstInt32, VstInt32, VstIntPtr, void*, float) override { throw std::runtime_error("dispatch"); }
  int* destroyed;
};

struct KeyEditor : AEffEditor {
  explicit KeyEditor(AudioEffect* e, int* destroyed) : AEffEditor(e), destroyed(destroyed) {}
  ~KeyEditor() override { ++*destroyed; }
  VstInt32 onKeyDown(VstKeyCode& k) override {
    last = k;
    return AEffEditor::onKeyDown(k);
  }
  void update() override { ++updates; }
  VstKeyCode last{};
  int updates = 0;
  int* destroyed;
};

VstIntPtr dispatch(AEffect* e, VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr,
                   float opt = 0.0f) {
  return e->dispatcher(e, opcode, index, value, ptr, opt);
}

}  // namespace

TEST(AudioEffect, FreshRecordHoldsTheBaseValues) {
  Counts counts;
  TCountingEffect fx(nullptr, counts);
  const AEffect* e = fx.getAeffect();
  EXPECT_EQ(e->magic, 0x56737450);
  EXPECT_EQ(e->numInputs * 10 + e->numOutputs, 12);
  EXPECT_EQ(e->flags, 0);
  EXPECT_EQ(e->uniqueID, 0x4E6F4566);
  EXPECT_EQ(e->object, &fx);
  EXPECT_EQ(e->processDoubleReplacing, nullptr);
  for (char c : e->future) EXPECT_EQ(c, 0);
}

TEST(AudioEffect, DispatcherDefaultAnswers) {
  Counts counts;
  TCountingEffect fx(nullptr, counts);
  AEffect* e = fx.getAeffect();
  char buffer[8] = {};
  struct Row {
    VstInt32 opcode;
    VstInt32 index;
    VstIntPtr value;
    void* ptr;
    VstIntPtr expected;
  };
  const Row rows[] = {
      {effIdentify, 0, 0, nullptr, 0x4E764566},
      {effGetChunk, 0, 0, buffer, 0},
      {effSetChunk, 0, 8, buffer, 0},
      {effGetVstVersion, 0, 0, nullptr, 2300},
      {effGetPlugCategory, 0, 0, nullptr, 0},
      {effKeysRequired, 0, 0, nullptr, 1},
      {effCanBeAutomated, 0, 0, nullptr, 1},
      {effCanBeAutomated, 999, 0, nullptr, 1},
      {effGetCurrentMidiProgram, 0, 0, buffer, -1},
      {effSetTotalSampleToProcess, 0, 4096, nullptr, 4096},
      {effConnectInput, 5, 0, nullptr, 1},
      {effConnectOutput, -1, 1, nullptr, 1},
      {effGetSpeakerArrangement, 0, 0, buffer, 0},
      {effEditKeyDown, 'a', 0, nullptr, 0},  // no editor
      {effSetEditKnobMode, 0, 2, nullptr, 0},
      {effEditGetRect, 0, 0, buffer, 0},
      {effEditOpen, 0, 0, nullptr, 0},
      {77, 0, 0, nullptr, 0},
      {-1, 0, 0, nullptr, 0},
      {std::numeric_limits<VstInt32>::min(), -1, -1, nullptr, 0},
      {std::numeric_limits<VstInt32>::max(), 0, 0, nullptr, 0},
  };
  for (const Row& r : rows) EXPECT_EQ(dispatch(e, r.opcode, r.index, r.value, r.ptr), r.expected) << r.opcode;
  for (char c : buffer) EXPECT_EQ(c, 0);  // nothing written into the host's memory

  fx.isSynth(true);
  EXPECT_EQ(dispatch(e, effGetPlugCategory), kPlugCategSynth);

  for (VstIntPtr mains : {VstIntPtr{0}, VstIntPtr{2}, VstIntPtr{-1}}) dispatch(e, effMainsChanged, 0, mains);
  EXPECT_EQ(counts.suspend * 10 + counts.resume, 12);  // any non-zero value resumes
}

TEST(AudioEffect, ProgramSelectionTakesOnlyIndicesInRange) {
  Counts counts;
  TCountingEffect fx(nullptr, counts);
  AEffect* e = fx.getAeffect();
  dispatch(e, effSetProgram, 0, 2);
  for (VstIntPtr bad : {VstIntPtr{4}, VstIntPtr{-1}, VstIntPtr{std::numeric_limits<VstInt32>::min()},
                        static_cast<VstIntPtr>(std::numeric_limits<std::intptr_t>::max())})
    dispatch(e, effSetProgram, 0, bad);
  EXPECT_EQ(counts.setProgram, 1);
  EXPECT_EQ(dispatch(e, effGetProgram), 2);
}

TEST(AudioEffect, UnusableSampleRatesAndBlockSizesAreKeptOut) {
  Counts counts;
  TCountingEffect fx(nullptr, counts);
  AEffect* e = fx.getAeffect();
  const float inf = std::numeric_limits<float>::infinity();
  for (float bad : {std::nanf(""), inf, -inf, 0.0f, -48000.0f, -0.0f}) {
    dispatch(e, effSetSampleRate, 0, 0, nullptr, bad);
    dispatch(e, effSetBlockSizeAndSampleRate, 0, 256, nullptr, bad);
  }
  EXPECT_EQ(fx.getSampleRate(), 44100.0f);
  EXPECT_EQ(fx.getBlockSize(), 256);

  for (VstIntPtr bad :
       {VstIntPtr{0}, VstIntPtr{-512}, static_cast<VstIntPtr>(std::numeric_limits<std::intptr_t>::min())}) {
    dispatch(e, effSetBlockSize, 0, bad);
    dispatch(e, effSetBlockSizeAndSampleRate, 0, bad, nullptr, 22050.0f);
  }
  EXPECT_EQ(fx.getBlockSize(), 256);
  EXPECT_EQ(fx.getSampleRate(), 22050.0f);

  // 43 stores both fields directly.
  const int rateCalls = counts.setSampleRate, sizeCalls = counts.setBlockSize;
  EXPECT_EQ(dispatch(e, effSetBlockSizeAndSampleRate, 0, 512, nullptr, 48000.0f), 1);
  EXPECT_EQ(fx.getBlockSize(), 512);
  EXPECT_EQ(fx.getSampleRate(), 48000.0f);
  EXPECT_EQ(counts.setSampleRate, rateCalls);
  EXPECT_EQ(counts.setBlockSize, sizeCalls);

  dispatch(e, effSetSampleRate, 0, 0, nullptr, 96000.0f);
  EXPECT_EQ(fx.getSampleRate(), 96000.0f);
}

TEST(AudioEffect, AnEffectCanTightenTheSampleRateCheck) {
  struct Picky : AudioEffectX {
    Picky() : AudioEffectX(nullptr, 1, 1) {}
    void process(float**, float**, VstInt32) override {}
    bool isUsableSampleRate(float rate) const override {
      return AudioEffectX::isUsableSampleRate(rate) && rate <= 768000.0f;
    }
  } fx;
  dispatch(fx.getAeffect(), effSetSampleRate, 0, 0, nullptr, 1.0e6f);
  dispatch(fx.getAeffect(), effSetBlockSizeAndSampleRate, 0, 64, nullptr, 1.0e6f);
  EXPECT_EQ(fx.getSampleRate(), 44100.0f);
  dispatch(fx.getAeffect(), effSetSampleRate, 0, 0, nullptr, 768000.0f);
  EXPECT_EQ(fx.getSampleRate(), 768000.0f);
}

TEST(AudioEffect, NullTextBuffersAreAnsweredZeroWithoutCallingTheEffect) {
  Counts counts;
  TCountingEffect fx(nullptr, counts);
  AEffect* e = fx.getAeffect();
  for (VstInt32 opcode : {effGetProgramName, effSetProgramName, effGetParamName, effGetParamLabel, effGetParamDisplay,
                          effGetEffectName, effGetVendorString, effGetProductString, effCanDo, effGetProgramNameIndexed,
                          effGetInputProperties, effGetOutputProperties, effString2Parameter, effGetParameterProperties,
                          effGetChunk, effSetChunk, effProcessEvents, effShellGetNextPlugin, effGetMidiKeyName})
    EXPECT_EQ(dispatch(e, opcode, 0, 0, nullptr), 0) << opcode;
  EXPECT_EQ(counts.textCalls, 0);
  char text[16];
  EXPECT_EQ(dispatch(e, effCanDo, 0, 0, text), 1);
  EXPECT_EQ(counts.textCalls, 1);
}

TEST(AudioEffect, EditorOpcodesReachTheAttachedEditor) {
  Counts counts;
  TCountingEffect fx(nullptr, counts);
  AEffect* e = fx.getAeffect();
  int destroyed = 0;
  auto* editor = new KeyEditor(&fx, &destroyed);
  fx.setEditor(editor);
  EXPECT_EQ(e->flags & effFlagsHasEditor, effFlagsHasEditor);

  ERect* rect = reinterpret_cast<ERect*>(1);
  EXPECT_EQ(dispatch(e, effEditGetRect, 0, 0, &rect), 0);
  EXPECT_EQ(rect, nullptr);
  int parent = 0;
  dispatch(e, effEditOpen, 0, 0, &parent);
  EXPECT_EQ(editor->getSystemWindow(), &parent);

  editor->postUpdate();
  dispatch(e, effEditIdle);
  dispatch(e, effEditIdle);
  EXPECT_EQ(editor->updates, 1);

  EXPECT_EQ(dispatch(e, effEditKeyDown, 'x', 0x1FF, nullptr, 2.6f), -1);
  EXPECT_EQ(editor->last.character, 'x');
  EXPECT_EQ(editor->last.virt, 0xFF);
  EXPECT_EQ(editor->last.modifier, 3);
  dispatch(e, effEditKeyDown, 'y', 0, nullptr, std::nanf(""));
  EXPECT_EQ(editor->last.modifier, 0);
  EXPECT_EQ(dispatch(e, effEditKeyUp, 'x'), -1);

  fx.setEditor(nullptr);
  EXPECT_EQ(destroyed, 1);
  EXPECT_EQ(e->flags & effFlagsHasEditor, 0);
  EXPECT_EQ(dispatch(e, effEditKeyDown, 'x'), 0);
}

TEST(AudioEffect, WrappersWithoutHostGiveTheirFallbacks) {
  Counts counts;
  TCountingEffect fx(nullptr, counts);
  EXPECT_EQ(fx.getMasterVersion(), 1);
  EXPECT_TRUE(fx.isInputConnected(0));
  EXPECT_EQ(fx.tempoAt(0), 0);
  EXPECT_EQ(fx.getTimeInfo(kVstTempoValid), nullptr);
  EXPECT_EQ(fx.updateSampleRate(), 44100.0f);
  EXPECT_EQ(fx.updateBlockSize(), 1024);
  fx.setParameterAutomated(0, 0.5f);  // no host: nothing to call, nothing to crash
}

TEST(AudioEffect, WrappersPassTheirArgumentsToTheHost) {
  FakeHost host;
  Counts counts;
  TCountingEffect fx(&FakeHost::callback, counts);
  char text[4];
  fx.wantEvents(1);
  fx.beginEdit(3);
  fx.endEdit(4);
  fx.sizeWindow(415, 218);
  fx.offlineRead(text, 7, true);
  fx.setOutputSamplerate(48000.0f);
  fx.isOutputConnected(2);
  fx.setParameterAutomated(5, 1.5f);
  fx.hostVendorSpecific(1, 2, text, 3.0f);
  EXPECT_FALSE(fx.openFileSelector(nullptr));  // no call for a null selector
  const HostCall expected[] = {
      {fx.getAeffect(), audioMasterWantMidi, 0, 1, nullptr, 0.0f},
      {fx.getAeffect(), audioMasterBeginEdit, 3, 0, nullptr, 0.0f},
      {fx.getAeffect(), audioMasterEndEdit, 4, 0, nullptr, 0.0f},
      {fx.getAeffect(), audioMasterSizeWindow, 415, 218, nullptr, 0.0f},
      {fx.getAeffect(), audioMasterOfflineRead, 1, 7, text, 0.0f},
      {fx.getAeffect(), audioMasterSetOutputSampleRate, 0, 0, nullptr, 48000.0f},
      {fx.getAeffect(), audioMasterPinConnected, 2, 1, nullptr, 0.0f},
      {fx.getAeffect(), audioMasterAutomate, 5, 0, nullptr, 1.0f},  // the host hears the clamped value
      {fx.getAeffect(), audioMasterVendorSpecific, 1, 2, text, 3.0f},
  };
  ASSERT_EQ(host.calls.size(), std::size(expected));
  for (std::size_t i = 0; i < host.calls.size(); ++i) {
    const HostCall& c = host.calls[i];
    const HostCall& x = expected[i];
    EXPECT_EQ(c.effect, x.effect);
    EXPECT_EQ(c.opcode, x.opcode) << i;
    EXPECT_EQ(c.index, x.index) << i;
    EXPECT_EQ(c.value, x.value) << i;
    EXPECT_EQ(c.ptr, x.ptr) << i;
    EXPECT_EQ(c.opt, x.opt) << i;
  }
}

TEST(AudioEffect, HostAnswersAreInterpreted) {
  FakeHost host;
  VstIntPtr rate = 0, version = 0, pin = 1;
  host.answer = [&](const HostCall& c) -> VstIntPtr {
    switch (c.opcode) {
      case audioMasterVersion: return version;
      case audioMasterGetSampleRate: return rate;
      case audioMasterPinConnected: return pin;
      default: return 0;
    }
  };
  Counts counts;
  TCountingEffect fx(&FakeHost::callback, counts);
  EXPECT_EQ(fx.getMasterVersion(), 1);  // a zero answer reads as version 1
  version = 2400;
  EXPECT_EQ(fx.getMasterVersion(), 2400);
  EXPECT_FALSE(fx.isInputConnected(0));  // the host answers 0 for "connected"
  pin = 0;
  EXPECT_TRUE(fx.isInputConnected(0));
  EXPECT_EQ(fx.updateSampleRate(), 44100.0f);  // 0: keep
  rate = -5;
  EXPECT_EQ(fx.updateSampleRate(), 44100.0f);
  rate = 96000;
  EXPECT_EQ(fx.updateSampleRate(), 96000.0f);
}

TEST(AudioEffect, NothingThrownReachesTheHost) {
  int destroyed = 0;
  auto* fx = new TThrowingEffect(&destroyed);
  AEffect* e = fx->getAeffect();
  float sample = 0.0f;
  float* channels[2] = {&sample, &sample};
  EXPECT_EQ(dispatch(e, effGetVstVersion), 0);
  e->process(e, channels, channels, 1);
  e->processReplacing(e, channels, channels, 1);
  e->setParameter(e, 0, 0.5f);
  EXPECT_EQ(e->getParameter(e, 0), 0.0f);
  // effClose still frees the object and reports 1 even though the dispatcher throws.
  EXPECT_EQ(dispatch(e, effClose), 1);
  EXPECT_EQ(destroyed, 1);
}

TEST(AudioEffect, EntryFunctionsIgnoreARecordWithoutObject) {
  Counts counts;
  TCountingEffect fx(nullptr, counts);
  AEffect copy = *fx.getAeffect();
  copy.object = nullptr;
  EXPECT_EQ(copy.dispatcher(&copy, effGetVstVersion, 0, 0, nullptr, 0.0f), 0);
  EXPECT_EQ(copy.dispatcher(nullptr, effClose, 0, 0, nullptr, 0.0f), 0);
  copy.process(&copy, nullptr, nullptr, 16);
  copy.processReplacing(nullptr, nullptr, nullptr, 16);
  copy.setParameter(&copy, 0, 1.0f);
  EXPECT_EQ(copy.getParameter(nullptr, 0), 0.0f);
  EXPECT_EQ(counts.destroyed, 0);
}

TEST(AudioEffect, CloseDestroysTheEffectAndItsEditor) {
  Counts counts;
  auto* fx = new TCountingEffect(nullptr, counts);
  int editorDestroyed = 0;
  fx->setEditor(new KeyEditor(fx, &editorDestroyed));
  EXPECT_EQ(dispatch(fx->getAeffect(), effClose), 1);
  EXPECT_EQ(counts.destroyed, 1);
  EXPECT_EQ(editorDestroyed, 1);
}

TEST(AudioEffect, CloseDestroysTheEditorWhileTheWholeEffectStillExists) {
  // An editor window may read the effect while it is torn down; the derived effect must still be whole.
  struct WatchingEditor : AEffEditor {
    WatchingEditor(AudioEffect* e, const Counts& c, int* seen)
        : AEffEditor(e), counts(c), effectsGoneAtDestruction(seen) {}
    ~WatchingEditor() override { *effectsGoneAtDestruction = counts.destroyed; }
    const Counts& counts;
    int* effectsGoneAtDestruction;
  };
  Counts counts;
  auto* fx = new TCountingEffect(nullptr, counts);
  int seen = -1;
  fx->setEditor(new WatchingEditor(fx, counts, &seen));
  EXPECT_EQ(dispatch(fx->getAeffect(), effClose), 1);
  EXPECT_EQ(seen, 0);
  EXPECT_EQ(counts.destroyed, 1);
}
