// What the Windows programs left in <build>/wine and wine64, checked on Linux: the DLL's samples against this
// build's plug-in library, kestrune.exe's renderings against kestrune's, and the editor's picture in
// a real window against the headless backend's rendering of the same editor.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/Picture.h"
#include "platform/headless/Headless.h"
#include "tests/host/HostTestSupport.h"
#include "tests/win32/FormFx.h"
#include "tests/win32/RenderHarness.h"

namespace {

std::vector<uint8_t> ReadFile(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

uint32_t Le32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// A 24-bit bottom-up BMP as 0x00RRGGBB pixels, top row first; empty when the file is not one.
std::vector<uint32_t> ReadBmp(const std::string& path, int* w, int* h) {
  const std::vector<uint8_t> d = ReadFile(path);
  if (d.size() < 54 || d[0] != 'B' || d[1] != 'M' || d[28] != 24) return {};
  const uint32_t offset = Le32(&d[10]);
  *w = int(Le32(&d[18]));
  *h = int(Le32(&d[22]));
  const size_t stride = (size_t(*w) * 3 + 3) & ~size_t(3);
  if (*w <= 0 || *h <= 0 || offset + stride * size_t(*h) > d.size()) return {};
  std::vector<uint32_t> px(size_t(*w) * size_t(*h));
  for (int y = 0; y < *h; ++y) {
    const uint8_t* row = &d[offset + stride * size_t(*h - 1 - y)];
    for (int x = 0; x < *w; ++x)
      px[size_t(y) * size_t(*w) + size_t(x)] =
          uint32_t(row[x * 3]) | uint32_t(row[x * 3 + 1]) << 8 | uint32_t(row[x * 3 + 2]) << 16;
  }
  return px;
}

bool InRect(const int r[4], int x, int y) { return x >= r[0] && x < r[2] && y >= r[1] && y < r[3]; }

// One Windows build's output folder: <build>/wine (32-bit) or <build>/wine64.
class Win32Compare : public ::testing::TestWithParam<const char*> {
 protected:
  const std::string kOut = KESTRUNE_WINE_OUT + std::string(GetParam());
};

}  // namespace

INSTANTIATE_TEST_SUITE_P(Windows, Win32Compare, ::testing::Values("", "64"),
                         [](const auto& info) { return "wine" + std::string(info.param); });

TEST_P(Win32Compare, TheDllsSamplesAreBitIdenticalToThisBuilds) {
  void* lib = dlopen(KESTRUNE_PLUGIN_PATH, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(lib, nullptr) << dlerror();
  auto entry = reinterpret_cast<VstPluginMainProc>(dlsym(lib, "VSTPluginMain"));
  ASSERT_NE(entry, nullptr);
  const auto settings = harness::Settings();
  for (size_t k = 0; k < settings.size(); ++k) {
    AEffect* e = entry(&harness::Host);
    ASSERT_NE(e, nullptr);
    e->dispatcher(e, effOpen, 0, 0, nullptr, 0.0f);
    const std::vector<float> mine = harness::Render(e, settings[k], harness::kFrames);
    e->dispatcher(e, effClose, 0, 0, nullptr, 0.0f);
    const std::vector<uint8_t> theirs = ReadFile(kOut + "/audio-win32-" + std::to_string(k) + ".f32");
    ASSERT_EQ(theirs.size(), mine.size() * sizeof(float)) << "setting " << k;
    size_t differing = 0, first = mine.size();
    for (size_t i = 0; i < mine.size(); ++i)
      if (std::memcmp(&mine[i], &theirs[i * sizeof(float)], sizeof(float)) != 0) {
        if (first == mine.size()) first = i;
        ++differing;
      }
    EXPECT_EQ(differing, 0u) << "setting " << k << ": first differing sample " << first;
  }
  dlclose(lib);
}

TEST_P(Win32Compare, TheRealWindowShowsWhatTheHeadlessBackendDrawsOutsideTheStatusBar) {
  int w = 0, h = 0;
  const std::vector<uint32_t> win = ReadBmp(kOut + "/editor-win32.bmp", &w, &h);
  ASSERT_FALSE(win.empty()) << "no picture from the Windows host";
  ASSERT_EQ(w, formfx::kWidth);
  ASSERT_EQ(h, formfx::kHeight);

  // The same editor, opened headless in a host window of the same size.
  auto& hl = plat::headless::InstallHeadless();
  plat::WindowHandle host = nullptr;
  ASSERT_EQ(hl.CreateHostWindow({0, 0, w, h}, 0, &host), plat::Status::Ok);
  AEffect* e = formfx::Create(&harness::Host);
  ASSERT_NE(e, nullptr);
  ASSERT_EQ(e->dispatcher(e, effEditOpen, 0, 0, host, 0.0f), 1);
  hl.Pump();
  std::unique_ptr<plat::Surface> screen;
  ASSERT_EQ(hl.ReadScreen(host, &screen), plat::Status::Ok);
  hl.SaveScreenPng(host, kOut + "/editor-headless.png");

  // The status bar is the system's control; everything else, the pad's caption in a face the
  // system lacks included, is equal.
  size_t compared = 0, differing = 0;
  std::vector<uint8_t> both(size_t(w) * size_t(h) * 4);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const uint8_t* p = screen->Row(y) + size_t(x) * 4;
      const uint32_t mine = uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16;
      const uint32_t theirs = win[size_t(y) * size_t(w) + size_t(x)];
      uint8_t* o = &both[(size_t(h - 1 - y) * size_t(w) + size_t(x)) * 4];
      o[0] = uint8_t(theirs);
      o[1] = uint8_t(theirs >> 8);
      o[2] = uint8_t(theirs >> 16);
      o[3] = 255;
      if (InRect(formfx::kStatus, x, y)) continue;
      ++compared;
      if (mine != theirs) {
        if (differing < 5)
          ADD_FAILURE() << "pixel " << x << "," << y << ": headless " << std::hex << mine << " window " << theirs;
        ++differing;
      }
    }
  plat::SavePng(kOut + "/editor-win32.png", both.data(), w, h, false);
  EXPECT_EQ(differing, 0u) << "of " << compared << " pixels compared";
  EXPECT_GT(compared, size_t(w * h) / 2);
  e->dispatcher(e, effEditClose, 0, 0, nullptr, 0.0f);
  e->dispatcher(e, effClose, 0, 0, nullptr, 0.0f);
  plat::InstallBackend(nullptr);
}

TEST_P(Win32Compare, KestruneExeRendersWhatKestruneRenders) {
  for (const char* name : {"demo", "file"}) {
    const hosttest::Audio windows = hosttest::readAudio(kOut + "/kestrune-" + name + "-win32.wav");
    const hosttest::Audio linux = hosttest::readAudio(kOut + "/kestrune-" + name + "-linux.wav");
    ASSERT_TRUE(windows.ok) << name;
    ASSERT_TRUE(linux.ok) << name;
    EXPECT_EQ(windows.info.channels, linux.info.channels) << name;
    EXPECT_EQ(windows.info.samplerate, linux.info.samplerate) << name;
    ASSERT_EQ(windows.samples.size(), linux.samples.size()) << name;
    EXPECT_GT(windows.samples.size(), 44100u) << name;
    EXPECT_EQ(std::memcmp(windows.samples.data(), linux.samples.data(), windows.samples.size() * sizeof(float)), 0)
        << name << ": the samples differ";
  }
}

// KestruneEn's own editor: the Windows host's picture of it in a real window against what kestrune
// draws of it headless. Without the captions' faces (Tahoma, MS Sans Serif) under Wine the window
// draws them with the built-in face, so they are compared too. The status bar (the system's control)
// and the one column right of the background picture (the form's colour: the desktop's system
// colour, where the headless backend has a fixed scheme) may differ.
TEST_P(Win32Compare, KestruneEnsEditorInARealWindowMatchesItsHeadlessPicture) {
  plat::Picture win, headless;
  ASSERT_EQ(plat::LoadPicture(kOut + "/kestrune-editor-win32.bmp", &win), plat::Status::Ok)
      << "no picture of KestruneEn's editor from the Windows host";
  const std::string png = kOut + "/kestrune-editor-headless.png";
  std::remove(png.c_str());
  const std::string command =
      std::string(KESTRUNE_EXE) + " editor --plugin '" + KESTRUNE_PLUGIN_PATH + "' --png '" + png + "'";
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
  ASSERT_EQ(plat::LoadPicture(png, &headless), plat::Status::Ok);
  ASSERT_EQ(win.width, headless.width);
  ASSERT_EQ(win.height, headless.height);
  const int statusBar[4] = {0, 200, 415, 218}, formColumn[4] = {414, 0, 415, 200};
  size_t compared = 0, differing = 0;
  for (int y = 0; y < win.height; ++y)
    for (int x = 0; x < win.width; ++x) {
      if (InRect(statusBar, x, y) || InRect(formColumn, x, y)) continue;
      const size_t at = (size_t(win.height - 1 - y) * size_t(win.width) + size_t(x)) * 4;
      ++compared;
      if (std::memcmp(&win.pixels[at], &headless.pixels[at], 3) != 0) {
        if (differing < 5) ADD_FAILURE() << "pixel " << x << "," << y << " differs";
        ++differing;
      }
    }
  EXPECT_EQ(differing, 0u) << "of " << compared << " pixels compared";
  EXPECT_GT(compared, size_t(win.width * win.height) / 2);
}
