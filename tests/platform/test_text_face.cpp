// The headless text face is the one built into the library: Latin-1 text draws with real glyphs,
// bold is its own face, and the line metrics are those of an 11-pixel dialog face.
#include <gtest/gtest.h>

#include <algorithm>
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

}  // namespace

// ---------------------------------------------------------------------------------------------
// Builds without FreeType (Windows) draw the built-in face from glyphs baked from it. The stored
// file must be exactly what FreeType draws here, and text drawn from it exactly what the face draws.
// With KESTRUNE_UPDATE_GLYPHS set the file is written instead (after a change of the face or the
// sizes; the Windows build then embeds it).
namespace {

const std::string kGlyphFile = KESTRUNE_GLYPH_FILE;

// Regular and bold, 8 to 16 pixels: the sizes window descriptions give their dialog fonts.
std::vector<std::pair<bool, int32_t>> BakedSizes() {
  std::vector<std::pair<bool, int32_t>> sizes;
  for (bool bold : {false, true})
    for (int32_t h = 8; h <= 16; ++h) sizes.push_back({bold, h});
  return sizes;
}

std::vector<uint8_t> ReadAll(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

TEST(BakedGlyphs, AreWhatFreeTypeDrawsOfTheBuiltInFace) {
  std::vector<uint8_t> fresh;
  ASSERT_EQ(soft::TextRenderer::Shared().Bake(BakedSizes(), &fresh), Status::Ok);
  if (std::getenv("KESTRUNE_UPDATE_GLYPHS")) {
    std::ofstream(kGlyphFile, std::ios::binary)
        .write(reinterpret_cast<const char*>(fresh.data()), std::streamsize(fresh.size()));
    GTEST_SKIP() << "wrote " << kGlyphFile;
  }
  const std::vector<uint8_t> stored = ReadAll(kGlyphFile);
  ASSERT_EQ(stored.size(), fresh.size()) << kGlyphFile << " is out of date: run with KESTRUNE_UPDATE_GLYPHS=1";
  EXPECT_TRUE(stored == fresh) << kGlyphFile << " is out of date: run with KESTRUNE_UPDATE_GLYPHS=1";
}

TEST(BakedGlyphs, DrawWhatTheFaceDraws) {
  const std::vector<uint8_t> stored = ReadAll(kGlyphFile);
  std::vector<soft::BakedFace> faces;
  ASSERT_EQ(soft::ReadGlyphAtlas(stored.data(), stored.size(), &faces), Status::Ok);
  soft::TextRenderer baked(std::move(faces));
  soft::TextRenderer& face = soft::TextRenderer::Shared();

  struct Case {
    bool bold;
    int32_t height;
    const char* text;
    uint32_t flags;
    bool opaque;
  };
  const Case cases[] = {
      {false, 11, "Speed", kTextSingleLine, false},
      {false, 11, "Merge inputs", kTextSingleLine | kTextVCenter, false},
      {false, 11, "Rigth modulation amount: 100 %", kTextWordBreak | kTextCenter, false},
      {true, 13, "&Master\tvol && more", kTextExpandTabs | kTextRight, true},
      {false, 8, "\xC3\xA9t\xC3\xA9 \xE2\x82\xAC \xCE\xA9 \x01", kTextSingleLine, false},  // no euro, omega: missing
      {true, 16, "Wg\r\nqy", 0, false},
  };
  for (const Case& c : cases) {
    FontSpec font;
    font.bold = c.bold;
    font.height = c.height;
    soft::TextRenderer::DrawRequest request;
    request.font = &font;
    request.text = c.text;
    request.flags = c.flags;
    request.color = MakeColor(20, 40, 200);
    request.opaque = c.opaque;
    request.background = MakeColor(250, 240, 10);
    constexpr int32_t kW = 120, kH = 60;
    std::vector<uint8_t> mine(kW * kH * 4, 0x80), theirs(kW * kH * 4, 0x80);
    const soft::PixelTarget a{mine.data(), kW, kH}, b{theirs.data(), kW, kH};
    const Region clip(Rect{2, 3, kW - 4, kH});
    Rect ra{5, 4, 100, 56}, rb = ra;
    int32_t ha = 0, hb = 0;
    ASSERT_EQ(baked.Draw(request, &ra, &ha, &a, &clip), Status::Ok) << c.text;
    ASSERT_EQ(face.Draw(request, &rb, &hb, &b, &clip), Status::Ok) << c.text;
    EXPECT_EQ(ha, hb) << c.text;
    EXPECT_TRUE(mine == theirs) << c.text;
    EXPECT_NE(std::count(mine.begin(), mine.end(), 0x80), std::ptrdiff_t(mine.size())) << c.text << ": no ink";
    request.flags |= kTextCalcRect;
    ASSERT_EQ(baked.Draw(request, &ra, nullptr, nullptr, nullptr), Status::Ok);
    ASSERT_EQ(face.Draw(request, &rb, nullptr, nullptr, nullptr), Status::Ok);
    EXPECT_EQ(ra, rb) << c.text;
  }

  // What was not baked is not drawn: italic, and sizes outside the range.
  FontSpec italic, small, large;
  italic.italic = true;
  small.height = 7;
  large.height = -17;
  for (const FontSpec& f : {italic, small, large}) {
    EXPECT_EQ(baked.Serves(f), Status::NotFound) << f.height;
    EXPECT_EQ(face.Serves(f), Status::Ok) << f.height;
  }
  std::vector<uint8_t> again;
  EXPECT_EQ(baked.Bake(BakedSizes(), &again), Status::Unsupported);
}

TEST(BakedGlyphs, AMalformedFileIsRefused) {
  const std::vector<uint8_t> stored = ReadAll(kGlyphFile);
  ASSERT_GT(stored.size(), 1000u);
  std::vector<soft::BakedFace> faces;
  for (size_t cut : {size_t(0), size_t(3), size_t(4), size_t(6), size_t(40), stored.size() / 2, stored.size() - 1})
    EXPECT_EQ(soft::ReadGlyphAtlas(stored.data(), cut, &faces), Status::BadFormat) << cut;
  std::vector<uint8_t> longer = stored;
  longer.push_back(0);
  EXPECT_EQ(soft::ReadGlyphAtlas(longer.data(), longer.size(), &faces), Status::BadFormat);
  std::vector<uint8_t> renamed = stored;
  renamed[3] = '2';
  EXPECT_EQ(soft::ReadGlyphAtlas(renamed.data(), renamed.size(), &faces), Status::BadFormat);
  // The missing glyph of the first face claims more rows than there are bytes.
  std::vector<uint8_t> tall = stored;
  tall[4 + 2 + 9 + 6] = 0xFF;
  tall[4 + 2 + 9 + 7] = 0x7F;
  EXPECT_EQ(soft::ReadGlyphAtlas(tall.data(), tall.size(), &faces), Status::BadFormat);
  EXPECT_TRUE(faces.empty());
  EXPECT_EQ(soft::ReadGlyphAtlas(stored.data(), stored.size(), &faces), Status::Ok);
  EXPECT_EQ(faces.size(), BakedSizes().size());
}

}  // namespace
}  // namespace plat
