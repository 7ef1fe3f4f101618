// Control features: small pluggable behaviours attached to a skinned control through its
// DIBFeatures collection. A feature sees every message of the control before the control does and
// may mark it handled, which ends the dispatch and skips the control's generic handling.
//
// Contracts:
// - Feature classes are registered once, in order; lookup by name ignores case and searches from
//   the class registered last, so a later registration of a name wins. Each class is also put in
//   the generic class registry, so descriptions and FeatureClassName can create it by name.
// - An item's feature instance is created by setting FeatureClassName: the previous instance is
//   freed, the new one is owned by the control that owns the collection. An unknown name fails
//   with EFeatureError "<name> has not been registered" and leaves the item as it was.
// - In descriptions an item stores FeatureClassName, then the feature's settings as nested
//   properties ("Feature.SnapSize = 4"). While the control is being read its features are not yet
//   bound to it; FinishLoading binds them when the control has finished loading.
// - A feature whose handler throws: the error goes to the application's error handler, the
//   feature counts as not having handled the message, and the dispatch goes on.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "ui/Collection.h"
#include "ui/Component.h"
#include "ui/UIMessages.h"

class TControl;
class TCustomDIBControl;
class TDIBFeatureItem;

class TDIBFeature : public TComponent {
 public:
  explicit TDIBFeature(TComponent* owner);
  ~TDIBFeature() override;  // its item forgets it

  static const TClassInfo& StaticClass();
  const TClassInfo& ClassInfo() const override { return StaticClass(); }

  // The control it serves; null while unbound.
  TControl* Control() const { return control_; }
  void SetControl(TControl* control);

  // Virtual operations in slot order.
  virtual bool CanApplyTo(TControl* control) const;
  virtual std::string GetFeatureName() const;
  // Sees a message of the control first; setting `handled` ends the dispatch.
  virtual void HandleMessage(TMessage& message, bool& handled);

  // Copies the published settings of a feature of the same class (anything else is refused).
  void Assign(const TPersistent& source) override;

 protected:
  // The control changed (bound, unbound or rebound): forget state that belonged to the old one.
  virtual void ControlChanged() {}

 private:
  friend class TDIBFeatureItem;
  TControl* control_ = nullptr;
  TDIBFeatureItem* item_ = nullptr;
};

// --- Feature class registry
void RegisterFeature(const TClassInfo& featureClass);
// Null when no feature class of that name is registered.
const TClassInfo* FindFeatureClass(std::string_view name);
// Every registration, in order.
std::vector<const TClassInfo*> FeatureClasses();

class TDIBFeatures;

class TDIBFeatureItem : public TCollectionItem {
 public:
  explicit TDIBFeatureItem(TCollection* collection);
  ~TDIBFeatureItem() override;  // frees its feature

  // Published: Enabled (True), FeatureClassName, FeatureParameters, Feature (nested settings).
  static const TClassInfo& StaticClass();
  const TClassInfo& ClassInfo() const override { return StaticClass(); }

  bool Enabled() const { return enabled_; }
  void SetEnabled(bool value) { enabled_ = value; }
  const std::string& FeatureClassName() const { return featureClassName_; }
  void SetFeatureClassName(const std::string& value);
  // Free text kept with the item for the designer; the features do not read it.
  const std::string& FeatureParameters() const { return featureParameters_; }
  void SetFeatureParameters(const std::string& value) { featureParameters_ = value; }
  TDIBFeature* Feature() const { return feature_; }
  // Hands the item an instance made elsewhere (the item frees it; FeatureClassName becomes its
  // class name); null frees the current one.
  void SetFeature(TDIBFeature* feature);

  // The feature's name, or "DIB feature" without one.
  std::string DisplayName() const override;
  // Copies Enabled, FeatureClassName and the feature's settings.
  void Assign(const TPersistent& source) override;

  // After the owning control has been read from a description: binds the feature to it.
  virtual void FinishLoading();

 private:
  friend class TDIBFeature;
  friend class TDIBFeatures;
  TDIBFeatures* Features() const;
  // Frees the feature instance (if any) without touching the class name.
  void FreeFeature();
  // Binds the feature to the control, unless the control is still being read.
  void Bind();

  bool enabled_ = true;
  std::string featureClassName_;
  std::string featureParameters_;
  TDIBFeature* feature_ = nullptr;
};

class TDIBFeatures : public TCollection {
 public:
  // `control` owns the collection and the features' instances; it may be null (features unbound).
  explicit TDIBFeatures(TCustomDIBControl* control);

  TCustomDIBControl* Control() const { return control_; }
  TDIBFeatureItem* Items(int index) const { return static_cast<TDIBFeatureItem*>(Item(index)); }

  // Offers the message to every enabled item with a feature, in order; true when one handled it.
  bool HandleMessage(TMessage& message);
  // After the control has been read: lets every item finish loading.
  void FinishLoading();

 private:
  TCustomDIBControl* control_;
};

// Makes the standard features known (feature registry and class registry); calling again is harmless.
void RegisterStandardFeatures();
