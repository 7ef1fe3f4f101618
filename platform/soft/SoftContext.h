// A drawing context that draws in software into 32-bit pixels: surfaces, and the in-memory
// screens of the headless backend. Clip areas are kept in device coordinates, as the classic
// context does, so moving the origin does not move the clip.
#pragma once

#include <vector>

#include "platform/DrawContext.h"
#include "platform/soft/PixelTarget.h"
#include "platform/soft/TextRenderer.h"

namespace plat::soft {

class SoftContext : public DrawContext {
 public:
  SoftContext() = default;
  // Binds the context to pixels. `limit` (device coordinates) is what it may ever touch; it is
  // cut to the target. Resets origin, clip, font, colours and the saved states.
  void Bind(const PixelTarget& target, const Region& limit, Point origin);
  // Bound to nothing: measures text, draws nothing.
  void Unbind();
  const PixelTarget& Target() const { return target_; }

  int Save() override;
  Status Restore(int depth) override;
  Point Origin() const override { return state_.origin; }
  void SetOrigin(Point origin) override { state_.origin = origin; }
  void IntersectClip(const Rect& rect) override;
  void ExcludeClip(const Rect& rect) override;
  Rect ClipBox() const override;
  bool RectVisible(const Rect& rect) const override;
  Status FillRect(const Rect& rect, Color color) override;
  Status FrameRect(const Rect& rect, Color color) override;
  Status SetFont(const FontSpec& font) override;
  const FontSpec& Font() const override { return state_.font; }
  Status GetFontMetrics(FontMetrics* out) override;
  void SetTextColor(Color color) override { state_.textColor = color; }
  void SetBackgroundOpaque(bool opaque, Color color) override {
    state_.opaque = opaque;
    state_.background = color;
  }
  Status DrawText(std::string_view text, Rect* rect, uint32_t flags, int32_t* height) override;
  Status TextExtent(std::string_view text, Size* out) override;
  Status Transfer(const Rect& target, DrawContext& source, Point sourcePos) override;
  Status StretchTransfer(const Rect& target, DrawContext& source, const Rect& sourceRect) override;
  Status TransferIndexed(const Rect& target, const uint8_t* indices, int32_t stride, const Color* colors,
                         int32_t colorCount) override;
  int BitsPerPixel() const override { return bitsPerPixel_; }
  // The depth the context reports: the pixels stay 32-bit, but an 8 stands for a palette display
  // (the headless backend's 8-bit screens). Unbind returns to 32.
  void SetBitsPerPixel(int bits) { bitsPerPixel_ = bits; }

 private:
  struct State {
    Point origin;
    Region clip;  // device coordinates, always within limit_
    FontSpec font;
    Color textColor = 0;
    bool opaque = false;
    Color background = 0xFFFFFF;
  };
  Rect ToDevice(const Rect& r) const { return r.Offset(state_.origin.x, state_.origin.y); }

  PixelTarget target_;
  Region limit_;
  State state_;
  std::vector<State> saved_;
  int bitsPerPixel_ = 32;
};

}  // namespace plat::soft
