// A third-party host shows the UI: jalv (its GTK front end) on a virtual X server, with a JACK
// server of the test's own on a dummy device, opens the bundle of this tree with its UI. The UI's
// window shows exactly what `kestrune editor` draws offline through the VST library, and a real
// pointer drag on a slider changes that control in the host, as the host's saved state tells.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/Picture.h"
#include "tests/x11/XvfbServer.h"
// After the project's headers: Xlib's Status macro.
#include "tests/x11/TestXlib.h"

namespace {

namespace fs = std::filesystem;

bool waitFor(const std::function<bool()>& done, int ms) {
  for (int waited = 0; waited < ms && !done(); waited += 20) std::this_thread::sleep_for(std::chrono::milliseconds(20));
  return done();
}

void sleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

std::string readText(const fs::path& path) {
  std::stringstream text;
  text << std::ifstream(path).rdbuf();
  return text.str();
}

// Starts a program with extra environment entries; its output goes to `log`.
pid_t start(std::vector<std::string> arguments, const std::vector<std::string>& environment, const fs::path& log) {
  const pid_t pid = fork();
  if (pid != 0) return pid;
  for (const std::string& e : environment) putenv(const_cast<char*>(e.c_str()));
  if (std::freopen(log.c_str(), "w", stdout) != nullptr) dup2(1, 2);
  std::vector<char*> argv;
  for (std::string& a : arguments) argv.push_back(a.data());
  argv.push_back(nullptr);
  execvp(argv[0], argv.data());
  _exit(127);
}

void stop(pid_t pid) {
  if (pid <= 0) return;
  kill(pid, SIGTERM);
  if (!waitFor([&] { return waitpid(pid, nullptr, WNOHANG) == pid; }, 2000)) {
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
  }
}

class Lv2Jalv : public kestrune::test::XvfbTest {
 protected:
  void SetUp() override {
    if (std::string(KESTRUNE_SANITIZED) == "1")
      GTEST_SKIP() << "jalv cannot load a sanitized plug-in (GTK stalls with the sanitizer's runtime preloaded)";
    ASSERT_TRUE(ServerError().empty()) << ServerError();
    // Only lower-case letters, digits and slashes: the path is typed into jalv's file dialog.
    folder = fs::temp_directory_path() / ("kestrunejalv" + std::to_string(::getpid()));
    fs::create_directories(folder / "home");
    display = XOpenDisplay(nullptr);
    ASSERT_NE(display, nullptr);
    server = "kestrune" + std::to_string(::getpid());
    jackd = start({"jackd", "-n", server, "-d", "dummy", "-r", "44100", "-p", "256"}, {}, folder / "jackd.log");
    const fs::path socket = "/dev/shm/jack_" + server + "_" + std::to_string(::getuid()) + "_0";
    ASSERT_TRUE(waitFor([&] { return fs::exists(socket); }, 10000)) << readText(folder / "jackd.log");
  }
  void TearDown() override {
    stop(jalv);
    stop(jackd);
    if (display != nullptr) XCloseDisplay(display);
    fs::remove_all(folder);
    // The semaphores JACK leaves for its clients when the server is stopped.
    std::error_code ignored;
    for (const auto& entry : fs::directory_iterator("/dev/shm", ignored))
      if (entry.path().filename().string().find("_" + server + "_") != std::string::npos) fs::remove(entry, ignored);
  }

  // The deepest window under `window` (itself included) that `match` accepts, given the window
  // and its number of children; 0 when none.
  Window find(Window window, const std::function<bool(Window, unsigned int)>& match) {
    Window root, parent, *children = nullptr, found = 0;
    unsigned int count = 0;
    if (XQueryTree(display, window, &root, &parent, &children, &count))
      for (unsigned int i = 0; i < count && found == 0; ++i) found = find(children[i], match);
    if (children != nullptr) XFree(children);
    return found != 0 || !match(window, count) ? found : window;
  }
  void pointer(int x, int y, int button = 0) {
    XTestFakeMotionEvent(display, -1, x, y, CurrentTime);
    if (button != 0) XTestFakeButtonEvent(display, 1, button > 0, CurrentTime);
    XSync(display, False);
    sleepMs(60);
  }
  void key(KeySym symbol, bool control = false) {
    const KeyCode ctrl = XKeysymToKeycode(display, XK_Control_L), code = XKeysymToKeycode(display, symbol);
    if (control) XTestFakeKeyEvent(display, ctrl, True, CurrentTime);
    XTestFakeKeyEvent(display, code, True, CurrentTime);
    XTestFakeKeyEvent(display, code, False, CurrentTime);
    if (control) XTestFakeKeyEvent(display, ctrl, False, CurrentTime);
    XSync(display, False);
    sleepMs(20);
  }

  fs::path folder;
  std::string server;
  Display* display = nullptr;
  pid_t jackd = -1, jalv = -1;
};

}  // namespace

TEST_F(Lv2Jalv, ShowsTheEditorAsDrawnOfflineAndADragChangesTheControlInTheHost) {
  jalv = start({"jalv.gtk3", "urn:qxaudio:kestruneen"},
               {"JACK_DEFAULT_SERVER=" + server, "LV2_PATH=" KESTRUNE_LV2_PATH, "HOME=" + (folder / "home").string(),
                "GTK_A11Y=none", "NO_AT_BRIDGE=1"},
               folder / "jalv.log");
  const Window root = DefaultRootWindow(display);
  // The UI: a mapped window of the editor's size with no children.
  const auto isUi = [&](Window w, unsigned int children) {
    XWindowAttributes a;
    return children == 0 && XGetWindowAttributes(display, w, &a) && a.width == 415 && a.height == 218 &&
           a.map_state == IsViewable;
  };
  Window ui = 0;
  ASSERT_TRUE(waitFor([&] { return (ui = find(root, isUi)) != 0; }, 20000)) << readText(folder / "jalv.log");
  int left = 0, top = 0;
  Window child;
  XTranslateCoordinates(display, ui, root, 0, 0, &left, &top, &child);
  pointer(790, 590);  // away from the editor, whose status bar shows the hint under the mouse
  sleepMs(500);

  // The picture kestrune draws offline of the VST library's editor with the same values.
  const fs::path offline = folder / "offline.png";
  ASSERT_EQ(std::system(("'" KESTRUNE_EXE "' editor --plugin '" KESTRUNE_PLUGIN "' --program 0 --png '" +
                         offline.string() + "' > /dev/null 2>&1")
                            .c_str()),
            0);
  plat::Picture expected;
  ASSERT_EQ(plat::LoadPicture(offline.string(), &expected), plat::Status::Ok);
  ASSERT_EQ(expected.width * expected.height, 415 * 218);
  XImage* image = XGetImage(display, ui, 0, 0, 415, 218, AllPlanes, ZPixmap);
  ASSERT_NE(image, nullptr);
  int differing = 0;
  for (int y = 0; y < 218; ++y)
    for (int x = 0; x < 415; ++x) {
      const unsigned long p = XGetPixel(image, x, y);
      const std::uint8_t* q = &expected.pixels[(std::size_t(217 - y) * 415 + std::size_t(x)) * 4];
      differing += ((p >> 16) & 0xff) != q[2] || ((p >> 8) & 0xff) != q[1] || (p & 0xff) != q[0];
    }
  XDestroyImage(image);
  EXPECT_EQ(differing, 0);

  // Master's knob, at the top while Master is 1, taken and moved 40 pixels down: 0.69, as
  // `kestrune editor --drag p8:-40` shows.
  pointer(left + 288, top + 27, 1);
  for (int dy = 10; dy <= 40; dy += 10) pointer(left + 288, top + 27 + dy);
  pointer(left + 288, top + 67, -1);
  sleepMs(300);

  // The host's own record of its control values: its saved state (File > Save, a folder name).
  pointer(left + 200, top - 12);
  key(XK_s, true);
  const auto isDialog = [&](Window w, unsigned int) {
    char* name = nullptr;
    const bool found = XFetchName(display, w, &name) && name != nullptr && std::string(name) == "Save State";
    if (name != nullptr) XFree(name);
    return found;
  };
  ASSERT_TRUE(waitFor([&] { return find(root, isDialog) != 0; }, 10000));
  pointer(400, 300);
  sleepMs(300);
  const fs::path saved = folder / "state";
  for (char c : saved.string()) key(c == '/' ? XK_slash : XStringToKeysym(std::string(1, c).c_str()));
  key(XK_Return);
  // A completion list may take the first Return.
  if (!waitFor([&] { return fs::exists(saved / "state.ttl"); }, 2000)) key(XK_Return);
  ASSERT_TRUE(waitFor([&] { return fs::exists(saved / "state.ttl"); }, 5000)) << readText(folder / "jalv.log");
  sleepMs(200);
  const std::string state = readText(saved / "state.ttl");
  std::smatch m;
  ASSERT_TRUE(std::regex_search(state, m, std::regex("lv2:symbol \"master\" ;\\s*pset:value ([-0-9.e]+)"))) << state;
  EXPECT_FLOAT_EQ(std::stof(m[1]), 0.69f) << state;
}
