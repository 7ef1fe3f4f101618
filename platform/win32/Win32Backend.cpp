// Win32 windows: classes, creation and destruction, message delivery, layout and the paint cycle.
#include "platform/win32/Win32Backend.h"

#include <cstdio>

namespace plat::win32 {

namespace {

HWND H(WindowHandle h) { return static_cast<HWND>(h); }
WindowHandle W(HWND h) { return static_cast<WindowHandle>(h); }

// The messages of the platform interface; every other system message is the system's business.
bool IsInterfaceMessage(UINT msg) {
  switch (msg) {
    case kMsgCreate:
    case kMsgDestroy:
    case kMsgMove:
    case kMsgSize:
    case kMsgSetFocus:
    case kMsgKillFocus:
    case kMsgPaint:
    case kMsgEraseBkgnd:
    case kMsgShowWindow:
    case kMsgSetCursor:
    case kMsgGetDlgCode:
    case kMsgKeyDown:
    case kMsgKeyUp:
    case kMsgChar:
    case kMsgSysKeyDown:
    case kMsgSysKeyUp:
    case kMsgSysChar:
    case kMsgTimer:
    case kMsgCaptureChanged:
    case kMsgMouseLeave:
    case kMsgDpiChanged: return true;
    default: return (msg >= kMsgMouseMove && msg <= kMsgMouseWheel) || msg >= kMsgUser;
  }
}

// This library's module: classes registered with it belong to this copy of the plug-in.
HINSTANCE OwnModule() {
  HMODULE m = nullptr;
  ::GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCSTR>(&OwnModule), &m);
  return m;
}

}  // namespace

Win32Backend::Win32Backend() : screenContext_(fonts_) {
  module_ = OwnModule();
  // A memory context compatible with the screen: text is measured as the screen would draw it.
  screenDc_ = ::CreateCompatibleDC(nullptr);
  if (screenDc_) screenContext_.Bind(screenDc_);
}

Win32Backend::~Win32Backend() {
  // Windows still open belong to procedures that may be gone: destroy them without a word.
  for (auto& [hwnd, w] : windows_) {
    w->proc = nullptr;
    w->destroyed = true;
  }
  while (!windows_.empty()) {
    const HWND h = windows_.begin()->first;
    windows_.erase(windows_.begin());
    if (::IsWindow(h)) ::DestroyWindow(h);
  }
  screenContext_.Unbind();
  if (screenDc_) ::DeleteDC(screenDc_);
  if (registered_) {
    ::UnregisterClassA(childClass_, module_);
    ::UnregisterClassA(childNoDblClass_, module_);
    ::UnregisterClassA(messageClass_, module_);
  }
}

bool Win32Backend::RegisterClasses() {
  if (registered_) return true;
  const unsigned long long tag = reinterpret_cast<uintptr_t>(module_);
  std::snprintf(childClass_, sizeof childClass_, "KestruneEn.Window.%llX", tag);
  std::snprintf(childNoDblClass_, sizeof childNoDblClass_, "KestruneEn.WindowNoDbl.%llX", tag);
  std::snprintf(messageClass_, sizeof messageClass_, "KestruneEn.Messages.%llX", tag);
  struct {
    const char* name;
    UINT style;
  } const classes[] = {{childClass_, CS_DBLCLKS}, {childNoDblClass_, 0}, {messageClass_, 0}};
  for (const auto& c : classes) {
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.style = c.style;
    wc.lpfnWndProc = &Win32Backend::ClassProc;
    wc.hInstance = module_;
    wc.hCursor = ::LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));  // the arrow
    wc.hbrBackground = nullptr;                                    // procedures paint everything
    wc.lpszClassName = c.name;
    // A class that exists already comes from another instance of this same library.
    if (!::RegisterClassExA(&wc) && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return false;
  }
  registered_ = true;
  return true;
}

Win32Backend::Window* Win32Backend::Find(WindowHandle handle) const {
  if (!handle) return nullptr;
  auto it = windows_.find(H(handle));
  if (it == windows_.end() || it->second->destroyed || !::IsWindow(it->second->hwnd)) return nullptr;
  return it->second.get();
}

bool Win32Backend::UsableParent(HWND parent) const {
  if (!parent || !::IsWindow(parent)) return false;
  auto it = windows_.find(parent);
  if (it == windows_.end()) return true;  // a foreign (host) window
  return !it->second->destroyed && it->second->kind != Kind::Message;
}

Status Win32Backend::Create(Kind kind, DWORD style, HWND parent, const Rect& bounds, bool doubleClicks, WindowProc proc,
                            WindowHandle* out) {
  if (!RegisterClasses()) return Status::OutOfResources;
  auto w = std::make_shared<Window>();
  w->backend = this;
  w->kind = kind;
  w->proc = std::move(proc);
  w->paintContext = std::make_unique<GdiContext>(fonts_);
  const char* cls = kind == Kind::Message ? messageClass_ : doubleClicks ? childClass_ : childNoDblClass_;
  creating_ = w;
  HWND h = ::CreateWindowExA(0, cls, "", style, bounds.left, bounds.top, bounds.Width(), bounds.Height(), parent,
                             nullptr, module_, w.get());
  creating_.reset();
  if (!h) {
    // The procedure destroyed its window while it was being created, or the system refused.
    return w->hwnd ? Status::NotFound : Status::OutOfResources;
  }
  if (w->destroyed) return Status::NotFound;
  *out = W(h);
  return Status::Ok;
}

Status Win32Backend::CreateChildWindow(const WindowDesc& desc, WindowHandle* out) {
  if (!out) return Status::InvalidArgument;
  *out = nullptr;
  if (desc.bounds.right < desc.bounds.left || desc.bounds.bottom < desc.bounds.top) return Status::InvalidArgument;
  if (!desc.parent) return Status::InvalidArgument;
  if (!UsableParent(H(desc.parent))) return Status::NotFound;
  DWORD style = WS_CHILD | WS_CLIPCHILDREN | WS_CLIPSIBLINGS | (desc.visible ? WS_VISIBLE : 0);
  return Create(Kind::Child, style, H(desc.parent), desc.bounds, desc.doubleClicks, desc.proc, out);
}

Status Win32Backend::CreateMessageWindow(WindowProc proc, WindowHandle* out) {
  if (!out) return Status::InvalidArgument;
  *out = nullptr;
  return Create(Kind::Message, 0, HWND_MESSAGE, Rect{}, false, std::move(proc), out);
}

LRESULT CALLBACK Win32Backend::ClassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto* w = reinterpret_cast<Window*>(::GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  if (!w && msg == WM_NCCREATE) {
    auto* cs = reinterpret_cast<CREATESTRUCTA*>(lParam);
    w = static_cast<Window*>(cs->lpCreateParams);
    if (w && w->backend->creating_.get() == w) {
      w->hwnd = hwnd;
      ::SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(w));
      w->backend->windows_[hwnd] = w->backend->creating_;
    } else {
      w = nullptr;
    }
  }
  if (!w) return ::DefWindowProcA(hwnd, msg, wParam, lParam);
  return w->backend->Deliver(w, msg, wParam, lParam);
}

LRESULT Win32Backend::Deliver(Window* w, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_NCDESTROY) {
    const HWND h = w->hwnd;
    ::SetWindowLongPtrA(h, GWLP_USERDATA, 0);
    auto hold = windows_.find(h) != windows_.end() ? windows_[h] : nullptr;
    windows_.erase(h);
    return ::DefWindowProcA(h, msg, wParam, lParam);
  }
  if (w->destroyed || !w->proc || !IsInterfaceMessage(msg)) return ::DefWindowProcA(w->hwnd, msg, wParam, lParam);
  // Message windows hear posted, sent and timer messages only, as on every backend.
  if (w->kind == Kind::Message && msg == WM_CREATE) return 0;
  // Keep the window's record while its procedure runs, whatever the procedure destroys.
  std::shared_ptr<Window> hold = windows_.count(w->hwnd) ? windows_[w->hwnd] : creating_;
  Message m{msg, wParam, lParam, 0};
  GdiContext eraseContext(fonts_);
  if (msg == WM_PAINT) {
    m.wParam = 0;  // the procedure runs its own paint cycle
  } else if (msg == WM_ERASEBKGND) {
    eraseContext.Bind(reinterpret_cast<HDC>(wParam));
    m.wParam = reinterpret_cast<uintptr_t>(static_cast<DrawContext*>(&eraseContext));
  } else if (msg == WM_MOUSEWHEEL) {
    POINT p{short(LOWORD(lParam)), short(HIWORD(lParam))};  // the system gives screen coordinates
    ::ScreenToClient(w->hwnd, &p);
    m.lParam = PackPoint(p.x, p.y);
  }
  if (msg == WM_DESTROY) w->destroyed = true;  // after this message the procedure hears nothing
  deliveries_.push_back({w->hwnd, msg, m.wParam, wParam, lParam});
  WindowProc proc = w->proc;  // the procedure may replace itself
  try {
    proc(W(w->hwnd), m);
  } catch (...) {
    // Nothing may unwind through the system's frames; the message counts as handled.
  }
  deliveries_.pop_back();
  return LRESULT(m.result);
}

void Win32Backend::DefaultHandling(WindowHandle window, Message& message) {
  message.result = 0;
  const HWND h = H(window);
  auto it = windows_.find(h);
  if (!h || it == windows_.end() || !::IsWindow(h)) return;
  WPARAM wParam = message.wParam;
  LPARAM lParam = message.lParam;
  bool fromSystem = false;
  for (auto d = deliveries_.rbegin(); d != deliveries_.rend(); ++d)
    if (d->hwnd == h && d->msg == message.msg && d->wParam == message.wParam) {
      wParam = d->rawWParam;
      lParam = d->rawLParam;
      fromSystem = true;
      break;
    }
  if (!fromSystem && (message.msg == kMsgPaint || message.msg == kMsgEraseBkgnd)) {
    // A context handed down by the ui for a control inside a window: nothing for the system.
    if (message.wParam != 0) return;
  }
  message.result = intptr_t(::DefWindowProcA(h, message.msg, wParam, lParam));
}

Status Win32Backend::DestroyWindow(WindowHandle window) {
  Window* w = Find(window);
  if (!w) return Status::NotFound;
  return ::DestroyWindow(w->hwnd) ? Status::Ok : Status::OutOfResources;
}

Status Win32Backend::SetParent(WindowHandle window, WindowHandle newParent) {
  Window* w = Find(window);
  if (!w) return Status::NotFound;
  if (w->kind == Kind::Message) return Status::InvalidArgument;
  if (!UsableParent(H(newParent))) return Status::NotFound;
  if (H(newParent) == w->hwnd || ::IsChild(w->hwnd, H(newParent))) return Status::InvalidArgument;
  if (::GetParent(w->hwnd) == H(newParent)) return Status::Ok;
  return ::SetParent(w->hwnd, H(newParent)) ? Status::Ok : Status::OutOfResources;
}

Status Win32Backend::GetParent(WindowHandle window, WindowHandle* out) const {
  Window* w = Find(window);
  if (!w) return Status::NotFound;
  if (!out) return Status::InvalidArgument;
  *out = w->kind == Kind::Message ? nullptr : W(::GetParent(w->hwnd));
  return Status::Ok;
}

Status Win32Backend::SetBounds(WindowHandle window, const Rect& bounds) {
  Window* w = Find(window);
  if (!w) return Status::NotFound;
  if (bounds.right < bounds.left || bounds.bottom < bounds.top || bounds.Width() > kMaxPixelDimension ||
      bounds.Height() > kMaxPixelDimension || w->kind == Kind::Message)
    return Status::InvalidArgument;
  ::SetWindowPos(w->hwnd, nullptr, bounds.left, bounds.top, bounds.Width(), bounds.Height(),
                 SWP_NOZORDER | SWP_NOACTIVATE);
  return Status::Ok;
}

Status Win32Backend::GetBounds(WindowHandle window, Rect* out) const {
  Window* w = Find(window);
  if (!w) return Status::NotFound;
  if (!out) return Status::InvalidArgument;
  RECT r{};
  ::GetWindowRect(w->hwnd, &r);
  if (HWND p = ::GetParent(w->hwnd); p && w->kind != Kind::Message)
    ::MapWindowPoints(HWND_DESKTOP, p, reinterpret_cast<POINT*>(&r), 2);
  *out = {r.left, r.top, r.right, r.bottom};
  return Status::Ok;
}

Status Win32Backend::GetClientSize(WindowHandle window, Size* out) const {
  Window* w = Find(window);
  if (!w) return Status::NotFound;
  if (!out) return Status::InvalidArgument;
  RECT r{};
  ::GetClientRect(w->hwnd, &r);
  *out = {r.right - r.left, r.bottom - r.top};
  return Status::Ok;
}

Status Win32Backend::Show(WindowHandle window, bool visible) {
  Window* w = Find(window);
  if (!w) return Status::NotFound;
  if (w->kind == Kind::Message) return Status::InvalidArgument;
  if (!visible && ::GetCapture() == w->hwnd) ::ReleaseCapture();
  ::ShowWindow(w->hwnd, visible ? SW_SHOWNA : SW_HIDE);
  return Status::Ok;
}

Status Win32Backend::IsVisible(WindowHandle window, bool* out) const {
  Window* w = Find(window);
  if (!w) return Status::NotFound;
  if (!out) return Status::InvalidArgument;
  *out = ::IsWindowVisible(w->hwnd) != FALSE;
  return Status::Ok;
}

Status Win32Backend::ClientToScreen(WindowHandle window, Point* point) const {
  Window* w = Find(window);
  if (!w) return Status::NotFound;
  if (!point) return Status::InvalidArgument;
  POINT p{point->x, point->y};
  ::ClientToScreen(w->hwnd, &p);
  *point = {p.x, p.y};
  return Status::Ok;
}

Status Win32Backend::ScreenToClient(WindowHandle window, Point* point) const {
  Window* w = Find(window);
  if (!w) return Status::NotFound;
  if (!point) return Status::InvalidArgument;
  POINT p{point->x, point->y};
  ::ScreenToClient(w->hwnd, &p);
  *point = {p.x, p.y};
  return Status::Ok;
}

WindowHandle Win32Backend::WindowFromPoint(Point screen) const {
  const HWND h = ::WindowFromPoint(POINT{screen.x, screen.y});
  Window* w = Find(W(h));
  return w && w->kind != Kind::Message ? W(h) : nullptr;
}

Status Win32Backend::PostMessage(WindowHandle window, uint32_t msg, uintptr_t wParam, intptr_t lParam) {
  Window* w = Find(window);
  if (!w) return Status::NotFound;
  return ::PostMessageA(w->hwnd, msg, wParam, lParam) ? Status::Ok : Status::OutOfResources;
}

intptr_t Win32Backend::SendMessage(WindowHandle window, uint32_t msg, uintptr_t wParam, intptr_t lParam) {
  Window* w = Find(window);
  if (!w) return 0;
  return intptr_t(::SendMessageA(w->hwnd, msg, wParam, lParam));
}

// --- Invalidation and the paint cycle

Status Win32Backend::Invalidate(WindowHandle window, const Rect* area) {
  Window* w = Find(window);
  if (!w) return Status::NotFound;
  if (area) {
    if (area->IsEmpty()) return Status::Ok;
    const RECT r{area->left, area->top, area->right, area->bottom};
    ::InvalidateRect(w->hwnd, &r, FALSE);
  } else {
    ::InvalidateRect(w->hwnd, nullptr, FALSE);
  }
  return Status::Ok;
}

Status Win32Backend::Validate(WindowHandle window, const Rect* area) {
  Window* w = Find(window);
  if (!w) return Status::NotFound;
  if (area) {
    const RECT r{area->left, area->top, area->right, area->bottom};
    ::ValidateRect(w->hwnd, &r);
  } else {
    ::ValidateRect(w->hwnd, nullptr);
  }
  return Status::Ok;
}

Status Win32Backend::GetUpdateRect(WindowHandle window, Rect* out) const {
  Window* w = Find(window);
  if (!w) return Status::NotFound;
  if (!out) return Status::InvalidArgument;
  RECT r{};
  *out = ::GetUpdateRect(w->hwnd, &r, FALSE) ? Rect{r.left, r.top, r.right, r.bottom} : Rect{};
  return Status::Ok;
}

Status Win32Backend::BeginPaint(WindowHandle window, PaintCycle* out) {
  Window* w = Find(window);
  if (!w) return Status::NotFound;
  if (!out) return Status::InvalidArgument;
  if (w->painting || w->kind == Kind::Message) return Status::Busy;
  HDC dc = ::BeginPaint(w->hwnd, &w->paint);
  if (!dc) return Status::OutOfResources;
  w->painting = true;
  w->paintContext->Bind(dc);
  out->context = w->paintContext.get();
  const RECT& r = w->paint.rcPaint;
  out->area = {r.left, r.top, r.right, r.bottom};
  return Status::Ok;
}

Status Win32Backend::EndPaint(WindowHandle window, PaintCycle* cycle) {
  auto it = windows_.find(H(window));
  if (it == windows_.end() || !it->second->painting) return Status::NotFound;
  Window* w = it->second.get();
  w->paintContext->Unbind();
  ::EndPaint(w->hwnd, &w->paint);
  w->painting = false;
  if (cycle) *cycle = PaintCycle{};
  return Status::Ok;
}

Status Win32Backend::UpdateWindow(WindowHandle window) {
  Window* w = Find(window);
  if (!w) return Status::NotFound;
  ::UpdateWindow(w->hwnd);
  return Status::Ok;
}

}  // namespace plat::win32
