#include "DIB/Source/cDIBSettings.h"

#include "DIB/Source/cDIBCompressor.h"

TDIBSettings::TDIBSettings(TComponent* owner) : TComponent(owner) {}

TDIBSettings::~TDIBSettings() { SetActiveCompressor(nullptr); }

const TClassInfo& TDIBSettings::StaticClass() {
  static const TClassInfo info =
      TClassBuilder<TDIBSettings>("TDIBSettings", &TComponent::StaticClass())
          .Component()
          .String("DIBCompressor", &TDIBSettings::GetDIBCompressor, &TDIBSettings::SetDIBCompressor)
          .Build();
  return info;
}

std::string TDIBSettings::GetDIBCompressor() const {
  const TAbstractDIBCompressor* codec = ActiveCompressor();
  return codec ? codec->GetGUID().ToString() : std::string();
}

void TDIBSettings::SetDIBCompressor(const std::string& guidText) { SetActiveCompressor(FindCompressor(guidText)); }
