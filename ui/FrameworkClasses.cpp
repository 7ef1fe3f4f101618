#include "ui/FrameworkClasses.h"

#include "ui/Component.h"
#include "ui/Form.h"
#include "ui/Panel.h"
#include "ui/StatusBar.h"
#include "ui/TypeInfo.h"

std::vector<const TClassInfo*> FrameworkClasses() {
  return {&TComponent::StaticClass(), &TForm::StaticClass(), &TPanel::StaticClass(), &TStatusBar::StaticClass()};
}
