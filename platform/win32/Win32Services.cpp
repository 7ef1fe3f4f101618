// Win32 input state, timers, identifiers, surfaces, the status bar, system colours, and the
// backend's creation.
#include <algorithm>
#include <cstring>

#include "platform/win32/Win32Backend.h"

namespace plat::win32 {

namespace {
HWND H(WindowHandle h) { return static_cast<HWND>(h); }
WindowHandle W(HWND h) { return static_cast<WindowHandle>(h); }
constexpr UINT kMinTimerPeriod = 10;
constexpr size_t kMaxPanels = 256;
}  // namespace

// --- Mouse, keyboard, focus

Status Win32Backend::SetCapture(WindowHandle window) {
  Window* w = Find(window);
  if (!w || w->kind == Kind::Message) return Status::NotFound;
  ::SetCapture(w->hwnd);
  return Status::Ok;
}

Status Win32Backend::ReleaseCapture() {
  ::ReleaseCapture();
  return Status::Ok;
}

WindowHandle Win32Backend::GetCapture() const {
  const HWND h = ::GetCapture();
  return Find(W(h)) ? W(h) : nullptr;
}

Status Win32Backend::TrackMouseLeave(WindowHandle window) {
  Window* w = Find(window);
  if (!w || w->kind == Kind::Message) return Status::NotFound;
  TRACKMOUSEEVENT t{sizeof t, TME_LEAVE, w->hwnd, 0};
  return ::TrackMouseEvent(&t) ? Status::Ok : Status::OutOfResources;
}

Point Win32Backend::GetCursorPos() const {
  POINT p{};
  ::GetCursorPos(&p);
  return {p.x, p.y};
}

void Win32Backend::GetKeyboardState(uint8_t keys[256]) const {
  if (!keys) return;
  if (!::GetKeyboardState(keys)) std::memset(keys, 0, 256);
}

bool Win32Backend::IsKeyDown(uint32_t virtualKey) const {
  return virtualKey < 256 && (::GetKeyState(int(virtualKey)) & 0x8000) != 0;
}

Status Win32Backend::SetFocus(WindowHandle window) {
  if (!window) {
    ::SetFocus(nullptr);
    return Status::Ok;
  }
  Window* w = Find(window);
  if (!w || w->kind == Kind::Message) return Status::NotFound;
  ::SetFocus(w->hwnd);
  return Status::Ok;
}

WindowHandle Win32Backend::GetFocus() const {
  const HWND h = ::GetFocus();
  return Find(W(h)) ? W(h) : nullptr;
}

// --- Timers and identifiers

Status Win32Backend::SetTimer(WindowHandle window, uintptr_t id, uint32_t periodMs) {
  Window* w = Find(window);
  if (!w) return Status::NotFound;
  return ::SetTimer(w->hwnd, id, std::max<UINT>(periodMs, kMinTimerPeriod), nullptr) ? Status::Ok
                                                                                     : Status::OutOfResources;
}

Status Win32Backend::KillTimer(WindowHandle window, uintptr_t id) {
  Window* w = Find(window);
  if (!w) return Status::NotFound;
  return ::KillTimer(w->hwnd, id) ? Status::Ok : Status::NotFound;
}

Status Win32Backend::CreateGuid(uint8_t out[16]) {
  if (!out) return Status::InvalidArgument;
  GUID g{};
  if (::CoCreateGuid(&g) != S_OK) return Status::OutOfResources;
  // The identifier's byte order: the first three fields most significant byte first.
  for (int i = 0; i < 4; ++i) out[i] = uint8_t(g.Data1 >> (24 - 8 * i));
  out[4] = uint8_t(g.Data2 >> 8);
  out[5] = uint8_t(g.Data2);
  out[6] = uint8_t(g.Data3 >> 8);
  out[7] = uint8_t(g.Data3);
  std::memcpy(out + 8, g.Data4, 8);
  out[6] = uint8_t((out[6] & 0x0F) | 0x40);
  out[8] = uint8_t((out[8] & 0x3F) | 0x80);
  return Status::Ok;
}

// --- Surfaces

Status Win32Backend::CreateSurface(int32_t width, int32_t height, std::unique_ptr<Surface>* out) {
  return DibSurface::Create(fonts_, width, height, out);
}

// --- Status bar: the common controls' status window

Win32Backend::Window* Win32Backend::StatusBar(WindowHandle bar) const {
  Window* w = Find(bar);
  return w && w->kind == Kind::StatusBar ? w : nullptr;
}

LRESULT CALLBACK Win32Backend::StatusBarProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto* w = reinterpret_cast<Window*>(::GetPropA(hwnd, "KestruneEn.Window"));
  if (!w) return ::DefWindowProcA(hwnd, msg, wParam, lParam);
  const WNDPROC system = w->systemProc;
  if (msg == WM_NCDESTROY) {
    // Hand the window back to its own procedure and forget it.
    ::SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(system));
    ::RemovePropA(hwnd, "KestruneEn.Window");
    auto hold = w->backend->windows_[hwnd];
    w->backend->windows_.erase(hwnd);
    return ::CallWindowProcA(system, hwnd, msg, wParam, lParam);
  }
  return ::CallWindowProcA(system, hwnd, msg, wParam, lParam);
}

Status Win32Backend::CreateStatusBar(WindowHandle parent, const Rect& bounds, WindowHandle* out) {
  if (!out) return Status::InvalidArgument;
  *out = nullptr;
  if (bounds.right < bounds.left || bounds.bottom < bounds.top) return Status::InvalidArgument;
  if (!UsableParent(H(parent))) return Status::NotFound;
  if (!commonControls_) {
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_BAR_CLASSES};
    commonControls_ = ::InitCommonControlsEx(&icc) != FALSE;
  }
  // Placed where the caller says: the bar neither moves to its parent's bottom nor sizes itself.
  const DWORD style = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | CCS_NOPARENTALIGN | CCS_NORESIZE | CCS_NODIVIDER;
  HWND h = ::CreateWindowExA(0, STATUSCLASSNAMEA, "", style, bounds.left, bounds.top, bounds.Width(), bounds.Height(),
                             H(parent), nullptr, module_, nullptr);
  if (!h) return Status::OutOfResources;
  auto w = std::make_shared<Window>();
  w->backend = this;
  w->hwnd = h;
  w->kind = Kind::StatusBar;
  w->paintContext = std::make_unique<GdiContext>(fonts_);
  ::SetPropA(h, "KestruneEn.Window", w.get());
  w->systemProc = reinterpret_cast<WNDPROC>(
      ::SetWindowLongPtrA(h, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Win32Backend::StatusBarProc)));
  windows_[h] = w;
  // One panel across the bar until panels are set.
  int whole = -1;
  ::SendMessageA(h, SB_SETPARTS, 1, reinterpret_cast<LPARAM>(&whole));
  *out = W(h);
  return Status::Ok;
}

Status Win32Backend::SetStatusPanels(WindowHandle bar, const std::vector<int32_t>& widths) {
  Window* w = StatusBar(bar);
  if (!w) return Find(bar) ? Status::InvalidArgument : Status::NotFound;
  if (widths.size() > kMaxPanels) return Status::InvalidArgument;
  for (int32_t width : widths)
    if (width < -1 || width > kMaxPixelDimension) return Status::InvalidArgument;
  // The control takes each panel's right edge; a width of -1 reaches the bar's right end.
  std::vector<int> edges;
  int right = 0;
  for (int32_t width : widths) {
    if (width < 0 || right < 0) {
      right = -1;
    } else {
      right += width;
    }
    edges.push_back(right);
  }
  if (edges.empty()) edges.push_back(-1);
  ::SendMessageA(w->hwnd, SB_SETPARTS, WPARAM(edges.size()), reinterpret_cast<LPARAM>(edges.data()));
  return Status::Ok;
}

Status Win32Backend::SetStatusText(WindowHandle bar, int32_t panel, const std::string& text) {
  Window* w = StatusBar(bar);
  if (!w) return Find(bar) ? Status::InvalidArgument : Status::NotFound;
  const int parts = int(::SendMessageA(w->hwnd, SB_GETPARTS, 0, 0));
  if (panel < 0 || panel >= parts || panel > 255) return Status::InvalidArgument;
  ::SendMessageA(w->hwnd, SB_SETTEXTA, WPARAM(panel), reinterpret_cast<LPARAM>(text.c_str()));
  return Status::Ok;
}

Status Win32Backend::GetStatusText(WindowHandle bar, int32_t panel, std::string* out) const {
  Window* w = StatusBar(bar);
  if (!w) return Find(bar) ? Status::InvalidArgument : Status::NotFound;
  const int parts = int(::SendMessageA(w->hwnd, SB_GETPARTS, 0, 0));
  if (!out || panel < 0 || panel >= parts || panel > 255) return Status::InvalidArgument;
  const size_t length = LOWORD(::SendMessageA(w->hwnd, SB_GETTEXTLENGTHA, WPARAM(panel), 0));
  std::string text(length + 1, '\0');
  ::SendMessageA(w->hwnd, SB_GETTEXTA, WPARAM(panel), reinterpret_cast<LPARAM>(text.data()));
  text.resize(std::strlen(text.c_str()));
  *out = std::move(text);
  return Status::Ok;
}

Status Win32Backend::SetStatusColor(WindowHandle bar, Color background) {
  Window* w = StatusBar(bar);
  if (!w) return Find(bar) ? Status::InvalidArgument : Status::NotFound;
  ::SendMessageA(w->hwnd, SB_SETBKCOLOR, 0, LPARAM(background & 0xFFFFFF));
  return Status::Ok;
}

Status Win32Backend::SetStatusFont(WindowHandle bar, const FontSpec& font) {
  Window* w = StatusBar(bar);
  if (!w) return Find(bar) ? Status::InvalidArgument : Status::NotFound;
  HFONT f = fonts_.Get(font);
  if (!f) return Status::OutOfResources;
  ::SendMessageA(w->hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(f), TRUE);
  return Status::Ok;
}

// --- Density

double Win32Backend::ContentScale(WindowHandle window) {
  using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
  static const auto getDpiForWindow = reinterpret_cast<GetDpiForWindowFn>(
      reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA("user32.dll"), "GetDpiForWindow")));
  UINT dpi = 0;
  if (getDpiForWindow && window && ::IsWindow(H(window))) dpi = getDpiForWindow(H(window));
  if (dpi == 0)
    if (HDC screen = ::GetDC(nullptr)) {
      dpi = UINT(std::max(0, ::GetDeviceCaps(screen, LOGPIXELSX)));
      ::ReleaseDC(nullptr, screen);
    }
  return dpi > 0 ? dpi / 96.0 : 1.0;
}

// --- Colours

Color Win32Backend::SystemColor(int index) const {
  return index >= 0 && index < kSystemColorCount ? Color(::GetSysColor(index) & 0xFFFFFF) : 0;
}

std::unique_ptr<Backend> CreateWin32Backend() { return std::make_unique<Win32Backend>(); }

}  // namespace plat::win32
