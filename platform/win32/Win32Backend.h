// The Win32 backend: our windows are real child windows of the host's window (or message-only
// windows), painted through GDI, timed by the system's timers and fed by the host's message loop.
//
// - Window classes are registered with this library's own module handle under names that carry
//   that handle, so two copies of the plug-in in one host never share (or fight over) a class; a
//   class that exists already (a second instance of the same copy) is used as it is.
// - The messages of the platform interface reach window procedures unchanged, except paint and
//   erase-background, whose device context arrives wrapped as a DrawContext, and the wheel, whose
//   position is made client-relative. Every other system message goes straight to the system's
//   default handling, and so does whatever a procedure hands to DefaultHandling.
// - Nothing here blocks: no modal loop, no wait, no message box.
#pragma once

#include <map>
#include <memory>
#include <vector>

#include "platform/Platform.h"
#include "platform/win32/GdiContext.h"
#include "platform/win32/Win32Api.h"

namespace plat::win32 {

class Win32Backend final : public Backend {
 public:
  Win32Backend();
  ~Win32Backend() override;
  const char* Name() const override { return "win32"; }

  Status CreateChildWindow(const WindowDesc& desc, WindowHandle* out) override;
  Status CreateMessageWindow(WindowProc proc, WindowHandle* out) override;
  Status DestroyWindow(WindowHandle window) override;
  bool IsWindow(WindowHandle window) const override { return Find(window) != nullptr; }
  Status SetParent(WindowHandle window, WindowHandle newParent) override;
  Status GetParent(WindowHandle window, WindowHandle* out) const override;
  Status SetBounds(WindowHandle window, const Rect& bounds) override;
  Status GetBounds(WindowHandle window, Rect* out) const override;
  Status GetClientSize(WindowHandle window, Size* out) const override;
  Status Show(WindowHandle window, bool visible) override;
  Status IsVisible(WindowHandle window, bool* out) const override;
  Status ClientToScreen(WindowHandle window, Point* point) const override;
  Status ScreenToClient(WindowHandle window, Point* point) const override;
  WindowHandle WindowFromPoint(Point screen) const override;

  Status PostMessage(WindowHandle window, uint32_t msg, uintptr_t wParam, intptr_t lParam) override;
  intptr_t SendMessage(WindowHandle window, uint32_t msg, uintptr_t wParam, intptr_t lParam) override;
  void DefaultHandling(WindowHandle window, Message& message) override;

  // The window's DPI where the system tells it per window (GetDpiForWindow, looked up at run time
  // as older systems lack it), else the screen's (LOGPIXELSX), over 96.
  double ContentScale(WindowHandle window) override;
  Status Invalidate(WindowHandle window, const Rect* area) override;
  Status Validate(WindowHandle window, const Rect* area) override;
  Status GetUpdateRect(WindowHandle window, Rect* out) const override;
  Status BeginPaint(WindowHandle window, PaintCycle* out) override;
  Status EndPaint(WindowHandle window, PaintCycle* cycle) override;
  Status UpdateWindow(WindowHandle window) override;

  Status SetCapture(WindowHandle window) override;
  Status ReleaseCapture() override;
  WindowHandle GetCapture() const override;
  Status TrackMouseLeave(WindowHandle window) override;
  Point GetCursorPos() const override;
  void GetKeyboardState(uint8_t keys[256]) const override;
  bool IsKeyDown(uint32_t virtualKey) const override;
  Status SetFocus(WindowHandle window) override;
  WindowHandle GetFocus() const override;

  Status SetTimer(WindowHandle window, uintptr_t id, uint32_t periodMs) override;
  Status KillTimer(WindowHandle window, uintptr_t id) override;
  uint32_t TickCount() const override { return ::GetTickCount(); }
  Status CreateGuid(uint8_t out[16]) override;

  Status CreateSurface(int32_t width, int32_t height, std::unique_ptr<Surface>* out) override;
  DrawContext& ScreenContext() override { return screenContext_; }

  Status CreateStatusBar(WindowHandle parent, const Rect& bounds, WindowHandle* out) override;
  Status SetStatusPanels(WindowHandle bar, const std::vector<int32_t>& widths) override;
  Status SetStatusText(WindowHandle bar, int32_t panel, const std::string& text) override;
  Status GetStatusText(WindowHandle bar, int32_t panel, std::string* out) const override;
  Status SetStatusColor(WindowHandle bar, Color background) override;
  Status SetStatusFont(WindowHandle bar, const FontSpec& font) override;

  Color SystemColor(int index) const override;

  // Every window here belongs to an editor: the host windows are the host's own.
  bool ShowsWindows() const override { return !windows_.empty(); }
  bool HoldsWindows() const override { return !windows_.empty(); }

 private:
  enum class Kind { Child, Message, StatusBar };
  struct Window {
    Win32Backend* backend = nullptr;
    HWND hwnd = nullptr;
    Kind kind = Kind::Child;
    bool destroyed = false;  // kMsgDestroy delivered: the procedure is not called again
    WindowProc proc;
    WNDPROC systemProc = nullptr;  // status bars: the control's own procedure
    std::unique_ptr<GdiContext> paintContext;
    PAINTSTRUCT paint{};
    bool painting = false;
  };
  // The message a procedure is handling, so that DefaultHandling can give the system the
  // parameters it sent rather than the translated ones.
  struct Delivery {
    HWND hwnd;
    uint32_t msg;
    uintptr_t wParam;  // as the procedure sees it
    WPARAM rawWParam;
    LPARAM rawLParam;
  };

  static LRESULT CALLBACK ClassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK StatusBarProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  LRESULT Deliver(Window* w, UINT msg, WPARAM wParam, LPARAM lParam);
  Window* Find(WindowHandle handle) const;
  // A window to create ours inside: one of our children or status bars, or a foreign window.
  bool UsableParent(HWND parent) const;
  Status Create(Kind kind, DWORD style, HWND parent, const Rect& bounds, bool doubleClicks, WindowProc proc,
                WindowHandle* out);
  bool RegisterClasses();
  Window* StatusBar(WindowHandle bar) const;

  HINSTANCE module_ = nullptr;
  char childClass_[64] = {};
  char childNoDblClass_[64] = {};
  char messageClass_[64] = {};
  bool registered_ = false;
  bool commonControls_ = false;
  std::map<HWND, std::shared_ptr<Window>> windows_;
  std::shared_ptr<Window> creating_;  // handed to the window by its first message
  std::vector<Delivery> deliveries_;
  FontCache fonts_;
  GdiContext screenContext_;
  HDC screenDc_ = nullptr;
};

}  // namespace plat::win32
