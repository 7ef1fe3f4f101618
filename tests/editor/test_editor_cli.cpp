// `kestrune editor` and `kestrune info` as a user runs them on the real plug-in library: the
// editor reached only through the exported entry and our vendor requests; every bad option ends
// with one line, a non-zero status and the output file untouched.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "platform/Picture.h"
#include "tests/host/HostTestSupport.h"

namespace {

const std::string kExe = KESTRUNE_EXE;
const std::string kPlugin = " --plugin " + hosttest::quoted(KESTRUNE_PLUGIN);

// Pixels of a rectangle that differ between two pictures of the same size.
int Differing(const plat::Picture& a, const plat::Picture& b, int left, int top, int right, int bottom) {
  int n = 0;
  for (int y = top; y < bottom; ++y)
    for (int x = left; x < right; ++x) {
      const std::size_t i = (std::size_t(a.height - 1 - y) * a.width + x) * 4;  // rows bottom-up
      n += std::memcmp(&a.pixels[i], &b.pixels[i], 3) != 0;
    }
  return n;
}

TEST(EditorCommand, InfoReportsTheEditorAndADragShowsInThePicture) {
  const auto info = hosttest::run(kExe + " info" + kPlugin);
  ASSERT_EQ(info.status, 0) << info.output;
  EXPECT_NE(info.output.find("flags           0x19 "), std::string::npos) << info.output;
  EXPECT_NE(info.output.find("editor          415 x 218 pixels\n"), std::string::npos) << info.output;

  hosttest::TempFolder folder;
  const std::string plain = folder / "plain.png", dragged = folder / "dragged.png";
  auto r = hosttest::run(kExe + " editor" + kPlugin + " --png " + hosttest::quoted(plain));
  ASSERT_EQ(r.status, 0) << r.output;
  r = hosttest::run(kExe + " editor" + kPlugin + " --drag p8:-40 --png " + hosttest::quoted(dragged));
  ASSERT_EQ(r.status, 0) << r.output;
  plat::Picture a, b;
  ASSERT_EQ(plat::LoadPicture(plain, &a), plat::Status::Ok);
  ASSERT_EQ(plat::LoadPicture(dragged, &b), plat::Status::Ok);
  ASSERT_EQ(a.width, 415);
  ASSERT_EQ(a.height, 218);
  ASSERT_EQ(b.width, 415);
  EXPECT_GT(Differing(a, b, 278, 19, 298, 173), 100);  // Master's knob moved down
  EXPECT_GT(Differing(a, b, 0, 200, 40, 218), 5);      // the value panel shows its value
  EXPECT_EQ(Differing(a, b, 0, 0, 270, 170), 0);       // the other sliders stayed
  EXPECT_EQ(folder.entries().size(), 2u);
}

// At 200 % the picture is drawn anew, not doubled; the drag counts 100 % pixels, so Master shows
// 69 as at 100 % (the value panel as with the setting 0.69, at a scale that snaps to 200 %).
TEST(EditorCommand, AScaledEditorTakesTheSameStepsInDesignedPixels) {
  hosttest::TempFolder folder;
  plat::Picture p[4];
  const char* args[4] = {"", " --scale 2", " --scale 2 --drag p8:-40", " --scale 2.1 --set Master=0.69"};
  for (int i = 0; i < 4; ++i) {
    const std::string out = folder / (std::to_string(i) + ".png");
    const auto r = hosttest::run(kExe + " editor" + kPlugin + args[i] + " --png " + hosttest::quoted(out));
    ASSERT_EQ(r.status, 0) << args[i] << "\n" << r.output;
    ASSERT_EQ(plat::LoadPicture(out, &p[i]), plat::Status::Ok);
    ASSERT_EQ(p[i].width, i ? 830 : 415);
    ASSERT_EQ(p[i].height, i ? 436 : 218);
  }
  int notDoubled = 0;  // rows bottom-up
  for (std::size_t y = 0; y < 436; ++y)
    for (std::size_t x = 0; x < 830; ++x)
      notDoubled += std::memcmp(&p[1].pixels[(y * 830 + x) * 4], &p[0].pixels[(y / 2 * 415 + x / 2) * 4], 3) != 0;
  EXPECT_GT(notDoubled, 830 * 436 / 10);
  EXPECT_GT(Differing(p[1], p[2], 0, 400, 80, 436), 5);  // the value panel changed
  EXPECT_EQ(Differing(p[2], p[3], 0, 400, 80, 436), 0);  // to 69, as 0.69 shows
}

TEST(EditorCommand, BadOptionsSayWhatIsWrongAndLeaveTheOutputAlone) {
  hosttest::TempFolder folder;
  const std::string out = folder / "out.png";
  { std::ofstream(out) << "keep me"; }
  const std::string png = " --png " + hosttest::quoted(out);
  struct Case {
    std::string args, says;
    std::string shell = "";  // run before kestrune, in the same shell
  };
  std::vector<Case> cases = {
      {kPlugin + png + " --drag p8", "expected CONTROL:PIXELS"},
      {kPlugin + png + " --drag p8:up", "expected CONTROL:PIXELS"},
      {kPlugin + png + " --drag :40", "expected CONTROL:PIXELS"},
      {kPlugin + png + " --drag p8:99999", "expected CONTROL:PIXELS"},
      {kPlugin + png + " --drag nothing:40", "no control named 'nothing'"},
      {kPlugin + png + " --click p11", "no control named 'p11'"},
      {kPlugin + png + " --hover ''", "no control named ''"},
      {kPlugin + png + " --wait -5", "--wait"},
      {kPlugin + png + " --wait soon", "--wait"},
      {kPlugin + png + " --program 7", "no program 7"},
      {kPlugin + png + " --program Nowhere", "no program named 'Nowhere'"},
      {kPlugin + png + " --set Speed=2", "bad --set 'Speed=2'"},
      {kPlugin + png + " --set Volume=0.5", "no parameter named 'Volume'"},
      {kPlugin, "--png"},
      {kPlugin + " --png " + hosttest::quoted(folder / "missing/out.png"), "cannot write"},
      {kPlugin + " --png " + hosttest::quoted(folder.path().string()), "it is a folder"},
      {" --plugin " + hosttest::quoted(folder / "none.so") + png, "none.so"},
      {" --plugin " + hosttest::quoted(KESTRUNE_TESTFX) + png, "has no editor"},
      {" --plugin ''" + png, "--plugin: the plug-in library must be named"},
      {kPlugin + png + " --program ''", "--program: an empty program name selects no program"},
      {kPlugin + png + " --program 'Doppler\n9'", "no program named 'Doppler\\n9' (programs: 'Free ini slot',"},
      {kPlugin + png + " --click '\x1b]0;title\x07'", "no control named '\\x1B]0;title\\x07'"},
      {kPlugin + png + " --wait 600001", "kestrune: --wait: '600001' is not a whole number from 0 to 600000"},
      {kPlugin + png + " --wait 1e3", "--wait: '1e3' is not a whole number"},
      {kPlugin + png + " --wait 0x10", "--wait: '0x10' is not a whole number"},
      {kPlugin + png + " --drag p8:0x10", "expected CONTROL:PIXELS"},
      {kPlugin + png + " --drag p8:1e1", "expected CONTROL:PIXELS"},
      {kPlugin + png + " --set Speed=1e-99999x", "bad --set 'Speed=1e-99999x'"},
      // A picture that cannot be written says why: a device that takes nothing, and a file size
      // limit standing in for a full disk.
      {kPlugin + " --png /dev/full", "kestrune: cannot write '/dev/full': No space left on device"},
      {kPlugin + png, "kestrune: cannot write '" + out + "': File too large", "trap '' XFSZ; ulimit -f 1; "},
  };
  for (const char* scale : {"0", "-2", "nan", "inf", "9", "big"})
    cases.push_back({kPlugin + png + " --scale " + scale, "bad --scale"});
  for (const Case& c : cases) {
    const auto r = hosttest::run(c.shell + kExe + " editor" + c.args);
    EXPECT_EQ(r.status, 1) << c.args;
    EXPECT_NE(r.output.find(c.says), std::string::npos) << c.args << "\n" << r.output;
    EXPECT_EQ(std::count(r.output.begin(), r.output.end(), '\n'), 1) << c.args << "\n" << r.output;
    std::ifstream in(out);
    std::string kept((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_TRUE(kept == "keep me") << c.args;
    EXPECT_EQ(folder.entries().size(), 1u) << c.args;
  }
}

}  // namespace
