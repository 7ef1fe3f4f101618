// The common part of the backends whose windows are composed in software (headless and X11).
//
// Windows form trees under root windows. A root owns an in-memory screen (surface layout, alpha
// 255) that every window of its tree paints into, clipped to what is visible of it; the backend
// keeps update areas, the message queue, the paint cycle, focus, capture and mouse routing,
// timers, status bars, surfaces and system colours. What differs per backend:
// - the clock (NowMs): virtual for headless, the system's monotonic time for a display;
// - what stands for a foreign parent handle: always an in-memory root that grows to hold what is
//   placed in it, released with the last window in it; a display backend gives it a real window
//   (RootAdopted);
// - what happens when a root's screen changes: RootResized, RootDestroyed, and the painted area
//   collected in each root's `dirty` region, which a display backend transfers to its window.
// Screen coordinates are those of the roots' bounds; roots are stacked in creation order and
// RaiseRoot brings one to the top (routing looks for the top-most root under a position).
#pragma once

#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/Platform.h"
#include "platform/soft/SoftContext.h"
#include "platform/soft/TimerQueue.h"

namespace plat::soft {

class SoftBackend : public virtual Backend {
 public:
  SoftBackend();
  ~SoftBackend() override;

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
  uint32_t TickCount() const override { return uint32_t(NowMs()); }

  Status CreateSurface(int32_t width, int32_t height, std::unique_ptr<Surface>* out) override;
  DrawContext& ScreenContext() override { return screenContext_; }

  Status CreateStatusBar(WindowHandle parent, const Rect& bounds, WindowHandle* out) override;
  Status SetStatusPanels(WindowHandle bar, const std::vector<int32_t>& widths) override;
  Status SetStatusText(WindowHandle bar, int32_t panel, const std::string& text) override;
  Status GetStatusText(WindowHandle bar, int32_t panel, std::string* out) const override;
  Status SetStatusColor(WindowHandle bar, Color background) override;
  Status SetStatusFont(WindowHandle bar, const FontSpec& font) override;

  Color SystemColor(int index) const override;

  bool ShowsWindows() const override;
  bool HoldsWindows() const override { return !windows_.empty(); }

 protected:
  enum class Kind { Root, Child, Message, StatusBar };
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
    Rect bounds;                     // parent client coordinates (screen for roots)
    bool visible = false;
    bool doubleClicks = true;
    bool destroying = false;
    bool painting = false;
    uint64_t paintsBegun = 0;  // BeginPaint calls, to tell an ignored paint message from a served one
    bool trackLeave = false;
    bool adopted = false;  // a root standing for a foreign handle
    WindowProc proc;
    Region update;      // client coordinates
    Region paintLimit;  // root coordinates: what the running paint cycle may touch
    soft::SoftContext paintContext;
    // Roots: the in-memory screen, its background colour, and what was painted on it since a
    // display backend last transferred it (root coordinates).
    std::vector<uint8_t> screen;
    Color background = 0;
    Region dirty;
    int screenBits = 32;  // what paint contexts on the screen report (8: a palette display)
    std::unique_ptr<StatusBarData> bar;
  };

  // --- For the backends
  virtual uint64_t NowMs() const = 0;
  // A foreign handle was given as a parent and `root` now stands for it: an in-memory root that
  // grows to hold what is placed in it, until a backend gives it a real window here.
  virtual void RootAdopted(WindowHandle /*foreign*/, Window* /*root*/) {}
  // A root's screen was reallocated for new bounds (and wholly invalidated).
  virtual void RootResized(Window* /*root*/) {}
  // A root goes: its tree has had kMsgDestroy and is gone.
  virtual void RootDestroyed(Window* /*root*/) {}

  Window* AdoptForeign(WindowHandle handle);
  Status CreateRoot(const Rect& screenBounds, Color background, WindowProc proc, bool adopted, Window** out);
  // Delivers everything posted and every pending paint (what a message loop does when idle);
  // Busy when a window invalidates itself for ever.
  Status DeliverPending();
  // Fires every timer due at `now` once, in due order, delivering what each tick causes.
  Status FireDueTimers(uint64_t now);
  // Input at screen positions, routed by hit-testing from the top-most root. They deliver the
  // messages they cause (not the posted ones); Busy from inside a message.
  Status MouseMove(Point screen);
  // button: 0 left, 1 right, 2 middle.
  Status MouseButton(Point screen, int button, bool down);
  // One notch is 120; positive turns away from the user. Goes to the window under the mouse.
  Status MouseWheel(Point screen, int32_t delta);
  // The mouse left every root: a tracked window gets its kMsgMouseLeave.
  void MouseLeft();
  Status Key(uint32_t virtualKey, bool down);
  // The state of Shift, Control and Alt as the system reports it with an event, without messages
  // (they go into the kMk* state of mouse messages and into IsKeyDown).
  void SyncModifiers(bool shift, bool control, bool alt);
  Status Char(uint8_t character);
  void RaiseRoot(Window* root);
  void Dispatch(uint64_t id, Message& message);

  static WindowHandle HandleOf(uint64_t id) { return reinterpret_cast<WindowHandle>(uintptr_t(id)); }
  Window* Find(WindowHandle handle) const;
  Window* FindId(uint64_t id) const;
  Window* Root(Window* w) const;
  bool InDispatch() const { return dispatchDepth_ > 0; }
  size_t LiveWindowCount() const { return windows_.size(); }
  size_t EscapedExceptionCount() const { return escaped_; }

  TimerQueue timers_;

 private:
  Status NewWindow(Kind kind, uint64_t parent, const Rect& bounds, bool visible, WindowProc proc, Window** out);
  bool ChainVisible(const Window* w) const;
  Point OffsetInRoot(const Window* w) const;  // client origin in the root's screen
  Region VisibleRegion(Window* w) const;      // root screen coordinates
  // Everything under `w`'s rectangle is to be painted again (it was hidden, moved or destroyed).
  void ExposeArea(Window* w);
  // `w` and its descendants are to be painted whole (they were shown, moved or resized).
  void InvalidateTree(Window* w);
  // A handle value that one of our (now destroyed) windows had.
  bool WasOurs(WindowHandle handle) const;
  void ResizeScreen(Window* root);
  // Sizes a root standing for a foreign handle to hold its children exactly.
  void FitAdopted(Window* root);
  void ReleaseIfEmptied(uint64_t rootId);
  void DispatchTo(std::shared_ptr<Window> window, Message& message);
  void DestroyTree(Window* w);
  bool PaintOne();
  void PaintRoot(Window* w, DrawContext& dc, const Rect& area);
  void PaintStatusBar(Window* w, DrawContext& dc);
  void Route(uint64_t target, uint32_t msg, uintptr_t wParam, Point screen);
  uintptr_t MouseState() const;

  static constexpr uint64_t kFirstId = 0x7E5A0010;
  static constexpr uint64_t kIdStep = 0x10;
  uint64_t nextId_ = kFirstId;
  std::map<uint64_t, std::shared_ptr<Window>> windows_;
  std::vector<uint64_t> tops_;  // roots, bottom-most first
  std::map<uintptr_t, uint64_t> adopted_;
  std::deque<std::pair<uint64_t, Message>> queue_;
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

}  // namespace plat::soft
