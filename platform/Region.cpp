// Regions as lists of disjoint rectangles kept sorted by top edge. Searches look only at the
// rectangles whose top lies within the tallest height above the rows asked for, so shapes built
// row by row from pixel runs (thousands of one-row rectangles) stay fast to build and to test.
#include "platform/Region.h"

#include <algorithm>

namespace plat {

namespace {

// Appends the parts of `r` outside `cut` (up to four rectangles).
void AppendDifference(const Rect& r, const Rect& cut, std::vector<Rect>* out) {
  Rect i;
  if (!Intersect(r, cut, &i)) {
    out->push_back(r);
    return;
  }
  if (r.top < i.top) out->push_back({r.left, r.top, r.right, i.top});
  if (r.left < i.left) out->push_back({r.left, i.top, i.left, i.bottom});
  if (i.right < r.right) out->push_back({i.right, i.top, r.right, i.bottom});
  if (i.bottom < r.bottom) out->push_back({r.left, i.bottom, r.right, r.bottom});
}

bool Before(const Rect& a, const Rect& b) { return a.top < b.top || (a.top == b.top && a.left < b.left); }

}  // namespace

Region::Region(const Rect& rect) {
  if (!rect.IsEmpty()) {
    rects_.push_back(rect);
    bounds_ = rect;
    maxHeight_ = rect.Height();
  }
}

Region Region::FromRects(const Rect* rects, size_t count) {
  Region r;
  if (rects == nullptr) return r;
  for (size_t i = 0; i < count; ++i) r.Union(rects[i]);
  return r;
}

std::pair<size_t, size_t> Region::RowRange(int32_t top, int32_t bottom) const {
  // A rectangle touches the rows when its top < bottom and its top + height > top.
  const int64_t lowestTop = int64_t(top) - maxHeight_ + 1;
  auto first =
      std::lower_bound(rects_.begin(), rects_.end(), lowestTop, [](const Rect& r, int64_t t) { return r.top < t; });
  auto last =
      std::lower_bound(first, rects_.end(), int64_t(bottom), [](const Rect& r, int64_t t) { return r.top < t; });
  return {size_t(first - rects_.begin()), size_t(last - rects_.begin())};
}

bool Region::Contains(Point p) const {
  if (!bounds_.Contains(p)) return false;
  auto [first, last] = RowRange(p.y, p.y + 1);
  for (size_t i = first; i < last; ++i)
    if (rects_[i].Contains(p)) return true;
  return false;
}

bool Region::Intersects(const Rect& rect) const {
  if (!plat::Intersect(bounds_, rect, nullptr)) return false;
  auto [first, last] = RowRange(rect.top, rect.bottom);
  for (size_t i = first; i < last; ++i)
    if (plat::Intersect(rects_[i], rect, nullptr)) return true;
  return false;
}

int64_t Region::Area() const {
  int64_t a = 0;
  for (const Rect& r : rects_) a += int64_t(r.Width()) * r.Height();
  return a;
}

void Region::Clear() {
  rects_.clear();
  bounds_ = Rect{};
  maxHeight_ = 0;
}

void Region::Normalize() {
  std::sort(rects_.begin(), rects_.end(), Before);
  bounds_ = Rect{};
  maxHeight_ = 0;
  for (const Rect& r : rects_) {
    bounds_ = Bounding(bounds_, r);
    maxHeight_ = std::max(maxHeight_, r.Height());
  }
}

void Region::Union(const Rect& rect) {
  if (rect.IsEmpty()) return;
  // Pieces of the new rectangle not yet covered.
  std::vector<Rect> pieces{rect};
  if (plat::Intersect(bounds_, rect, nullptr)) {
    auto [first, last] = RowRange(rect.top, rect.bottom);
    for (size_t i = first; i < last && !pieces.empty(); ++i) {
      const Rect& existing = rects_[i];
      if (!plat::Intersect(existing, rect, nullptr)) continue;
      std::vector<Rect> next;
      for (const Rect& p : pieces) AppendDifference(p, existing, &next);
      pieces.swap(next);
    }
  }
  for (const Rect& p : pieces) {
    auto at = std::upper_bound(rects_.begin(), rects_.end(), p, Before);
    // Join a rectangle of the same rows that ends where this one starts (runs of one row).
    if (at != rects_.begin()) {
      Rect& left = *(at - 1);
      if (left.top == p.top && left.bottom == p.bottom && left.right == p.left) {
        left.right = p.right;
        continue;
      }
    }
    rects_.insert(at, p);
    maxHeight_ = std::max(maxHeight_, p.Height());
  }
  bounds_ = Bounding(bounds_, rect);
}

void Region::Union(const Region& other) {
  for (const Rect& r : other.rects_) Union(r);
}

void Region::Subtract(const Rect& rect) {
  if (rect.IsEmpty() || !plat::Intersect(bounds_, rect, nullptr)) return;
  std::vector<Rect> next;
  next.reserve(rects_.size() + 4);
  for (const Rect& r : rects_) AppendDifference(r, rect, &next);
  rects_.swap(next);
  Normalize();
}

void Region::Subtract(const Region& other) {
  for (const Rect& r : other.rects_) Subtract(r);
}

void Region::Intersect(const Rect& rect) {
  std::vector<Rect> next;
  for (const Rect& r : rects_) {
    Rect i;
    if (plat::Intersect(r, rect, &i)) next.push_back(i);
  }
  rects_.swap(next);
  Normalize();
}

void Region::Intersect(const Region& other) {
  std::vector<Rect> next;
  for (const Rect& a : rects_) {
    auto [first, last] = other.RowRange(a.top, a.bottom);
    for (size_t j = first; j < last; ++j) {
      Rect i;
      if (plat::Intersect(a, other.rects_[j], &i)) next.push_back(i);  // disjoint inputs give disjoint pieces
    }
  }
  rects_.swap(next);
  Normalize();
}

void Region::Offset(int32_t dx, int32_t dy) {
  for (Rect& r : rects_) r = r.Offset(dx, dy);
  if (!rects_.empty()) bounds_ = bounds_.Offset(dx, dy);
}

bool Region::SameArea(const Region& other) const {
  if (Area() != other.Area()) return false;
  Region both = *this;
  both.Intersect(other);
  return both.Area() == Area();
}

}  // namespace plat
