// Forms read from and written to descriptions: controls nest under their parents, fonts follow
// their parents unless set, defaults stay out of the text, events bind to the form's handlers.
#include <gtest/gtest.h>

#include "platform/headless/Headless.h"
#include "ui/Description.h"
#include "ui/Errors.h"
#include "ui/Form.h"
#include "ui/Panel.h"
#include "ui/StatusBar.h"
#include "ui/TypeInfo.h"

namespace {

const char* kText = R"(object Sample: TSampleForm
  Left = 0
  Top = 0
  Caption = 'Sample'
  Color = clBackground
  Font.Color = clWhite
  Font.Height = 11
  Font.Name = 'MS Sans Serif'
  BorderStyle = bsNone
  ClientWidth = 415
  ClientHeight = 218
  OnCreate = FormCreate
  object Back: TPanel
    Left = 0
    Top = 0
    Width = 415
    Height = 200
    ParentColor = True
    BevelOuter = bvNone
    OnClick = BackClick
    object Inner: TPanel
      Left = 10
      Top = 10
      Width = 100
      Height = 50
      Caption = 'Inner'
      ParentFont = False
      Font.Color = clBlack
      Font.Height = 11
      Font.Name = 'Tahoma'
    end
  end
  object Infos: TStatusBar
    Left = 0
    Top = 200
    Width = 415
    Height = 18
    Color = clMenuBar
    Panels = <
      item
        Width = 40
      end
      item
        Text = 'Info'
        Width = 200
      end>
  end
end
)";

class TSampleForm : public TForm {
 public:
  explicit TSampleForm(TComponent* owner) : TForm(owner) {}
  static const TClassInfo& StaticClass() {
    static const TClassInfo info = TClassBuilder<TSampleForm>("TSampleForm", &TForm::StaticClass())
                                       .Method("FormCreate", &TSampleForm::FormCreate)
                                       .Method("BackClick", &TSampleForm::BackClick)
                                       .Build();
    return info;
  }
  const TClassInfo& ClassInfo() const override { return StaticClass(); }
  void Read(const std::string& text) { InitFromDescription(text); }
  void FormCreate(TPersistent*) { ++creates; }
  void BackClick(TPersistent*) { ++clicks; }
  int creates = 0, clicks = 0;
};

class FormDescription : public ::testing::Test {
 protected:
  void SetUp() override { plat::headless::InstallHeadless(); }
  void TearDown() override { plat::InstallBackend(nullptr); }
};

}  // namespace

TEST_F(FormDescription, ReadsTheTreeAndWritesItBackUnchanged) {
  TSampleForm form(nullptr);
  form.Read(kText);
  EXPECT_EQ(form.creates, 1);
  EXPECT_EQ(form.ClientWidth(), 415);
  EXPECT_EQ(form.DesignHeight(), 218);
  auto* back = static_cast<TPanel*>(form.FindComponent("Back"));
  auto* inner = static_cast<TPanel*>(form.FindComponent("Inner"));
  auto* infos = static_cast<TStatusBar*>(form.FindComponent("Infos"));
  ASSERT_TRUE(back && inner && infos);
  EXPECT_EQ(back->Parent(), &form);
  EXPECT_EQ(inner->Parent(), back);
  EXPECT_EQ(inner->Owner(), &form);
  // Fonts and colours follow the parent unless the description sets them.
  EXPECT_EQ(back->Font().Name(), "MS Sans Serif");
  EXPECT_EQ(back->Font().Color(), clWhite);
  EXPECT_EQ(inner->Font().Name(), "Tahoma");
  EXPECT_EQ(back->Color(), clBackground);
  EXPECT_EQ(infos->Panels().Panel(1)->Text(), "Info");
  back->Click();
  EXPECT_EQ(form.clicks, 1);

  std::string written = WriteDescription(form);
  EXPECT_EQ(written, kText);
}

TEST_F(FormDescription, ChangesAfterReadingShowInTheWrittenText) {
  TSampleForm form(nullptr);
  form.Read(kText);
  auto* back = static_cast<TPanel*>(form.FindComponent("Back"));
  back->SetParentFont(false);
  back->Font().SetHeight(14);
  back->SetVisible(false);
  std::string written = WriteDescription(form);
  EXPECT_NE(written.find("    Font.Height = 14\n"), std::string::npos);
  EXPECT_NE(written.find("    ParentFont = False\n"), std::string::npos);
  EXPECT_NE(written.find("    Visible = False\n"), std::string::npos);

  TSampleForm again(nullptr);
  again.Read(written);
  EXPECT_EQ(WriteDescription(again), written);
}

TEST_F(FormDescription, AFailedReadLeavesTheFormEmpty) {
  std::string broken = kText;
  broken.replace(broken.find("bvNone"), 6, "bvWavy");
  TSampleForm form(nullptr);
  try {
    form.Read(broken);
    FAIL();
  } catch (const EDescriptionError& e) {
    EXPECT_EQ(e.Where(), "Sample.Back.BevelOuter");
    EXPECT_EQ(e.Line(), 19);
  }
  EXPECT_EQ(form.ComponentCount(), 0);
  EXPECT_EQ(form.ControlCount(), 0);
  EXPECT_EQ(form.creates, 0);
}

TEST_F(FormDescription, TabOrderReadBeforeItsSiblingsIsAppliedAfterLoading) {
  const char* text = R"(object Sample: TSampleForm
  object First: TPanel
    TabOrder = 1
    TabStop = True
  end
  object Second: TPanel
    TabOrder = 0
    TabStop = True
  end
end
)";
  TSampleForm form(nullptr);
  form.Read(text);
  auto* first = static_cast<TWinControl*>(form.FindComponent("First"));
  auto* second = static_cast<TWinControl*>(form.FindComponent("Second"));
  EXPECT_EQ(first->TabOrder(), 1);
  EXPECT_EQ(second->TabOrder(), 0);
  std::string written = WriteDescription(form);
  EXPECT_NE(written.find("TabOrder = 1"), std::string::npos);
  TSampleForm again(nullptr);
  again.Read(written);
  EXPECT_EQ(static_cast<TWinControl*>(again.FindComponent("First"))->TabOrder(), 1);
}
