// What the control benchmarks share: an editor-sized form shown in a headless host window, and
// pictures made from a pixel function, so that every pixel is copied for real.
#pragma once

#include <array>
#include <cstdint>

#include "DIB/Source/cDIBImageList.h"
#include "platform/headless/Headless.h"
#include "ui/Form.h"

namespace benchdib {

// Adds a w x h picture to the list; pixel(x, y) gives its blue, green, red and alpha bytes.
template <class Pixel>
void AddPicture(TDIBImageList& list, int w, int h, bool masked, Pixel pixel) {
  TMemoryDIB dib(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const std::array<std::uint8_t, 4> bgra = pixel(x, y);
      std::uint8_t* p = dib.ScanLine(y) + x * 4;
      for (int i = 0; i < 4; ++i) p[i] = bgra[i];
    }
  dib.SetMasked(masked);
  static_cast<TDIBImagesItem*>(list.DIBImages()->Add())->SetDIB(dib);
}

// A 415 x 218 form on a fresh headless platform; Show() places it in its host window and paints it.
struct HeadlessForm {
  HeadlessForm() {
    hl = &plat::headless::InstallHeadless();
    hl->CreateHostWindow({0, 0, 415, 218}, 0, &host);
    form = new TForm(nullptr);
    form->SetBounds(0, 0, 415, 218);
  }
  ~HeadlessForm() {
    TComponent::Free(form);
    plat::InstallBackend(nullptr);
  }
  void Show() {
    form->SetParentWindow(host);
    form->Show();
    hl->Pump();
  }

  plat::headless::HeadlessBackend* hl = nullptr;
  plat::WindowHandle host = nullptr;
  TForm* form = nullptr;
};

}  // namespace benchdib
