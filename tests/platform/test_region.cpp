// Regions against a brute-force pixel grid: whatever the rectangle split, the covered pixels
// must be exactly those of the set operations.
#include <gtest/gtest.h>

#include <random>

#include "platform/Region.h"

namespace plat {
namespace {

constexpr int kGrid = 40;

struct Grid {
  bool px[kGrid][kGrid] = {};
  void Set(const Rect& r, bool v) {
    for (int y = std::max(0, r.top); y < std::min(kGrid, r.bottom); ++y)
      for (int x = std::max(0, r.left); x < std::min(kGrid, r.right); ++x) px[y][x] = v;
  }
};

void ExpectSame(const Region& region, const Grid& grid) {
  int64_t count = 0;
  for (int y = 0; y < kGrid; ++y)
    for (int x = 0; x < kGrid; ++x) {
      ASSERT_EQ(region.Contains({x, y}), grid.px[y][x]) << "at " << x << "," << y;
      count += grid.px[y][x];
    }
  EXPECT_EQ(region.Area(), count) << "rectangles overlap or reach outside";
  // Disjoint pieces, all inside the bounds.
  const auto& rects = region.Rects();
  for (size_t i = 0; i < rects.size(); ++i) {
    EXPECT_FALSE(rects[i].IsEmpty());
    Rect in;
    EXPECT_TRUE(Intersect(rects[i], region.Bounds(), &in) && in == rects[i]);
    for (size_t j = i + 1; j < rects.size(); ++j) EXPECT_FALSE(Intersect(rects[i], rects[j], nullptr));
  }
}

Rect RandomRect(std::mt19937& rng) {
  std::uniform_int_distribution<int> d(0, kGrid);
  int a = d(rng), b = d(rng), c = d(rng), e = d(rng);
  return {std::min(a, b), std::min(c, e), std::max(a, b), std::max(c, e)};
}

TEST(Region, SetOperationsMatchAPixelGrid) {
  std::mt19937 rng(1985);
  for (int round = 0; round < 200; ++round) {
    Region region;
    Grid grid;
    for (int op = 0; op < 12; ++op) {
      const Rect r = RandomRect(rng);
      switch (rng() % 3) {
        case 0:
          region.Union(r);
          grid.Set(r, true);
          break;
        case 1:
          region.Subtract(r);
          grid.Set(r, false);
          break;
        default: {
          region.Intersect(r);
          Grid g;
          for (int y = 0; y < kGrid; ++y)
            for (int x = 0; x < kGrid; ++x) g.px[y][x] = grid.px[y][x] && r.Contains({x, y});
          grid = g;
        }
      }
      ExpectSame(region, grid);
      if (HasFatalFailure()) return;
    }
  }
}

TEST(Region, PointTestsUseExclusiveRightAndBottomEdges) {
  const Rect rects[] = {{0, 0, 10, 1}, {5, 1, 15, 2}, {0, 0, 0, 5} /* empty: dropped */};
  Region r = Region::FromRects(rects, 3);
  struct Case {
    Point p;
    bool in;
  } cases[] = {{{0, 0}, true},  {{9, 0}, true},   {{10, 0}, false}, {{4, 1}, false}, {{5, 1}, true},
               {{14, 1}, true}, {{15, 1}, false}, {{5, 2}, false},  {{-1, 0}, false}};
  for (const Case& c : cases) EXPECT_EQ(r.Contains(c.p), c.in) << c.p.x << "," << c.p.y;
  EXPECT_EQ(r.Bounds(), (Rect{0, 0, 15, 2}));
  EXPECT_EQ(Region::FromRects(nullptr, 3).IsEmpty(), true);
}

TEST(Region, RowRunsMergeIntoFewRectangles) {
  // A shape built run by run, as images build window shapes: adjacent runs of a row join.
  Region r;
  for (int y = 0; y < 100; ++y)
    for (int x = 0; x < 100; x += 10) r.Union(Rect{x, y, x + 10, y + 1});
  EXPECT_EQ(r.Area(), 10000);
  EXPECT_EQ(r.Rects().size(), 100u);
  Region square(Rect{0, 0, 100, 100});
  EXPECT_TRUE(r.SameArea(square));
  square.Subtract(Rect{50, 50, 51, 51});
  EXPECT_FALSE(r.SameArea(square));
}

}  // namespace
}  // namespace plat
