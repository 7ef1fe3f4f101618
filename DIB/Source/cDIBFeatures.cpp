#include "DIB/Source/cDIBFeatures.h"

#include <algorithm>
#include <mutex>

#include "DIB/Source/DIBErrors.h"
#include "DIB/Source/cDIBControl.h"
#include "ui/Application.h"
#include "ui/ClassRegistry.h"
#include "ui/Control.h"
#include "ui/TypeInfo.h"

// ---- registry ---------------------------------------------------------------------------------

namespace {
struct FeatureRegistry {
  std::mutex lock;
  std::vector<const TClassInfo*> classes;
};

FeatureRegistry& Registry() {
  static FeatureRegistry r;
  return r;
}
}  // namespace

void RegisterFeature(const TClassInfo& featureClass) {
  {
    FeatureRegistry& r = Registry();
    std::lock_guard<std::mutex> g(r.lock);
    if (std::find(r.classes.begin(), r.classes.end(), &featureClass) == r.classes.end())
      r.classes.push_back(&featureClass);
  }
  RegisterClass(featureClass);
}

const TClassInfo* FindFeatureClass(std::string_view name) {
  FeatureRegistry& r = Registry();
  std::lock_guard<std::mutex> g(r.lock);
  for (auto it = r.classes.rbegin(); it != r.classes.rend(); ++it)
    if (SameText((*it)->Name, name)) return *it;
  return nullptr;
}

std::vector<const TClassInfo*> FeatureClasses() {
  FeatureRegistry& r = Registry();
  std::lock_guard<std::mutex> g(r.lock);
  return r.classes;
}

// ---- feature ----------------------------------------------------------------------------------

TDIBFeature::TDIBFeature(TComponent* owner) : TComponent(owner) {}

TDIBFeature::~TDIBFeature() {
  if (item_) item_->feature_ = nullptr;
}

void TDIBFeature::SetControl(TControl* control) {
  if (control == control_) return;
  control_ = control;
  ControlChanged();
}

bool TDIBFeature::CanApplyTo(TControl* /*control*/) const { return true; }

std::string TDIBFeature::GetFeatureName() const { return "Unknown feature"; }

void TDIBFeature::HandleMessage(TMessage& /*message*/, bool& /*handled*/) {}

void TDIBFeature::Assign(const TPersistent& source) {
  if (&source == this) return;
  if (&source.ClassInfo() != &ClassInfo()) return TComponent::Assign(source);
  for (const TPropInfo* p : ClassInfo().AllProps()) {
    switch (p->Kind) {
      case TPropKind::Integer:
      case TPropKind::Boolean:
      case TPropKind::Enum:
      case TPropKind::Set:
      case TPropKind::Color: p->SetOrd(*this, p->GetOrd(source)); break;
      case TPropKind::Float: p->SetFloat(*this, p->GetFloat(source)); break;
      case TPropKind::String: p->SetString(*this, p->GetString(source)); break;
      default: break;  // features publish plain settings only
    }
  }
}

const TClassInfo& TDIBFeature::StaticClass() {
  static const TClassInfo info = TClassBuilder<TDIBFeature>("TDIBFeature", &TComponent::StaticClass()).Build();
  return info;
}

// ---- item -------------------------------------------------------------------------------------

TDIBFeatureItem::TDIBFeatureItem(TCollection* collection) : TCollectionItem(collection) {}

TDIBFeatureItem::~TDIBFeatureItem() { FreeFeature(); }

TDIBFeatures* TDIBFeatureItem::Features() const { return dynamic_cast<TDIBFeatures*>(Collection()); }

void TDIBFeatureItem::FreeFeature() {
  TDIBFeature* old = feature_;
  feature_ = nullptr;
  if (old) {
    old->item_ = nullptr;
    TComponent::Free(old);
  }
}

void TDIBFeatureItem::SetFeature(TDIBFeature* feature) {
  if (feature == feature_) return;
  FreeFeature();
  featureClassName_ = feature ? std::string(feature->ClassName()) : std::string();
  if (!feature) return;
  if (feature->item_) feature->item_->feature_ = nullptr;
  feature->item_ = this;
  feature_ = feature;
  Bind();
}

void TDIBFeatureItem::Bind() {
  TControl* control = Features() ? Features()->Control() : nullptr;
  // A control being read binds its features when it has finished loading.
  if (feature_ && control && !control->Loading()) feature_->SetControl(control);
}

void TDIBFeatureItem::FinishLoading() {
  if (feature_) feature_->SetControl(Features() ? Features()->Control() : nullptr);
}

void TDIBFeatureItem::SetFeatureClassName(const std::string& value) {
  const TClassInfo* cls = nullptr;
  if (!value.empty()) {
    cls = FindFeatureClass(value);
    if (!cls || !cls->CreateComponent) throw EFeatureError(value + " has not been registered");
  }
  FreeFeature();
  featureClassName_ = value;
  if (!cls) return;
  TDIBFeatures* features = Features();
  TControl* control = features ? features->Control() : nullptr;
  TComponent* made = cls->CreateComponent(control);
  auto* feature = dynamic_cast<TDIBFeature*>(made);
  if (!feature) {
    TComponent::Free(made);
    throw EFeatureError(value + " has not been registered");
  }
  feature->item_ = this;
  feature_ = feature;
  Bind();
}

std::string TDIBFeatureItem::DisplayName() const { return feature_ ? feature_->GetFeatureName() : "DIB feature"; }

void TDIBFeatureItem::Assign(const TPersistent& source) {
  auto* item = dynamic_cast<const TDIBFeatureItem*>(&source);
  if (!item) return TCollectionItem::Assign(source);
  if (item == this) return;
  enabled_ = item->enabled_;
  SetFeatureClassName(item->featureClassName_);
  featureParameters_ = item->featureParameters_;
  if (feature_ && item->feature_) feature_->Assign(*item->feature_);
}

const TClassInfo& TDIBFeatureItem::StaticClass() {
  using T = TDIBFeatureItem;
  static const TClassInfo info = TClassBuilder<T>("TDIBFeatureItem", &TCollectionItem::StaticClass())
                                     .Item()
                                     .Bool("Enabled", &T::Enabled, &T::SetEnabled, true)
                                     .String("FeatureClassName", &T::FeatureClassName, &T::SetFeatureClassName)
                                     .String("FeatureParameters", &T::FeatureParameters, &T::SetFeatureParameters)
                                     .Object("Feature", [](const T& t) -> TPersistent* { return t.Feature(); })
                                     .Build();
  return info;
}

// ---- collection -------------------------------------------------------------------------------

TDIBFeatures::TDIBFeatures(TCustomDIBControl* control)
    : TCollection(control, TDIBFeatureItem::StaticClass()), control_(control) {
  SetPropName("DIBFeatures");
}

bool TDIBFeatures::HandleMessage(TMessage& message) {
  // By position, the count re-read every step: a handler may change the list.
  for (int i = 0; i < Count(); ++i) {
    TDIBFeatureItem* item = Items(i);
    TDIBFeature* feature = item->Feature();
    if (!item->Enabled() || !feature) continue;
    bool handled = false;
    try {
      feature->HandleMessage(message, handled);
    } catch (...) {
      Application().HandleException(feature);
      handled = false;
    }
    if (handled) return true;
  }
  return false;
}

void TDIBFeatures::FinishLoading() {
  for (int i = 0; i < Count(); ++i) Items(i)->FinishLoading();
}
