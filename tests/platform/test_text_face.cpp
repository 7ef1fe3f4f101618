// The headless text face is the one built into the library: Latin-1 text draws with real glyphs,
// bold is its own face, and the line metrics are those of an 11-pixel dialog face.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "tests/platform/HeadlessFixture.h"

namespace plat {
namespace {

class TextFace : public test::HeadlessTest {
 protected:
  // The text drawn black on white in a 60 x 16 surface; answers the surface.
  std::unique_ptr<Surface> Draw(const std::string& text, bool bold = false) {
    std::unique_ptr<Surface> s;
    EXPECT_EQ(hl->CreateSurface(60, 16, &s), Status::Ok);
    DrawContext& dc = s->Context();
    dc.FillRect({0, 0, 60, 16}, MakeColor(255, 255, 255));
    FontSpec f;
    f.bold = bold;
    dc.SetFont(f);
    dc.SetTextColor(MakeColor(0, 0, 0));
    Rect r{0, 0, 60, 16};
    EXPECT_EQ(dc.DrawText(text, &r, kTextSingleLine), Status::Ok);
    s->Flush();
    return s;
  }
  // Columns [from, to) that hold any ink.
  static int Ink(Surface& s, int from = 0, int to = 60) {
    int n = 0;
    for (int y = 0; y < s.Height(); ++y)
      for (int x = from; x < to; ++x) n += s.Row(y)[x * 4] < 128;
    return n;
  }
};

TEST_F(TextFace, BuiltInFaceDrawsLatin1AndBold) {
  EXPECT_NE(headless::FontFilePath(false).find("built in"), std::string::npos);
  EXPECT_NE(headless::FontFilePath(true).find("built in"), std::string::npos);

  FontMetrics fm;
  FontSpec f;
  ASSERT_EQ(hl->ScreenContext().SetFont(f), Status::Ok);
  ASSERT_EQ(hl->ScreenContext().GetFontMetrics(&fm), Status::Ok);
  EXPECT_EQ(fm.lineHeight, 13);

  // "e" and the Latin-1 "é" (as a single byte) share the base but not the accent.
  auto plain = Draw("e"), accented = Draw("\xE9");
  EXPECT_GT(Ink(*plain), 5);
  EXPECT_GT(Ink(*accented), Ink(*plain));
  Size a{}, b{};
  ASSERT_EQ(hl->ScreenContext().TextExtent("e", &a), Status::Ok);
  ASSERT_EQ(hl->ScreenContext().TextExtent("\xE9", &b), Status::Ok);
  EXPECT_EQ(a.width, b.width);

  // Bold is heavier than regular.
  EXPECT_GT(Ink(*Draw("Master", true)), Ink(*Draw("Master")));
}

}  // namespace
}  // namespace plat
