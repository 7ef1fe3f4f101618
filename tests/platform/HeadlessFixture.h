// A fresh headless backend per test, and a recorder of the messages windows receive.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/headless/Headless.h"

namespace plat::test {

struct Received {
  WindowHandle window;
  uint32_t msg;
  uintptr_t wParam;
  intptr_t lParam;
};

class HeadlessTest : public ::testing::Test {
 protected:
  void SetUp() override { hl = &headless::InstallHeadless(); }
  void TearDown() override { InstallBackend(nullptr); }

  // A window procedure that records everything and passes it to the default handling.
  WindowProc Recorder() {
    return [this](WindowHandle w, Message& m) {
      log.push_back({w, m.msg, m.wParam, m.lParam});
      hl->DefaultHandling(w, m);
    };
  }
  WindowHandle Host(Rect bounds = {0, 0, 200, 100}, Color background = MakeColor(10, 20, 30)) {
    WindowHandle h = nullptr;
    EXPECT_EQ(hl->CreateHostWindow(bounds, background, &h), Status::Ok);
    return h;
  }
  WindowHandle Child(WindowHandle parent, Rect bounds, WindowProc proc = {}, bool visible = true) {
    WindowDesc d;
    d.parent = parent;
    d.bounds = bounds;
    d.visible = visible;
    d.proc = proc ? std::move(proc) : Recorder();
    WindowHandle h = nullptr;
    EXPECT_EQ(hl->CreateChildWindow(d, &h), Status::Ok);
    return h;
  }
  std::vector<uint32_t> MessagesOf(WindowHandle w, bool skipPaint = false) const {
    std::vector<uint32_t> out;
    for (const Received& r : log)
      if (r.window == w && !(skipPaint && r.msg == kMsgPaint)) out.push_back(r.msg);
    return out;
  }
  Color Pixel(WindowHandle host, int x, int y) {
    Color c = 0;
    EXPECT_EQ(hl->ScreenPixel(host, {x, y}, &c), Status::Ok);
    return c;
  }

  headless::HeadlessBackend* hl = nullptr;
  std::vector<Received> log;
};

}  // namespace plat::test
