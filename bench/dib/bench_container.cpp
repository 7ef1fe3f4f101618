// Repaint of a 415 x 200 container holding the editor's population: one 414 x 200 background image,
// nine 20 x 154 and two 80 x 30 children (drawn as images here), on the headless platform. Times a
// full repaint and the repaint after one 20 x 154 child is invalidated, each up to the screen.
#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>

#include "DIB/Source/cDIBImage.h"
#include "DIB/Source/cDIBPanel.h"
#include "bench/dib/BenchScene.h"

namespace {

// A gradient; masked pictures get a varying alpha so that every pixel is blended.
void AddPicture(TDIBImageList& list, int w, int h, bool masked) {
  benchdib::AddPicture(list, w, h, masked, [masked](int x, int y) {
    return std::array<std::uint8_t, 4>{static_cast<std::uint8_t>(x), static_cast<std::uint8_t>(y),
                                       static_cast<std::uint8_t>(x + y),
                                       static_cast<std::uint8_t>(masked ? (x * 7 + y) & 0xFF : 255)};
  });
}

struct Editor : benchdib::HeadlessForm {
  Editor() {
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
    Show();
  }
  void Repaint() { hl->UpdateWindow(container->WindowHandle()); }

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
