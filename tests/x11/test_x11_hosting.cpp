// An editor in a real X window, under a virtual X server the test starts: a small test host
// window on the test's own connection, the effect's dispatcher with the editor opcodes, input
// from XTest, and pixels read back with XGetImage and compared with the headless rendering.
#include <gtest/gtest.h>
#include <sys/types.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "platform/headless/Headless.h"
#include "platform/x11/X11.h"
#include "tests/x11/LevelEffect.h"
#include "tests/x11/TestHost.h"
#include "tests/x11/XvfbServer.h"
#include "ui/Application.h"
#include "ui/ClassRegistry.h"
#include "ui/Form.h"
#include "ui/FormClass.h"
#include "ui/StatusBar.h"
#include "ui/TypeInfo.h"
#include "vst/DVstTemplate.h"
#include "vst/DVstTemplateEditor.h"

namespace {

using kestrune::test::TestHost;
using namespace leveltest;
using kestrune::test::XvfbTest;

int CountOpenFiles() {
  int n = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) ++n;
  return n;
}

// Shared-memory segments this process created that still exist.
int CountOwnSegments() {
  std::ifstream in("/proc/sysvipc/shm");
  std::string line;
  std::getline(in, line);  // header
  int n = 0;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    long key = 0, id = 0, perms = 0, size = 0, creator = 0;
    if (fields >> key >> id >> perms >> size >> creator && creator == long(getpid())) ++n;
  }
  return n;
}

class X11Hosting : public XvfbTest {
 protected:
  void SetUp() override {
    ASSERT_TRUE(ServerError().empty()) << ServerError();
    gTrace = &trace;
    Application().ResetErrors();
    x11 = &plat::x11::InstallX11();
    ASSERT_TRUE(host.Open(400, 300));
    effect = std::make_unique<TLevelEffect>();
    ae = effect->getAeffect();
  }
  void TearDown() override {
    effect.reset();
    plat::InstallBackend(nullptr);
    gTrace = nullptr;
  }
  VstIntPtr Dispatch(VstInt32 op, void* ptr = nullptr) { return ae->dispatcher(ae, op, 0, 0, ptr, 0); }
  VstIntPtr Open(unsigned long parent) {
    return Dispatch(effEditOpen, reinterpret_cast<void*>(static_cast<uintptr_t>(parent)));
  }
  TForm* Form() { return static_cast<TVstTemplateEditor*>(effect->getEditor())->getForm(); }
  // What a host does between events: the editor's idle call, until `done` or five seconds.
  bool IdleUntil(const std::function<bool()>& done) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (std::chrono::steady_clock::now() < end) {
      Dispatch(effEditIdle);
      host.Sync();
      if (done()) return true;
      usleep(2000);
    }
    return false;
  }
  void IdleFor(int ms) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    IdleUntil([&] { return std::chrono::steady_clock::now() >= end; });
  }

  std::vector<std::string> trace;
  plat::x11::X11Backend* x11 = nullptr;
  TestHost host;
  std::unique_ptr<TLevelEffect> effect;
  AEffect* ae = nullptr;
};

}  // namespace

TEST_F(X11Hosting, ClicksAndDragsSetTheParameterAndTheWindowShowsWhatHeadlessDraws) {
  ASSERT_EQ(Open(host.Window()), 1);
  EXPECT_STREQ(plat::Platform().Name(), "x11");
  EXPECT_TRUE(x11->Connected());
  const unsigned long editor = x11->NativeWindowOf(Form()->WindowHandle());
  ASSERT_NE(editor, 0u);
  EXPECT_EQ(host.Children(), std::vector<unsigned long>{editor});
  ASSERT_TRUE(IdleUntil([&] { return host.Pixel(editor, 5, 5) == kFormColor; })) << "the form never showed";
  EXPECT_EQ(trace, std::vector<std::string>{"attach"});

  // A click on the bar 60 pixels below its top (its own formula: 1 - y / (height - 1)).
  host.Button(40, 70, true);
  host.Button(40, 70, false);
  ASSERT_TRUE(IdleUntil([&] { return effect->getParameter(0) > 0; })) << "the click did not arrive";
  EXPECT_FLOAT_EQ(effect->getParameter(0), 1.0f - 60.0f / 79.0f);

  // A drag that leaves the editor on the way (Shift goes down out there, where our window sees no
  // key event) and ends 40 pixels below the bar's top.
  host.Button(40, 80, true);
  host.Move(300, 30);
  host.Shift(true);
  host.Move(45, 50);
  host.Button(45, 50, false);
  host.Shift(false);
  ASSERT_TRUE(IdleUntil([&] { return effect->getParameter(0) == 1.0f - 40.0f / 79.0f; }))
      << "the drag ended at " << effect->getParameter(0);
  const float level = effect->getParameter(0);
  EXPECT_GE(static_cast<TLevelBar*>(Form()->FindComponent("Bar"))->shiftedMoves, 1);
  IdleFor(100);  // the refresh timer writes the status bar
  EXPECT_EQ(host.Pixel(editor, 25, 88), kLevelColor);
  EXPECT_EQ(host.Pixel(editor, 25, 12), kTrackColor);

  EXPECT_TRUE(x11->UsesSharedMemory());  // a local server shares memory
  const std::vector<plat::Color> shown = host.Picture(editor, 240, 120);
  ASSERT_EQ(shown.size(), 240u * 120u);
  EXPECT_EQ(x11->XErrorCount(), 0u);
  Dispatch(effEditClose);
  EXPECT_TRUE(host.Children().empty());
  EXPECT_FALSE(x11->Connected());

  // The same state drawn headless.
  plat::headless::HeadlessBackend& hl = plat::headless::InstallHeadless();
  plat::WindowHandle hw = nullptr;
  ASSERT_EQ(hl.CreateHostWindow({0, 0, 240, 120}, 0, &hw), plat::Status::Ok);
  effect->setParameter(0, level);
  ASSERT_EQ(Dispatch(effEditOpen, hw), 1);
  hl.Advance(100);
  int different = 0;
  for (int y = 0; y < 120; ++y)
    for (int x = 0; x < 240; ++x) {
      plat::Color c = 0;
      hl.ScreenPixel(hw, {x, y}, &c);
      different += shown[size_t(y) * 240 + size_t(x)] != c;
    }
  EXPECT_EQ(different, 0);
  Dispatch(effEditClose);
  EXPECT_EQ(Application().ErrorCount(), 0u) << Application().LastError();
}

TEST_F(X11Hosting, OpenAndCloseAHundredTimesLeavesNoWindowSegmentOrConnection) {
  // One round first, so that what the libraries keep for the process is counted in the baseline.
  ASSERT_EQ(Open(host.Window()), 1);
  IdleFor(30);
  Dispatch(effEditClose);
  const int files = CountOpenFiles();
  const int segments = CountOwnSegments();
  for (int i = 0; i < 100; ++i) {
    ASSERT_EQ(Open(host.Window()), 1);
    const unsigned long editor = x11->NativeWindowOf(Form()->WindowHandle());
    ASSERT_TRUE(IdleUntil([&] { return host.Pixel(editor, 5, 5) == kFormColor; })) << "round " << i;
    Dispatch(effEditClose);
    ASSERT_TRUE(host.Children().empty()) << "round " << i;
    ASSERT_FALSE(x11->Connected()) << "round " << i;
    ASSERT_EQ(x11->RealWindowCount(), 0u);
  }
  EXPECT_EQ(CountOpenFiles(), files);
  EXPECT_EQ(CountOwnSegments(), segments);
  EXPECT_EQ(x11->XErrorCount(), 0u);
  // Two editors in two host windows share one connection, which goes with the last of them.
  TestHost second;
  ASSERT_TRUE(second.Open(300, 200));
  auto other = std::make_unique<TLevelEffect>();
  ASSERT_EQ(Open(host.Window()), 1);
  AEffect* oae = other->getAeffect();
  ASSERT_EQ(oae->dispatcher(oae, effEditOpen, 0, 0, reinterpret_cast<void*>(uintptr_t(second.Window())), 0), 1);
  EXPECT_EQ(x11->RealWindowCount(), 2u);
  Dispatch(effEditClose);
  EXPECT_TRUE(x11->Connected());
  oae->dispatcher(oae, effEditClose, 0, 0, nullptr, 0);
  EXPECT_FALSE(x11->Connected());
  EXPECT_EQ(CountOpenFiles(), files + 1);  // the second test host's own connection
}

TEST_F(X11Hosting, EventProcPropertyPumpsAndXErrorsNeverReachTheHost) {
  // Hosts that dispatch the window's events call the function the property names.
  ASSERT_EQ(Open(host.Window()), 1);
  const std::vector<unsigned long> children = host.Children();
  ASSERT_EQ(children.size(), 1u);
  std::string why;
  TestHost::EventProc proc = host.ReadEventProc(children[0], &why);
  ASSERT_NE(proc, nullptr) << why;
  EXPECT_TRUE(trace.empty());
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  char event[192] = {};  // room for any event
  while (host.Pixel(children[0], 5, 5) != kFormColor && std::chrono::steady_clock::now() < end) proc(event);
  EXPECT_EQ(trace, std::vector<std::string>{"attach"});  // without a single effEditIdle
  EXPECT_EQ(host.Pixel(children[0], 5, 5), kFormColor);
  Dispatch(effEditClose);

  // An X error on the plug-in's connection: a parent that is no window. The host's handler stays
  // in place and hears nothing of it; the editor falls back to an in-memory window.
  TestHost::InstallErrorCounter();
  ASSERT_EQ(Open(0x1FFFFF00), 1);
  EXPECT_GE(x11->XErrorCount(), 1u);
  EXPECT_GE(Application().ErrorCount(), 1u);
  EXPECT_NE(Application().LastError().find("X error"), std::string::npos) << Application().LastError();
  EXPECT_EQ(x11->NativeWindowOf(Form()->WindowHandle()), 0u);
  EXPECT_FALSE(x11->Connected());
  EXPECT_EQ(TestHost::Errors(), 0);
  host.ProvokeError();  // an error on the host's own connection still reaches the host's handler
  EXPECT_EQ(TestHost::Errors(), 1);
  EXPECT_TRUE(TestHost::ErrorCounterInPlace());
  Dispatch(effEditClose);

  // The host destroys its window (and ours with it) before closing the editor.
  Application().ResetErrors();
  ASSERT_EQ(Open(host.Window()), 1);
  IdleFor(30);
  host.DestroyWindow();
  ASSERT_TRUE(IdleUntil([&] { return !Form()->HandleAllocated(); }));
  EXPECT_EQ(x11->RealWindowCount(), 0u);
  EXPECT_FALSE(x11->Connected());
  Dispatch(effEditClose);
  EXPECT_EQ(Form(), nullptr);
}

TEST_F(X11Hosting, TheFirstHostWindowChoosesX11WhenItIsOnTheDisplayAndHeadlessOtherwise) {
  // Nothing installed: headless until a host hands a window on the display.
  plat::InstallBackend(nullptr);
  EXPECT_STREQ(plat::Platform().Name(), "headless");
  ASSERT_EQ(Open(host.Window()), 1);
  EXPECT_STREQ(plat::Platform().Name(), "x11");
  EXPECT_EQ(host.Children().size(), 1u);
  IdleFor(30);
  EXPECT_EQ(trace, std::vector<std::string>{"attach"});
  Dispatch(effEditClose);
  EXPECT_TRUE(host.Children().empty());

  // Without a display the same window id leaves the headless default in place.
  plat::InstallBackend(nullptr);
  const std::string display = std::getenv("DISPLAY");
  unsetenv("DISPLAY");
  ASSERT_EQ(Open(host.Window()), 1);
  setenv("DISPLAY", display.c_str(), 1);
  EXPECT_NE(plat::headless::CurrentHeadless(), nullptr);
  EXPECT_TRUE(Form()->HandleAllocated());
  EXPECT_TRUE(host.Children().empty());
  Dispatch(effEditClose);

  // A host window the headless backend made keeps it, display or not (how an offline host works).
  plat::InstallBackend(nullptr);
  plat::WindowHandle offline = nullptr;
  ASSERT_EQ(plat::headless::CurrentHeadless()->CreateHostWindow({0, 0, 240, 120}, 0, &offline), plat::Status::Ok);
  ASSERT_EQ(Dispatch(effEditOpen, offline), 1);
  EXPECT_STREQ(plat::Platform().Name(), "headless");
  Dispatch(effEditClose);
}

// Nothing settles the backend for good: whenever no editor shows, the window a host hands chooses
// again. A bad id gets an in-memory window for that editor only, and our offline host windows
// stay usable beside a real one.
TEST_F(X11Hosting, AnEditorInARealWindowShowsAfterABadIdOrAnOfflineHostWindow) {
  plat::InstallBackend(nullptr);
  auto ask = [&](VstIntPtr request, void* record) {
    return ae->dispatcher(ae, effVendorSpecific, kKestruneRequest, request, record, 0);
  };
  // Opens the editor in the host's real window; its X window once it shows there, else 0.
  auto showInRealWindow = [&]() -> unsigned long {
    if (Open(host.Window()) != 1) return 0;
    x11 = dynamic_cast<plat::x11::X11Backend*>(&plat::Platform());  // the fixture's one was replaced
    const unsigned long editor = x11 ? x11->NativeWindowOf(Form()->WindowHandle()) : 0;
    return editor && IdleUntil([&] { return host.Pixel(editor, 5, 5) == kFormColor; }) ? editor : 0;
  };

  // First an editor in a bad id (no window on any display), then in our offline host window, which
  // was set aside when the real one came and brings its backend back.
  KestruneHostWindow offline{0, 0, 240, 120, nullptr};
  ASSERT_EQ(ask(kRequestCreateHostWindow, &offline), 1);
  for (void* first : {reinterpret_cast<void*>(uintptr_t(0x1FFFFF00)), offline.window}) {
    ASSERT_EQ(Dispatch(effEditOpen, first), 1);
    EXPECT_STREQ(plat::Platform().Name(), "headless");
    EXPECT_TRUE(Form()->HandleAllocated());
    Dispatch(effEditClose);
    EXPECT_NE(showInRealWindow(), 0u);
    Dispatch(effEditClose);
  }
  EXPECT_EQ(ask(kRequestDestroyHostWindow, offline.window), 1);

  // While an editor shows in a real window the backend stays: another effect's editor in a bad id
  // gets an in-memory window of it, our offline request is refused, and the first keeps showing.
  const unsigned long editor = showInRealWindow();
  ASSERT_NE(editor, 0u);
  TLevelEffect other;
  AEffect* oae = other.getAeffect();
  ASSERT_EQ(oae->dispatcher(oae, effEditOpen, 0, 0, reinterpret_cast<void*>(uintptr_t(0x1FFFFF00)), 0), 1);
  KestruneHostWindow refused{0, 0, 240, 120, nullptr};
  EXPECT_EQ(ask(kRequestCreateHostWindow, &refused), 0);
  EXPECT_EQ(&plat::Platform(), x11);
  EXPECT_TRUE(IdleUntil([&] { return host.Pixel(editor, 5, 5) == kFormColor; }));
  oae->dispatcher(oae, effEditClose, 0, 0, nullptr, 0);
  Dispatch(effEditClose);
  EXPECT_TRUE(host.Children().empty());
}
