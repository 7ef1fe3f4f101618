// The skinned controls on the headless platform: one step of a slider drag (the mouse move routed to
// the slider, the position and knob updated, the slider's area recomposed and sent to the screen),
// and one repaint of a fade label's text.
#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>

#include "DIB/Source/cDIBFadeLabel.h"
#include "DIB/Source/cDIBPanel.h"
#include "DIB/Source/cDIBSlider.h"
#include "bench/dib/BenchScene.h"

namespace {

// Masked pictures are opaque on a 4-pixel stripe (the track's slot), transparent elsewhere.
void AddPicture(TDIBImageList& list, int w, int h, bool masked) {
  benchdib::AddPicture(list, w, h, masked, [masked](int x, int y) {
    return std::array<std::uint8_t, 4>{static_cast<std::uint8_t>(x * 9), static_cast<std::uint8_t>(y),
                                       static_cast<std::uint8_t>(x + y),
                                       static_cast<std::uint8_t>(!masked || (x >= 8 && x <= 11) ? 255 : 0)};
  });
}

// An editor-sized container with one editor slider (20 x 151 masked track, 16 x 30 knob) and one
// caption label.
struct Scene : benchdib::HeadlessForm {
  Scene() {
    auto* list = new TDIBImageList(form);
    AddPicture(*list, 20, 151, true);
    AddPicture(*list, 16, 30, false);
    auto* container = new TDIBContainer(form);
    container->SetBounds(0, 0, 415, 200);
    container->SetParent(form);
    slider = new TDIBSlider(form);
    slider->SetParent(container);
    slider->SetDIBImageList(list);
    slider->SetSliderType(stVertical);
    slider->IndexMain()->SetDIBIndex(0);
    slider->IndexPointer()->SetDIBIndex(1);
    slider->SetBounds(14, 19, 20, 154);
    slider->SetPosition(20);
    label = new TDIBFadeLabel(form);
    label->SetParent(container);
    label->SetBounds(8, 174, 33, 18);
    label->SetCaption("Speed");
    Show();
  }
  TDIBSlider* slider = nullptr;
  TDIBFadeLabel* label = nullptr;
};

void BM_SliderDragStep(benchmark::State& state) {
  Scene scene;
  scene.hl->InjectMouseButton({14 + 8, 19 + 30}, 0, true);  // grabs the knob
  int y = 60;
  for (auto _ : state) {
    scene.hl->InjectMouseMove({14 + 8, 19 + y});
    y = y == 60 ? 61 : 60;
  }
  scene.hl->InjectMouseButton({14 + 8, 19 + y}, 0, false);
}
BENCHMARK(BM_SliderDragStep)->Unit(benchmark::kMicrosecond);

void BM_FadeLabelRepaint(benchmark::State& state) {
  Scene scene;
  for (auto _ : state) {
    scene.label->Invalidate();
    scene.hl->Pump();
  }
}
BENCHMARK(BM_FadeLabelRepaint)->Unit(benchmark::kMicrosecond);

}  // namespace
