// The built plug-in library, loaded as a host loads it: through its exported entries.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "PluginTestHost.h"

namespace {

struct Library {
  void* handle = dlopen(KESTRUNE_PLUGIN_PATH, RTLD_NOW | RTLD_LOCAL);
  ~Library() {
    if (handle != nullptr) dlclose(handle);
  }
  VstPluginMainProc entry(const char* name) const { return reinterpret_cast<VstPluginMainProc>(dlsym(handle, name)); }
};

}  // namespace

TEST(PluginEntry, BothEntriesBuildTheEffectAndRefuseAHostWithoutVersion) {
  Library lib;
  ASSERT_NE(lib.handle, nullptr) << dlerror();
  for (const char* name : {"VSTPluginMain", "main"}) {
    VstPluginMainProc entry = lib.entry(name);
    ASSERT_NE(entry, nullptr) << name;
    TestHost::reset();
    TestHost::version = 0;
    EXPECT_EQ(entry(TestHost::callback), nullptr) << name;
    TestHost::version = 2400;
    AEffect* e = entry(TestHost::callback);
    ASSERT_NE(e, nullptr) << name;
    EXPECT_EQ(e->magic, kEffectMagic);
    EXPECT_EQ(e->flags, 25);  // with its editor: effFlagsHasEditor too
    char text[64] = {};
    e->dispatcher(e, effGetEffectName, 0, 0, text, 0.0f);
    EXPECT_STREQ(text, "KestruneEn");
    e->dispatcher(e, effOpen, 0, 0, nullptr, 0.0f);
    e->dispatcher(e, effSetSampleRate, 0, 0, nullptr, 48000.0f);
    e->dispatcher(e, effSetBlockSize, 0, 128, nullptr, 0.0f);
    e->dispatcher(e, effMainsChanged, 0, 1, nullptr, 0.0f);
    Stereo in = testSignal(128);
    Stereo out(128);
    float* ins[2] = {in.l.data(), in.r.data()};
    float* outs[2] = {out.l.data(), out.r.data()};
    for (int n = 0; n < 20; ++n) e->processReplacing(e, ins, outs, 128);
    e->dispatcher(e, effMainsChanged, 0, 0, nullptr, 0.0f);
    EXPECT_EQ(e->dispatcher(e, effClose, 0, 0, nullptr, 0.0f), 1);
  }
  // Only the entries leave the library.
  EXPECT_EQ(dlsym(lib.handle, "_Z16createKestruneEnPFlP7AEffectiilPvfEPK14TFormClassInfo"), nullptr);
}
