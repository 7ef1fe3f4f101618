// The headless backend's implementation class (private to platform/headless/).
#pragma once

#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/headless/Headless.h"
#include "platform/soft/SoftContext.h"

namespace plat::headless {

class HeadlessBackendImpl final : public HeadlessBackend {
 public:
  HeadlessBackendImpl();
  ~HeadlessBackendImpl() override;
  const char* Name() const override { return "headless"; }

  Status CreateChildWindow(const WindowDesc& desc, WindowHandle* out) override;
  Status CreateMessageWindow(WindowProc proc, WindowHandle* out) override;
  Status DestroyWindow(WindowHandle window) override;
  bool IsWindow(WindowHandle window) const override;
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

  Status Invalidate(WindowHandle window, const Rect* area) override;
  Status Validate(WindowHandle window, const Rect* area) override;
  Status GetUpdateRect(WindowHandle window, Rect* out) const override;
  Status BeginPaint(WindowHandle window, PaintCycle* out) override;
  Status EndPaint(WindowHandle window, PaintCycle* cycle) override;
  Status UpdateWindow(WindowHandle window) override;

  Status SetCapture(WindowHandle window) override;
  Status ReleaseCapture() override;
  WindowHandle GetCapture() const override { return HandleOf(capture_); }
  Status TrackMouseLeave(WindowHandle window) override;
  Point GetCursorPos() const override { return cursor_; }
  void GetKeyboardState(uint8_t keys[256]) const override;
  bool IsKeyDown(uint32_t virtualKey) const override;
  Status SetFocus(WindowHandle window) override;
  WindowHandle GetFocus() const override { return HandleOf(focus_); }

  Status SetTimer(WindowHandle window, uintptr_t id, uint32_t periodMs) override;
  Status KillTimer(WindowHandle window, uintptr_t id) override;
  uint32_t TickCount() const override { return uint32_t(now_); }
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

  Status CreateHostWindow(const Rect& screenBounds, Color background, WindowHandle* out, WindowProc proc) override;
  Status ReadScreen(WindowHandle hostWindow, std::unique_ptr<Surface>* out) override;
  Status SaveScreenPng(WindowHandle hostWindow, const std::string& path) override;
  Status ScreenPixel(WindowHandle hostWindow, Point p, Color* out) const override;

  Status Advance(uint32_t ms) override;
  void Spend(uint32_t ms) override { now_ += ms; }
  uint64_t Now() const override { return now_; }
  Status Pump() override;

  Status InjectMouseMove(Point screen) override;
  Status InjectMouseButton(Point screen, int button, bool down) override;
  Status InjectClick(Point screen, int button) override;
  Status InjectKey(uint32_t virtualKey, bool down) override;
  Status InjectChar(uint8_t character) override;

  Status SetScreenBitsPerPixel(WindowHandle hostWindow, int bits) override;
  void SetTimerLimit(size_t limit) override { timerLimit_ = limit; }
  size_t RunningTimerCount() const override { return timers_.size(); }
  size_t WindowCount() const override { return windows_.size(); }
  size_t EscapedExceptions() const override { return escaped_; }

 private:
  enum class Kind { Host, Child, Message, StatusBar };
  struct StatusBarData {
    std::vector<int32_t> widths;
    std::vector<std::string> texts;
    Color background = 0;
    FontSpec font;
  };
  struct Window {
    uint64_t id = 0;
    Kind kind = Kind::Child;
    uint64_t parent = 0;
    std::vector<uint64_t> children;  // bottom-most first
    Rect bounds;                     // parent client coordinates (screen for top-level windows)
    bool visible = false;
    bool doubleClicks = true;
    bool destroying = false;
    bool painting = false;
    bool trackLeave = false;
    bool implicitHost = false;  // a foreign handle adopted as a host window
    WindowProc proc;
    Region update;  // client coordinates
    soft::SoftContext paintContext;
    // Host windows: the in-memory screen (surface layout) and the background colour.
    std::vector<uint8_t> screen;
    Color background = 0;
    int screenBits = 32;
    std::unique_ptr<StatusBarData> bar;
  };
  struct Posted {
    uint64_t window;
    Message message;
  };
  struct Timer {
    uint64_t window;
    uintptr_t id;
    uint32_t period;
    uint64_t due;
    uint64_t seq;
  };

  static WindowHandle HandleOf(uint64_t id) { return reinterpret_cast<WindowHandle>(uintptr_t(id)); }
  Window* Find(WindowHandle handle) const;
  Window* FindId(uint64_t id) const;
  Status NewWindow(Kind kind, uint64_t parent, const Rect& bounds, bool visible, WindowProc proc, Window** out);
  Window* Root(Window* w) const;
  bool ChainVisible(const Window* w) const;
  Point OffsetInRoot(const Window* w) const;  // client origin in the root's screen
  Region VisibleRegion(Window* w) const;      // root screen coordinates
  // Everything under `w`'s rectangle is to be painted again (it was hidden, moved or destroyed).
  void ExposeArea(Window* w);
  // `w` and its descendants are to be painted whole (they were shown, moved or resized).
  void InvalidateTree(Window* w);
  // A handle value that one of our (now destroyed) windows had.
  bool WasOurs(WindowHandle handle) const;
  void ResizeScreen(Window* host);
  void Dispatch(uint64_t id, Message& message);
  void DispatchTo(std::shared_ptr<Window> window, Message& message);
  void DestroyTree(Window* w);
  bool PaintOne();
  void PaintHost(Window* w, DrawContext& dc, const Rect& area);
  void PaintStatusBar(Window* w, DrawContext& dc);
  void Route(uint64_t target, uint32_t msg, uintptr_t wParam, Point screen);
  uintptr_t MouseState() const;
  Status MouseButton(Point screen, int button, bool down);
  Window* AdoptForeign(WindowHandle handle);

  static constexpr uint64_t kFirstId = 0x7E5A0010;
  static constexpr uint64_t kIdStep = 0x10;
  uint64_t nextId_ = kFirstId;
  std::map<uint64_t, std::shared_ptr<Window>> windows_;
  std::vector<uint64_t> tops_;  // top-level windows, bottom-most first
  std::map<uintptr_t, uint64_t> adopted_;
  std::deque<Posted> queue_;
  std::vector<Timer> timers_;
  uint64_t timerSeq_ = 0;
  size_t timerLimit_ = 10000;
  uint64_t now_ = 0;
  uint64_t guidState_ = 0x4B657374;  // seed of the identifier sequence
  int dispatchDepth_ = 0;
  size_t escaped_ = 0;

  Point cursor_;
  uint64_t capture_ = 0;
  uint64_t focus_ = 0;
  uint64_t tracked_ = 0;
  uint8_t keys_[256] = {};
  // Double-click detection.
  int lastButton_ = -1;
  uint64_t lastDownWindow_ = 0;
  uint64_t lastDownTime_ = 0;
  Point lastDownPos_;

  soft::SoftContext screenContext_;
};

}  // namespace plat::headless
