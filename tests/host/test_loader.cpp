// The loader's defences against broken libraries and records, bounded texts, and the host callback.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "host/HostError.h"
#include "host/HostState.h"
#include "host/Plugin.h"
#include "tests/host/HostTestSupport.h"

using namespace kestrune;
using hosttest::FakeMode;

namespace {

// Keeps a fake library resident for the test, so that its record of the calls it received
// (exported as fakeLog) outlives the host's own unloading.
class FakeLibrary {
 public:
  explicit FakeLibrary(const char* path) : handle_(dlopen(path, RTLD_NOW | RTLD_LOCAL)) {}
  ~FakeLibrary() {
    if (handle_ != nullptr) dlclose(handle_);
  }
  std::string log() const {
    auto fn = handle_ != nullptr ? reinterpret_cast<const char* (*)()>(dlsym(handle_, "fakeLog")) : nullptr;
    return fn != nullptr ? fn() : "";
  }

 private:
  void* handle_;
};

std::string loadError(const std::string& path, bool open = false, bool resume = false) {
  HostState host;
  try {
    auto plugin = Plugin::load(path, host);
    if (open) plugin->open();
    if (resume) plugin->resume();
  } catch (const HostError& e) {
    return e.what();
  }
  return "loaded";
}

}  // namespace

TEST(PluginLoader, FindsVSTPluginMainFirstAndFallsBackToMain) {
  FakeLibrary both(KESTRUNE_FAKE_BOTH), mainOnly(KESTRUNE_FAKE_MAINONLY);
  HostState host;
  {
    auto plugin = Plugin::load(KESTRUNE_FAKE_BOTH, host);
    EXPECT_EQ(plugin->numInputs(), 2);
    EXPECT_EQ(plugin->numParams(), 3);
  }
  EXPECT_EQ(both.log(), "entry VSTPluginMain;close;");
  EXPECT_EQ(loadError(KESTRUNE_FAKE_MAINONLY), "loaded");
  EXPECT_EQ(mainOnly.log(), "entry main;close;");
}

TEST(PluginLoader, RefusesLibrariesThatAreNotPlugIns) {
  hosttest::TempFolder folder;
  std::ofstream(folder / "text.so") << "not a library";
  EXPECT_NE(loadError(folder / "text.so").find("cannot load '" + (folder / "text.so") + "'"), std::string::npos);
  EXPECT_NE(loadError(folder / "missing.so").find("cannot load"), std::string::npos);
  EXPECT_NE(loadError(KESTRUNE_FAKE_NOENTRY).find("exports neither VSTPluginMain nor main"), std::string::npos);
}

TEST(PluginLoader, RefusesBrokenRecordsWithOneClearLine) {
  const struct {
    const char* mode;
    bool open;
    const char* expected;
  } cases[] = {
      {"null-record", false, "its entry returned no effect"},
      {"bad-magic", false, "without the plug-in magic"},
      {"null-dispatcher", false, "without a dispatcher"},
      {"huge-params", false, "reports 1073741824 parameters after loading (accepted: 0 to 10000)"},
      {"negative-inputs", false, "reports -1 inputs after loading"},
      {"outputs-on-open", true, "reports 100000 outputs after opening"},
  };
  for (const auto& c : cases) {
    FakeMode mode(c.mode);
    const std::string error = loadError(KESTRUNE_FAKE_BOTH, c.open);
    EXPECT_NE(error.find(c.expected), std::string::npos) << c.mode << ": " << error;
    EXPECT_EQ(error.find('\n'), std::string::npos) << c.mode;
  }
  // Channels that change on resume would make the plug-in use buffers sized for the old counts.
  {
    FakeMode mode("outputs-on-resume");
    const std::string error = loadError(KESTRUNE_FAKE_BOTH, true, true);
    EXPECT_NE(error.find("changed its channels when resumed"), std::string::npos) << error;
  }
  // A record refused for its counts is still closed, so the plug-in can free itself.
  FakeLibrary fake(KESTRUNE_FAKE_BOTH);
  FakeMode mode("huge-params");
  loadError(KESTRUNE_FAKE_BOTH);
  EXPECT_EQ(fake.log(), "entry VSTPluginMain;close;");
}

TEST(PluginLoader, TextAnswersAreBoundedAndCleaned) {
  FakeMode mode("long-texts");
  HostState host;
  auto plugin = Plugin::load(KESTRUNE_FAKE_BOTH, host);

  const PluginText name = plugin->text(effGetEffectName);  // 400 bytes, no terminator
  EXPECT_EQ(name.text, std::string(kTextReadLimit, 'B'));
  EXPECT_FALSE(name.terminated);
  EXPECT_TRUE(name.overran);

  const PluginText param = plugin->text(effGetParamName, 1);  // exactly the read limit
  EXPECT_EQ(param.text.size(), kTextReadLimit);
  EXPECT_FALSE(param.terminated);
  EXPECT_FALSE(param.overran);

  EXPECT_EQ(plugin->text(effGetVendorString).text, "Bad?Vendor?");
  const PluginText product = plugin->text(effGetProductString);
  EXPECT_EQ(product.text, "Fake");
  EXPECT_TRUE(product.terminated);
  EXPECT_EQ(product.result, 1);
}

TEST(PluginLoader, ProgramNamesComeIndexedOrThroughSelection) {
  for (const char* m : {"good", "no-indexed-names"}) {
    FakeMode mode(m);
    HostState host;
    auto plugin = Plugin::load(KESTRUNE_FAKE_BOTH, host);
    plugin->setProgram(1);
    EXPECT_EQ(plugin->programName(0), "Soft") << m;
    EXPECT_EQ(plugin->programName(1), "Loud") << m;
    EXPECT_EQ(plugin->currentProgram(), 1) << m << ": the current program is restored";
  }
}

TEST(PluginLoader, ParameterCallsStayWithinTheAnnouncedRange) {
  HostState host;
  auto plugin = Plugin::load(KESTRUNE_FAKE_BOTH, host);
  plugin->setParameter(0, 0.75f);
  plugin->setParameter(3, 0.1f);
  plugin->setParameter(-1, 0.1f);
  EXPECT_EQ(plugin->getParameter(0), 0.75f);
  EXPECT_EQ(plugin->getParameter(3), 0.0f);
  EXPECT_EQ(plugin->parameterName(2), "Tone Colour");
  EXPECT_EQ(plugin->parameterLabel(0), "dB");
  EXPECT_EQ(plugin->canDo("bypass"), 1);
  EXPECT_EQ(plugin->canDo("offline"), -1);
}

TEST(HostCallback, AnswersVersionRatesTempoAndCanDo) {
  HostState host;
  HostBinding binding(host);
  audioMasterCallback cb = HostState::callback();
  host.setSampleRate(48000.0);
  host.setBlockSize(256);

  EXPECT_EQ(cb(nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f), 2400);
  EXPECT_EQ(cb(nullptr, audioMasterGetSampleRate, 0, 0, nullptr, 0.0f), 48000);
  EXPECT_EQ(cb(nullptr, audioMasterGetBlockSize, 0, 0, nullptr, 0.0f), 256);
  EXPECT_EQ(cb(nullptr, audioMasterTempoAt, 0, 0, nullptr, 0.0f), 0) << "no tempo set";
  host.setTempo(120.5);
  EXPECT_EQ(cb(nullptr, audioMasterTempoAt, 0, 0, nullptr, 0.0f), 1205000);

  const struct {
    const char* text;
    VstIntPtr answer;
  } canDo[] = {{"sendVstTimeInfo", 1}, {"offline", -1}, {"sizeWindow", -1}, {"somethingNew", 0}, {nullptr, 0}};
  for (const auto& c : canDo)
    EXPECT_EQ(cb(nullptr, audioMasterCanDo, 0, 0, const_cast<char*>(c.text), 0.0f), c.answer)
        << (c.text ? c.text : "null");
  EXPECT_EQ(cb(nullptr, 12345, 0, 0, nullptr, 0.0f), 0);
}

TEST(HostCallback, TimeInfoFollowsPositionAndTempo) {
  HostState host;
  HostBinding binding(host);
  audioMasterCallback cb = HostState::callback();
  host.setSampleRate(44100.0);
  host.setSamplePosition(0.0);
  host.advance(512);
  host.advance(512);

  auto* time = reinterpret_cast<VstTimeInfo*>(cb(nullptr, audioMasterGetTime, 0, 0, nullptr, 0.0f));
  ASSERT_NE(time, nullptr);
  EXPECT_EQ(time->samplePos, 1024.0);
  EXPECT_EQ(time->sampleRate, 44100.0);
  EXPECT_EQ(time->flags & kVstTempoValid, 0);

  host.setTempo(90.0);
  host.setSamplePosition(44100.0);
  time = reinterpret_cast<VstTimeInfo*>(cb(nullptr, audioMasterGetTime, 0, 0, nullptr, 0.0f));
  EXPECT_EQ(time->tempo, 90.0);
  EXPECT_NE(time->flags & kVstTempoValid, 0);
  EXPECT_DOUBLE_EQ(time->ppqPos, 1.5);  // one second at 90 beats per minute
}

TEST(HostCallback, RoutesByRecordAndCountsAutomation) {
  HostState first, second;
  AEffect recordA{}, recordB{};
  HostBinding a(first);
  a.attach(&recordA);
  HostBinding b(second);
  b.attach(&recordB);
  first.setBlockSize(100);
  second.setBlockSize(200);
  audioMasterCallback cb = HostState::callback();

  EXPECT_EQ(cb(&recordA, audioMasterGetBlockSize, 0, 0, nullptr, 0.0f), 100);
  EXPECT_EQ(cb(&recordB, audioMasterGetBlockSize, 0, 0, nullptr, 0.0f), 200);
  cb(&recordB, audioMasterAutomate, 7, 0, nullptr, 0.25f);
  cb(&recordB, audioMasterAutomate, 3, 0, nullptr, 0.5f);
  cb(&recordB, audioMasterBeginEdit, 3, 0, nullptr, 0.0f);
  EXPECT_EQ(second.automation().automateCount, 2);
  EXPECT_EQ(second.automation().lastIndex, 3);
  EXPECT_EQ(second.automation().lastValue, 0.5f);
  EXPECT_EQ(second.automation().beginEditCount, 1);
  EXPECT_EQ(first.automation().automateCount, 0);
}
