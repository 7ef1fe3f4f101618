// The platform layer's one entry: a Backend object serving windows, messages, paint cycles,
// input state, timers, surfaces, the status bar, system colours and the tick count.
//
// Contracts that hold for every backend:
// - Single thread: every call is made on the user-interface thread (the thread that owns the host
//   window). Nothing here locks; nothing is thread-safe.
// - No call throws; each answers a Status (or a plain value where nothing can fail).
// - Window procedures must not let an exception escape: a backend swallows one and carries on
//   (on a real system it would have to cross foreign stack frames).
// - Every window handle passed in is checked; a stale or foreign one answers NotFound.
// - Messages are delivered by the host's message loop (or, headless, by the calls that advance
//   the virtual clock or inject input). Posted messages arrive in posting order, before paint
//   messages; paint messages before timer messages.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/DrawContext.h"
#include "platform/Messages.h"
#include "platform/Region.h"
#include "platform/Types.h"

namespace plat {

// The one message callback of a window. It fills message.result where the message asks for an
// answer; a procedure passes what it does not handle to Backend::DefaultHandling.
using WindowProc = std::function<void(WindowHandle window, Message& message)>;

struct WindowDesc {
  // The window this one is a child of: a foreign (host-owned) window or one of ours. Null makes
  // a top-level window (the headless backend makes those only through its own API).
  WindowHandle parent = nullptr;
  Rect bounds;               // in the parent's client coordinates
  bool visible = false;      // shown at creation (kMsgShowWindow is not sent for this)
  bool doubleClicks = true;  // a second press soon after the first arrives as *ButtonDblClk
  WindowProc proc;           // may be empty: everything then gets the default handling
};

// What BeginPaint hands over: a context clipped to the update area and the window's visible
// part, and the bounding box of the area to repaint (client coordinates).
struct PaintCycle {
  DrawContext* context = nullptr;
  Rect area;
};

class Backend {
 public:
  virtual ~Backend() = default;
  virtual const char* Name() const = 0;

  // --- Windows ---------------------------------------------------------------------------
  // Creates a child window; sends kMsgCreate before answering. A window's paints are clipped to
  // its parent, to siblings above it (created later) and to its own visible children, which
  // paint themselves.
  virtual Status CreateChildWindow(const WindowDesc& desc, WindowHandle* out) = 0;
  // A hidden window that only receives posted and timer messages (never painted, never under
  // the mouse).
  virtual Status CreateMessageWindow(WindowProc proc, WindowHandle* out) = 0;
  // Sends kMsgDestroy to the window and then to its children (deepest last), drops their
  // queued messages, timers, capture and focus, and invalidates what they covered. Calling it
  // from the window's own procedure is allowed; the procedure is not called again afterwards.
  virtual Status DestroyWindow(WindowHandle window) = 0;
  virtual bool IsWindow(WindowHandle window) const = 0;
  // Moves the window under another parent (keeping its bounds in the new parent's coordinates).
  virtual Status SetParent(WindowHandle window, WindowHandle newParent) = 0;
  virtual Status GetParent(WindowHandle window, WindowHandle* out) const = 0;
  // Sends kMsgMove / kMsgSize when position / size change.
  virtual Status SetBounds(WindowHandle window, const Rect& bounds) = 0;
  virtual Status GetBounds(WindowHandle window, Rect* out) const = 0;
  virtual Status GetClientSize(WindowHandle window, Size* out) const = 0;
  // Sends kMsgShowWindow when the state changes; hiding invalidates the area it covered.
  virtual Status Show(WindowHandle window, bool visible) = 0;
  virtual Status IsVisible(WindowHandle window, bool* out) const = 0;
  virtual Status ClientToScreen(WindowHandle window, Point* point) const = 0;
  virtual Status ScreenToClient(WindowHandle window, Point* point) const = 0;
  // The deepest visible window under a screen position (null when none of ours).
  virtual WindowHandle WindowFromPoint(Point screen) const = 0;

  // --- Messages --------------------------------------------------------------------------
  // Queues a message; it is delivered later by the message loop, after those posted before it.
  virtual Status PostMessage(WindowHandle window, uint32_t msg, uintptr_t wParam, intptr_t lParam) = 0;
  // Calls the window's procedure now and answers its result (0 for a bad handle).
  virtual intptr_t SendMessage(WindowHandle window, uint32_t msg, uintptr_t wParam, intptr_t lParam) = 0;
  // What a procedure does with a message it does not handle: a paint message validates the
  // update area (windows the platform draws itself, such as status bars, paint), everything
  // else answers 0.
  virtual void DefaultHandling(WindowHandle window, Message& message) = 0;

  // --- Invalidation and the paint cycle ---------------------------------------------------
  // Adds `area` (client coordinates; null = the whole client area) to the window's update area;
  // pending areas merge and one paint message comes when the queue is otherwise idle.
  virtual Status Invalidate(WindowHandle window, const Rect* area) = 0;
  // Removes `area` (null = all) from the update area.
  virtual Status Validate(WindowHandle window, const Rect* area) = 0;
  // Bounding box of the pending update area ({0,0,0,0} when nothing is pending).
  virtual Status GetUpdateRect(WindowHandle window, Rect* out) const = 0;
  // Starts a paint cycle: answers a context clipped to the update area and validates it. Must
  // be paired with EndPaint (also on failure paths); cycles do not nest per window.
  virtual Status BeginPaint(WindowHandle window, PaintCycle* out) = 0;
  virtual Status EndPaint(WindowHandle window, PaintCycle* cycle) = 0;
  // Delivers the pending paint message of the window now, if any.
  virtual Status UpdateWindow(WindowHandle window) = 0;

  // --- Mouse, keyboard, focus -------------------------------------------------------------
  // While a window holds the capture every mouse message goes to it, wherever the mouse is.
  // Taking the capture away sends kMsgCaptureChanged to the old holder.
  virtual Status SetCapture(WindowHandle window) = 0;
  virtual Status ReleaseCapture() = 0;
  virtual WindowHandle GetCapture() const = 0;
  // Asks for one kMsgMouseLeave when the mouse next leaves the window (or is captured away).
  virtual Status TrackMouseLeave(WindowHandle window) = 0;
  virtual Point GetCursorPos() const = 0;  // screen coordinates
  // 256 entries indexed by virtual key; bit 0x80 set while the key is held.
  virtual void GetKeyboardState(uint8_t keys[256]) const = 0;
  virtual bool IsKeyDown(uint32_t virtualKey) const = 0;
  // Sends kMsgKillFocus to the old and kMsgSetFocus to the new window (null: nobody).
  virtual Status SetFocus(WindowHandle window) = 0;
  virtual WindowHandle GetFocus() const = 0;

  // --- Timers -----------------------------------------------------------------------------
  // Starts (or restarts, from now) timer `id` of the window with a period of `periodMs` (values
  // below 10 ms are raised to 10 ms). Ticks arrive as kMsgTimer with wParam = id; a tick due
  // while the thread is busy is delivered late and missed ticks are not made up, so ticks never
  // overlap. Answers OutOfResources when the platform refuses the timer.
  virtual Status SetTimer(WindowHandle window, uintptr_t id, uint32_t periodMs) = 0;
  // NotFound when no such timer runs.
  virtual Status KillTimer(WindowHandle window, uintptr_t id) = 0;
  // Milliseconds since an arbitrary start, wrapping at 2^32.
  virtual uint32_t TickCount() const = 0;
  // A new 128-bit identifier in the random-identifier layout (version 4, variant 10). The
  // headless backend gives the same sequence in every run.
  virtual Status CreateGuid(uint8_t out[16]) = 0;

  // --- Surfaces and contexts -------------------------------------------------------------
  // A zero-filled 32-bit surface; InvalidArgument for a size below 1, TooLarge beyond the
  // limits in Types.h, OutOfResources when memory is refused.
  virtual Status CreateSurface(int32_t width, int32_t height, std::unique_ptr<Surface>* out) = 0;
  // A context for measuring text compatible with the screen; drawing on it reaches nothing.
  virtual DrawContext& ScreenContext() = 0;

  // --- Status bar: a platform control, a child window drawn by the platform ----------------
  virtual Status CreateStatusBar(WindowHandle parent, const Rect& bounds, WindowHandle* out) = 0;
  // Panel widths from left to right; a width of -1 extends the panel to the right edge.
  virtual Status SetStatusPanels(WindowHandle bar, const std::vector<int32_t>& widths) = 0;
  virtual Status SetStatusText(WindowHandle bar, int32_t panel, const std::string& text) = 0;
  virtual Status GetStatusText(WindowHandle bar, int32_t panel, std::string* out) const = 0;
  virtual Status SetStatusColor(WindowHandle bar, Color background) = 0;
  virtual Status SetStatusFont(WindowHandle bar, const FontSpec& font) = 0;

  // --- Density ----------------------------------------------------------------------------
  // How many times larger than at 96 dots per inch content shown in `window` (a foreign host
  // window or one of ours) should be drawn, as the system's settings for that window's screen
  // say; 1 when they say nothing. Null asks for the main screen.
  virtual double ContentScale(WindowHandle window) {
    (void)window;
    return 1.0;
  }

  // --- Colours ----------------------------------------------------------------------------
  // The colour of a kColor* slot (black for an unknown index).
  virtual Color SystemColor(int index) const = 0;

  // --- The pump for hosts that run no loop of ours -----------------------------------------
  // Delivers, without ever blocking, what is due now: the system's pending events, posted
  // messages, timers whose time has come, paints and their transfer to the screen. Plug-in hosts
  // reach it through the editor's idle call; a backend whose windows the system's own message
  // loop serves does nothing here. Busy when called from inside a message being delivered.
  virtual Status Idle() { return Status::Ok; }

  // --- Whether the backend may be replaced ------------------------------------------------
  // True while a window lives that is not a host window of the backend's own making (an editor
  // shows somewhere): replacing the backend then would strand that window.
  virtual bool ShowsWindows() const = 0;
  // True while any window lives, host windows of the backend's own making included.
  virtual bool HoldsWindows() const = 0;
};

// The backend in use. The first call creates the default one for this system: on Windows the
// Win32 backend (real child windows of the host's window), elsewhere headless. InstallBackend
// replaces it (earlier handles become stale) and settles the choice for good; InstallBackend(nullptr)
// returns to the default and unsettles it.
Backend& Platform();
void InstallBackend(std::unique_ptr<Backend> backend);
// Called when a plug-in host hands a window to show an editor in, before anything is created in
// it. Unless a backend was installed, the choice is made afresh whenever no editor shows (the
// current backend shows no window): on Linux built with X11 the X11 backend when the window is
// one on a reachable display, otherwise the default backend, which gives a handle that is not a
// window of a reachable display an in-memory window for that editor only. While an editor shows,
// the backend stays. A host window of the current backend's own (a headless host window) keeps
// it, and one of a backend set aside earlier brings that backend back.
void ChooseBackendFor(WindowHandle hostWindow);
// Makes the backend named `name` current without settling the choice: the set-aside one when it
// has that name, else the one `make` gives. The replaced backend is set aside while it still
// holds windows (host windows of its own, which stay valid), otherwise destroyed. Answers the
// backend now current, or null when the current one shows windows under another name (it stays)
// or `make` gave nothing.
Backend* SwitchBackend(const char* name, const std::function<std::unique_ptr<Backend>()>& make);
// The backend set aside by the last switch, or null.
Backend* SpareBackend();

// Where a backend reports a failure that no call can answer, such as an error the display
// connection delivers later. The user-interface layer installs its application error handler
// here; without a sink reports are dropped. The sink must not throw.
using ErrorSink = std::function<void(const std::string& text)>;
void SetErrorSink(ErrorSink sink);
void ReportError(const std::string& text);

// Resolves a colour that may name a system colour: values with the top bit set
// (0x80000000 | index) are looked up, others returned as they are.
Color ResolveColor(uint32_t color);

}  // namespace plat
