// Surfaces, drawing contexts, text and the status bar.
#include <cstdlib>
#include <cstring>

#include "HeadlessFixture.h"
#include "platform/Picture.h"

namespace plat::test {
namespace {

using Drawing = HeadlessTest;

std::unique_ptr<Surface> MakeSurface(Backend& b, int w, int h, Color fill) {
  std::unique_ptr<Surface> s;
  EXPECT_EQ(b.CreateSurface(w, h, &s), Status::Ok);
  if (s) s->Context().FillRect({0, 0, w, h}, fill);
  return s;
}

Color At(Surface& s, int x, int y) {
  const uint8_t* p = s.Row(y) + x * 4;
  return MakeColor(p[2], p[1], p[0]);
}

TEST_F(Drawing, SurfaceSizesAreCheckedBeforeAllocation) {
  std::unique_ptr<Surface> s;
  EXPECT_EQ(hl->CreateSurface(0, 5, &s), Status::InvalidArgument);
  EXPECT_EQ(hl->CreateSurface(5, -1, &s), Status::InvalidArgument);
  EXPECT_EQ(hl->CreateSurface(kMaxPixelDimension + 1, 1, &s), Status::TooLarge);
  EXPECT_EQ(hl->CreateSurface(16384, 16384, &s), Status::TooLarge);
  ASSERT_EQ(hl->CreateSurface(3, 2, &s), Status::Ok);
  // Bottom-up rows: the first bytes in memory are the bottom row.
  s->Context().FillRect({0, 1, 1, 2}, MakeColor(1, 2, 3));
  EXPECT_EQ(s->Bits()[0], 3);
  EXPECT_EQ(s->Bits()[1], 2);
  EXPECT_EQ(s->Bits()[2], 1);
  EXPECT_EQ(s->Bits()[3], 0) << "filling leaves alpha alone";
}

TEST_F(Drawing, OriginClipAndSavedStates) {
  auto s = MakeSurface(*hl, 20, 20, 0);
  DrawContext& dc = s->Context();
  const int depth = dc.Save();
  dc.SetOrigin({5, 5});
  dc.IntersectClip({0, 0, 10, 10});  // device 5..15
  dc.ExcludeClip({2, 2, 4, 4});      // device 7..9
  EXPECT_EQ(dc.ClipBox(), (Rect{0, 0, 10, 10}));
  EXPECT_TRUE(dc.RectVisible({9, 9, 30, 30}));
  EXPECT_FALSE(dc.RectVisible({10, 0, 30, 30}));
  EXPECT_FALSE(dc.RectVisible({2, 2, 4, 4}));
  dc.OffsetOrigin(-5, -5);  // the clip stays where it was on the device
  EXPECT_EQ(dc.ClipBox(), (Rect{5, 5, 15, 15}));
  dc.FillRect({0, 0, 20, 20}, MakeColor(9, 9, 9));
  EXPECT_EQ(At(*s, 4, 4), 0u);
  EXPECT_EQ(At(*s, 5, 5), MakeColor(9, 9, 9));
  EXPECT_EQ(At(*s, 7, 7), 0u);
  EXPECT_EQ(At(*s, 14, 14), MakeColor(9, 9, 9));
  EXPECT_EQ(At(*s, 15, 15), 0u);
  ASSERT_EQ(dc.Restore(depth), Status::Ok);
  EXPECT_EQ(dc.Origin(), (Point{0, 0}));
  EXPECT_EQ(dc.ClipBox(), (Rect{0, 0, 20, 20}));
  EXPECT_EQ(dc.Restore(-1), Status::InvalidArgument);
  dc.FrameRect({0, 0, 3, 3}, MakeColor(1, 1, 1));
  EXPECT_EQ(At(*s, 1, 0), MakeColor(1, 1, 1));
  EXPECT_EQ(At(*s, 1, 1), 0u);
}

TEST_F(Drawing, TransfersCopyAllFourBytesHandleOverlapAndStretchNearest) {
  auto src = MakeSurface(*hl, 4, 2, 0);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 4; ++x) {
      uint8_t* p = src->Row(y) + x * 4;
      p[0] = uint8_t(x);
      p[1] = uint8_t(y);
      p[2] = 7;
      p[3] = uint8_t(10 * x + y);
    }
  auto dst = MakeSurface(*hl, 10, 10, 0);
  ASSERT_EQ(dst->Context().Transfer({1, 1, 5, 3}, src->Context(), {0, 0}), Status::Ok);
  EXPECT_EQ(std::memcmp(dst->Row(2) + 4, src->Row(1), 16), 0);
  // Stretch 4 x 2 onto 8 x 2: every source column twice.
  ASSERT_EQ(dst->Context().StretchTransfer({0, 5, 8, 7}, src->Context(), {0, 0, 4, 2}), Status::Ok);
  for (int x = 0; x < 8; ++x) EXPECT_EQ(dst->Row(6)[x * 4 + 3], 10 * (x / 2) + 1) << x;
  EXPECT_EQ(dst->Context().StretchTransfer({0, 0, 0, 0}, src->Context(), {0, 0, 4, 2}), Status::InvalidArgument);
  // Overlapping copy within one surface reads the pixels from before the copy.
  ASSERT_EQ(src->Context().Transfer({1, 0, 4, 1}, src->Context(), {0, 0}), Status::Ok);
  EXPECT_EQ(src->Row(0)[4 * 1 + 0], 0);
  EXPECT_EQ(src->Row(0)[4 * 2 + 0], 1);
  EXPECT_EQ(src->Row(0)[4 * 3 + 0], 2);
  // A source area partly outside the source bitmap copies only what exists.
  auto small = MakeSurface(*hl, 3, 3, MakeColor(5, 5, 5));
  ASSERT_EQ(small->Context().Transfer({0, 0, 3, 3}, src->Context(), {2, 1}), Status::Ok);
  EXPECT_EQ(At(*small, 0, 0), MakeColor(7, 1, 2));
  EXPECT_EQ(At(*small, 2, 0), MakeColor(5, 5, 5));
  EXPECT_EQ(At(*small, 0, 1), MakeColor(5, 5, 5));
}

TEST_F(Drawing, EightBitScreensReportTheirDepthAndTakeIndexedPictures) {
  const WindowHandle host = Host({0, 0, 40, 20}, MakeColor(1, 2, 3));
  EXPECT_EQ(hl->SetScreenBitsPerPixel(host, 16), Status::InvalidArgument);
  ASSERT_EQ(hl->SetScreenBitsPerPixel(host, 8), Status::Ok);
  const Color table[3] = {MakeColor(200, 0, 0), MakeColor(0, 150, 0), MakeColor(0, 0, 90)};
  // 3 x 2 indices with rows padded to 4 bytes; index 7 has no colour.
  const uint8_t indices[8] = {0, 1, 2, 0xEE, 2, 7, 1, 0xEE};
  std::vector<int> depths;
  const WindowHandle child = Child(host, {10, 5, 30, 15}, [&](WindowHandle w, Message& m) {
    if (m.msg != kMsgPaint) return hl->DefaultHandling(w, m);
    PaintCycle cycle;
    ASSERT_EQ(hl->BeginPaint(w, &cycle), Status::Ok);
    depths.push_back(cycle.context->BitsPerPixel());
    cycle.context->OffsetOrigin(-1, 0);  // logical 19..22 is 18..21 in the child: its right edge cuts one column
    EXPECT_EQ(cycle.context->TransferIndexed({19, 1, 22, 3}, indices, 4, table, 3), Status::Ok);
    EXPECT_EQ(cycle.context->TransferIndexed({0, 0, 5, 1}, indices, 4, table, 3), Status::InvalidArgument);
    EXPECT_EQ(cycle.context->TransferIndexed({0, 0, 1, 1}, nullptr, 4, table, 3), Status::InvalidArgument);
    hl->EndPaint(w, &cycle);
  });
  ASSERT_EQ(hl->Pump(), Status::Ok);
  EXPECT_EQ(depths, std::vector<int>{8});
  EXPECT_EQ(Pixel(host, 28, 6), MakeColor(200, 0, 0));
  EXPECT_EQ(Pixel(host, 29, 6), MakeColor(0, 150, 0));
  EXPECT_EQ(Pixel(host, 30, 6), MakeColor(1, 2, 3));  // outside the child
  EXPECT_EQ(Pixel(host, 28, 7), MakeColor(0, 0, 90));
  EXPECT_EQ(Pixel(host, 29, 7), MakeColor(0, 0, 0));  // index without a colour
  EXPECT_EQ(Pixel(host, 28, 8), MakeColor(1, 2, 3));  // below the picture
  (void)child;
  // Surfaces are true colour but take indexed pictures too.
  auto s = MakeSurface(*hl, 2, 1, 0);
  EXPECT_EQ(s->Context().BitsPerPixel(), 32);
  ASSERT_EQ(s->Context().TransferIndexed({0, 0, 2, 1}, indices, 2, table, 3), Status::Ok);
  EXPECT_EQ(At(*s, 1, 0), MakeColor(0, 150, 0));
}

TEST_F(Drawing, TextMeasuresLikeTheClassicLayout) {
  DrawContext& dc = hl->ScreenContext();
  ASSERT_FALSE(headless::FontFilePath(false).empty()) << "the text face is not installed";
  FontMetrics fm;
  ASSERT_EQ(dc.GetFontMetrics(&fm), Status::Ok);
  EXPECT_GE(fm.lineHeight, 11);
  EXPECT_LE(fm.lineHeight, 15);
  auto measure = [&](const char* text, uint32_t flags, int width = 1000) {
    Rect r{10, 20, 10 + width, 20};
    int32_t h = -1;
    EXPECT_EQ(dc.DrawText(text, &r, flags | kTextCalcRect, &h), Status::Ok);
    EXPECT_EQ(h, r.Height());
    return r;
  };
  EXPECT_EQ(measure("", 0).Height(), 0);
  EXPECT_EQ(measure(" ", 0).Height(), fm.lineHeight);
  EXPECT_EQ(measure("one\ntwo", 0).Height(), 2 * fm.lineHeight);
  EXPECT_EQ(measure("one\r\ntwo\n", 0).Height(), 2 * fm.lineHeight);
  EXPECT_EQ(measure("one\ntwo", kTextSingleLine).Height(), fm.lineHeight);
  // Prefix: "&&" is one "&", "&x" is x; without prefix processing "&" is a character.
  EXPECT_EQ(measure("A&&B", 0).Width(), measure("A&B", kTextNoPrefix).Width());
  EXPECT_EQ(measure("&File", 0).Width(), measure("File", 0).Width());
  EXPECT_GT(measure("&File", kTextNoPrefix).Width(), measure("File", 0).Width());
  // Tabs expand to stops of eight average widths.
  EXPECT_EQ(measure("a\tb", kTextExpandTabs).Width(), 8 * fm.averageWidth + measure("b", 0).Width());
  // Word break: lines between words, never wider than the rectangle unless one word is.
  const int wordWidth = measure("Modulation", 0).Width();
  Rect wrapped = measure("Modulation depth of the damping", kTextWordBreak, wordWidth + 2);
  EXPECT_GT(wrapped.Height(), fm.lineHeight);
  EXPECT_LE(wrapped.Width(), wordWidth + 2);
  Rect longWord = measure("Modulation", kTextWordBreak, 5);
  EXPECT_EQ(longWord.Height(), fm.lineHeight);
  EXPECT_EQ(longWord.Width(), wordWidth);
  // Size and style change the extent.
  Size plain, bold, big;
  dc.TextExtent("Feedback", &plain);
  FontSpec f;
  f.bold = true;
  dc.SetFont(f);
  dc.TextExtent("Feedback", &bold);
  f.bold = false;
  f.height = 22;
  dc.SetFont(f);
  dc.TextExtent("Feedback", &big);
  EXPECT_GT(bold.width, plain.width);
  EXPECT_GT(big.width, plain.width + plain.width / 2);
  f.height = 100000;
  dc.SetFont(f);
  EXPECT_EQ(dc.TextExtent("x", &big), Status::InvalidArgument);
}

// Draws a fixed set of texts; the result is compared with a reviewed picture.
std::unique_ptr<Surface> RenderTextSample(Backend& b) {
  auto s = MakeSurface(b, 160, 96, MakeColor(255, 255, 255));
  DrawContext& dc = s->Context();
  dc.SetTextColor(MakeColor(0, 0, 0));
  Rect r{2, 2, 158, 16};
  dc.DrawText("&Delay 42% - Tahoma 11", &r, kTextLeft | kTextSingleLine);
  r = {2, 18, 158, 32};
  dc.DrawText("Centre", &r, kTextCenter | kTextSingleLine);
  r = {2, 18, 158, 32};
  dc.SetTextColor(MakeColor(200, 0, 0));
  dc.DrawText("Right", &r, kTextRight | kTextSingleLine);
  r = {2, 34, 90, 94};
  dc.SetTextColor(MakeColor(0, 0, 160));
  dc.DrawText("Word wrapping keeps words\twhole", &r, kTextWordBreak | kTextExpandTabs);
  FontSpec bold;
  bold.bold = true;
  dc.SetFont(bold);
  dc.SetTextColor(MakeColor(0, 110, 0));
  dc.SetBackgroundOpaque(true, MakeColor(230, 230, 140));
  r = {92, 40, 158, 94};
  dc.DrawText("Bold\tTab", &r, kTextExpandTabs | kTextNoPrefix);
  return s;
}

TEST_F(Drawing, TextGivesTheReviewedPixels) {
  auto s = RenderTextSample(*hl);
  const std::string reference = std::string(KESTRUNE_PLATFORM_TEST_DATA) + "/text_sample.png";
  if (std::getenv("KESTRUNE_WRITE_REFERENCE")) {
    ASSERT_EQ(SavePng(reference, s->Bits(), s->Width(), s->Height(), false), Status::Ok);
    GTEST_SKIP() << "reference written: " << reference;
  }
  Picture expected;
  ASSERT_EQ(LoadPicture(reference, &expected), Status::Ok);
  ASSERT_EQ(expected.width, s->Width());
  ASSERT_EQ(expected.height, s->Height());
  int differing = 0;
  for (int y = 0; y < s->Height(); ++y)
    for (int x = 0; x < s->Width(); ++x) {
      const uint8_t* a = s->Row(y) + x * 4;
      const uint8_t* e = expected.pixels.data() + (size_t(s->Height() - 1 - y) * s->Width() + x) * 4;
      if (a[0] != e[0] || a[1] != e[1] || a[2] != e[2]) ++differing;
    }
  EXPECT_EQ(differing, 0);
}

TEST_F(Drawing, StatusBarShowsItsPanelsInPlatformColours) {
  WindowHandle host = Host({0, 0, 240, 40});
  WindowHandle bar = nullptr;
  ASSERT_EQ(hl->CreateStatusBar(host, {0, 20, 240, 38}, &bar), Status::Ok);
  ASSERT_EQ(hl->SetStatusPanels(bar, {40, 200}), Status::Ok);
  ASSERT_EQ(hl->SetStatusColor(bar, hl->SystemColor(kColorMenuBar)), Status::Ok);
  ASSERT_EQ(hl->SetStatusText(bar, 1, "Info"), Status::Ok);
  EXPECT_EQ(hl->SetStatusText(bar, 2, "x"), Status::InvalidArgument);
  EXPECT_EQ(hl->SetStatusPanels(bar, {-5}), Status::InvalidArgument);
  hl->Pump();
  std::string text;
  ASSERT_EQ(hl->GetStatusText(bar, 1, &text), Status::Ok);
  EXPECT_EQ(text, "Info");
  const Color back = hl->SystemColor(kColorMenuBar);
  EXPECT_EQ(Pixel(host, 1, 21), back);  // above the panels
  EXPECT_EQ(Pixel(host, 0, 22), hl->SystemColor(kColorBtnShadow));
  // Text pixels appear in the info panel only.
  auto darkIn = [&](int x0, int x1) {
    int dark = 0;
    for (int y = 23; y < 37; ++y)
      for (int x = x0; x < x1; ++x) dark += ColorRed(Pixel(host, x, y)) < 128;
    return dark;
  };
  EXPECT_EQ(darkIn(2, 36), 0);
  EXPECT_GT(darkIn(42, 100), 10);
}

}  // namespace
}  // namespace plat::test
