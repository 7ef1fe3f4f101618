// The editor window on the headless platform, through the effect's dispatcher:
//   BM_EditorOpen     effEditOpen in a new effect until the first paint is on the screen
//                     (description read, four LZH decodes, first refresh and paint);
//   BM_EditorReopen   the same for an effect whose window was open before;
//   BM_IdleTick       one 15 ms refresh tick with nothing changed;
//   BM_DragStep       one pixel of a slider drag (value written, status bar, repaint).
#include <benchmark/benchmark.h>

#include "editor/uEditor.h"
#include "platform/headless/Headless.h"
#include "plugin/KestruneEn.h"
#include "vst/DVstTemplate.h"

namespace {

VstIntPtr VSTCALLBACK Host(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
  return opcode == audioMasterVersion ? 2400 : 0;
}

struct Session {
  plat::headless::HeadlessBackend& hl = plat::headless::InstallHeadless();
  AEffect* record = createKestruneEn(&Host, &kPluginEditorwindowClass);
  plat::WindowHandle host = nullptr;

  Session() {
    KestruneHostWindow w{0, 0, 415, 218, nullptr};
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

}  // namespace
