// Regions as lists of disjoint rectangles. Operations are quadratic in the number of rectangles,
// which stays in the hundreds for window shapes and update areas; horizontal neighbours of equal
// height are merged as they are added so that shapes built row by row stay compact.
#include "platform/Region.h"

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
  if (i.bottom < r.bottom) out->push_back({r.left, i.bottom, r.right, r.bottom});
  if (r.left < i.left) out->push_back({r.left, i.top, i.left, i.bottom});
  if (i.right < r.right) out->push_back({i.right, i.top, r.right, i.bottom});
}

}  // namespace

Region::Region(const Rect& rect) {
  if (!rect.IsEmpty()) {
    rects_.push_back(rect);
    bounds_ = rect;
  }
}

Region Region::FromRects(const Rect* rects, size_t count) {
  Region r;
  if (rects == nullptr) return r;
  for (size_t i = 0; i < count; ++i) r.Union(rects[i]);
  return r;
}

bool Region::Contains(Point p) const {
  if (!bounds_.Contains(p)) return false;
  for (const Rect& r : rects_)
    if (r.Contains(p)) return true;
  return false;
}

bool Region::Intersects(const Rect& rect) const {
  if (!plat::Intersect(bounds_, rect, nullptr)) return false;
  for (const Rect& r : rects_)
    if (plat::Intersect(r, rect, nullptr)) return true;
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
}

void Region::RecomputeBounds() {
  bounds_ = Rect{};
  for (const Rect& r : rects_) bounds_ = Bounding(bounds_, r);
}

void Region::Union(const Rect& rect) {
  if (rect.IsEmpty()) return;
  // Pieces of the new rectangle not yet covered.
  std::vector<Rect> pieces{rect};
  if (plat::Intersect(bounds_, rect, nullptr)) {
    for (const Rect& existing : rects_) {
      if (!plat::Intersect(existing, rect, nullptr)) continue;
      std::vector<Rect> next;
      for (const Rect& p : pieces) AppendDifference(p, existing, &next);
      pieces.swap(next);
      if (pieces.empty()) return;
    }
  }
  for (const Rect& p : pieces) {
    // Merge with a rectangle of the same rows that it touches on the left (the common case when
    // a shape is built run by run).
    bool merged = false;
    if (!rects_.empty()) {
      Rect& last = rects_.back();
      if (last.top == p.top && last.bottom == p.bottom && last.right == p.left) {
        last.right = p.right;
        merged = true;
      }
    }
    if (!merged) rects_.push_back(p);
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
  RecomputeBounds();
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
  RecomputeBounds();
}

void Region::Intersect(const Region& other) {
  std::vector<Rect> next;
  for (const Rect& a : rects_)
    for (const Rect& b : other.rects_) {
      Rect i;
      if (plat::Intersect(a, b, &i)) next.push_back(i);  // disjoint inputs give disjoint pieces
    }
  rects_.swap(next);
  RecomputeBounds();
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
