#include "DIB/Source/cDIBSliderGeometry.h"

#include <algorithm>
#include <cstdint>

#include "platform/Messages.h"

namespace {

TDIBRect At(int x, int y, const TSliderPicture& p) { return {x, y, x + p.Width - 1, y + p.Height - 1}; }

// Sizes and offsets beyond this are taken as this, so that no sum of them overflows (pictures are at
// most 65535 pixels a side).
constexpr int kLimit = 1 << 24;
int Limited(int v) { return std::clamp(v, -kLimit, kLimit); }

int ClampInt(std::int64_t v, std::int64_t lo, std::int64_t hi) { return static_cast<int>(std::clamp(v, lo, hi)); }

}  // namespace

int ExtentAlong(const TDIBRect& r, TSliderType type) {
  return type == stHorizontal ? r.Right - r.Left + 1 : r.Bottom - r.Top + 1;
}

int ExtentAcross(const TDIBRect& r, TSliderType type) {
  return type == stHorizontal ? r.Bottom - r.Top + 1 : r.Right - r.Left + 1;
}

TSliderLayout LayoutSlider(const TSliderLayoutInput& in) {
  const bool horizontal = in.SliderType == stHorizontal;
  const int w = std::max(Limited(in.Width), 0), h = std::max(Limited(in.Height), 0);
  const int pointerOffset = Limited(in.PointerOffset);
  TSliderLayout out;
  out.End2 = {w, h, w, h};

  if (in.End1.Present) {
    int x = 0, y = 0;
    if (horizontal)
      y = h / 2 - in.End1.Height / 2;
    else
      x = w / 2 - in.End1.Width / 2;
    out.End1 = At(x, y, in.End1);
  }
  if (in.End2.Present) {
    int x, y;
    if (horizontal) {
      x = std::max(w - 1 - in.End2.Width, out.End1.Right);
      y = h / 2 - in.End2.Height / 2;
    } else {
      x = w / 2 - in.End2.Width / 2;
      y = std::max(h - 1 - in.End2.Height, out.End1.Bottom);
    }
    out.End2 = At(x, y, in.End2);
  }
  if (in.Main.Present) {
    out.Main = {out.End1.Right, out.End1.Bottom, out.End2.Left, out.End2.Top};
    if (horizontal) {
      out.Main.Top = h / 2 - in.Main.Height / 2;
      out.Main.Bottom = out.Main.Top + in.Main.Height - 1;
    } else {
      out.Main.Left = w / 2 - in.Main.Width / 2;
      out.Main.Right = out.Main.Left + in.Main.Width - 1;
    }
  }
  out.Overlay = {out.Main.Left + in.OverlayBorderX, out.Main.Top + in.OverlayBorderY,
                 out.Main.Right - in.OverlayBorderX, out.Main.Bottom - in.OverlayBorderY};
  if (in.Pointer.Present) {
    int x, y;
    if (horizontal) {
      x = out.Main.Left + in.KnobOffset;
      y = h / 2 - in.Pointer.Height / 2 + pointerOffset;
    } else {
      x = w / 2 - in.Pointer.Width / 2 + pointerOffset;
      y = out.Main.Top + in.KnobOffset;
    }
    out.Knob = At(x, y, in.Pointer);
  }
  return out;
}

int SliderTrackLength(const TSliderLayout& layout, TSliderType type) {
  return ExtentAlong(layout.Main, type) - ExtentAlong(layout.Knob, type);
}

int SliderPositionToPixel(std::int64_t position, int min, int max, int trackLength) {
  if (trackLength <= 0) return 0;
  const std::int64_t range = std::int64_t{max} - min;
  const std::int64_t k = range != 0 ? trackLength * (position - min) / range : trackLength * (position - min);
  return ClampInt(k, 0, trackLength);
}

int SliderPixelToPosition(std::int64_t pixel, int min, int max, int trackLength) {
  if (trackLength <= 0) return min;
  const std::int64_t range = std::int64_t{max} - min;
  return ClampInt(min + range * pixel / trackLength, min, max);
}

std::int64_t SliderDistanceToStep(std::int64_t distance, int min, int max, int trackLength) {
  const std::int64_t range = std::int64_t{max} - min;
  if (trackLength <= 0) return range;
  return std::clamp<std::int64_t>(range * distance / trackLength, 0, range);
}

void SliderMinimumSize(TSliderType type, const TSliderPicture& end1, const TSliderPicture& main,
                       const TSliderPicture& end2, int& width, int& height) {
  width = height = 2;
  for (const TSliderPicture* p : {&end1, &main, &end2})
    if (p->Present) {
      width += p->Width;
      height += p->Height;
    }
  // Only the length along the axis is bounded.
  if (type == stHorizontal)
    height = 2;
  else
    width = 2;
}

int SliderKeyStep(std::uint32_t key, TSliderType type, int smallChange, int pageSize, bool& handled) {
  handled = true;
  const bool horizontal = type == stHorizontal;
  switch (key) {
    case plat::kVkPrior: return -pageSize;
    case plat::kVkNext: return pageSize;
    case plat::kVkLeft:
      if (horizontal) return -smallChange;
      break;
    case plat::kVkRight:
      if (horizontal) return smallChange;
      break;
    case plat::kVkUp:
      if (!horizontal) return -smallChange;
      break;
    case plat::kVkDown:
      if (!horizontal) return smallChange;
      break;
    default: break;
  }
  handled = false;
  return 0;
}
