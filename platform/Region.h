// An area of pixels as a set of non-overlapping rectangles: built from rectangle lists (window
// shapes, update areas, clip areas), combined, and tested point by point.
#pragma once

#include <cstddef>
#include <utility>
#include <vector>

#include "platform/Types.h"

namespace plat {

class Region {
 public:
  Region() = default;
  explicit Region(const Rect& rect);
  // Any rectangles, overlapping or not; empty ones are dropped.
  static Region FromRects(const Rect* rects, size_t count);

  bool IsEmpty() const { return rects_.empty(); }
  // Point test with exclusive right and bottom edges, like Rect::Contains.
  bool Contains(Point p) const;
  // True when some pixel of `rect` lies in the region.
  bool Intersects(const Rect& rect) const;
  // Smallest rectangle holding the region ({0,0,0,0} when empty).
  Rect Bounds() const { return bounds_; }
  // The disjoint rectangles, ordered by top edge, then left edge.
  const std::vector<Rect>& Rects() const { return rects_; }
  // Number of pixels covered.
  int64_t Area() const;

  void Clear();
  void Union(const Rect& rect);
  void Union(const Region& other);
  void Subtract(const Rect& rect);
  void Subtract(const Region& other);
  void Intersect(const Rect& rect);
  void Intersect(const Region& other);
  void Offset(int32_t dx, int32_t dy);

  // Same pixels (the rectangle split may differ).
  bool SameArea(const Region& other) const;

 private:
  void Normalize();  // re-sorts, recomputes bounds and the tallest height
  // Index range of the rectangles that may touch rows top .. bottom - 1.
  std::pair<size_t, size_t> RowRange(int32_t top, int32_t bottom) const;

  std::vector<Rect> rects_;
  Rect bounds_{};
  int32_t maxHeight_ = 0;  // tallest rectangle: bounds the search by top edge
};

}  // namespace plat
