#include "ui/FrameworkClasses.h"

#include "ui/Component.h"
#include "ui/TypeInfo.h"

std::vector<const TClassInfo*> FrameworkClasses() {
  return {&TComponent::StaticClass()};
}
