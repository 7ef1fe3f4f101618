// The shared headless fixture of the skinned-control tests: a fresh headless platform, a host window
// at an offset on the screen, a form read from a short description text and placed in it, the
// message pump and the virtual clock, and plain helpers for pictures and pixels.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <string_view>

#include "DIB/Source/DIBRegister.h"
#include "DIB/Source/cDIB.h"
#include "platform/headless/Headless.h"
#include "ui/Application.h"
#include "ui/Description.h"
#include "ui/Form.h"

namespace dibtest {

// An opaque colour in the platform form (0x00BBGGRR).
constexpr plat::Color Rgb(int r, int g, int b) {
  return plat::MakeColor(static_cast<std::uint8_t>(r), static_cast<std::uint8_t>(g), static_cast<std::uint8_t>(b));
}
inline int RedOf(plat::Color c) { return static_cast<int>(c & 0xFF); }
inline int GreenOf(plat::Color c) { return static_cast<int>((c >> 8) & 0xFF); }
inline int BlueOf(plat::Color c) { return static_cast<int>((c >> 16) & 0xFF); }

// A picture as the DIB.Data block of a description: w x h pixels coloured by `color`(x, y), rows
// from the top, alpha `alpha`(x, y) (255 without it).
inline std::string PictureData(int w, int h, const std::function<plat::Color(int, int)>& color,
                               const std::function<int(int, int)>& alpha = {}) {
  TMemoryDIB dib(w, h);
  for (int y = 0; y < h; ++y) {
    std::uint8_t* row = dib.ScanLine(y);
    for (int x = 0; x < w; ++x) {
      const plat::Color c = color(x, y);
      row[x * 4 + 0] = static_cast<std::uint8_t>(BlueOf(c));
      row[x * 4 + 1] = static_cast<std::uint8_t>(GreenOf(c));
      row[x * 4 + 2] = static_cast<std::uint8_t>(RedOf(c));
      row[x * 4 + 3] = static_cast<std::uint8_t>(alpha ? alpha(x, y) : 255);
    }
  }
  std::string hex = "{";
  char digits[3];
  for (std::uint8_t b : dib.DataBytes()) {
    std::snprintf(digits, sizeof digits, "%02X", b);
    hex += digits;
  }
  return hex + "}";
}

// One image-list item holding such a picture.
inline std::string PictureItem(int w, int h, const std::function<plat::Color(int, int)>& color) {
  return "item\nDIB.Data = " + PictureData(w, h, color) + "\nend\n";
}

class DIBFixture : public ::testing::Test {
 protected:
  static constexpr int kHostX = 100, kHostY = 50;  // the host window's place on the screen
  static constexpr plat::Color kHostColor = Rgb(1, 2, 3);

  void SetUp() override {
    hl = &plat::headless::InstallHeadless();
    RegisterDIBClasses();
    Application().ResetErrors();
    ASSERT_EQ(hl->CreateHostWindow({kHostX, kHostY, kHostX + 600, kHostY + 400}, kHostColor, &host), plat::Status::Ok);
  }
  void TearDown() override {
    if (form) TComponent::Free(form);
    form = nullptr;
    plat::InstallBackend(nullptr);
  }

  // Reads "object F: TForm ... end" into a new form, places it at (0, 0) in the host window, shows
  // it and lets it paint.
  TForm* LoadForm(std::string_view text) {
    form = new TForm(nullptr);
    ReadDescription(*form, text);
    form->SetParentWindow(host);
    form->Show();
    Pump();
    return form;
  }
  template <class T>
  T* Find(std::string_view name) const {
    T* c = form ? dynamic_cast<T*>(form->FindComponent(name)) : nullptr;
    EXPECT_NE(c, nullptr) << name;
    return c;
  }

  // Screen position of a position in the host window's client area.
  static plat::Point At(int x, int y) { return {kHostX + x, kHostY + y}; }
  void Pump() { hl->Pump(); }
  void Advance(std::uint32_t ms) { hl->Advance(ms); }
  void MoveTo(int x, int y) { hl->InjectMouseMove(At(x, y)); }
  void Press(int x, int y) { hl->InjectMouseButton(At(x, y), 0, true); }
  void Release(int x, int y) { hl->InjectMouseButton(At(x, y), 0, false); }

  // A pixel of the host window's screen (client coordinates).
  plat::Color ScreenPixel(int x, int y) const {
    plat::Color c = 0;
    EXPECT_EQ(hl->ScreenPixel(host, {x, y}, &c), plat::Status::Ok);
    return c;
  }
  // A pixel of an image, colour bytes only.
  static plat::Color ImagePixel(const TAbstractSuperDIB& dib, int x, int y) {
    const std::uint8_t* p = dib.ScanLine(y) + x * 4;
    return Rgb(p[2], p[1], p[0]);
  }

  plat::headless::HeadlessBackend* hl = nullptr;
  plat::WindowHandle host = nullptr;
  TForm* form = nullptr;
};

}  // namespace dibtest
