// The LV2 UI in a host's X window on a virtual X server. In jalv (its GTK front end, beside a JACK
// server of the test's own) the window shows exactly what `kestrune editor` draws offline through
// the VST library, and a real drag changes the control in the host's saved state. In a host of
// the test's own, what jalv does not show: the UI needs the parent window and the write function,
// a drag is bracketed by the touch feature, the host's port events move the control (bad ones
// harmlessly) without being written back, and its scale factor option sizes the window.
#include <gtest/gtest.h>
#include <lv2/atom/atom.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <limits>
#include <regex>
#include <sstream>
#include <thread>

#include "lv2/Lv2Bundle.h"
#include "lv2/Lv2Ui.h"
#include "platform/Picture.h"
#include "tests/lv2/UridMap.h"
#include "tests/x11/TestHost.h"
#include "tests/x11/XvfbServer.h"
// After the project's headers: Xlib's Status macro.
#include "tests/x11/TestXlib.h"

namespace {

namespace fs = std::filesystem;

void sleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

bool waitFor(const std::function<bool()>& done, int ms) {
  for (int waited = 0; waited < ms && !done(); waited += 20) sleepMs(20);
  return done();
}

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

// What the host hears from the UI.
struct Heard {
  std::vector<std::pair<std::uint32_t, float>> writes;
  std::vector<std::pair<std::uint32_t, bool>> touches;

  static void write(LV2UI_Controller c, uint32_t port, uint32_t size, uint32_t format, const void* buffer) {
    if (size == sizeof(float) && format == 0)
      static_cast<Heard*>(c)->writes.emplace_back(port, *static_cast<const float*>(buffer));
  }
  static void touch(LV2UI_Feature_Handle h, uint32_t port, bool grabbed) {
    static_cast<Heard*>(h)->touches.emplace_back(port, grabbed);
  }
};

class Lv2Ui : public kestrune::test::XvfbTest {
 protected:
  void SetUp() override {
    ASSERT_TRUE(ServerError().empty()) << ServerError();
    display = XOpenDisplay(nullptr);
    ASSERT_NE(display, nullptr);
  }
  void TearDown() override {
    stop(jalv);
    stop(jackd);
    if (display != nullptr) XCloseDisplay(display);
    if (server.empty()) return;
    fs::remove_all(folder);
    // The semaphores JACK leaves for its clients when the server is stopped.
    std::error_code ignored;
    for (const auto& entry : fs::directory_iterator("/dev/shm", ignored))
      if (entry.path().filename().string().find("_" + server + "_") != std::string::npos) fs::remove(entry, ignored);
  }

  // Pointer to (x, y), with the left button pressed (1) or released (-1) there; then `settle`.
  void pointer(int x, int y, int button, const std::function<void()>& settle) {
    XTestFakeMotionEvent(display, -1, x, y, CurrentTime);
    if (button != 0) XTestFakeButtonEvent(display, 1, button > 0, CurrentTime);
    XSync(display, False);
    settle();
  }
  // Master's knob of the editor at (left, top), at the top of its slider while Master is 1, taken
  // and moved 40 pixels down: 0.69, as `kestrune editor --drag p8:-40` shows.
  void dragMaster(int left, int top, const std::function<void()>& settle) {
    for (int dy = 0; dy <= 40; dy += 10) pointer(left + 288, top + 27 + dy, dy == 0 ? 1 : 0, settle);
    pointer(left + 288, top + 67, -1, settle);
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

  Display* display = nullptr;
  fs::path folder;
  std::string server;
  pid_t jackd = -1, jalv = -1;
};

}  // namespace

TEST_F(Lv2Ui, InJalvShowsTheEditorAsDrawnOfflineAndADragChangesTheControlInTheHost) {
  if (!std::string(KESTRUNE_SANITIZERS).empty())
    GTEST_SKIP() << "jalv cannot load a sanitized plug-in (GTK stalls with the sanitizer's runtime preloaded)";
  // Only lower-case letters, digits and slashes: the path is typed into jalv's file dialog.
  server = "kestrune" + std::to_string(::getpid());
  folder = fs::temp_directory_path() / ("kestrunejalv" + std::to_string(::getpid()));
  fs::create_directories(folder / "home");
  jackd = start({"jackd", "-n", server, "-d", "dummy", "-r", "44100", "-p", "256"}, {}, folder / "jackd.log");
  const fs::path socket = "/dev/shm/jack_" + server + "_" + std::to_string(::getuid()) + "_0";
  ASSERT_TRUE(waitFor([&] { return fs::exists(socket); }, 10000)) << readText(folder / "jackd.log");
  jalv = start({"jalv.gtk3", lv2bundle::kPluginUri},
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
  Window ui = 0, child;
  ASSERT_TRUE(waitFor([&] { return (ui = find(root, isUi)) != 0; }, 20000)) << readText(folder / "jalv.log");
  int left = 0, top = 0;
  XTranslateCoordinates(display, ui, root, 0, 0, &left, &top, &child);
  const auto settle = [] { sleepMs(60); };
  pointer(790, 590, 0, [] { sleepMs(500); });  // off the editor, whose status bar shows the hint under the mouse

  // The picture kestrune draws offline of the VST library's editor with the same values.
  const std::string offline = (folder / "offline.png").string();
  ASSERT_EQ(std::system(("'" KESTRUNE_EXE "' editor --plugin '" KESTRUNE_PLUGIN "' --program 0 --png '" + offline +
                         "' > /dev/null 2>&1")
                            .c_str()),
            0);
  plat::Picture expected;
  ASSERT_EQ(plat::LoadPicture(offline, &expected), plat::Status::Ok);
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

  dragMaster(left, top, settle);
  sleepMs(300);
  // The host's own record of its control values: its saved state (File > Save, a folder name).
  pointer(left + 200, top - 12, 0, settle);
  key(XK_s, true);
  const auto isDialog = [&](Window w, unsigned int) {
    char* name = nullptr;
    const bool found = XFetchName(display, w, &name) && name != nullptr && std::string(name) == "Save State";
    if (name != nullptr) XFree(name);
    return found;
  };
  ASSERT_TRUE(waitFor([&] { return find(root, isDialog) != 0; }, 10000));
  pointer(400, 300, 0, [] { sleepMs(300); });
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

TEST_F(Lv2Ui, NeedsParentAndWriterAndTalksToTheHostAsTheEditorToAVstHost) {
  kestrune::test::TestHost host;
  ASSERT_TRUE(host.Open(415, 218));
  Heard heard;
  LV2UI_Touch touch{&heard, &Heard::touch};
  const LV2_Feature parent{LV2_UI__parent, reinterpret_cast<void*>(host.Window())}, touching{LV2_UI__touch, &touch};
  const LV2_Feature* none[] = {nullptr};
  const LV2_Feature* features[] = {&parent, &touching, nullptr};
  LV2UI_Widget widget = nullptr;
  EXPECT_EQ(TLv2Ui::create(&Heard::write, &heard, &widget, none), nullptr);
  EXPECT_EQ(TLv2Ui::create(&Heard::write, &heard, &widget, nullptr), nullptr);
  EXPECT_EQ(TLv2Ui::create(nullptr, &heard, &widget, features), nullptr);
  std::unique_ptr<TLv2Ui> ui(TLv2Ui::create(&Heard::write, &heard, &widget, features));
  ASSERT_NE(ui, nullptr);

  // Runs the editor as a host's idle calls would.
  const auto pump = [&](int ms) {
    for (const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
         std::chrono::steady_clock::now() < end; sleepMs(5)) {
      ASSERT_EQ(ui->idle(), 0);
      host.Sync();
    }
  };
  const auto master = [&](float value) {
    ui->portEvent(APlugin::kMaster, sizeof value, 0, &value);
    pump(40);
    return host.Picture(reinterpret_cast<unsigned long>(widget), 415, 218);
  };
  const std::vector<plat::Color> top = master(1.0f);
  const struct {
    float value;
    bool atTop;  // values beyond 1 are clamped, NaN stored as 0
  } events[] = {{0.5f, false},
                {7.0f, true},
                {std::numeric_limits<float>::infinity(), true},
                {std::numeric_limits<float>::quiet_NaN(), false},
                {1.0f, true}};
  for (const auto& e : events) EXPECT_EQ(master(e.value) == top, e.atTop) << e.value;
  const float zero = 0.0f;
  ui->portEvent(lv2bundle::kAudioIn, sizeof zero, 0, &zero);
  ui->portEvent(lv2bundle::kNumPorts + 5, sizeof zero, 0, &zero);
  ui->portEvent(APlugin::kSpeed, 2, 0, "ab");
  EXPECT_EQ(master(1.0f), top);
  EXPECT_TRUE(heard.writes.empty());

  dragMaster(0, 0, [&] { pump(30); });
  ASSERT_FALSE(heard.writes.empty());
  for (const auto& [port, value] : heard.writes) EXPECT_EQ(port, std::uint32_t{APlugin::kMaster});
  EXPECT_FLOAT_EQ(heard.writes.back().second, 0.69f);
  const std::vector<std::pair<std::uint32_t, bool>> bracket = {{APlugin::kMaster, true}, {APlugin::kMaster, false}};
  EXPECT_EQ(heard.touches, bracket);
}

// The host's scale factor, at instantiation and through the options interface, is the window's
// scale; each change asks the host to resize. Bad factors and other options change nothing.
TEST_F(Lv2Ui, TakesTheHostsScaleFactorAndAsksItToResize) {
  kestrune::test::TestHost host;
  ASSERT_TRUE(host.Open(830, 436));
  TestUridMap urids;
  const LV2_URID scaleKey = urids(LV2_UI__scaleFactor), floatType = urids(LV2_ATOM__Float);
  std::vector<std::pair<int, int>> resized;
  LV2UI_Resize resize{&resized, [](LV2UI_Feature_Handle h, int width, int height) {
                        static_cast<std::vector<std::pair<int, int>>*>(h)->emplace_back(width, height);
                        return 0;
                      }};
  float factor = 2.0f;
  LV2_Options_Option options[] = {{LV2_OPTIONS_INSTANCE, 0, scaleKey, sizeof factor, floatType, &factor},
                                  {LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr}};
  Heard heard;
  const LV2_Feature parent{LV2_UI__parent, reinterpret_cast<void*>(host.Window())}, resizing{LV2_UI__resize, &resize},
      given{LV2_OPTIONS__options, options};
  const auto size = [&](LV2UI_Widget widget) {
    XWindowAttributes a{};
    XGetWindowAttributes(display, Window(reinterpret_cast<std::uintptr_t>(widget)), &a);
    return std::pair{a.width, a.height};
  };
  LV2UI_Widget widget = nullptr;
  {  // Without a URID map the option cannot be read: the display's scale, 100 %.
    const LV2_Feature* unmapped[] = {&parent, &given, nullptr};
    std::unique_ptr<TLv2Ui> ui(TLv2Ui::create(&Heard::write, &heard, &widget, unmapped));
    ASSERT_NE(ui, nullptr);
    EXPECT_EQ(size(widget), std::pair(415, 218));
  }
  const LV2_Feature* features[] = {&parent, &resizing, &urids.feature, &given, nullptr};
  std::unique_ptr<TLv2Ui> ui(TLv2Ui::create(&Heard::write, &heard, &widget, features));
  ASSERT_NE(ui, nullptr);
  EXPECT_EQ(size(widget), std::pair(830, 436));
  ASSERT_FALSE(resized.empty());
  EXPECT_EQ(resized.back(), std::pair(830, 436));
  const auto settle = [&] {
    ui->idle();
    host.Sync();
  };

  factor = 1.5f;
  EXPECT_EQ(ui->setOptions(options), std::uint32_t{LV2_OPTIONS_SUCCESS});
  EXPECT_EQ(resized.back(), std::pair(623, 327));
  settle();
  EXPECT_EQ(size(widget), std::pair(623, 327));
  LV2_Options_Option asked[] = {{LV2_OPTIONS_INSTANCE, 0, scaleKey, 0, 0, nullptr},
                                {LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr}};
  EXPECT_EQ(ui->getOptions(asked), std::uint32_t{LV2_OPTIONS_SUCCESS});
  ASSERT_NE(asked[0].value, nullptr);
  EXPECT_EQ(asked[0].type, floatType);
  EXPECT_EQ(*static_cast<const float*>(asked[0].value), 1.5f);

  const std::size_t asks = resized.size();
  factor = std::numeric_limits<float>::quiet_NaN();  // the editor's own check, tested there in full
  EXPECT_EQ(ui->setOptions(options), std::uint32_t{LV2_OPTIONS_ERR_BAD_VALUE});
  const double wide = 2.0;  // a double where a float is the option's type
  LV2_Options_Option odd[] = {{LV2_OPTIONS_INSTANCE, 0, scaleKey, sizeof wide, floatType, &wide},
                              {LV2_OPTIONS_INSTANCE, 0, floatType, sizeof factor, floatType, &factor},
                              {LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr}};
  EXPECT_EQ(ui->setOptions(odd), std::uint32_t{LV2_OPTIONS_ERR_BAD_VALUE | LV2_OPTIONS_ERR_BAD_KEY});
  EXPECT_EQ(resized.size(), asks);
  EXPECT_EQ(size(widget), std::pair(623, 327));
}
