// The image class: sizes, settings and notifications, drawing with clipping, transforms, sharing.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <vector>

#include "DIB/Source/cDIB.h"
#include "platform/Platform.h"

namespace {

std::uint32_t Get(const TAbstractSuperDIB& d, int x, int y) {
  std::uint32_t p;
  std::memcpy(&p, d.ScanLine(y) + x * 4, 4);
  return p;
}

void Put(TAbstractSuperDIB& d, int x, int y, std::uint32_t p) { std::memcpy(d.ScanLine(y) + x * 4, &p, 4); }

// Every pixel holds its own coordinates: 0xAA00YYXX with alpha 0xAA.
void Number(TAbstractSuperDIB& d) {
  for (int y = 0; y < d.Height(); ++y)
    for (int x = 0; x < d.Width(); ++x) Put(d, x, y, 0xAA000000u | std::uint32_t(y) << 8 | std::uint32_t(x));
}

std::vector<std::uint8_t> Bytes(const TAbstractSuperDIB& d) {
  return {d.Bits(), d.Bits() + std::size_t(d.Width()) * d.Height() * 4};
}

}  // namespace

TEST(DIB, SizeAndLayout) {
  TMemoryDIB dib;
  EXPECT_FALSE(dib.HasBits());
  dib.SetSize(0, 5);
  EXPECT_EQ(dib.Width(), 1);
  EXPECT_EQ(dib.Height(), 5);
  dib.SetSize(3, 2);
  // Bottom-up: visual row 0 is the last stored row.
  EXPECT_EQ(dib.ScanLine(0), dib.Bits() + 3 * 4);
  EXPECT_EQ(dib.ScanLine(1), dib.Bits());
  EXPECT_EQ(dib.ClipRect().Right, 2);
  EXPECT_EQ(dib.ClipRect().Bottom, 1);
  Number(dib);
  const auto before = Bytes(dib);
  const std::uint8_t* bits = dib.Bits();
  dib.SetSize(3, 2);  // same size: nothing happens
  EXPECT_EQ(dib.Bits(), bits);
  EXPECT_EQ(Bytes(dib), before);
  dib.SetWidth(4);
  EXPECT_EQ(dib.Width(), 4);
  EXPECT_EQ(dib.Height(), 2);
}

TEST(DIB, HostileSizesAreRefusedAndLeaveTheImageAlone) {
  TMemoryDIB dib(4, 4);
  Number(dib);
  const auto before = Bytes(dib);
  const int bad[][2] = {{-1, 5}, {5, -1}, {INT_MIN, INT_MIN}, {65536, 1}, {1, 70000}, {65535, 65535}, {INT_MAX, 1}};
  for (const auto& s : bad) {
    EXPECT_THROW(dib.SetSize(s[0], s[1]), EDIBError) << s[0] << " x " << s[1];
    EXPECT_EQ(dib.Width(), 4);
    EXPECT_EQ(Bytes(dib), before);
  }
  EXPECT_THROW(TMemoryDIB(-3, 3), EDIBError);
  // A transformed draw whose scaled size would be absurd fails the same way.
  TMemoryDIB target(4, 4);
  dib.SetAutoSize(true);
  EXPECT_THROW(dib.SetScale(1e30L), EDIBError);  // refused by the setter already
  dib.SetScale(1e6L);                            // the largest accepted: 40000 x 40000 pixels
  EXPECT_THROW(dib.Draw(0, 0, 4, 4, &target), EDIBError);
}

// An image whose pixel allocation can be made to fail, as memory running out would.
class TRefusingDIB : public TMemoryDIB {
 public:
  using TMemoryDIB::TMemoryDIB;
  bool refuse = false;
  void AllocBits() override {
    if (refuse) throw EDIBError("Out of memory for an image");
    TMemoryDIB::AllocBits();
  }
};

TEST(DIB, RefusedAllocationLeavesSizePixelsAndClip) {
  TRefusingDIB dib(5, 3);
  Number(dib);
  dib.SetClipRect(TDIBRect{1, 1, 3, 2});
  const auto before = Bytes(dib);
  const std::uint8_t* bits = dib.Bits();
  int bitsChanges = 0;
  dib.OnBitsChange = [&](TAbstractSuperDIB*) { ++bitsChanges; };
  dib.refuse = true;
  EXPECT_THROW(dib.SetSize(7, 7), EDIBError);
  EXPECT_EQ(dib.Width(), 5);
  EXPECT_EQ(dib.Height(), 3);
  EXPECT_EQ(dib.Bits(), bits);
  EXPECT_EQ(Bytes(dib), before);
  EXPECT_EQ(dib.ClipRect().Left, 1);
  EXPECT_EQ(dib.ClipRect().Right, 3);
  EXPECT_EQ(bitsChanges, 0);
  // A sharing image keeps sharing when it cannot get pixels of its own.
  TRefusingDIB sharer;
  sharer.ShareBitsOf(dib);
  sharer.refuse = true;
  EXPECT_THROW(sharer.SetSize(2, 2), EDIBError);
  EXPECT_EQ(sharer.Bits(), bits);
  EXPECT_FALSE(sharer.OwnsBits());
  dib.refuse = false;
  dib.SetSize(7, 7);
  EXPECT_EQ(dib.Width(), 7);
  EXPECT_EQ(bitsChanges, 1);
}

TEST(DIB, SettingsNormaliseAndNotifyOnce) {
  TMemoryDIB dib(2, 2);
  int changes = 0;
  dib.OnChange = [&](TAbstractSuperDIB* sender) {
    EXPECT_EQ(sender, &dib);
    ++changes;
  };
  const long double angles[][2] = {{-90, 270}, {360, 0}, {725, 5}, {-720, 0}, {359.5L, 359.5L}, {-1e-30L, 0}};
  for (const auto& a : angles) {
    dib.SetAngle(a[0]);
    EXPECT_EQ(dib.Angle(), a[1]) << static_cast<double>(a[0]);
    EXPECT_GE(dib.Angle(), 0);
    EXPECT_LT(dib.Angle(), 360);
  }
  EXPECT_THROW(dib.SetAngle(std::numeric_limits<long double>::infinity()), EDIBError);
  EXPECT_THROW(dib.SetAngle(std::numeric_limits<long double>::quiet_NaN()), EDIBError);
  for (long double bad :
       {std::numeric_limits<long double>::quiet_NaN(), std::numeric_limits<long double>::infinity(), 1e300L, -1e7L}) {
    EXPECT_THROW(dib.SetScale(bad), EDIBError);
    EXPECT_THROW(dib.SetScaleX(bad), EDIBError);
    EXPECT_THROW(dib.SetScaleY(bad), EDIBError);
  }
  EXPECT_EQ(dib.ScaleX(), 100);  // a refused scale leaves the image as it was

  changes = 0;
  dib.SetOpacity(dib.Opacity());
  dib.SetAngle(dib.Angle() + 360);
  dib.SetScale(100);
  dib.SetMasked(false);
  EXPECT_EQ(changes, 0);  // unchanged values raise nothing

  dib.BeginUpdate();
  dib.BeginUpdate();
  dib.SetOpacity(10);
  dib.SetMasked(true);
  dib.EndUpdate();
  EXPECT_EQ(changes, 0);
  dib.EndUpdate();
  EXPECT_EQ(changes, 1);
  EXPECT_TRUE(dib.DrawRoutine() == &TAbstractSuperDIB::RowsBlendMaskOpacity);
  try {
    dib.EndUpdate();
    FAIL();
  } catch (const EDIBError& e) {
    EXPECT_STREQ(e.what(), "EndUpdate without BeginUpdate");
  }
}

TEST(DIB, TransparentColorReportsAndStores) {
  TMemoryDIB dib(2, 2);
  Put(dib, 0, 1, 0x7F123456);           // bottom-left = first stored pixel
  dib.SetTransparentColor(0x00FF0000);  // platform blue
  EXPECT_EQ(dib.StoredTransparentColor(), 0x000000FFu);
  // Auto mode reports the bottom-left pixel, but the stored key stays what keys out pixels.
  EXPECT_EQ(dib.TransparentColor(), 0x00563412u);
  dib.SetTransparentMode(tmFixed);
  EXPECT_EQ(dib.TransparentColor(), 0x00FF0000u);
  EXPECT_EQ(DIBColorToPixel(0x00332211), 0x00112233u);
  // A system-colour reference is resolved by the platform first.
  EXPECT_EQ(DIBColorToPixel(0x80000005), DIBColorToPixel(plat::Platform().SystemColor(5)));
  EXPECT_EQ(DIBPixelToColor(0xFF112233), 0x00332211u);
}

TEST(DIB, DrawClipsToClipRectSourceAndTarget) {
  TMemoryDIB src(20, 10);
  Number(src);
  TMemoryDIB dst(8, 6);
  const auto blank = Bytes(dst);

  // Left of the target: the first visible column comes from source column 10.
  src.Draw(-10, 0, 20, 10, &dst);
  EXPECT_EQ(Get(dst, 0, 0), 0xAA00000Au);
  EXPECT_EQ(Get(dst, 7, 5), 0xAA000511u);

  // A clip rectangle confines drawing; right and bottom are inclusive.
  TMemoryDIB clipped(8, 6);
  clipped.SetClipRect({5, 4, 2, 1});  // reversed on purpose
  EXPECT_EQ(clipped.ClipRect().Left, 2);
  EXPECT_EQ(clipped.ClipRect().Bottom, 4);
  src.Draw(0, 0, 20, 10, &clipped);
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 8; ++x) {
      const bool inside = x >= 2 && x <= 5 && y >= 1 && y <= 4;
      EXPECT_EQ(Get(clipped, x, y), inside ? 0xAA000000u | y << 8 | x : 0u) << x << "," << y;
    }

  // A source block beyond the source's edges is cut to what exists.
  TMemoryDIB small(8, 6);
  src.Draw(0, 0, 8, 6, &small, 16, 7);
  EXPECT_EQ(Get(small, 3, 2), 0xAA000913u);
  EXPECT_EQ(Get(small, 4, 2), 0u);
  EXPECT_EQ(Get(small, 0, 3), 0u);

  // Nothing at all for blocks wholly outside, empty, or starting before the source.
  TMemoryDIB untouched(8, 6);
  const int calls[][6] = {{8, 0, 5, 5, 0, 0},
                          {0, 6, 5, 5, 0, 0},
                          {-20, 0, 20, 5, 0, 0},
                          {0, 0, 0, 5, 0, 0},
                          {0, 0, 5, -3, 0, 0},
                          {INT_MAX, INT_MAX, INT_MAX, INT_MAX, 0, 0},
                          {INT_MIN, 0, INT_MAX, 5, 0, 0},
                          {0, 0, 5, 5, 20, 0},
                          {0, 0, 5, 5, 0, INT_MAX}};
  for (const auto& c : calls) {
    src.Draw(c[0], c[1], c[2], c[3], &untouched, c[4], c[5]);
    EXPECT_EQ(Bytes(untouched), blank) << c[0] << " " << c[1] << " " << c[2] << " " << c[3];
  }
  // Onto itself, overlapping: the block moves as if copied out first.
  TMemoryDIB self(12, 1);
  for (int x = 0; x < 12; ++x) Put(self, x, 0, 0x01010101u * std::uint32_t(x * 20));
  self.SetOpacity(128);
  self.Draw(1, 0, 11, 1, &self);
  for (int x = 1; x < 12; ++x) {
    const std::uint32_t c = (128 * (x - 1) * 20 + 127 * x * 20 + 255) >> 8;
    EXPECT_EQ(Get(self, x, 0), 0x00010101u * c | std::uint32_t(x * 20) << 24) << x;
  }

  // A negative source position shifts the block instead of reading before the pixels.
  src.Draw(0, 0, 4, 4, &untouched, -2, -1);
  EXPECT_EQ(Get(untouched, 1, 0), 0u);
  EXPECT_EQ(Get(untouched, 2, 1), 0xAA000000u);
  EXPECT_EQ(Get(untouched, 3, 3), 0xAA000201u);
}

TEST(DIB, KeyedAndOpacityDraws) {
  TMemoryDIB src(2, 1), dst(2, 1);
  Put(src, 0, 0, 0x80FF00FF);  // the key colour
  Put(src, 1, 0, 0x80C8C8C8);
  Put(dst, 0, 0, 0x11646464);
  Put(dst, 1, 0, 0x11646464);
  src.SetTransparentMode(tmFixed);
  src.SetTransparentColor(0x00FF00FF);
  src.SetTransparent(true);
  src.Draw(0, 0, 2, 1, &dst);
  EXPECT_EQ(Get(dst, 0, 0), 0x11646464u);
  EXPECT_EQ(Get(dst, 1, 0), 0x00C8C8C8u);  // opaque keyed copy leaves alpha 0

  Put(dst, 1, 0, 0x11646464);
  src.SetOpacity(128);
  src.Draw(0, 0, 2, 1, &dst);
  EXPECT_EQ(Get(dst, 0, 0), 0x11646464u);
  EXPECT_EQ(Get(dst, 1, 0), 0x80969696u);  // 150 per byte, source alpha copied

  // Neither mask nor key at full opacity: all four bytes copied.
  TMemoryDIB plain(1, 1), out(1, 1);
  Put(plain, 0, 0, 0x01020304);
  Put(out, 0, 0, 0xFFFFFFFF);
  plain.Draw(0, 0, 1, 1, &out);
  EXPECT_EQ(Get(out, 0, 0), 0x01020304u);
}

namespace {
// An image whose plain copy fails, to prove the forced draws restore what they changed.
class TFailingDIB : public TMemoryDIB {
 public:
  using TMemoryDIB::TMemoryDIB;
  void RowsCopy(const std::uint8_t*, std::uint8_t*, int, int, int, int) const override {
    throw std::runtime_error("copy failed");
  }
};
}  // namespace

TEST(DIB, ForcedDrawsRestoreSettings) {
  TFailingDIB src(4, 4);
  TMemoryDIB dst(4, 4);
  src.SetMasked(true);
  src.SetAngle(90);
  src.SetScaleY(50);
  const auto routine = src.DrawRoutine();
  EXPECT_THROW(src.DrawCopy(0, 0, 4, 4, &dst), std::runtime_error);
  EXPECT_TRUE(src.DrawRoutine() == routine);
  EXPECT_EQ(src.DrawRoutineOwner(), &src);
  EXPECT_EQ(src.Angle(), 90);
  EXPECT_EQ(src.ScaleX(), 100);
  EXPECT_EQ(src.ScaleY(), 50);

  // DrawMaskAsGrey and DrawAlpha leave the image as they found it.
  TMemoryDIB mask(2, 1), grey(2, 1);
  Put(mask, 0, 0, 0x40123456);
  Put(mask, 1, 0, 0xC0123456);
  Put(grey, 1, 0, 0x00ABCDEF);
  mask.SetOpacity(7);
  mask.DrawMaskAsGrey(0, 0, 2, 1, &grey);
  EXPECT_EQ(Get(grey, 0, 0), 0x40404040u);
  EXPECT_TRUE(mask.DrawRoutine() == &TAbstractSuperDIB::RowsBlendOpacity);
  Put(grey, 1, 0, 0x00ABCDEF);
  mask.DrawAlpha(0, 0, 2, 1, &grey);
  EXPECT_EQ(Get(grey, 1, 0), 0xC0ABCDEFu);
}

TEST(DIB, FillFillRectAndAlpha) {
  TMemoryDIB dib(4, 3);
  dib.Fill(0x00332211);
  EXPECT_EQ(Get(dib, 3, 2), 0x00112233u);
  dib.SetAlpha(0x80);
  EXPECT_EQ(Get(dib, 0, 0), 0x80112233u);
  dib.FillRect(0x000000FF, -2, 1, 4, 100);  // cut to columns 0-1, rows 1-2
  EXPECT_EQ(Get(dib, 1, 2), 0x00FF0000u);
  EXPECT_EQ(Get(dib, 2, 1), 0x80112233u);
  EXPECT_EQ(Get(dib, 0, 0), 0x80112233u);
  const auto before = Bytes(dib);
  dib.FillRect(0, 4, 0, 1, 1);
  dib.FillRect(0, -5, 0, 5, 1);
  dib.FillRect(0, 0, 0, 0, 1);
  dib.FillRect(0, INT_MIN, INT_MIN, INT_MAX, INT_MAX);
  dib.FillRect(0, 1, 1, INT_MAX, INT_MAX);  // cut to the image
  EXPECT_EQ(Get(dib, 0, 0), 0x80112233u);
  EXPECT_EQ(Get(dib, 3, 2), 0u);
}

TEST(DIB, StretchIsNearestNeighbour) {
  TMemoryDIB src(3, 2);
  Number(src);
  TMemoryDIB same(3, 2);
  same.StretchFrom(src);
  EXPECT_EQ(Bytes(same), Bytes(src));

  TMemoryDIB wide(6, 4);
  wide.StretchFrom(src);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 6; ++x) EXPECT_EQ(Get(wide, x, y), Get(src, x / 2, y / 2)) << x << "," << y;
  TMemoryDIB tall(3, 4);  // the source's width: rows copied whole
  tall.StretchFrom(src);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 3; ++x) EXPECT_EQ(Get(tall, x, y), Get(src, x, y / 2)) << x << "," << y;

  TMemoryDIB big(7, 5), narrow(3, 2);
  Number(big);
  narrow.StretchFrom(big);
  // Steps of 7/3 from a full accumulator borrow late: columns 0, 2, 4; stored rows 0 and 2
  // (visual 4 and 2).
  EXPECT_EQ(Get(narrow, 0, 1), Get(big, 0, 4));
  EXPECT_EQ(Get(narrow, 1, 1), Get(big, 2, 4));
  EXPECT_EQ(Get(narrow, 2, 0), Get(big, 4, 2));

  // Scaled drawing without AutoSize at the source's own size shows no change.
  TMemoryDIB target(3, 2);
  src.SetScale(250);
  src.Draw(0, 0, 3, 2, &target);
  src.SetScale(100);
  EXPECT_EQ(Bytes(target), Bytes(src));

  // With AutoSize the intermediate takes the scaled size.
  TMemoryDIB large(8, 8);
  src.SetAutoSize(true);
  src.SetScaleX(200);
  src.SetScaleY(150);
  src.Draw(1, 1, 3, 2, &large);
  EXPECT_EQ(Get(large, 6, 3), Get(src, 2, 1));
  EXPECT_EQ(Get(large, 7, 4), 0u);
}

TEST(DIB, RotationSamplesOnlyInnerSourcePixels) {
  TMemoryDIB src(5, 5);
  Number(src);
  // Without rotation and at the same size the mapping is exact: u = tx, v = ty. Only 1 <= u < 4
  // is sampled, so the first source row and column never are; other targets keep their marker.
  TMemoryDIB target(5, 5);
  target.Fill(0x00FFFFFF);
  src.RenderRotated(&target);
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 5; ++x) {
      const bool sampled = x >= 1 && x <= 3 && y >= 1 && y <= 3;
      EXPECT_EQ(Get(target, x, y), sampled ? Get(src, x, y) : 0x00FFFFFFu) << x << "," << y;
    }

  // A 4 x 4 target centred on the 5 x 5 source samples half-way between pixels: u = tx + 0.5.
  // Bytes are averaged over four pixels and ties go to even: (1 + 2) / 2 -> 2, (2 + 3) / 2 -> 2.
  TMemoryDIB half(4, 4);
  src.RenderRotated(&half);
  EXPECT_EQ(Get(half, 1, 1), 0xAA000202u);
  EXPECT_EQ(Get(half, 2, 2), 0xAA000202u);
  EXPECT_EQ(Get(half, 1, 2), 0xAA000202u);
  EXPECT_EQ(Get(half, 0, 1), 0u);

  // Half a turn: the centre reads the mirrored pixel; the border maps outside and is kept.
  TMemoryDIB turned(5, 5);
  turned.Fill(0x00FFFFFF);
  src.SetAngle(180);
  src.RenderRotated(&turned);
  for (int y = 2; y <= 3; ++y)
    for (int x = 2; x <= 3; ++x) EXPECT_EQ(Get(turned, x, y), Get(src, 5 - x, 5 - y)) << x << "," << y;
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(Get(turned, i, 0), 0x00FFFFFFu);
    EXPECT_EQ(Get(turned, 0, i), 0x00FFFFFFu);
  }

  // A degenerate scale draws nothing rather than dividing by zero.
  TMemoryDIB none(3, 3);
  src.SetScale(0);
  src.RenderRotated(&none);
  EXPECT_EQ(Get(none, 1, 1), 0u);
}

TEST(DIB, AssignCopySettingsAndShare) {
  TMemoryDIB src(3, 2);
  Number(src);
  src.SetOpacity(90);
  src.SetTransparent(true);
  src.SetTransparentColor(0x0000FF00);
  src.SetAngle(45);
  src.ImageFilename = "a.png";

  TMemoryDIB copy;
  copy.Assign(src);
  EXPECT_EQ(Bytes(copy), Bytes(src));
  EXPECT_EQ(copy.Opacity(), 90);
  EXPECT_TRUE(copy.Transparent());
  EXPECT_EQ(copy.StoredTransparentColor(), src.StoredTransparentColor());
  EXPECT_EQ(copy.Angle(), 45);
  EXPECT_EQ(copy.DrawRoutineOwner(), &copy);  // re-selected by Changed
  EXPECT_EQ(copy.ImageFilename, "a.png");

  // A sharing image uses the same pixels and settings, and the source's routine owner.
  TMemoryDIB shared(&src);
  EXPECT_FALSE(shared.OwnsBits());
  EXPECT_TRUE(shared.HasBits());
  EXPECT_EQ(shared.Bits(), src.Bits());
  EXPECT_EQ(shared.Width(), 3);
  EXPECT_EQ(shared.DrawRoutineOwner(), &src);
  shared.SetOpacity(10);  // affects the sharing image only
  EXPECT_EQ(shared.DrawRoutineOwner(), &shared);
  EXPECT_EQ(src.Opacity(), 90);
  // Resizing a sharing image gives it pixels of its own instead of overrunning the borrowed ones.
  shared.SetSize(10, 10);
  EXPECT_TRUE(shared.OwnsBits());
  EXPECT_NE(shared.Bits(), src.Bits());
  shared.Fill(0);
  EXPECT_EQ(Get(src, 2, 1), 0xAA000102u);

  // A size copy reaches only images that do not own their pixels.
  TMemoryDIB owner(7, 7);
  src.CopySettingsTo(&owner);
  EXPECT_EQ(owner.Width(), 7);
}

TEST(DIB, ApplyFilterConvolvesInnerPixelsAndKeepsBorderAndAlpha) {
  TMemoryDIB dib(5, 4);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 5; ++x)
      Put(dib, x, y,
          std::uint32_t(0x10 + 40 * x + 7 * y) << 24 | std::uint32_t(17 * x * y) << 16 | std::uint32_t(50 * y) << 8 |
              std::uint32_t(60 * x));
  const auto original = Bytes(dib);
  int changes = 0;
  dib.OnChange = [&](TAbstractSuperDIB*) { ++changes; };
  // A horizontal edge detector: right column minus left column, halved, offset per channel.
  TDIBFilter edges;
  edges.Weights = {-1, 0, 1, -2, 0, 2, -1, 0, 1};
  edges.Divisor = 2;
  edges.OffsetBlue = 10;
  edges.OffsetGreen = 0;
  edges.OffsetRed = -300;
  dib.ApplyFilter(edges);
  EXPECT_GE(changes, 1);
  auto old = [&](int x, int y, int channel) { return int(original[std::size_t((3 - y) * 5 + x) * 4 + channel]); };
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 5; ++x) {
      const std::uint32_t got = Get(dib, x, y);
      if (x == 0 || y == 0 || x == 4 || y == 3) {
        EXPECT_EQ(got & 0xFFFFFFu, std::uint32_t(old(x, y, 0) | old(x, y, 1) << 8 | old(x, y, 2) << 16))
            << "border " << x << "," << y;
      } else {
        // The weighted difference of the right and left neighbours, written out.
        for (int channel = 0; channel < 3; ++channel) {
          int sum = 0;
          for (int dy = -1; dy <= 1; ++dy)
            sum += (dy == 0 ? 2 : 1) * (old(x + 1, y + dy, channel) - old(x - 1, y + dy, channel));
          const int offset = channel == 0 ? 10 : channel == 1 ? 0 : -300;
          const int want = std::min(255, std::max(0, sum / 2 + offset));
          EXPECT_EQ(int(got >> (8 * channel) & 0xFF), want) << x << "," << y << " channel " << channel;
        }
      }
      EXPECT_EQ(got >> 24, std::uint32_t(old(x, y, 3))) << "alpha " << x << "," << y;
    }
  // Blue grows 60 per column: 4 x 120 / 2 + 10 = 250; red is pushed below 0.
  EXPECT_EQ(Get(dib, 2, 1) & 0xFFu, 250u);
  EXPECT_EQ(Get(dib, 2, 1) >> 16 & 0xFFu, 0u);

  // Opacity 0 leaves everything; a zero divisor counts as 1; one pixel wide has no inner pixel.
  TMemoryDIB same(3, 3);
  Number(same);
  const auto numbered = Bytes(same);
  TDIBFilter brighten;
  brighten.Divisor = 0;
  brighten.OffsetGreen = 1000;
  same.ApplyFilter(brighten, 0);
  EXPECT_EQ(Bytes(same), numbered);
  same.ApplyFilter(brighten);
  EXPECT_EQ(Get(same, 1, 1), 0xAA00FF01u);
  TMemoryDIB thin(1, 7);
  Number(thin);
  const auto thinBefore = Bytes(thin);
  thin.ApplyFilter(edges);
  EXPECT_EQ(Bytes(thin), thinBefore);
}
