#include "ui/Persistent.h"

#include <string>

#include "ui/Errors.h"
#include "ui/TypeInfo.h"

const TClassInfo& TPersistent::StaticClass() {
  static const TClassInfo info = TClassBuilder<TPersistent>("TPersistent", nullptr).Build();
  return info;
}

std::string_view TPersistent::ClassName() const { return ClassInfo().Name; }

bool TPersistent::InheritsFrom(const TClassInfo& cls) const { return ClassInfo().InheritsFrom(cls); }

void TPersistent::Assign(const TPersistent& source) {
  throw EConvertError("Cannot assign a " + std::string(source.ClassName()) + " to a " + std::string(ClassName()));
}

std::string TPersistent::NamePath() const { return std::string(ClassName()); }
