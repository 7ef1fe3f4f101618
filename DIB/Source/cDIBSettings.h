#pragma once
// The settings component a window description carries: it chooses the codec used when images are
// saved. Only the last one read or changed counts; destroying one leaves no active codec.
#include <string>

#include "ui/Component.h"
#include "ui/TypeInfo.h"

class TDIBSettings : public TComponent {
 public:
  explicit TDIBSettings(TComponent* owner);
  ~TDIBSettings() override;

  static const TClassInfo& StaticClass();
  const TClassInfo& ClassInfo() const override { return StaticClass(); }

  // GUID text of the active codec ("{BC0C10FC-E045-41E7-A37C-B86AF21320B8}"), empty for none.
  std::string GetDIBCompressor() const;
  // A text that names no registered codec (exact, case-sensitive) silently leaves none active.
  void SetDIBCompressor(const std::string& guidText);
};
