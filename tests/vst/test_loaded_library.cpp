// The test effect library loaded as a host loads it: through its exported entries and the record.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "tests/vst/FakeHost.h"
#include "vst/DAEffect.h"

namespace {

class LoadedLibrary : public ::testing::Test {
 protected:
  void SetUp() override {
    handle = dlopen(KESTRUNE_TESTFX_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(handle, nullptr) << dlerror();
    pluginMain = reinterpret_cast<VstPluginMainProc>(dlsym(handle, "VSTPluginMain"));
    legacyMain = reinterpret_cast<VstPluginMainProc>(dlsym(handle, "main"));
    ASSERT_NE(pluginMain, nullptr);
    ASSERT_NE(legacyMain, nullptr);
  }
  void TearDown() override {
    if (handle != nullptr) dlclose(handle);
  }

  static VstIntPtr dispatch(AEffect* e, VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr,
                            float opt = 0.0f) {
    return e->dispatcher(e, opcode, index, value, ptr, opt);
  }
  static std::string text(AEffect* e, VstInt32 opcode, VstInt32 index = 0) {
    char buffer[256] = {};
    dispatch(e, opcode, index, 0, buffer);
    return buffer;
  }

  FakeHost host;
  void* handle = nullptr;
  VstPluginMainProc pluginMain = nullptr;
  VstPluginMainProc legacyMain = nullptr;
};

VstIntPtr VSTCALLBACK refusingHost(AEffect*, VstInt32, VstInt32, VstIntPtr, void*, float) { return 0; }

}  // namespace

TEST_F(LoadedLibrary, BothEntriesBuildAnEffectAndHostsWithoutVersionAreRefused) {
  EXPECT_EQ(pluginMain(nullptr), nullptr);
  EXPECT_EQ(pluginMain(&refusingHost), nullptr);
  EXPECT_EQ(legacyMain(&refusingHost), nullptr);
  for (VstPluginMainProc entry : {pluginMain, legacyMain}) {
    AEffect* e = entry(&FakeHost::callback);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->magic, kEffectMagic);
    EXPECT_EQ(e->uniqueID, 0x4B54676E);  // "KTgn"
    EXPECT_EQ(e->numInputs, 2);
    EXPECT_EQ(e->numOutputs, 2);
    EXPECT_EQ(e->numPrograms, 2);
    EXPECT_EQ(e->numParams, 2);
    EXPECT_EQ(e->flags, effFlagsCanMono | effFlagsCanReplacing);
    EXPECT_EQ(dispatch(e, effClose), 1);
  }
  EXPECT_EQ(host.calls.front().effect, nullptr);  // the version query names no record
  EXPECT_EQ(host.calls.front().opcode, audioMasterVersion);
}

TEST_F(LoadedLibrary, ASessionAsAHostRunsIt) {
  AEffect* e = pluginMain(&FakeHost::callback);
  ASSERT_NE(e, nullptr);
  dispatch(e, effOpen);
  dispatch(e, effSetSampleRate, 0, 0, nullptr, 48000.0f);
  dispatch(e, effSetBlockSize, 0, 128);
  dispatch(e, effMainsChanged, 0, 1);
  EXPECT_EQ(text(e, effGetEffectName), "TestGain");
  EXPECT_EQ(text(e, effGetProductString), "KestruneTestGain");
  EXPECT_EQ(text(e, effGetParamName, 0), "Gain");
  EXPECT_EQ(text(e, effGetParamLabel, 0), "x");
  EXPECT_EQ(text(e, effGetProgramName), "Unity");
  EXPECT_EQ(dispatch(e, effCanDo, 0, 0, const_cast<char*>("2in2out")), 1);

  std::vector<float> l(128, 1.0f), r(128, -1.0f);
  float* io[2] = {l.data(), r.data()};
  e->processReplacing(e, io, io, 128);
  EXPECT_EQ(l[0], 1.0f);
  dispatch(e, effSetProgram, 0, 1);
  EXPECT_EQ(text(e, effGetProgramName), "Half");
  EXPECT_EQ(text(e, effGetParamDisplay, 0), "0.50");
  e->processReplacing(e, io, io, 128);
  EXPECT_EQ(l[127], 0.5f);
  e->setParameter(e, 1, 1.0f);
  e->process(e, io, io, 128);  // out += -0.5 * in
  EXPECT_EQ(r[0], -0.25f);
  EXPECT_EQ(e->getParameter(e, 1), 1.0f);

  dispatch(e, effMainsChanged, 0, 0);
  EXPECT_EQ(dispatch(e, effClose), 1);
}

TEST_F(LoadedLibrary, HostileCallsAreAnsweredZero) {
  AEffect* e = pluginMain(&FakeHost::callback);
  ASSERT_NE(e, nullptr);
  const VstInt32 kMax = std::numeric_limits<VstInt32>::max();
  const VstInt32 kMin = std::numeric_limits<VstInt32>::min();
  for (VstInt32 opcode : {-1, -100, kMin, 77, 78, 79, 500, kMax})
    for (VstInt32 index : {0, -1, kMax}) EXPECT_EQ(dispatch(e, opcode, index, -1, nullptr, std::nanf("")), 0) << opcode;
  // Every opcode with a null pointer and hostile numbers: no crash, and only a few answer non-zero.
  for (VstInt32 opcode = 0; opcode <= 80; ++opcode) {
    if (opcode == effClose) continue;
    for (VstInt32 index : {-1, kMax}) dispatch(e, opcode, index, std::numeric_limits<VstIntPtr>::min(), nullptr, -1.0f);
  }
  for (VstInt32 index : {-1, 2, kMax, kMin}) {
    e->setParameter(e, index, 0.5f);
    EXPECT_EQ(e->getParameter(e, index), 0.0f);
    EXPECT_EQ(text(e, effGetParamName, index), "undefined");
  }
  EXPECT_EQ(dispatch(e, effEditGetRect, 0, 0, nullptr), 0);
  EXPECT_EQ(dispatch(e, effEditClose), 0);  // no editor
  EXPECT_EQ(dispatch(e, effClose), 1);
}
