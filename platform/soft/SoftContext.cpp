#include "platform/soft/SoftContext.h"

#include <cstring>

namespace plat::soft {

void SoftContext::Bind(const PixelTarget& target, const Region& limit, Point origin) {
  target_ = target.Valid() ? target : PixelTarget{};
  limit_ = limit;
  limit_.Intersect(Rect{0, 0, target_.width, target_.height});
  saved_.clear();
  state_ = State{};
  state_.origin = origin;
  state_.clip = limit_;
}

void SoftContext::Unbind() {
  Bind(PixelTarget{}, Region{}, Point{});
  bitsPerPixel_ = 32;
}

int SoftContext::Save() {
  saved_.push_back(state_);
  return int(saved_.size());
}

Status SoftContext::Restore(int depth) {
  if (depth < 0) depth = int(saved_.size()) + 1 + depth;  // -1: the last saved state
  if (depth < 1 || size_t(depth) > saved_.size()) return Status::InvalidArgument;
  state_ = saved_[size_t(depth) - 1];
  saved_.resize(size_t(depth) - 1);
  return Status::Ok;
}

void SoftContext::IntersectClip(const Rect& rect) { state_.clip.Intersect(ToDevice(rect)); }

void SoftContext::ExcludeClip(const Rect& rect) { state_.clip.Subtract(ToDevice(rect)); }

Rect SoftContext::ClipBox() const {
  Rect b = state_.clip.Bounds();
  return b.IsEmpty() ? Rect{} : b.Offset(-state_.origin.x, -state_.origin.y);
}

bool SoftContext::RectVisible(const Rect& rect) const { return state_.clip.Intersects(ToDevice(rect)); }

Status SoftContext::FillRect(const Rect& rect, Color color) {
  if (!target_.Valid()) return Status::Ok;
  const Rect d = ToDevice(rect);
  for (const Rect& c : state_.clip.Rects()) {
    Rect i;
    if (!Intersect(c, d, &i)) continue;
    for (int32_t y = i.top; y < i.bottom; ++y) {
      uint8_t* p = target_.At(i.left, y);
      for (int32_t x = i.left; x < i.right; ++x, p += 4) {
        p[0] = ColorBlue(color);
        p[1] = ColorGreen(color);
        p[2] = ColorRed(color);
      }
    }
  }
  return Status::Ok;
}

Status SoftContext::FrameRect(const Rect& rect, Color color) {
  if (rect.IsEmpty()) return Status::Ok;
  FillRect({rect.left, rect.top, rect.right, rect.top + 1}, color);
  FillRect({rect.left, rect.bottom - 1, rect.right, rect.bottom}, color);
  FillRect({rect.left, rect.top + 1, rect.left + 1, rect.bottom - 1}, color);
  FillRect({rect.right - 1, rect.top + 1, rect.right, rect.bottom - 1}, color);
  return Status::Ok;
}

Status SoftContext::SetFont(const FontSpec& font) {
  state_.font = font;
  return Status::Ok;
}

Status SoftContext::GetFontMetrics(FontMetrics* out) { return TextRenderer::Shared().Metrics(state_.font, out); }

Status SoftContext::DrawText(std::string_view text, Rect* rect, uint32_t flags, int32_t* height) {
  if (!rect) return Status::InvalidArgument;
  TextRenderer::DrawRequest req;
  req.font = &state_.font;
  req.text = text;
  req.flags = flags;
  req.color = state_.textColor;
  req.opaque = state_.opaque;
  req.background = state_.background;
  // Lay out in device coordinates, hand the rectangle back in logical ones.
  Rect device = ToDevice(*rect);
  Status s = TextRenderer::Shared().Draw(req, &device, height, &target_, &state_.clip);
  if (s == Status::Ok && (flags & kTextCalcRect)) *rect = device.Offset(-state_.origin.x, -state_.origin.y);
  return s;
}

Status SoftContext::TextExtent(std::string_view text, Size* out) {
  return TextRenderer::Shared().Extent(state_.font, text, out);
}

Status SoftContext::Transfer(const Rect& target, DrawContext& source, Point sourcePos) {
  auto* src = dynamic_cast<SoftContext*>(&source);
  if (!src) return Status::Unsupported;
  if (target.IsEmpty() || !target_.Valid() || !src->target_.Valid()) return Status::Ok;
  const Rect d = ToDevice(target);
  // Source position of the target's top-left corner, in the source's device coordinates.
  const int32_t sx0 = sourcePos.x + src->state_.origin.x, sy0 = sourcePos.y + src->state_.origin.y;
  // Only pixels whose source lies inside the source bitmap are copied.
  Rect srcBounds{0, 0, src->target_.width, src->target_.height};
  Rect reach = srcBounds.Offset(d.left - sx0, d.top - sy0);
  Rect dd;
  if (!Intersect(d, reach, &dd)) return Status::Ok;
  Region area = state_.clip;
  area.Intersect(dd);
  if (area.IsEmpty()) return Status::Ok;
  const bool same = src->target_.bits == target_.bits;
  std::vector<uint8_t> copy;
  const uint8_t* srcBits = src->target_.bits;
  if (same) {  // overlapping copies within one bitmap read from a snapshot
    copy.assign(srcBits, srcBits + size_t(target_.width) * size_t(target_.height) * 4);
    srcBits = copy.data();
  }
  PixelTarget from{const_cast<uint8_t*>(srcBits), src->target_.width, src->target_.height};
  for (const Rect& r : area.Rects()) {
    for (int32_t y = r.top; y < r.bottom; ++y) {
      const uint8_t* s = from.At(r.left - d.left + sx0, y - d.top + sy0);
      std::memcpy(target_.At(r.left, y), s, size_t(r.Width()) * 4);
    }
  }
  return Status::Ok;
}

Status SoftContext::StretchTransfer(const Rect& target, DrawContext& source, const Rect& sourceRect) {
  auto* src = dynamic_cast<SoftContext*>(&source);
  if (!src) return Status::Unsupported;
  if (target.IsEmpty() || sourceRect.IsEmpty()) return Status::InvalidArgument;
  if (!target_.Valid() || !src->target_.Valid()) return Status::Ok;
  const Rect d = ToDevice(target);
  const Rect s = sourceRect.Offset(src->state_.origin.x, src->state_.origin.y);
  Region area = state_.clip;
  area.Intersect(d);
  if (area.IsEmpty()) return Status::Ok;
  std::vector<uint8_t> copy;
  const uint8_t* srcBits = src->target_.bits;
  if (srcBits == target_.bits) {
    copy.assign(srcBits, srcBits + size_t(target_.width) * size_t(target_.height) * 4);
    srcBits = copy.data();
  }
  PixelTarget from{const_cast<uint8_t*>(srcBits), src->target_.width, src->target_.height};
  const int64_t dw = d.Width(), dh = d.Height(), sw = s.Width(), sh = s.Height();
  for (const Rect& r : area.Rects()) {
    for (int32_t y = r.top; y < r.bottom; ++y) {
      // Centre of the target pixel mapped into the source.
      const int64_t sy = s.top + ((2 * int64_t(y - d.top) + 1) * sh) / (2 * dh);
      for (int32_t x = r.left; x < r.right; ++x) {
        const int64_t sx = s.left + ((2 * int64_t(x - d.left) + 1) * sw) / (2 * dw);
        uint8_t* p = target_.At(x, y);
        if (sx < 0 || sy < 0 || sx >= from.width || sy >= from.height) continue;  // outside the source bitmap
        std::memcpy(p, from.At(int32_t(sx), int32_t(sy)), 4);
      }
    }
  }
  return Status::Ok;
}

Status SoftContext::TransferIndexed(const Rect& target, const uint8_t* indices, int32_t stride, const Color* colors,
                                    int32_t colorCount) {
  if (target.IsEmpty()) return Status::Ok;
  if (!indices || stride < target.Width() || colorCount < 0 || (colorCount > 0 && !colors))
    return Status::InvalidArgument;
  if (!target_.Valid()) return Status::Ok;
  const Rect d = ToDevice(target);
  Region area = state_.clip;
  area.Intersect(d);
  for (const Rect& r : area.Rects()) {
    for (int32_t y = r.top; y < r.bottom; ++y) {
      const uint8_t* row = indices + size_t(y - d.top) * size_t(stride);
      for (int32_t x = r.left; x < r.right; ++x) {
        const uint8_t index = row[x - d.left];
        const Color c = index < colorCount ? colors[index] : 0;
        uint8_t* p = target_.At(x, y);
        p[0] = ColorBlue(c);
        p[1] = ColorGreen(c);
        p[2] = ColorRed(c);
      }
    }
  }
  return Status::Ok;
}

}  // namespace plat::soft
