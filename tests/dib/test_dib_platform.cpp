// The image operations that reach the platform: window-kind pixels and context, picture and mask
// import, regions for window shapes, 8-bit output.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "DIB/Source/cDIB.h"
#include "DIB/Source/cDIBPalette.h"
#include "platform/DrawContext.h"
#include "platform/Picture.h"
#include "platform/Platform.h"
#include "platform/headless/Headless.h"

namespace {

std::string TempPath(const std::string& name) {
  return (std::filesystem::temp_directory_path() / ("kestrune_dib_" + name)).string();
}

std::uint32_t Get(const TAbstractSuperDIB& d, int x, int y) {
  std::uint32_t p;
  std::memcpy(&p, d.ScanLine(y) + x * 4, 4);
  return p;
}

}  // namespace

TEST(DIBWin, PixelsAreTheContextsSurface) {
  TWinDIB dib(4, 3);
  ASSERT_NE(dib.Handle(), nullptr);
  EXPECT_EQ(Get(dib, 3, 2), 0u);  // new pixels are zero
  // Platform drawing lands in the image's own pixels, same rows, alpha untouched.
  dib.SetAlpha(0x80);
  int changes = 0;
  dib.OnChange = [&](TAbstractSuperDIB*) { ++changes; };
  ASSERT_EQ(dib.Canvas()->FillRect(plat::Rect{1, 0, 2, 1}, 0x00332211), plat::Status::Ok);
  EXPECT_EQ(Get(dib, 1, 0), 0x80112233u);
  EXPECT_EQ(Get(dib, 1, 1), 0x80000000u);
  EXPECT_EQ(changes, 1);  // drawing through the canvas is a change; measuring is not
  plat::Rect measured{0, 0, 100, 100};
  dib.Canvas()->DrawText("Ab", &measured, plat::kTextCalcRect);
  EXPECT_EQ(changes, 1);
  // A transfer between two window images, naming either the canvas or the context as source.
  TWinDIB other(4, 3);
  ASSERT_EQ(other.Canvas()->Transfer(plat::Rect{0, 0, 4, 3}, *dib.Canvas(), plat::Point{0, 0}), plat::Status::Ok);
  EXPECT_EQ(Get(other, 1, 0), 0x80112233u);
  dib.OnChange = nullptr;
  dib.SetSize(2, 2);
  EXPECT_EQ(Get(dib, 1, 1), 0u);
  // A sharing window image has no context of its own.
  TWinDIB shared(&dib);
  EXPECT_EQ(shared.Handle(), nullptr);
  EXPECT_EQ(shared.Bits(), dib.Bits());
  // Window and memory images blend into each other.
  TMemoryDIB memory(2, 2);
  memory.Fill(0x000000FF);
  memory.Draw(0, 0, 2, 2, &dib);
  EXPECT_EQ(Get(dib, 0, 0), 0x00FF0000u);
  EXPECT_THROW(TWinDIB(-1, 1), EDIBError);
}

TEST(DIBWin, ImportPictureAndMask) {
  const std::string rgba = TempPath("rgba.png"), rgb = TempPath("rgb.png"), mask = TempPath("mask.png");
  // 2 x 2, rows bottom-up: the first stored pixel is the bottom-left one.
  const std::uint8_t pixels[16] = {10, 20, 30, 40, 11, 21, 31, 41, 12, 22, 32, 42, 13, 23, 33, 43};
  ASSERT_EQ(plat::SavePng(rgba, pixels, 2, 2, true), plat::Status::Ok);
  ASSERT_EQ(plat::SavePng(rgb, pixels, 2, 2, false), plat::Status::Ok);
  const std::uint8_t maskPixels[4] = {0x7F, 0, 0, 0};  // 1 x 1: blue 0x7F stretched over the image
  ASSERT_EQ(plat::SavePng(mask, maskPixels, 1, 1, false), plat::Status::Ok);

  TMemoryDIB dib;
  EXPECT_THROW(dib.ImportMask(mask), EDIBError);
  try {
    dib.ImportMask(mask);
  } catch (const EDIBError& e) {
    EXPECT_STREQ(e.what(), "You cannot import a mask until you have an image.");
  }

  int changes = 0;
  dib.OnChange = [&](TAbstractSuperDIB*) { ++changes; };
  dib.ImportPicture(rgba);
  EXPECT_EQ(dib.ImageFilename, rgba);
  EXPECT_TRUE(dib.Masked());
  EXPECT_EQ(std::memcmp(dib.Bits(), pixels, 16), 0);
  EXPECT_GE(changes, 1);

  TMemoryDIB opaque;
  opaque.ImportPicture(rgb);
  EXPECT_FALSE(opaque.Masked());
  EXPECT_EQ(Get(opaque, 0, 1), 0xFF1E140Au);  // alpha forced to 255
  opaque.ImportMask(mask);
  EXPECT_EQ(opaque.MaskFilename, mask);
  EXPECT_TRUE(opaque.Masked());
  EXPECT_EQ(Get(opaque, 1, 0), 0x7F21170Du);

  // Unreadable files: an image error, the image unchanged.
  const std::string junk = TempPath("junk.png");
  {
    FILE* f = std::fopen(junk.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fputs("\x89PNG\r\n\x1a\n truncated", f);
    std::fclose(f);
  }
  EXPECT_THROW(opaque.ImportPicture(junk), EDIBError);
  EXPECT_THROW(opaque.ImportPicture(TempPath("missing.png")), EDIBError);
  EXPECT_EQ(opaque.Width(), 2);
  for (const auto& p : {rgba, rgb, mask, junk}) std::filesystem::remove(p);
}

TEST(DIBWin, RegionsFromRuns) {
  // A checkerboard row of 1000 pixels makes 500 runs: more than one batch of rectangles.
  TMemoryDIB dib(1000, 2);
  for (int x = 0; x < 1000; ++x) dib.ScanLine(0)[x * 4 + 3] = (x % 2) ? 255 : 0;
  const plat::Region alpha = dib.AlphaRegion(128);
  EXPECT_EQ(alpha.Area(), 500);
  EXPECT_TRUE(alpha.Contains({999, 0}));
  EXPECT_FALSE(alpha.Contains({998, 0}));
  EXPECT_FALSE(alpha.Contains({1, 1}));
  EXPECT_TRUE(dib.AlphaRegion(255).IsEmpty());

  dib.FillRect(0x000000FF, 10, 1, 5, 1);  // red in the bottom row, colour only
  const plat::Region colour = dib.ColorRegion(0);
  EXPECT_EQ(colour.Area(), 5);
  EXPECT_TRUE(colour.Contains({14, 1}));
}

TEST(DIBWin, Render8BitNeedsATableAndAnEightBitContext) {
  TMemoryDIB dib(2, 2);
  TWinDIB target(2, 2);
  TDIBPalette none;
  TDIBPalette table;
  table.LookupTable.assign(64 * 64 * 64, 0);
  try {
    dib.Render8Bit(*target.Canvas(), 0, 0, none, 0, 0, 2, 2);
    FAIL();
  } catch (const EDIBError& e) {
    EXPECT_STREQ(e.what(), "Render8Bit can only be used with a palette containing a lookup table");
  }
  try {
    dib.Render8Bit(*target.Canvas(), 0, 0, table, 0, 0, 2, 2);
    FAIL();
  } catch (const EDIBError& e) {
    EXPECT_STREQ(e.what(), "Render8Bit can only be used to blit to an 8 bit DC");
  }
}

TEST(DIBWin, Render8BitDrawsTheNearestPaletteColoursOnAnEightBitScreen) {
  plat::headless::HeadlessBackend& hl = plat::headless::InstallHeadless();
  // Pixels as 0x00RRGGBB: red, green, blue on top; white, almost black, almost grey below.
  TMemoryDIB dib(3, 2);
  const std::uint32_t pixels[2][3] = {{0xFF0000, 0x00FF00, 0x0000FF}, {0xFFFFFF, 0x050505, 0x7F8081}};
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) std::memcpy(dib.ScanLine(y) + x * 4, &pixels[y][x], 4);
  // Platform colours 0x00BBGGRR.
  TDIBPaletteComponent palette(nullptr);
  palette.SetEntries({0x000000, 0xFFFFFF, 0x0000FF, 0x00FF00, 0xFF0000, 0x808080});
  ASSERT_TRUE(palette.HasLookupTable());
  // Beyond the section's 235 colours nothing is chosen, even an exact match.
  TDIBPaletteComponent wide(nullptr);
  std::vector<TDIBColor> many(240, 0x101010);
  many[0] = 0x000000;
  many[239] = 0x0000FF;
  wide.SetEntries(many);
  EXPECT_THROW(wide.SetEntries(std::vector<TDIBColor>(257, 0)), EDIBError);
  EXPECT_EQ(wide.Entries().size(), 240u);

  plat::WindowHandle host = nullptr;
  std::vector<std::string> errors;
  ASSERT_EQ(hl.CreateHostWindow(plat::Rect{0, 0, 12, 6}, plat::MakeColor(9, 9, 9), &host,
                                [&](plat::WindowHandle w, plat::Message& m) {
                                  if (m.msg != plat::kMsgPaint) return hl.DefaultHandling(w, m);
                                  plat::PaintCycle cycle;
                                  ASSERT_EQ(hl.BeginPaint(w, &cycle), plat::Status::Ok);
                                  try {
                                    palette.Render(dib, *cycle.context, 1, 1, 0, 0, 3, 2);
                                    // A block reaching past the image is cut to it.
                                    palette.Render(dib, *cycle.context, 5, 1, -1, 1, 9, 9);
                                    wide.Render(dib, *cycle.context, 8, 4, 0, 0, 1, 1);
                                  } catch (const std::exception& e) {
                                    errors.push_back(e.what());
                                  }
                                  hl.EndPaint(w, &cycle);
                                }),
            plat::Status::Ok);
  ASSERT_EQ(hl.SetScreenBitsPerPixel(host, 8), plat::Status::Ok);
  ASSERT_EQ(hl.Pump(), plat::Status::Ok);
  EXPECT_TRUE(errors.empty()) << errors.front();
  auto at = [&](int x, int y) {
    plat::Color c = 0;
    EXPECT_EQ(hl.ScreenPixel(host, plat::Point{x, y}, &c), plat::Status::Ok);
    return c;
  };
  EXPECT_EQ(at(1, 1), plat::MakeColor(255, 0, 0));
  EXPECT_EQ(at(2, 1), plat::MakeColor(0, 255, 0));
  EXPECT_EQ(at(3, 1), plat::MakeColor(0, 0, 255));
  EXPECT_EQ(at(1, 2), plat::MakeColor(255, 255, 255));
  EXPECT_EQ(at(2, 2), plat::MakeColor(0, 0, 0));
  EXPECT_EQ(at(3, 2), plat::MakeColor(128, 128, 128));
  EXPECT_EQ(at(0, 1), plat::MakeColor(9, 9, 9));
  EXPECT_EQ(at(4, 1), plat::MakeColor(9, 9, 9));
  // The cut block: source row 1 from column 0 lands one column further right.
  EXPECT_EQ(at(5, 1), plat::MakeColor(9, 9, 9));
  EXPECT_EQ(at(6, 1), plat::MakeColor(255, 255, 255));
  EXPECT_EQ(at(8, 1), plat::MakeColor(128, 128, 128));
  EXPECT_EQ(at(9, 1), plat::MakeColor(9, 9, 9));
  EXPECT_EQ(at(6, 2), plat::MakeColor(9, 9, 9));
  // Red through the wide palette: the nearest of the first 235 colours, not the exact entry 239.
  EXPECT_EQ(at(8, 4), plat::MakeColor(0x10, 0x10, 0x10));
  plat::InstallBackend(nullptr);
}
