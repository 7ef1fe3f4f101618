// The Win32 backend on its own, under Wine: surfaces keep their alpha through GDI drawing, the
// context's origin and clip behave as on every backend, handles are checked, posted messages and
// timers arrive through the system's loop, and the status bar takes right edges.
#include <gtest/gtest.h>

#include <vector>

#include "platform/Platform.h"
#include "tests/win32/WineHost.h"
// After windows.h: the status bar messages, and the system's function-name macros undone.
#include "platform/win32/Win32Api.h"

namespace {

using plat::Rect;
using plat::Status;

uint32_t Pixel(plat::Surface& s, int x, int y) {
  s.Flush();
  const uint8_t* p = s.Row(y) + x * 4;
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

class WinePlatform : public ::testing::Test {
 protected:
  plat::Backend& b = plat::Platform();
};

}  // namespace

TEST_F(WinePlatform, IsTheWin32Backend) { EXPECT_STREQ(b.Name(), "win32"); }

TEST_F(WinePlatform, SurfacesKeepAlphaThroughFillsFramesAndText) {
  std::unique_ptr<plat::Surface> s;
  ASSERT_EQ(b.CreateSurface(40, 20, &s), Status::Ok);
  EXPECT_EQ(Pixel(*s, 39, 19), 0u);  // created zero-filled
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 40; ++x) s->Row(y)[x * 4 + 3] = uint8_t(x * 6 + y);
  plat::DrawContext& dc = s->Context();
  ASSERT_EQ(dc.FillRect({0, 0, 40, 20}, plat::MakeColor(10, 20, 30)), Status::Ok);
  ASSERT_EQ(dc.FrameRect({2, 2, 38, 18}, plat::MakeColor(200, 100, 50)), Status::Ok);
  dc.SetTextColor(plat::MakeColor(255, 255, 255));
  Rect r{0, 0, 40, 20};
  ASSERT_EQ(dc.DrawText("Wg", &r, plat::kTextCenter | plat::kTextVCenter | plat::kTextSingleLine), Status::Ok);
  int lit = 0;
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 40; ++x) {
      const uint32_t p = Pixel(*s, x, y);
      EXPECT_EQ(p >> 24, uint32_t(x * 6 + y)) << x << "," << y;
      lit += (p & 0xFF) > 128 && x > 3 && x < 36 && y > 3 && y < 16;
    }
  EXPECT_GT(lit, 5);  // the text was drawn
  // Colour bytes: blue, green, red in memory; the frame one pixel inside its rectangle.
  EXPECT_EQ(Pixel(*s, 0, 0) & 0xFFFFFF, 0x0A141Eu);
  EXPECT_EQ(Pixel(*s, 2, 2) & 0xFFFFFF, 0xC86432u);
  EXPECT_EQ(Pixel(*s, 37, 17) & 0xFFFFFF, 0xC86432u);
  EXPECT_EQ(Pixel(*s, 38, 18) & 0xFFFFFF, 0x0A141Eu);
}

TEST_F(WinePlatform, OriginClipSaveRestoreAndTransfers) {
  std::unique_ptr<plat::Surface> s, t;
  ASSERT_EQ(b.CreateSurface(30, 30, &s), Status::Ok);
  ASSERT_EQ(b.CreateSurface(30, 30, &t), Status::Ok);
  plat::DrawContext& dc = s->Context();
  EXPECT_EQ(dc.ClipBox(), (Rect{0, 0, 30, 30}));
  const int depth = dc.Save();
  dc.SetOrigin({10, 5});
  dc.IntersectClip({0, 0, 10, 10});  // device 10..20 x 5..15
  EXPECT_EQ(dc.ClipBox(), (Rect{0, 0, 10, 10}));
  dc.SetOrigin({0, 0});  // the clip stays where it is on the device
  EXPECT_EQ(dc.ClipBox(), (Rect{10, 5, 20, 15}));
  dc.ExcludeClip({12, 7, 14, 9});
  dc.FillRect({0, 0, 30, 30}, plat::MakeColor(255, 0, 0));
  EXPECT_EQ(Pixel(*s, 10, 5) & 0xFFFFFF, 0xFF0000u);
  EXPECT_EQ(Pixel(*s, 19, 14) & 0xFFFFFF, 0xFF0000u);
  EXPECT_EQ(Pixel(*s, 20, 14) & 0xFFFFFF, 0u);
  EXPECT_EQ(Pixel(*s, 12, 7) & 0xFFFFFF, 0u);  // excluded
  EXPECT_FALSE(dc.RectVisible({0, 0, 5, 5}));
  ASSERT_EQ(dc.Restore(depth), Status::Ok);
  EXPECT_EQ(dc.ClipBox(), (Rect{0, 0, 30, 30}));
  EXPECT_EQ(dc.Origin(), (plat::Point{0, 0}));
  EXPECT_EQ(dc.Restore(5), Status::InvalidArgument);
  // Plain copies carry all four bytes; a stretch doubles each pixel.
  s->Row(6)[13 * 4 + 3] = 0x7F;
  ASSERT_EQ(t->Context().Transfer({0, 0, 30, 30}, dc, {0, 0}), Status::Ok);
  EXPECT_EQ(Pixel(*t, 13, 6), 0x7FFF0000u);
  ASSERT_EQ(t->Context().StretchTransfer({0, 0, 20, 20}, dc, {10, 5, 20, 15}), Status::Ok);
  EXPECT_EQ(Pixel(*t, 19, 19) & 0xFFFFFF, 0xFF0000u);
  EXPECT_EQ(t->Context().StretchTransfer({0, 0, 0, 5}, dc, {0, 0, 5, 5}), Status::InvalidArgument);
  // An indexed picture: each index its colour, indices past the table black, alpha kept.
  const uint8_t indices[2 * 5] = {0, 1, 2, 9, 0, 1, 1, 0, 0, 0};
  const plat::Color table[3] = {plat::MakeColor(1, 2, 3), plat::MakeColor(200, 150, 100), plat::MakeColor(0, 0, 255)};
  ASSERT_EQ(t->Context().TransferIndexed({1, 1, 4, 3}, indices, 5, table, 3), Status::Ok);
  EXPECT_EQ(Pixel(*t, 1, 1) & 0xFFFFFF, 0x010203u);
  EXPECT_EQ(Pixel(*t, 2, 1) & 0xFFFFFF, 0xC89664u);
  EXPECT_EQ(Pixel(*t, 3, 1) & 0xFFFFFF, 0x0000FFu);
  EXPECT_EQ(Pixel(*t, 2, 2) & 0xFFFFFF, 0xC89664u);
  EXPECT_EQ(Pixel(*t, 4, 1) & 0xFFFFFF, 0xFF0000u);  // outside the target: what was there
  const uint8_t beyond[1] = {7};
  t->Row(6)[13 * 4 + 3] = 0x7F;
  ASSERT_EQ(t->Context().TransferIndexed({13, 6, 14, 7}, beyond, 1, table, 3), Status::Ok);
  EXPECT_EQ(Pixel(*t, 13, 6), 0x7F000000u);  // black, and the alpha byte stays
  EXPECT_EQ(t->Context().TransferIndexed({0, 0, 4, 1}, indices, 3, table, 3), Status::InvalidArgument);
  std::unique_ptr<plat::Surface> tooBig;
  EXPECT_EQ(b.CreateSurface(0, 5, &tooBig), Status::InvalidArgument);
  EXPECT_EQ(b.CreateSurface(plat::kMaxPixelDimension + 1, 1, &tooBig), Status::TooLarge);
}

TEST_F(WinePlatform, MessagesTimersHandlesAndTheStatusBar) {
  std::vector<uint32_t> seen;
  plat::WindowHandle mw = nullptr;
  ASSERT_EQ(b.CreateMessageWindow([&](plat::WindowHandle, plat::Message& m) { seen.push_back(m.msg); }, &mw),
            Status::Ok);
  for (uint32_t i = 0; i < 3; ++i) EXPECT_EQ(b.PostMessage(mw, plat::kMsgUser + i, 0, 0), Status::Ok);
  ASSERT_EQ(b.SetTimer(mw, 4, 1), Status::Ok);  // raised to 10 ms
  winehost::Pump(60);
  ASSERT_GE(seen.size(), 4u);
  EXPECT_EQ(std::vector<uint32_t>(seen.begin(), seen.begin() + 3),
            (std::vector<uint32_t>{plat::kMsgUser, plat::kMsgUser + 1, plat::kMsgUser + 2}));
  EXPECT_EQ(seen[3], plat::kMsgTimer);
  EXPECT_EQ(b.KillTimer(mw, 4), Status::Ok);
  EXPECT_EQ(b.KillTimer(mw, 4), Status::NotFound);
  EXPECT_EQ(b.SendMessage(mw, plat::kMsgUser + 9, 0, 0), 0);
  EXPECT_EQ(seen.back(), plat::kMsgUser + 9);

  // A foreign window as parent; our child and status bar inside it.
  HWND host =
      ::CreateWindowExA(0, "STATIC", "", WS_POPUP | WS_VISIBLE, 0, 0, 200, 100, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(host, nullptr);
  plat::WindowHandle child = nullptr, bar = nullptr;
  plat::WindowDesc desc;
  desc.parent = host;
  desc.bounds = {5, 6, 105, 56};
  desc.visible = true;
  ASSERT_EQ(b.CreateChildWindow(desc, &child), Status::Ok);
  Rect bounds;
  EXPECT_EQ(b.GetBounds(child, &bounds), Status::Ok);
  EXPECT_EQ(bounds, desc.bounds);
  EXPECT_EQ(b.CreateStatusBar(host, {0, 80, 200, 100}, &bar), Status::Ok);
  EXPECT_EQ(b.SetStatusPanels(bar, {50, 70, -1}), Status::Ok);
  int edges[4] = {};
  EXPECT_EQ(::SendMessageA(static_cast<HWND>(bar), SB_GETPARTS, 4, reinterpret_cast<LPARAM>(edges)), 3);
  EXPECT_EQ(edges[0], 50);
  EXPECT_EQ(edges[1], 120);
  EXPECT_EQ(edges[2], -1);
  EXPECT_EQ(b.SetStatusText(bar, 1, "Tempo"), Status::Ok);
  std::string text;
  EXPECT_EQ(b.GetStatusText(bar, 1, &text), Status::Ok);
  EXPECT_EQ(text, "Tempo");
  EXPECT_EQ(b.SetStatusText(bar, 3, "x"), Status::InvalidArgument);
  EXPECT_EQ(b.SetStatusPanels(child, {10}), Status::InvalidArgument);  // not a status bar
  // Handles are checked: a foreign window, a destroyed one, a message window as parent.
  EXPECT_EQ(b.Invalidate(host, nullptr), Status::NotFound);
  desc.parent = mw;
  plat::WindowHandle none = nullptr;
  EXPECT_EQ(b.CreateChildWindow(desc, &none), Status::NotFound);
  ::DestroyWindow(host);  // takes our windows with it
  EXPECT_FALSE(b.IsWindow(child));
  EXPECT_FALSE(b.IsWindow(bar));
  EXPECT_EQ(b.PostMessage(child, plat::kMsgUser, 0, 0), Status::NotFound);
  EXPECT_EQ(b.DestroyWindow(mw), Status::Ok);
  EXPECT_EQ(b.SetTimer(mw, 1, 10), Status::NotFound);
}
