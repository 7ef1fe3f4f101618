// Software windows: the status bar, surfaces and system colours.
#include <algorithm>

#include "platform/soft/SoftBackend.h"
#include "platform/soft/SoftSurface.h"

namespace plat::soft {

namespace {

// A quiet grey scheme: the same on every machine, which is what headless output needs.
constexpr Color kSystemColors[kSystemColorCount] = {
    MakeColor(200, 200, 200),  // scroll bar
    MakeColor(58, 110, 165),   // desktop
    MakeColor(10, 36, 106),    // active caption
    MakeColor(128, 128, 128),  // inactive caption
    MakeColor(240, 240, 240),  // menu
    MakeColor(255, 255, 255),  // window
    MakeColor(100, 100, 100),  // window frame
    MakeColor(0, 0, 0),        // menu text
    MakeColor(0, 0, 0),        // window text
    MakeColor(255, 255, 255),  // caption text
    MakeColor(212, 208, 200),  // active border
    MakeColor(212, 208, 200),  // inactive border
    MakeColor(171, 171, 171),  // application workspace
    MakeColor(0, 120, 215),    // highlight
    MakeColor(255, 255, 255),  // highlight text
    MakeColor(240, 240, 240),  // button face
    MakeColor(160, 160, 160),  // button shadow
    MakeColor(109, 109, 109),  // grey text
    MakeColor(0, 0, 0),        // button text
    MakeColor(0, 0, 0),        // inactive caption text
    MakeColor(255, 255, 255),  // button highlight
    MakeColor(105, 105, 105),  // 3D dark shadow
    MakeColor(227, 227, 227),  // 3D light
    MakeColor(0, 0, 0),        // info text
    MakeColor(255, 255, 225),  // info background
    MakeColor(0, 0, 0),        // (unused slot)
    MakeColor(0, 102, 204),    // hot light
    MakeColor(185, 209, 234),  // gradient active caption
    MakeColor(215, 228, 242),  // gradient inactive caption
    MakeColor(51, 153, 255),   // menu highlight
    MakeColor(240, 240, 240),  // menu bar
};

constexpr int32_t kPanelGap = 2;  // pixels between panels

}  // namespace

Color SoftBackend::SystemColor(int index) const {
  return index >= 0 && index < kSystemColorCount ? kSystemColors[index] : 0;
}

Status SoftBackend::CreateSurface(int32_t width, int32_t height, std::unique_ptr<Surface>* out) {
  if (!out) return Status::InvalidArgument;
  out->reset();
  if (width < 1 || height < 1) return Status::InvalidArgument;
  if (width > kMaxPixelDimension || height > kMaxPixelDimension || int64_t(width) * height > kMaxPixelCount)
    return Status::TooLarge;
  try {
    std::vector<uint8_t> bits(size_t(width) * size_t(height) * 4, 0);
    *out = std::make_unique<SoftSurface>(width, height, std::move(bits));
  } catch (const std::bad_alloc&) {
    return Status::OutOfResources;
  }
  return Status::Ok;
}

// --- Status bar

Status SoftBackend::CreateStatusBar(WindowHandle parent, const Rect& bounds, WindowHandle* out) {
  WindowDesc desc;
  desc.parent = parent;
  desc.bounds = bounds;
  desc.visible = true;
  if (Status s = CreateChildWindow(desc, out); s != Status::Ok) return s;
  Window* w = Find(*out);
  w->kind = Kind::StatusBar;
  w->bar = std::make_unique<StatusBarData>();
  w->bar->background = SystemColor(kColorBtnFace);
  w->bar->widths = {-1};
  w->bar->texts = {""};
  return Status::Ok;
}

Status SoftBackend::SetStatusPanels(WindowHandle bar, const std::vector<int32_t>& widths) {
  Window* w = Find(bar);
  if (!w) return Status::NotFound;
  if (!w->bar || widths.size() > 256) return Status::InvalidArgument;
  for (int32_t width : widths)
    if (width < -1 || width > kMaxPixelDimension) return Status::InvalidArgument;
  w->bar->widths = widths;
  w->bar->texts.resize(widths.size());
  return Invalidate(bar, nullptr);
}

Status SoftBackend::SetStatusText(WindowHandle bar, int32_t panel, const std::string& text) {
  Window* w = Find(bar);
  if (!w) return Status::NotFound;
  if (!w->bar || panel < 0 || size_t(panel) >= w->bar->texts.size()) return Status::InvalidArgument;
  if (w->bar->texts[size_t(panel)] == text) return Status::Ok;
  w->bar->texts[size_t(panel)] = text;
  return Invalidate(bar, nullptr);
}

Status SoftBackend::GetStatusText(WindowHandle bar, int32_t panel, std::string* out) const {
  Window* w = Find(bar);
  if (!w) return Status::NotFound;
  if (!w->bar || !out || panel < 0 || size_t(panel) >= w->bar->texts.size()) return Status::InvalidArgument;
  *out = w->bar->texts[size_t(panel)];
  return Status::Ok;
}

Status SoftBackend::SetStatusColor(WindowHandle bar, Color background) {
  Window* w = Find(bar);
  if (!w) return Status::NotFound;
  if (!w->bar) return Status::InvalidArgument;
  w->bar->background = background;
  return Invalidate(bar, nullptr);
}

Status SoftBackend::SetStatusFont(WindowHandle bar, const FontSpec& font) {
  Window* w = Find(bar);
  if (!w) return Status::NotFound;
  if (!w->bar) return Status::InvalidArgument;
  w->bar->font = font;
  return Invalidate(bar, nullptr);
}

void SoftBackend::PaintStatusBar(Window* w, DrawContext& dc) {
  const StatusBarData& bar = *w->bar;
  const int32_t width = w->bounds.Width(), height = w->bounds.Height();
  dc.FillRect({0, 0, width, height}, bar.background);
  dc.SetFont(bar.font);
  dc.SetTextColor(SystemColor(kColorBtnText));
  dc.SetBackgroundOpaque(false, 0);
  int32_t x = 0;
  for (size_t i = 0; i < bar.widths.size() && x < width; ++i) {
    const bool last = i + 1 == bar.widths.size();
    const int32_t right = bar.widths[i] < 0 ? width : std::min(width, x + bar.widths[i]);
    Rect panel{x, kPanelGap, right - (last ? 0 : kPanelGap), height};
    if (!panel.IsEmpty()) {
      // A sunken frame: shadow above and left, highlight below and right.
      dc.FillRect({panel.left, panel.top, panel.right, panel.top + 1}, SystemColor(kColorBtnShadow));
      dc.FillRect({panel.left, panel.top, panel.left + 1, panel.bottom}, SystemColor(kColorBtnShadow));
      dc.FillRect({panel.left, panel.bottom - 1, panel.right, panel.bottom}, SystemColor(kColorBtnHighlight));
      dc.FillRect({panel.right - 1, panel.top, panel.right, panel.bottom}, SystemColor(kColorBtnHighlight));
      Rect text{panel.left + 3, panel.top + 1, panel.right - 2, panel.bottom - 1};
      dc.Save();
      dc.IntersectClip(text);
      dc.DrawText(bar.texts[i], &text, kTextLeft | kTextSingleLine | kTextVCenter | kTextNoPrefix);
      dc.Restore(-1);
    }
    x = right;
  }
}

}  // namespace plat::soft
