// KestruneEn.dll as a Windows host sees it: its entries, the effect record through the dispatcher,
// and a rendering written out for the comparison with the Linux build.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "tests/win32/RenderHarness.h"
#include "tests/win32/WineHost.h"

using namespace winehost;

namespace {

VstIntPtr VSTCALLBACK NoVersionHost(AEffect*, VstInt32, VstInt32, VstIntPtr, void*, float) { return 0; }

// The names the DLL's export table lists.
std::vector<std::string> ExportNames(HMODULE module) {
  auto* base = reinterpret_cast<BYTE*>(module);
  auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
  const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
  std::vector<std::string> names;
  if (!dir.VirtualAddress) return names;
  auto* ex = reinterpret_cast<IMAGE_EXPORT_DIRECTORY*>(base + dir.VirtualAddress);
  auto* rvas = reinterpret_cast<DWORD*>(base + ex->AddressOfNames);
  for (DWORD i = 0; i < ex->NumberOfNames; ++i) names.emplace_back(reinterpret_cast<char*>(base + rvas[i]));
  return names;
}

class WineEffect : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(lib.module, nullptr) << "KestruneEn.dll does not load, error " << ::GetLastError();
    HostLog::Reset();
  }
  AEffect* Open(const char* entry = "VSTPluginMain") {
    VstPluginMainProc main = lib.Entry(entry);
    if (!main) return nullptr;
    AEffect* e = main(&HostLog::Callback);
    if (e) Dispatch(e, effOpen);
    return e;
  }
  static std::string Text(AEffect* e, VstInt32 op, VstInt32 index = 0) {
    char buffer[256];
    std::memset(buffer, 0x7F, sizeof buffer);
    Dispatch(e, op, index, 0, buffer);
    const void* end = std::memchr(buffer, 0, sizeof buffer);
    EXPECT_NE(end, nullptr) << "unterminated text for opcode " << op;
    return end ? std::string(buffer) : std::string();
  }
  Library lib{"KestruneEn.dll"};
};

}  // namespace

TEST_F(WineEffect, ExportsExactlyBothEntriesAndRefusesHostsWithoutVersion) {
  auto names = ExportNames(lib.module);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"VSTPluginMain", "main"}));
  for (const char* name : {"VSTPluginMain", "main"}) {
    VstPluginMainProc entry = lib.Entry(name);
    ASSERT_NE(entry, nullptr) << name;
    EXPECT_EQ(entry(nullptr), nullptr) << name;
    EXPECT_EQ(entry(&NoVersionHost), nullptr) << name;
    AEffect* e = entry(&HostLog::Callback);
    ASSERT_NE(e, nullptr) << name;
    EXPECT_EQ(e->magic, kEffectMagic);
    EXPECT_EQ(Dispatch(e, effClose), 1);
  }
}

TEST_F(WineEffect, RecordTextsAndParametersThroughTheDispatcher) {
  AEffect* e = Open("main");
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->numInputs, 2);
  EXPECT_EQ(e->numOutputs, 2);
  EXPECT_EQ(e->numParams, 11);
  EXPECT_TRUE(e->flags & effFlagsCanReplacing);
  EXPECT_EQ(Text(e, effGetEffectName), "KestruneEn");
  EXPECT_EQ(Text(e, effGetVendorString), "QX Audio");
  EXPECT_EQ(Text(e, effGetProductString), "KestruneEnhanced");
  EXPECT_EQ(Dispatch(e, effGetVendorVersion), 1100);
  EXPECT_GE(Dispatch(e, effGetVstVersion), 2000);
  EXPECT_EQ(Text(e, effGetParamName, 0), "Speed");
  EXPECT_EQ(Text(e, effGetParamName, 10), "Mergeins");
  for (VstInt32 i = 0; i < e->numParams; ++i) {
    Text(e, effGetParamLabel, i);
    Text(e, effGetParamDisplay, i);
    e->setParameter(e, i, 0.75f);
    EXPECT_FLOAT_EQ(e->getParameter(e, i), 0.75f) << "parameter " << i;
  }
  // Out-of-range requests are ignored, not trusted.
  e->setParameter(e, e->numParams + 5, 0.5f);
  EXPECT_EQ(e->getParameter(e, -1), 0.0f);
  Dispatch(e, effSetProgram, 0, 2);
  EXPECT_EQ(Dispatch(e, effGetProgram), 2);
  EXPECT_EQ(Text(e, effGetProgramName), "Doppler 2");
  EXPECT_EQ(Dispatch(e, effClose), 1);
}

TEST_F(WineEffect, RendersTheSharedSignalForTheLinuxComparison) {
  const auto settings = harness::Settings();
  for (size_t k = 0; k < settings.size(); ++k) {
    AEffect* e = Open();
    ASSERT_NE(e, nullptr);
    const std::vector<float> out = harness::Render(e, settings[k], harness::kFrames);
    Dispatch(e, effClose);
    size_t finite = 0, nonzero = 0;
    for (float v : out) {
      finite += std::isfinite(v) ? 1 : 0;
      nonzero += v != 0.0f ? 1 : 0;
    }
    EXPECT_EQ(finite, out.size());
    EXPECT_GT(nonzero, out.size() / 2);
    const std::string name = "audio-win32-" + std::to_string(k) + ".f32";
    FILE* f = std::fopen(name.c_str(), "wb");
    ASSERT_NE(f, nullptr) << name;
    EXPECT_EQ(std::fwrite(out.data(), sizeof(float), out.size(), f), out.size());
    std::fclose(f);
  }
}
