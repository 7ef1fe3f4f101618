// A surface whose pixels live in memory, with a software context bound to them.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "platform/DrawContext.h"
#include "platform/soft/SoftContext.h"

namespace plat::soft {

class SoftSurface final : public Surface {
 public:
  // `bits` holds width * height pixels in surface layout.
  SoftSurface(int32_t w, int32_t h, std::vector<uint8_t> bits) : width_(w), height_(h), bits_(std::move(bits)) {
    context_.Bind({bits_.data(), width_, height_}, Region(Rect{0, 0, width_, height_}), Point{});
  }
  int32_t Width() const override { return width_; }
  int32_t Height() const override { return height_; }
  uint8_t* Bits() override { return bits_.data(); }
  const uint8_t* Bits() const override { return bits_.data(); }
  DrawContext& Context() override { return context_; }
  void Flush() override {}

 private:
  int32_t width_, height_;
  std::vector<uint8_t> bits_;
  SoftContext context_;
};

}  // namespace plat::soft
