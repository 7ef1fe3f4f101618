// The editor window on the headless platform, through the effect's dispatcher:
//   BM_EditorOpen     effEditOpen in a new effect until the first paint is on the screen
//                     (description read, four LZH decodes, first refresh and paint);
//   BM_EditorReopen   the same for an effect whose window was open before;
//   BM_IdleTick       one 15 ms refresh tick with nothing changed;
//   BM_DragStep       one pixel of a slider drag (value written, status bar, repaint);
//   BM_EditorOpenAt   BM_EditorOpen at 100, 150, 200 and 300 % (argument: percent), the window
//                     built from the description scaled and the pictures drawn for that scale;
//   BM_FullRepaintAt  the whole window invalidated and painted again at each scale.
#include <benchmark/benchmark.h>

#include <vector>

#include "editor/uEditor.h"
#include "platform/headless/Headless.h"
#include "plugin/KestruneEn.h"
#include "ui/Form.h"
#include "vst/DVstTemplate.h"
#include "vst/DVstTemplateEditor.h"

namespace {

VstIntPtr VSTCALLBACK Host(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
  return opcode == audioMasterVersion ? 2400 : 0;
}

struct Session {
  plat::headless::HeadlessBackend& hl = plat::headless::InstallHeadless();
  AEffect* record = createKestruneEn(&Host, &kPluginEditorwindowClass);
  plat::WindowHandle host = nullptr;

  explicit Session(int percent = 100) {
    if (percent != 100)
      record->dispatcher(record, effVendorSpecific, kVendorContentScale, kContentScaleValue, nullptr, percent / 100.0f);
    ERect* r = nullptr;
    record->dispatcher(record, effEditGetRect, 0, 0, &r, 0);
    KestruneHostWindow w{0, 0, r->right - r->left, r->bottom - r->top, nullptr};
    record->dispatcher(record, effVendorSpecific, kKestruneRequest, kRequestCreateHostWindow, &w, 0);
    host = static_cast<plat::WindowHandle>(w.window);
  }
  ~Session() {
    record->dispatcher(record, effClose, 0, 0, nullptr, 0);
    plat::InstallBackend(nullptr);
  }
  void Open() {
    record->dispatcher(record, effEditOpen, 0, 0, host, 0);
    hl.Pump();  // the attach message, its refresh and the first paint
  }
  void Close() { record->dispatcher(record, effEditClose, 0, 0, nullptr, 0); }
};

void BM_EditorOpen(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    {
      Session s;
      state.ResumeTiming();
      s.Open();
      state.PauseTiming();
      s.Close();
    }
    state.ResumeTiming();
  }
}
BENCHMARK(BM_EditorOpen)->Unit(benchmark::kMillisecond);

void BM_EditorReopen(benchmark::State& state) {
  Session s;
  s.Open();
  s.Close();
  for (auto _ : state) {
    s.Open();
    state.PauseTiming();
    s.Close();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_EditorReopen)->Unit(benchmark::kMillisecond);

void BM_IdleTick(benchmark::State& state) {
  Session s;
  s.Open();
  s.hl.Advance(1000);  // past every fade and first refresh
  for (auto _ : state) s.hl.Advance(15);
  s.Close();
}
BENCHMARK(BM_IdleTick)->Unit(benchmark::kMicrosecond);

void BM_DragStep(benchmark::State& state) {
  Session s;
  s.Open();
  KestruneControl c{"p4", 0, 0, 0, 0, 0, 0};
  s.record->dispatcher(s.record, effVendorSpecific, kKestruneRequest, kRequestLocateControl, &c, 0);
  s.hl.InjectMouseButton({c.grabX, c.grabY}, 0, true);
  // Up and down over 40 pixels of the track, one pixel per step.
  int offset = 0, direction = 1;
  for (auto _ : state) {
    offset += direction;
    if (offset == 40 || offset == 0) direction = -direction;
    s.hl.InjectMouseMove({c.grabX, c.grabY + offset});
  }
  s.hl.InjectMouseButton({c.grabX, c.grabY + offset}, 0, false);
  s.Close();
}
BENCHMARK(BM_DragStep)->Unit(benchmark::kMicrosecond);

void BM_EditorOpenAt(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    {
      Session s(int(state.range(0)));
      state.ResumeTiming();
      s.Open();
      state.PauseTiming();
      s.Close();
    }
    state.ResumeTiming();
  }
}
BENCHMARK(BM_EditorOpenAt)->Arg(100)->Arg(150)->Arg(200)->Arg(300)->Unit(benchmark::kMillisecond);

void BM_FullRepaintAt(benchmark::State& state) {
  Session s(int(state.range(0)));
  s.Open();
  s.hl.Advance(1000);  // past every fade and first refresh
  auto* editor = static_cast<TVstTemplateEditor*>(static_cast<AudioEffect*>(s.record->object)->getEditor());
  TForm* form = editor->getForm();
  // Every control of the window, the container with its skinned controls and the status bar.
  std::vector<TControl*> controls;
  for (TComponent* component : form->Components())
    if (auto* c = dynamic_cast<TControl*>(component)) controls.push_back(c);
  for (auto _ : state) {
    form->Invalidate();
    for (TControl* c : controls) c->Invalidate();
    s.hl.Pump();
  }
  s.Close();
}
BENCHMARK(BM_FullRepaintAt)->Arg(100)->Arg(200)->Arg(300)->Unit(benchmark::kMicrosecond);

}  // namespace
