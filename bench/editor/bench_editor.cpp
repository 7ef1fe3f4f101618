// The editor window on the headless platform, through the effect's dispatcher:
//   BM_EditorOpen     effEditOpen in a new effect until the first paint is on the screen
//                     (description read, four LZH decodes, first refresh and paint);
//   BM_EditorReopen   the same for an effect whose window was open before;
//   BM_IdleTick       one 15 ms refresh tick with nothing changed;
//   BM_DragStep       one pixel of a slider drag (value written, status bar, repaint);
//   BM_EditorOpenAt   BM_EditorOpen at 200 and 300 % (argument: percent);
//   BM_FullRepaintAt  every control invalidated and painted again, at 100, 200 and 300 %.
#include <benchmark/benchmark.h>

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

void OpenAt(benchmark::State& state, int percent) {
  for (auto _ : state) {
    state.PauseTiming();
    {
      Session s(percent);
      state.ResumeTiming();
      s.Open();
      state.PauseTiming();
      s.Close();
    }
    state.ResumeTiming();
  }
}
void BM_EditorOpen(benchmark::State& state) { OpenAt(state, 100); }
void BM_EditorOpenAt(benchmark::State& state) { OpenAt(state, int(state.range(0))); }
BENCHMARK(BM_EditorOpen)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EditorOpenAt)->Arg(200)->Arg(300)->Unit(benchmark::kMillisecond);

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

void BM_FullRepaintAt(benchmark::State& state) {
  Session s(int(state.range(0)));
  s.Open();
  s.hl.Advance(1000);  // past every fade and first refresh
  TForm* form = static_cast<TVstTemplateEditor*>(static_cast<AudioEffect*>(s.record->object)->getEditor())->getForm();
  for (auto _ : state) {
    form->Invalidate();
    for (TComponent* component : form->Components())
      if (auto* c = dynamic_cast<TControl*>(component)) c->Invalidate();
    s.hl.Pump();
  }
  s.Close();
}
BENCHMARK(BM_FullRepaintAt)->Arg(100)->Arg(200)->Arg(300)->Unit(benchmark::kMicrosecond);

}  // namespace
