// Plain value types shared by every platform call: status codes, geometry, colours and the
// opaque window handle. Nothing here depends on an operating system.
#pragma once

#include <algorithm>
#include <cstdint>

namespace plat {

// Every platform call answers a status; none throws.
enum class Status {
  Ok = 0,
  InvalidArgument,  // a null pointer, a negative size, an unknown panel, ...
  NotFound,         // the window handle is stale or was never ours; no font file was found
  OutOfResources,   // the platform refused a timer, a window or memory
  IoError,          // a file could not be opened, read or written
  BadFormat,        // a picture file is truncated or malformed
  TooLarge,         // a declared picture or surface size exceeds the limits below
  Unsupported,      // a valid but unsupported file variant, or an operation this backend lacks
  Busy,             // re-entered a call that must not nest (the headless clock inside a tick)
};

// A short English text for a status, for error messages one level up.
const char* StatusText(Status status);

// Surfaces and pictures larger than this are refused with TooLarge before anything is allocated.
inline constexpr int32_t kMaxPixelDimension = 16384;
inline constexpr int64_t kMaxPixelCount = int64_t{1} << 26;  // 64 Mi pixels = 256 MiB of 32-bit pixels

struct Point {
  int32_t x = 0;
  int32_t y = 0;
  friend bool operator==(const Point&, const Point&) = default;
};

struct Size {
  int32_t width = 0;
  int32_t height = 0;
  friend bool operator==(const Size&, const Size&) = default;
};

// A rectangle with exclusive right and bottom edges (a 10 x 10 rectangle at 0,0 is {0, 0, 10, 10}).
struct Rect {
  int32_t left = 0;
  int32_t top = 0;
  int32_t right = 0;
  int32_t bottom = 0;

  static constexpr Rect FromSize(int32_t x, int32_t y, int32_t w, int32_t h) { return {x, y, x + w, y + h}; }
  constexpr int32_t Width() const { return right - left; }
  constexpr int32_t Height() const { return bottom - top; }
  // True when the rectangle covers no pixel (also for inverted edges).
  constexpr bool IsEmpty() const { return right <= left || bottom <= top; }
  // Point test with exclusive right and bottom edges.
  constexpr bool Contains(Point p) const { return p.x >= left && p.x < right && p.y >= top && p.y < bottom; }
  constexpr Rect Offset(int32_t dx, int32_t dy) const { return {left + dx, top + dy, right + dx, bottom + dy}; }
  friend bool operator==(const Rect&, const Rect&) = default;
};

// Intersection; an empty result is {0, 0, 0, 0} and answers false.
constexpr bool Intersect(const Rect& a, const Rect& b, Rect* out) {
  Rect r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right), std::min(a.bottom, b.bottom)};
  if (r.IsEmpty()) {
    if (out) *out = Rect{};
    return false;
  }
  if (out) *out = r;
  return true;
}

// Smallest rectangle holding both; an empty operand is ignored.
constexpr Rect Bounding(const Rect& a, const Rect& b) {
  if (a.IsEmpty()) return b;
  if (b.IsEmpty()) return a;
  return {std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right), std::max(a.bottom, b.bottom)};
}

// A colour as 0x00BBGGRR (red in the low byte), the layout the control library stores.
using Color = uint32_t;
constexpr Color MakeColor(uint8_t r, uint8_t g, uint8_t b) { return Color(r) | (Color(g) << 8) | (Color(b) << 16); }
constexpr uint8_t ColorRed(Color c) { return uint8_t(c & 0xFF); }
constexpr uint8_t ColorGreen(Color c) { return uint8_t((c >> 8) & 0xFF); }
constexpr uint8_t ColorBlue(Color c) { return uint8_t((c >> 16) & 0xFF); }

// Indices of the system colours (the classic display-scheme slots).
enum SystemColorIndex : int {
  kColorScrollBar = 0,
  kColorDesktop = 1,
  kColorActiveCaption = 2,
  kColorInactiveCaption = 3,
  kColorMenu = 4,
  kColorWindow = 5,
  kColorWindowFrame = 6,
  kColorMenuText = 7,
  kColorWindowText = 8,
  kColorCaptionText = 9,
  kColorActiveBorder = 10,
  kColorInactiveBorder = 11,
  kColorAppWorkspace = 12,
  kColorHighlight = 13,
  kColorHighlightText = 14,
  kColorBtnFace = 15,
  kColorBtnShadow = 16,
  kColorGrayText = 17,
  kColorBtnText = 18,
  kColorInactiveCaptionText = 19,
  kColorBtnHighlight = 20,
  kColor3DDarkShadow = 21,
  kColor3DLight = 22,
  kColorInfoText = 23,
  kColorInfoBk = 24,
  kColorHotLight = 26,
  kColorGradientActiveCaption = 27,
  kColorGradientInactiveCaption = 28,
  kColorMenuHighlight = 29,
  kColorMenuBar = 30,
  kSystemColorCount = 31,
};

// A window as seen above the platform layer: an opaque value, null meaning none. Host windows
// arrive in this form from the plug-in interface; the platform checks every handle it is given
// and answers NotFound for one that is stale or foreign to it.
using WindowHandle = void*;

}  // namespace plat
