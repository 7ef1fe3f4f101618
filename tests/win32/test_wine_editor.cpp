// Editors in real windows under the system's message loop: the form test effect's editor opened
// in a top-level window, mouse input posted to it, its picture saved, reopened many times without
// leaking; and KestruneEn's own editor when the build has one.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/win32/FormFx.h"
#include "tests/win32/WineHost.h"
// After windows.h (through WineHost.h): the status bar messages.
#include <commctrl.h>

using namespace winehost;

namespace {

LPARAM At(int x, int y) { return MAKELPARAM(x, y); }

// A top-level window standing in for a host's editor frame, with a client area of w x h.
class HostWindow {
 public:
  // `unaware`: a window the system shows at 96 dots per inch whatever the display's density, as it
  // does a host that never declared it draws for the density itself.
  HostWindow(int w, int h, int x = 40, bool unaware = false) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = &::DefWindowProcA;
    wc.hInstance = ::GetModuleHandleA(nullptr);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH));
    wc.lpszClassName = "WineHostFrame";
    ::RegisterClassA(&wc);
    RECT r{0, 0, w, h};
    ::AdjustWindowRect(&r, WS_OVERLAPPEDWINDOW, FALSE);
    using SetContextFn = HANDLE(WINAPI*)(HANDLE);
    const auto setContext = reinterpret_cast<SetContextFn>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA("user32.dll"), "SetThreadDpiAwarenessContext")));
    HANDLE was = unaware && setContext ? setContext(reinterpret_cast<HANDLE>(intptr_t(-1))) : nullptr;
    hwnd = ::CreateWindowExA(0, "WineHostFrame", "Editor", WS_OVERLAPPEDWINDOW | WS_VISIBLE, x, 40, r.right - r.left,
                             r.bottom - r.top, nullptr, nullptr, wc.hInstance, nullptr);
    if (was) setContext(was);
    Pump(50);
  }
  ~HostWindow() {
    if (hwnd) ::DestroyWindow(hwnd);
    Pump();
  }
  HWND Editor() const { return ::GetWindow(hwnd, GW_CHILD); }
  // What a host does when the editor asks for another size.
  void FitClient(int w, int h) {
    RECT r{0, 0, w, h};
    ::AdjustWindowRect(&r, WS_OVERLAPPEDWINDOW, FALSE);
    ::SetWindowPos(hwnd, nullptr, 0, 0, r.right - r.left, r.bottom - r.top, SWP_NOMOVE | SWP_NOZORDER);
    Pump(50);
  }
  HWND hwnd = nullptr;
};

// The client area of `w` as 0x00RRGGBB pixels, top row first.
std::vector<uint32_t> Capture(HWND w, int* width, int* height) {
  RECT rc{};
  ::GetClientRect(w, &rc);
  *width = rc.right;
  *height = rc.bottom;
  BITMAPINFO info{};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), rc.right, -rc.bottom, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  HBITMAP bmp = ::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HDC mem = ::CreateCompatibleDC(nullptr);
  HGDIOBJ old = ::SelectObject(mem, bmp);
  HDC src = ::GetDC(w);
  ::BitBlt(mem, 0, 0, rc.right, rc.bottom, src, 0, 0, SRCCOPY);
  ::ReleaseDC(w, src);
  ::GdiFlush();
  std::vector<uint32_t> px(static_cast<uint32_t*>(bits), static_cast<uint32_t*>(bits) + rc.right * rc.bottom);
  for (uint32_t& p : px) p &= 0xFFFFFF;
  ::SelectObject(mem, old);
  ::DeleteDC(mem);
  ::DeleteObject(bmp);
  return px;
}

// A 24-bit bottom-up BMP file.
bool SaveBmp(const std::string& path, const std::vector<uint32_t>& px, int w, int h) {
  const int stride = (w * 3 + 3) & ~3;
  BITMAPFILEHEADER fh{};
  BITMAPINFOHEADER ih{sizeof ih, w, h, 1, 24, BI_RGB, DWORD(stride * h), 0, 0, 0, 0};
  fh.bfType = 0x4D42;
  fh.bfOffBits = sizeof fh + sizeof ih;
  fh.bfSize = fh.bfOffBits + ih.biSizeImage;
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  std::fwrite(&fh, sizeof fh, 1, f);
  std::fwrite(&ih, sizeof ih, 1, f);
  std::vector<uint8_t> row(size_t(stride), 0);
  for (int y = h - 1; y >= 0; --y) {
    for (int x = 0; x < w; ++x) {
      const uint32_t p = px[size_t(y) * size_t(w) + size_t(x)];
      row[size_t(x) * 3] = uint8_t(p);
      row[size_t(x) * 3 + 1] = uint8_t(p >> 8);
      row[size_t(x) * 3 + 2] = uint8_t(p >> 16);
    }
    std::fwrite(row.data(), 1, row.size(), f);
  }
  return std::fclose(f) == 0;
}

class WineEditor : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(lib.module, nullptr) << "KestruneFormFx.dll does not load, error " << ::GetLastError();
    HostLog::Reset();
    e = lib.Entry("VSTPluginMain")(&HostLog::Callback);
    ASSERT_NE(e, nullptr);
    Dispatch(e, effOpen);
  }
  void TearDown() override {
    if (e) Dispatch(e, effClose);
    Pump();
  }
  // Left button down at `from`, moves to each of `path`, up at the last, all posted.
  static void PostDrag(HWND w, POINT from, const std::vector<POINT>& path) {
    ::PostMessageA(w, WM_MOUSEMOVE, 0, At(from.x, from.y));
    ::PostMessageA(w, WM_LBUTTONDOWN, MK_LBUTTON, At(from.x, from.y));
    for (POINT p : path) ::PostMessageA(w, WM_MOUSEMOVE, MK_LBUTTON, At(p.x, p.y));
    ::PostMessageA(w, WM_LBUTTONUP, 0, At(path.back().x, path.back().y));
    Pump(50);
  }
  Library lib{"KestruneFormFx.dll"};
  ImportCounter counter{lib.module};
  AEffect* e = nullptr;
};

}  // namespace

TEST_F(WineEditor, OpensInARealWindowUnderClassesOfItsOwnModule) {
  ASSERT_TRUE(counter.Hooked());
  ERect* rect = nullptr;
  ASSERT_EQ(Dispatch(e, effEditGetRect, 0, 0, &rect), 1);
  ASSERT_NE(rect, nullptr);
  EXPECT_EQ(rect->right - rect->left, formfx::kWidth);
  EXPECT_EQ(rect->bottom - rect->top, formfx::kHeight);
  HostWindow host(formfx::kWidth, formfx::kHeight);
  ASSERT_EQ(Dispatch(e, effEditOpen, 0, 0, host.hwnd), 1);
  Pump(100);
  HWND form = host.Editor();
  ASSERT_NE(form, nullptr);
  EXPECT_TRUE(::IsWindowVisible(form));
  RECT rc{};
  ::GetClientRect(form, &rc);
  EXPECT_EQ(rc.right, formfx::kWidth);
  EXPECT_EQ(rc.bottom, formfx::kHeight);
  char cls[128] = {};
  ::GetClassNameA(form, cls, sizeof cls);
  EXPECT_EQ(std::string(cls).rfind("KestruneEn.", 0), 0u) << cls;
  WNDCLASSEXA info{};
  info.cbSize = sizeof info;
  EXPECT_TRUE(::GetClassInfoExA(lib.module, cls, &info)) << "class not registered with the DLL's module";
  // The form's children: the status bar is the system's own control.
  HWND bar = ::FindWindowExA(form, nullptr, "msctls_statusbar32", nullptr);
  ASSERT_NE(bar, nullptr);
  char text[64] = {};
  ::SendMessageA(bar, SB_GETTEXTA, 0, reinterpret_cast<LPARAM>(text));
  EXPECT_STREQ(text, "FormFx");
  int parts[4] = {};
  EXPECT_EQ(::SendMessageA(bar, SB_GETPARTS, 4, reinterpret_cast<LPARAM>(parts)), 2);
  EXPECT_EQ(parts[0], 80);  // panel widths arrive as right edges
  EXPECT_EQ(parts[1], -1);
  EXPECT_EQ(counter.LiveTimers(), 1u);  // the form's refresh timer

  int w = 0, h = 0;
  std::vector<uint32_t> px = Capture(host.hwnd, &w, &h);
  ASSERT_EQ(w, formfx::kWidth);
  ASSERT_EQ(h, formfx::kHeight);
  EXPECT_TRUE(SaveBmp("editor-win32.bmp", px, w, h));
  // The track is lit up to its initial level and dark beyond; the form's colour around it.
  const int ty = (formfx::kTrack[1] + formfx::kTrack[3]) / 2;
  EXPECT_EQ(px[size_t(ty) * size_t(w) + size_t(formfx::kTrack[0] + 10)], 0xF0C000u);
  EXPECT_EQ(px[size_t(ty) * size_t(w) + size_t(formfx::kTrack[0] + 200)], 0x3C3000u);
  EXPECT_EQ(px[5 * size_t(w) + 5], 0x102030u);

  // The refresh timer ticks through the host's loop: a value set by the host shows.
  e->setParameter(e, 0, 0.9f);
  Pump(150);
  px = Capture(host.hwnd, &w, &h);
  EXPECT_EQ(px[size_t(ty) * size_t(w) + size_t(formfx::kTrack[0] + 200)], 0xF0C000u);

  Dispatch(e, effEditClose);
  Pump();
  EXPECT_EQ(host.Editor(), nullptr);
  EXPECT_EQ(counter.LiveTimers(), 0u);
}

TEST_F(WineEditor, PostedDragMovesTheTrackAndPostedClickFlipsThePad) {
  HostWindow host(formfx::kWidth, formfx::kHeight);
  ASSERT_EQ(Dispatch(e, effEditOpen, 0, 0, host.hwnd), 1);
  Pump(50);
  HWND form = host.Editor();
  ASSERT_NE(form, nullptr);
  const int left = formfx::kTrack[0], y = formfx::kTrack[1] + 10, width = formfx::kTrack[2] - formfx::kTrack[0];
  // Down at 26 px, out past the window's right edge (the capture keeps the drag), back to 195 px.
  PostDrag(form, {left + 26, y}, {{left + 100, y}, {formfx::kWidth + 60, y + 40}, {left + 195, y}});
  EXPECT_FLOAT_EQ(e->getParameter(e, 0), 195.0f / float(width));
  EXPECT_GE(HostLog::automated, 4);
  EXPECT_FLOAT_EQ(HostLog::lastValue[0], 195.0f / float(width));
  EXPECT_EQ(::GetCapture(), nullptr);  // released on button up

  const int px = (formfx::kPad[0] + formfx::kPad[2]) / 2, py = (formfx::kPad[1] + formfx::kPad[3]) / 2;
  EXPECT_EQ(e->getParameter(e, 1), 0.0f);
  ::PostMessageA(form, WM_LBUTTONDOWN, MK_LBUTTON, At(px, py));
  ::PostMessageA(form, WM_LBUTTONUP, 0, At(px, py));
  Pump(50);
  EXPECT_EQ(e->getParameter(e, 1), 1.0f);
  // A press that leaves the pad before the release is no click.
  ::PostMessageA(form, WM_LBUTTONDOWN, MK_LBUTTON, At(px, py));
  ::PostMessageA(form, WM_MOUSEMOVE, MK_LBUTTON, At(px, formfx::kHeight - 2));
  ::PostMessageA(form, WM_LBUTTONUP, 0, At(px, formfx::kHeight - 2));
  Pump(50);
  EXPECT_EQ(e->getParameter(e, 1), 1.0f);
  Dispatch(e, effEditClose);
}

TEST_F(WineEditor, HundredOpenCloseCyclesLeakNoWindowGdiObjectOrTimer) {
  HostWindow host(formfx::kWidth, formfx::kHeight);
  // The first cycle may create what lives as long as the library (classes, the font cache).
  ASSERT_EQ(Dispatch(e, effEditOpen, 0, 0, host.hwnd), 1);
  Pump(30);
  Dispatch(e, effEditClose);
  Pump();
  const long gdi = ImportCounter::GdiObjects();
  const int messageWindows = CountMessageWindows();
  const DWORD guiGdi = ::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS);
  const DWORD guiUser = ::GetGuiResources(::GetCurrentProcess(), GR_USEROBJECTS);
  const long created = ImportCounter::Windows();
  for (int i = 0; i < 100; ++i) {
    ASSERT_EQ(Dispatch(e, effEditOpen, 0, 0, host.hwnd), 1) << "cycle " << i;
    ASSERT_NE(host.Editor(), nullptr);
    Pump(i % 10 == 0 ? 20 : 0);  // now and then let timers tick and paints happen
    Dispatch(e, effEditClose);
    Pump();
    ASSERT_EQ(CountChildren(host.hwnd), 0) << "cycle " << i;
  }
  EXPECT_GT(ImportCounter::Windows() - created, 100);  // the cycles did create windows
  EXPECT_EQ(ImportCounter::GdiObjects(), gdi);
  EXPECT_EQ(ImportCounter::LiveTimers(), 0u);
  EXPECT_EQ(CountMessageWindows(), messageWindows);
  // Where the system counts handles itself (Wine may answer 0 throughout).
  EXPECT_EQ(::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS), guiGdi);
  EXPECT_EQ(::GetGuiResources(::GetCurrentProcess(), GR_USEROBJECTS), guiUser);
}

TEST_F(WineEditor, TwoCopiesOfTheLibraryRegisterTheirOwnClasses) {
  const std::string copy = BesideHost("KestruneFormFx-copy.dll");
  ASSERT_TRUE(::CopyFileA(BesideHost("KestruneFormFx.dll").c_str(), copy.c_str(), FALSE));
  HMODULE second = ::LoadLibraryA(copy.c_str());
  ASSERT_NE(second, nullptr);
  ASSERT_NE(second, lib.module);
  AEffect* e2 = reinterpret_cast<VstPluginMainProc>(reinterpret_cast<void*>(::GetProcAddress(second, "main")))(
      &HostLog::Callback);
  ASSERT_NE(e2, nullptr);
  {
    HostWindow a(formfx::kWidth, formfx::kHeight), b(formfx::kWidth, formfx::kHeight, 400);
    ASSERT_EQ(Dispatch(e, effEditOpen, 0, 0, a.hwnd), 1);
    ASSERT_EQ(Dispatch(e2, effEditOpen, 0, 0, b.hwnd), 1);
    Pump(50);
    char c1[128] = {}, c2[128] = {};
    ::GetClassNameA(a.Editor(), c1, sizeof c1);
    ::GetClassNameA(b.Editor(), c2, sizeof c2);
    EXPECT_STRNE(c1, c2);
    // Both work: a click on each copy's pad flips its own effect only.
    const int px = (formfx::kPad[0] + formfx::kPad[2]) / 2, py = (formfx::kPad[1] + formfx::kPad[3]) / 2;
    ::PostMessageA(b.Editor(), WM_LBUTTONDOWN, MK_LBUTTON, At(px, py));
    ::PostMessageA(b.Editor(), WM_LBUTTONUP, 0, At(px, py));
    Pump(50);
    EXPECT_EQ(e2->getParameter(e2, 1), 1.0f);
    EXPECT_EQ(e->getParameter(e, 1), 0.0f);
    Dispatch(e, effEditClose);
    Dispatch(e2, effEditClose);
    Pump();
  }
  Dispatch(e2, effClose);
  ::FreeLibrary(second);
  ::DeleteFileA(copy.c_str());
}

// The deepest visible child of `top` under a client point of `top`, and the point in its client
// coordinates: where the system would deliver a click there.
HWND Target(HWND top, POINT p, POINT* local) {
  HWND at = top;
  POINT here = p;
  for (;;) {
    HWND child = ::ChildWindowFromPointEx(at, here, CWP_SKIPINVISIBLE | CWP_SKIPTRANSPARENT);
    if (!child || child == at) break;
    ::MapWindowPoints(at, child, &here, 1);
    at = child;
  }
  *local = here;
  return at;
}

// A press at `from`, a move to `to` (outside the window is fine: the press captures), a release.
void PostDragAt(HWND top, POINT from, POINT to) {
  POINT local{};
  HWND w = Target(top, from, &local);
  POINT end = to;
  ::MapWindowPoints(top, w, &end, 1);
  ::PostMessageA(w, WM_MOUSEMOVE, 0, At(local.x, local.y));
  ::PostMessageA(w, WM_LBUTTONDOWN, MK_LBUTTON, At(local.x, local.y));
  ::PostMessageA(w, WM_MOUSEMOVE, MK_LBUTTON, At((local.x + end.x) / 2, (local.y + end.y) / 2));
  ::PostMessageA(w, WM_MOUSEMOVE, MK_LBUTTON, At(end.x, end.y));
  ::PostMessageA(w, WM_LBUTTONUP, 0, At(end.x, end.y));
  Pump(100);
}

// The density the display is set to for this run (KESTRUNE_WINE_DPI from run-wine.sh, else 96).
int DisplayDpi() {
  const char* dpi = std::getenv("KESTRUNE_WINE_DPI");
  return dpi ? std::atoi(dpi) : 96;
}

// KestruneEn, opened, with the host log reset.
class WineKestruneEditor : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(lib.module, nullptr);
    HostLog::Reset();
    e = lib.Entry("VSTPluginMain")(&HostLog::Callback);
    ASSERT_NE(e, nullptr);
    Dispatch(e, effOpen);
    ASSERT_TRUE(e->flags & effFlagsHasEditor);
  }
  void TearDown() override {
    if (e) Dispatch(e, effClose);
    Pump();
  }
  Library lib{"KestruneEn.dll"};
  AEffect* e = nullptr;
};

TEST_F(WineKestruneEditor, OpensInARealWindowAtTheDisplaysDensityAndPostedInputSetsParameters) {
  // The runs are at 96 and 192 dots per inch: the editor opens at 100 % and 200 %.
  const int dpi = DisplayDpi(), s = dpi / 96;
  ASSERT_TRUE(dpi == 96 || dpi == 192) << dpi;
  {
    HDC screen = ::GetDC(nullptr);
    EXPECT_EQ(::GetDeviceCaps(screen, LOGPIXELSY), dpi) << "the prefix's display settings did not take";
    ::ReleaseDC(nullptr, screen);
  }
  ERect* rect = nullptr;
  ASSERT_EQ(Dispatch(e, effEditGetRect, 0, 0, &rect), 1);
  {
    // Before the first open the display is unknown: the designed size.
    HostWindow host(rect->right - rect->left, rect->bottom - rect->top);
    ASSERT_EQ(Dispatch(e, effEditOpen, 0, 0, host.hwnd), 1);
    // Open, the editor knows its display: it asks for more room where it is larger, and says so.
    const int w = 415 * s, h = 218 * s;
    ASSERT_EQ(Dispatch(e, effEditGetRect, 0, 0, &rect), 1);
    EXPECT_EQ(rect->right - rect->left, w);
    EXPECT_EQ(rect->bottom - rect->top, h);
    EXPECT_EQ(HostLog::resizes, (s == 1 ? std::vector<std::pair<int, int>>{} : std::vector{std::pair{w, h}}));
    host.FitClient(w, h);
    Pump(200);
    ASSERT_NE(host.Editor(), nullptr);
    RECT rc{};
    ::GetClientRect(host.Editor(), &rc);
    EXPECT_EQ(rc.right, w);
    EXPECT_EQ(rc.bottom, h);
    int cw = 0, ch = 0;
    const std::vector<uint32_t> px = Capture(host.hwnd, &cw, &ch);
    EXPECT_TRUE(SaveBmp("kestrune-editor-win32.bmp", px, cw, ch));

    // The first slider of the editor (parameter 0, "Speed"): at 100 % its column is x 14..34,
    // y 19..173, top meaning 1, its 30-pixel knob travelling 124 pixels; every length times the
    // scale. Taken by the knob (a press beside it only steps towards the mouse) and dragged far
    // above and far below, the parameter follows to either end: Speed 0.1 puts the knob's middle
    // at 19 + 111 + 15, the top at 19 + 15.
    const float before = e->getParameter(e, 0);
    PostDragAt(host.hwnd, {24 * s, 145 * s}, {24 * s, -200});
    const float raised = e->getParameter(e, 0);
    PostDragAt(host.hwnd, {24 * s, 34 * s}, {24 * s, h + 200});
    const float lowered = e->getParameter(e, 0);
    EXPECT_GT(HostLog::automated, 0);
    EXPECT_GE(raised, before);
    EXPECT_EQ(lowered, 0.0f);
    EXPECT_EQ(HostLog::lastValue[0], lowered);
    // From the bottom up over half the knob's travel: half way at every scale.
    PostDragAt(host.hwnd, {24 * s, 158 * s}, {24 * s, (158 - 62) * s});
    EXPECT_EQ(e->getParameter(e, 0), 0.5f);
    // The sync button (parameter 9) at 315, 28, 80 x 30: a click flips it.
    const float sync = e->getParameter(e, 9);
    PostDragAt(host.hwnd, {355 * s, 43 * s}, {355 * s, 43 * s});
    EXPECT_NE(e->getParameter(e, 9), sync);

    Dispatch(e, effEditClose);
    Pump();
    EXPECT_EQ(host.Editor(), nullptr);
  }
}

// The system's word that the density of the editor's window changed (WM_DPICHANGED_AFTERPARENT,
// which per-monitor-aware hosts' children get when the host moves to another monitor) makes the
// editor read it again: changed, the editor is rebuilt at the new scale and asks the host for the
// room (an unchanged reading is left to the headless density test). Wine gives all monitors one
// density, so the density changes here by the editor moving into a window of the display's density
// from one the system shows at 96.
TEST_F(WineKestruneEditor, FollowsTheDensityOfItsWindowWhenTheSystemSaysItChanged) {
  constexpr UINT kDpiChangedAfterParent = 0x02E3;
  const int s = DisplayDpi() / 96;
  {
    HostWindow at96(415, 218, 40, true), atDisplay(415 * s, 218 * s, 500);
    const int messageWindows = CountMessageWindows();
    ASSERT_EQ(Dispatch(e, effEditOpen, 0, 0, at96.hwnd), 1);
    Pump(50);
    const HWND first = at96.Editor();
    ASSERT_NE(first, nullptr);

    ASSERT_EQ(Dispatch(e, effEditOpen, 0, 0, atDisplay.hwnd), 1);  // a further open moves it
    ASSERT_EQ(atDisplay.Editor(), first);
    ::SendMessageA(first, kDpiChangedAfterParent, 0, 0);
    Pump(100);
    ASSERT_NE(atDisplay.Editor(), nullptr);
    RECT rc{};
    ::GetClientRect(atDisplay.Editor(), &rc);
    EXPECT_EQ(rc.right, 415 * s);
    EXPECT_EQ(rc.bottom, 218 * s);
    EXPECT_EQ(HostLog::resizes,
              (s == 1 ? std::vector<std::pair<int, int>>{} : std::vector{std::pair{415 * s, 218 * s}}));
    Dispatch(e, effEditClose);
    Dispatch(e, effEditClose);
    Pump();
    EXPECT_EQ(atDisplay.Editor(), nullptr);
    EXPECT_EQ(CountMessageWindows(), messageWindows);
  }
}

TEST_F(WineKestruneEditor, HundredOpenCloseCyclesLeakNoWindowGdiObjectOrTimer) {
  ImportCounter counter(lib.module);
  ERect* rect = nullptr;
  ASSERT_EQ(Dispatch(e, effEditGetRect, 0, 0, &rect), 1);
  {
    HostWindow host(rect->right - rect->left, rect->bottom - rect->top);
    // The first cycle may create what lives as long as the library (classes, fonts).
    ASSERT_EQ(Dispatch(e, effEditOpen, 0, 0, host.hwnd), 1);
    Pump(30);
    Dispatch(e, effEditClose);
    Pump();
    const long gdi = ImportCounter::GdiObjects();
    const int messageWindows = CountMessageWindows();
    for (int i = 0; i < 100; ++i) {
      ASSERT_EQ(Dispatch(e, effEditOpen, 0, 0, host.hwnd), 1) << "cycle " << i;
      Pump(i % 10 == 0 ? 30 : 0);  // now and then let timers tick and paints happen
      Dispatch(e, effEditIdle);
      Dispatch(e, effEditClose);
      Pump();
      ASSERT_EQ(CountChildren(host.hwnd), 0) << "cycle " << i;
    }
    EXPECT_EQ(ImportCounter::GdiObjects(), gdi);
    EXPECT_EQ(ImportCounter::LiveTimers(), 0u);
    EXPECT_EQ(CountMessageWindows(), messageWindows);
  }
}
