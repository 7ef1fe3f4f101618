// Repaint of a 415 x 200 container holding the editor's population: one 414 x 200 background image,
// nine 20 x 154 and two 80 x 30 children (drawn as images here), on the headless platform. Times a
// full repaint and the repaint after one 20 x 154 child is invalidated, each up to the screen.
#include <benchmark/benchmark.h>

#include <cstdint>

#include "DIB/Source/cDIBImage.h"
#include "DIB/Source/cDIBImageList.h"
#include "DIB/Source/cDIBPanel.h"
#include "platform/headless/Headless.h"
#include "ui/Form.h"

namespace {

// A picture of w x h with a gradient, so that every pixel is copied for real.
void AddPicture(TDIBImageList& list, int w, int h, bool masked) {
  TMemoryDIB dib(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      std::uint8_t* p = dib.ScanLine(y) + x * 4;
      p[0] = static_cast<std::uint8_t>(x);
      p[1] = static_cast<std::uint8_t>(y);
      p[2] = static_cast<std::uint8_t>(x + y);
      p[3] = masked ? static_cast<std::uint8_t>((x * 7 + y) & 0xFF) : 255;
    }
  dib.SetMasked(masked);
  static_cast<TDIBImagesItem*>(list.DIBImages()->Add())->SetDIB(dib);
}

struct Editor {
  Editor() {
    hl = &plat::headless::InstallHeadless();
    hl->CreateHostWindow({0, 0, 415, 218}, 0, &host);
    form = new TForm(nullptr);
    form->SetBounds(0, 0, 415, 218);
    list = new TDIBImageList(form);
    AddPicture(*list, 415, 200, false);
    AddPicture(*list, 20, 154, true);
    AddPicture(*list, 80, 30, true);
    container = new TDIBContainer(form);
    container->SetBounds(0, 0, 415, 200);
    container->SetParent(form);
    auto add = [&](int index, int x, int y, int w, int h) {
      auto* image = new TDIBImage(form);
      image->SetParent(container);
      image->SetDIBImageList(list);
      image->IndexMain()->SetDIBIndex(index);
      image->SetBounds(x, y, w, h);
      return image;
    };
    add(0, 0, 0, 414, 200);
    for (int i = 0; i < 9; ++i) {
      auto* slider = add(1, 10 + 44 * i, 20, 20, 154);
      if (i == 4) oneSlider = slider;
    }
    add(2, 10, 170, 80, 30);
    add(2, 320, 170, 80, 30);
    form->SetParentWindow(host);
    form->Show();
    hl->Pump();
  }
  ~Editor() {
    TComponent::Free(form);
    plat::InstallBackend(nullptr);
  }
  void Repaint() { hl->UpdateWindow(container->WindowHandle()); }

  plat::headless::HeadlessBackend* hl = nullptr;
  plat::WindowHandle host = nullptr;
  TForm* form = nullptr;
  TDIBImageList* list = nullptr;
  TDIBContainer* container = nullptr;
  TDIBImage* oneSlider = nullptr;
};

void BM_ContainerFullRepaint(benchmark::State& state) {
  Editor editor;
  for (auto _ : state) {
    editor.container->Invalidate();
    editor.Repaint();
  }
}
BENCHMARK(BM_ContainerFullRepaint)->Unit(benchmark::kMicrosecond);

void BM_ContainerOneChildRepaint(benchmark::State& state) {
  Editor editor;
  for (auto _ : state) {
    editor.oneSlider->Invalidate();
    editor.Repaint();
  }
}
BENCHMARK(BM_ContainerOneChildRepaint)->Unit(benchmark::kMicrosecond);

}  // namespace
