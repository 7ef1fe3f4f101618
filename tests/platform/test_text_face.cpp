// The headless text face is the one built into the library: Latin-1 text draws with real glyphs,
// bold is its own face, and the line metrics are those of an 11-pixel dialog face.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/soft/TextRenderer.h"
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

// Builds without FreeType (Windows) draw the built-in face from glyphs baked from it: the stored file
// must be exactly what FreeType draws here (the Wine comparisons check text drawn from it), and a
// damaged one is refused. With KESTRUNE_UPDATE_GLYPHS set the file is written instead (after a
// change of the face or the sizes).
TEST(BakedGlyphs, AreWhatFreeTypeDrawsAndDamageIsRefused) {
  const std::string file = KESTRUNE_GLYPH_FILE;
  std::vector<std::pair<bool, int32_t>> sizes;  // regular and bold, 8 to 16 pixels: dialog fonts
  for (bool bold : {false, true})
    for (int32_t h = 8; h <= 16; ++h) sizes.push_back({bold, h});
  std::vector<uint8_t> fresh;
  ASSERT_EQ(soft::TextRenderer::Shared().Bake(sizes, &fresh), Status::Ok);
  if (std::getenv("KESTRUNE_UPDATE_GLYPHS")) {
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char*>(fresh.data()), std::streamsize(fresh.size()));
    GTEST_SKIP() << "wrote " << file;
  }
  std::ifstream in(file, std::ios::binary);
  const std::vector<uint8_t> stored{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  ASSERT_TRUE(stored == fresh) << file << " is out of date: run with KESTRUNE_UPDATE_GLYPHS=1";

  std::vector<uint8_t> longer = stored, renamed = stored, tall = stored;
  longer.push_back(0);
  renamed[3] = '2';
  tall[4 + 2 + 9 + 6] = 0xFF;  // the first face's missing glyph claims more rows than there are bytes
  tall[4 + 2 + 9 + 7] = 0x7F;
  std::vector<soft::BakedFace> faces;
  for (size_t cut : {size_t(0), size_t(3), size_t(4), size_t(6), size_t(40), stored.size() / 2, stored.size() - 1})
    EXPECT_EQ(soft::ReadGlyphAtlas(stored.data(), cut, &faces), Status::BadFormat) << cut;
  for (const std::vector<uint8_t>* bad : {&longer, &renamed, &tall})
    EXPECT_EQ(soft::ReadGlyphAtlas(bad->data(), bad->size(), &faces), Status::BadFormat);
  EXPECT_TRUE(faces.empty());
  EXPECT_EQ(soft::ReadGlyphAtlas(stored.data(), stored.size(), &faces), Status::Ok);
  EXPECT_EQ(faces.size(), sizes.size());
}

}  // namespace
}  // namespace plat
