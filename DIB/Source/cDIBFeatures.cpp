#include "DIB/Source/cDIBFeatures.h"

#include "DIB/Source/cDIBControl.h"
#include "ui/TypeInfo.h"

TDIBFeature::TDIBFeature(TComponent* owner) : TComponent(owner) {}

const TClassInfo& TDIBFeature::StaticClass() {
  static const TClassInfo info = TClassBuilder<TDIBFeature>("TDIBFeature", &TComponent::StaticClass()).Build();
  return info;
}

bool TDIBFeature::CanApplyTo(TControl* /*control*/) const { return true; }
std::string TDIBFeature::GetFeatureName() const { return "Unknown feature"; }
void TDIBFeature::HandleMessage(TMessage& /*message*/, bool& /*handled*/) {}

TDIBFeatureItem::TDIBFeatureItem(TCollection* collection) : TCollectionItem(collection) {}

TDIBFeatureItem::~TDIBFeatureItem() = default;

const TClassInfo& TDIBFeatureItem::StaticClass() {
  using T = TDIBFeatureItem;
  static const TClassInfo info = TClassBuilder<T>("TDIBFeatureItem", &TCollectionItem::StaticClass())
                                     .Item()
                                     .Bool("Enabled", &T::Enabled, &T::SetEnabled, true)
                                     .Build();
  return info;
}

std::string TDIBFeatureItem::DisplayName() const { return feature_ ? feature_->GetFeatureName() : "DIB feature"; }

TDIBFeatures::TDIBFeatures(TCustomDIBControl* control)
    : TCollection(control, TDIBFeatureItem::StaticClass()), control_(control) {
  SetPropName("DIBFeatures");
}

bool TDIBFeatures::HandleMessage(TMessage& message) {
  bool handled = false;
  // By position, re-checked every step: a feature may change the list.
  for (int i = 0; i < Count() && !handled; ++i) {
    TDIBFeatureItem* item = Items(i);
    if (item->Enabled() && item->Feature()) item->Feature()->HandleMessage(message, handled);
  }
  return handled;
}

void TDIBFeatures::FinishLoading() {
  for (int i = 0; i < Count(); ++i) Items(i)->FinishLoading();
}
