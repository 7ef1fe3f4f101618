#include "tests/win32/FormFx.h"

#include <algorithm>
#include <string>

#include "platform/Platform.h"
#include "ui/ClassRegistry.h"
#include "ui/Form.h"
#include "ui/FormClass.h"
#include "ui/StatusBar.h"
#include "ui/TypeInfo.h"
#include "vst/DVstEntry.h"
#include "vst/DVstTemplate.h"

namespace formfx {
namespace {

constexpr uintptr_t kRefreshTimer = 7;

// A windowless area filled in its colour up to `level` of its width, the rest in a darker shade,
// with its caption centred on top.
class TLevelPad : public TControl {
 public:
  explicit TLevelPad(TComponent* owner) : TControl(owner) { SetBounds(0, 0, 40, 20); }
  static const TClassInfo& StaticClass() {
    static const TClassInfo info = TClassBuilder<TLevelPad>("TLevelPad", &TControl::StaticClass()).Component().Build();
    return info;
  }
  const TClassInfo& ClassInfo() const override { return StaticClass(); }
  void SetLevel(float level) {
    if (level == level_) return;
    level_ = level;
    Invalidate();
  }
  void Paint(plat::DrawContext& ctx) override {
    const int split = int(float(Width()) * level_);
    ctx.FillRect({0, 0, split, Height()}, ColorToRGB(Color()));
    ctx.FillRect({split, 0, Width(), Height()}, (ColorToRGB(Color()) >> 2) & 0x3F3F3F);
    ctx.FrameRect({0, 0, Width(), Height()}, plat::MakeColor(255, 255, 255));
    if (Caption().empty()) return;
    plat::Rect r{0, 0, Width(), Height()};
    ctx.SetFont(Font().PlatformFont());
    ctx.SetTextColor(ColorToRGB(Font().Color()));
    ctx.DrawText(Caption(), &r, plat::kTextCenter | plat::kTextVCenter | plat::kTextSingleLine);
  }

 private:
  float level_ = 1.0f;
};

const char* kFormText = R"(object FormFxEditor: TFormFxEditor
  Left = 0
  Top = 0
  BorderStyle = bsNone
  ClientWidth = 300
  ClientHeight = 140
  Color = $00302010
  Font.Color = clWhite
  Font.Height = 11
  Font.Name = 'Tahoma'
  object Track: TLevelPad
    Left = 20
    Top = 20
    Width = 260
    Height = 24
    Color = $0000C0F0
  end
  object Pad: TLevelPad
    Left = 20
    Top = 60
    Width = 100
    Height = 30
    Caption = 'Flip'
    Color = $000000C0
    OnClick = PadClick
  end
  object Infos: TStatusBar
    Left = 0
    Top = 120
    Width = 300
    Height = 20
    Panels = <
      item
        Text = 'FormFx'
        Width = 80
      end
      item
        Width = -1
      end>
  end
end
)";

class TFormFxEditor : public TForm {
 public:
  explicit TFormFxEditor(TComponent* owner) : TForm(owner) {
    RegisterClass(TLevelPad::StaticClass());
    InitFromDescription(kFormText);
    track_ = static_cast<TLevelPad*>(FindComponent("Track"));
    pad_ = static_cast<TLevelPad*>(FindComponent("Pad"));
    track_->OnMouseDown = TMouseEvent(this, &TFormFxEditor::TrackDown);
    track_->OnMouseMove = TMouseMoveEvent(this, &TFormFxEditor::TrackMove);
    track_->OnMouseUp = TMouseEvent(this, &TFormFxEditor::TrackUp);
    track_->SetLevel(kInitialLevel);
    pad_->SetLevel(0.0f);
  }
  ~TFormFxEditor() override {
    if (WindowHandle()) plat::Platform().KillTimer(WindowHandle(), kRefreshTimer);
  }
  static const TClassInfo& StaticClass() {
    static const TClassInfo info = TClassBuilder<TFormFxEditor>("TFormFxEditor", &TForm::StaticClass())
                                       .Method("PadClick", &TFormFxEditor::PadClick)
                                       .Build();
    return info;
  }
  const TClassInfo& ClassInfo() const override { return StaticClass(); }

  void PadClick(TPersistent*) {
    if (effect_) effect_->setParameterAutomated(1, effect_->getParameter(1) > 0.5f ? 0.0f : 1.0f);
  }
  void TrackDown(TPersistent*, TMouseButton button, TShiftState, int x, int) {
    if (button != mbLeft) return;
    dragging_ = true;
    Follow(x);
  }
  void TrackMove(TPersistent*, TShiftState, int x, int) {
    if (dragging_) Follow(x);
  }
  void TrackUp(TPersistent*, TMouseButton button, TShiftState, int x, int) {
    if (button != mbLeft || !dragging_) return;
    Follow(x);
    dragging_ = false;
  }

  void WndProc(TMessage& m) override {
    if (m.msg == kMsgEffectAttach) {
      effect_ = reinterpret_cast<TVstTemplate*>(m.wParam);
      return;
    }
    if (m.msg == plat::kMsgTimer && m.wParam == kRefreshTimer) {
      if (effect_) {
        track_->SetLevel(effect_->getParameter(0));
        pad_->SetLevel(effect_->getParameter(1));
      }
      return;
    }
    TForm::WndProc(m);
  }

 protected:
  void CreateHandle() override {
    TForm::CreateHandle();
    if (WindowHandle()) plat::Platform().SetTimer(WindowHandle(), kRefreshTimer, 15);
  }

 private:
  void Follow(int x) {
    const float level = std::clamp(float(x) / float(track_->Width()), 0.0f, 1.0f);
    track_->SetLevel(level);
    if (effect_) effect_->setParameterAutomated(0, level);
  }

  TVstTemplate* effect_ = nullptr;
  TLevelPad* track_ = nullptr;
  TLevelPad* pad_ = nullptr;
  bool dragging_ = false;
};

const TFormClassInfo kFormClass{"TFormFxEditor", kWidth, kHeight, &CreateFormOf<TFormFxEditor>};

TVstTemplateIdentity Identity() {
  TVstTemplateIdentity id;
  id.uniqueIdString = "KTfx";
  id.effectName = "FormFx";
  id.vendorName = "Kestrune tests";
  id.productName = "KestruneFormFx";
  id.numInputs = 2;
  id.numOutputs = 2;
  id.effectFlagSet = TVstTemplate::kFlagCanReplacing;
  return id;
}

class TFormFx : public TVstTemplate {
 public:
  explicit TFormFx(audioMasterCallback host) : TVstTemplate(host, 1, 2, &kFormClass, Identity()) { initialize(); }
  void initialize() override {
    getParameterProperty(0)->setName("Level");
    getParameterProperty(1)->setName("Flip");
    setParameter(0, kInitialLevel);
    setParameter(1, 0.0f);
  }
  void processAudio(TArrayOfSingleArray& inputs, TArrayOfSingleArray& outputs, VstInt32 frames) override {
    for (std::size_t k = 0; k < outputs.size() && k < inputs.size(); ++k)
      for (VstInt32 i = 0; i < frames; ++i) outputs[k][i] = inputs[k][i] * getParameter(0);
  }
};

}  // namespace

AEffect* Create(audioMasterCallback host) noexcept { return vstentry::guarded(host, &vstentry::createEffect<TFormFx>); }

}  // namespace formfx
