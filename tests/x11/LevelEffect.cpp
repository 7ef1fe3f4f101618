#include "tests/x11/LevelEffect.h"

#include <algorithm>
#include <cmath>

#include "ui/ClassRegistry.h"
#include "ui/FormClass.h"
#include "ui/StatusBar.h"
#include "ui/TypeInfo.h"

namespace leveltest {

std::vector<std::string>* gTrace = nullptr;

namespace {

constexpr uintptr_t kRefreshTimer = 7;

const char* kFormText = R"(object LevelEditor: TLevelEditor
  Left = 0
  Top = 0
  BorderStyle = bsNone
  ClientWidth = 240
  ClientHeight = 120
  Color = $00503010
  Font.Color = clWhite
  Font.Height = 11
  Font.Name = 'Tahoma'
  object Bar: TLevelBar
    Left = 20
    Top = 10
    Width = 40
    Height = 80
  end
  object Infos: TStatusBar
    Left = 0
    Top = 100
    Width = 240
    Height = 20
    Panels = <
      item
        Width = 120
      end
      item
        Text = 'X11'
        Width = 100
      end>
  end
end
)";

const TFormClassInfo kLevelEditorClass{"TLevelEditor", 240, 120, &CreateFormOf<TLevelEditor>};

TVstTemplateIdentity Identity() {
  TVstTemplateIdentity id;
  id.uniqueIdString = "KTx1";
  id.effectName = "X11Test";
  return id;
}

}  // namespace

TLevelBar::TLevelBar(TComponent* owner) : TControl(owner) { SetBounds(0, 0, 40, 80); }

const TClassInfo& TLevelBar::StaticClass() {
  static const TClassInfo info = TClassBuilder<TLevelBar>("TLevelBar", &TControl::StaticClass()).Component().Build();
  return info;
}

void TLevelBar::SetLevel(float v) {
  level = v;
  Invalidate();
}

void TLevelBar::Paint(plat::DrawContext& ctx) {
  ctx.FillRect({0, 0, Width(), Height()}, kTrackColor);
  const int filled = int(std::lround(level * float(Height())));
  ctx.FillRect({0, Height() - filled, Width(), Height()}, kLevelColor);
}

void TLevelBar::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  TControl::MouseDown(button, shift, x, y);
  if (button == mbLeft) Drag(y);
}

void TLevelBar::MouseMove(TShiftState shift, int x, int y) {
  TControl::MouseMove(shift, x, y);
  if (shift & ssLeft) Drag(y);
  if (shift & ssShift) ++shiftedMoves;
}

void TLevelBar::Drag(int y) {
  SetLevel(std::clamp(1.0f - float(y) / float(Height() - 1), 0.0f, 1.0f));
  if (onChange) onChange(level);
}

TLevelEditor::TLevelEditor(TComponent* owner) : TForm(owner) {
  RegisterClass(TLevelBar::StaticClass());
  InitFromDescription(kFormText);
  bar = static_cast<TLevelBar*>(FindComponent("Bar"));
  bar->onChange = [this](float v) {
    if (effect) effect->setParameterAutomated(0, v);
  };
}

TLevelEditor::~TLevelEditor() {
  if (WindowHandle()) plat::Platform().KillTimer(WindowHandle(), kRefreshTimer);
}

const TClassInfo& TLevelEditor::StaticClass() {
  static const TClassInfo info = TClassBuilder<TLevelEditor>("TLevelEditor", &TForm::StaticClass()).Build();
  return info;
}

void TLevelEditor::WndProc(TMessage& m) {
  if (m.msg == kMsgEffectAttach) {
    effect = reinterpret_cast<TVstTemplate*>(m.wParam);
    if (gTrace) gTrace->push_back("attach");
    return;
  }
  if (m.msg == plat::kMsgTimer && m.wParam == kRefreshTimer) {
    if (effect && effect->isChanged()) {
      effect->clearChanged();
      const float v = effect->getParameter(0);
      bar->SetLevel(v);
      static_cast<TStatusBar*>(FindComponent("Infos"))
          ->Panels()
          .Panel(0)
          ->SetText("Level " + std::to_string(int(std::lround(v * 100))));
    }
    return;
  }
  TForm::WndProc(m);
}

void TLevelEditor::CreateHandle() {
  TForm::CreateHandle();
  if (WindowHandle()) plat::Platform().SetTimer(WindowHandle(), kRefreshTimer, 15);
}

TLevelEffect::TLevelEffect(audioMasterCallback host) : TVstTemplate(host, 1, 1, &kLevelEditorClass, Identity()) {
  initialize();
}

}  // namespace leveltest
