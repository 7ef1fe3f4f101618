// `kestrune editor --x11` under a virtual X server the test starts: our own kind of plug-in in a
// real window looks exactly as it does drawn offline, another vendor's plug-in shows its editor,
// and bad situations end in one clear line with no file written.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include "platform/Picture.h"
#include "platform/x11/X11.h"
#include "tests/x11/TestXlib.h"
#include "tests/x11/XvfbServer.h"

namespace {

namespace fs = std::filesystem;
using kestrune::test::XvfbTest;

// Another vendor's plug-in with an X11 editor, from the packages the install script brings.
const char* kOtherPlugin = "/usr/lib/vst/MVerb-vst.so";

struct Outcome {
  int status = -1;
  std::string output;
};

// Runs kestrune with `arguments`; `environment` goes before the command (e.g. "DISPLAY= ").
Outcome Kestrune(const std::string& arguments, const std::string& environment = "") {
  const fs::path log = fs::temp_directory_path() / ("kestrune-x11-" + std::to_string(::getpid()) + ".log");
  const std::string command =
      environment + " '" + std::string(KESTRUNE_EXE) + "' " + arguments + " > '" + log.string() + "' 2>&1";
  Outcome run;
  const int raw = std::system(command.c_str());
  run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  std::ifstream in(log);
  std::stringstream text;
  text << in.rdbuf();
  run.output = text.str();
  fs::remove(log);
  return run;
}

class X11EditorCommand : public XvfbTest {
 protected:
  void SetUp() override {
    ASSERT_TRUE(ServerError().empty()) << ServerError();
    std::string pattern = (fs::temp_directory_path() / "kestrune-x11-XXXXXX").string();
    folder = mkdtemp(pattern.data());
  }
  void TearDown() override { fs::remove_all(folder); }

  fs::path folder;
};

// The picture from a real window, checked to be `width` x `height` and the same as one drawn offline.
plat::Picture ExpectAlike(const std::string& real, const std::string& offline, int width, int height) {
  plat::Picture a, b;
  EXPECT_EQ(plat::LoadPicture(real, &a), plat::Status::Ok);
  EXPECT_EQ(plat::LoadPicture(offline, &b), plat::Status::Ok);
  EXPECT_EQ(a.width, width);
  EXPECT_EQ(a.height, height);
  EXPECT_TRUE(a.width == b.width && a.height == b.height && a.pixels == b.pixels);
  return a;
}

}  // namespace

TEST_F(X11EditorCommand, OurPluginInARealWindowLooksAsDrawnOfflineAndAnotherVendorsShowsItsEditor) {
  const std::string plugin = std::string("--plugin '") + KESTRUNE_X11FX + "'";
  const std::string real = (folder / "real.png").string(), offline = (folder / "offline.png").string();
  Outcome x = Kestrune("editor " + plugin + " --x11 --drag Bar:-30 --png '" + real + "'");
  ASSERT_EQ(x.status, 0) << x.output;
  Outcome h = Kestrune("editor " + plugin + " --drag Bar:-30 --png '" + offline + "'");
  ASSERT_EQ(h.status, 0) << h.output;
  const plat::Picture a = ExpectAlike(real, offline, 240, 120);
  ASSERT_EQ(a.width, 240);
  // The drag moved the level: the bar's top pixel row under the grab point is lit.
  const auto at = [&](int x, int y) {
    const uint8_t* p = &a.pixels[(size_t(a.height - 1 - y) * size_t(a.width) + size_t(x)) * 4];
    return plat::MakeColor(p[2], p[1], p[0]);
  };
  EXPECT_EQ(at(25, 88), plat::MakeColor(240, 150, 20));

  if (!fs::exists(kOtherPlugin)) GTEST_SKIP() << kOtherPlugin << " is not installed (scripts/install-deps.sh)";
  const std::string other = (folder / "other.png").string();
  // Its own libraries keep memory to the end of the process; that is not ours to report.
  Outcome o = Kestrune(std::string("editor --plugin '") + kOtherPlugin + "' --x11 --wait 200 --png '" + other + "'",
                       "ASAN_OPTIONS=detect_leaks=0");
  ASSERT_EQ(o.status, 0) << o.output;
  plat::Picture c;
  ASSERT_EQ(plat::LoadPicture(other, &c), plat::Status::Ok);
  EXPECT_GT(c.width, 100);
  EXPECT_GT(c.height, 50);
  std::set<uint32_t> colours;
  for (size_t i = 0; i + 3 < c.pixels.size(); i += 4)
    colours.insert(uint32_t(c.pixels[i]) | uint32_t(c.pixels[i + 1]) << 8 | uint32_t(c.pixels[i + 2]) << 16);
  EXPECT_GT(colours.size(), 50u);  // a drawn editor, not an empty frame
}

#ifdef KESTRUNE_PLUGIN
// The display's resources as xrdb sets them (the root's RESOURCE_MANAGER); empty text removes them.
void SetResources(const std::string& text) {
  Display* d = XOpenDisplay(nullptr);
  ASSERT_NE(d, nullptr);
  if (text.empty())
    XDeleteProperty(d, DefaultRootWindow(d), XA_RESOURCE_MANAGER);
  else
    XChangeProperty(d, DefaultRootWindow(d), XA_RESOURCE_MANAGER, XA_STRING, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(text.data()), int(text.size()));
  XSync(d, False);
  XCloseDisplay(d);
}

// With Xft.dpi 192 our editor opens at 200 % in a real window and looks as drawn offline at that
// scale, a drag in 100 % pixels included.
TEST_F(X11EditorCommand, OurEditorTakesTheDisplaysScale) {
  const std::string editor = std::string("editor --plugin '") + KESTRUNE_PLUGIN + "' ";
  const std::string real = (folder / "real.png").string(), offline = (folder / "offline.png").string();
  SetResources("Xft.antialias:\t1\nXft.dpi:\t192\nXft.hinting:\t1\n");
  Outcome x = Kestrune(editor + "--x11 --drag p8:-40 --png '" + real + "'");
  SetResources("");
  ASSERT_EQ(x.status, 0) << x.output;
  Outcome h = Kestrune(editor + "--scale 2 --drag p8:-40 --png '" + offline + "'");
  ASSERT_EQ(h.status, 0) << h.output;
  ExpectAlike(real, offline, 830, 436);
}

// GDK_SCALE over the Xft.dpi resource over 96 dots per inch; a value that says nothing leaves the
// next source to decide.
TEST(X11Scale, TheEnvironmentOverTheResourcesOver96DotsPerInch) {
  using plat::x11::ScaleFromEnvironment;
  EXPECT_EQ(ScaleFromEnvironment(nullptr, "Xcursor.size: 24\nXft.dpi: 144"), 1.5);
  EXPECT_EQ(ScaleFromEnvironment("2", "Xft.dpi:\t96\n"), 2.0);
  for (const char* bad : {"", "0", "-2", "1.5", "two", "99"}) EXPECT_EQ(ScaleFromEnvironment(bad, "Xft.dpi: 288"), 3.0);
  for (const char* bad : {"", "Xft.dpi: 0", "Xft.dpi: -96", "Xft.dpi: nan", "Xft.dpi: inf", "Xft.dpi:", "xft.dpi: 192",
                          "Foo.Xft.dpi: 192"})
    EXPECT_EQ(ScaleFromEnvironment(nullptr, bad), 1.0) << bad;
}
#endif

TEST_F(X11EditorCommand, WithoutADisplayOrAnEditorItSaysSoAndWritesNothing) {
  const std::string png = (folder / "out.png").string();
  Outcome x = Kestrune(std::string("editor --plugin '") + KESTRUNE_X11FX + "' --x11 --png '" + png + "'", "DISPLAY=");
  EXPECT_NE(x.status, 0);
  EXPECT_EQ(x.output, "kestrune: --x11: cannot open the X display (DISPLAY is not set)\n");
  Outcome n = Kestrune(std::string("editor --plugin '") + KESTRUNE_TESTFX + "' --x11 --png '" + png + "'");
  EXPECT_NE(n.status, 0);
  EXPECT_NE(n.output.find("has no editor"), std::string::npos) << n.output;
  EXPECT_EQ(std::count(n.output.begin(), n.output.end(), '\n'), 1) << n.output;
  EXPECT_TRUE(fs::is_empty(folder));
}
