// Pluggable behaviours of a skinned control. A control owns one TDIBFeatures collection; each item
// may hold a feature, which sees every message of the control before the control does and may mark
// it handled (the control then skips its generic handling, but still runs its own tracking).
#pragma once

#include "ui/Collection.h"
#include "ui/Component.h"
#include "ui/UIMessages.h"

class TControl;
class TCustomDIBControl;

// The base of every feature: a component bound to the control it serves.
class TDIBFeature : public TComponent {
 public:
  explicit TDIBFeature(TComponent* owner);

  static const TClassInfo& StaticClass();
  const TClassInfo& ClassInfo() const override { return StaticClass(); }

  TControl* Control() const { return control_; }
  void SetControl(TControl* control) { control_ = control; }

  // Whether the feature may serve `control` (the base: any control).
  virtual bool CanApplyTo(TControl* control) const;
  virtual std::string GetFeatureName() const;  // "Unknown feature"
  // Sees a message of the control first; sets `handled` to keep it from the generic handling.
  virtual void HandleMessage(TMessage& message, bool& handled);

 private:
  TControl* control_ = nullptr;
};

class TDIBFeatureItem : public TCollectionItem {
 public:
  explicit TDIBFeatureItem(TCollection* collection);
  ~TDIBFeatureItem() override;

  static const TClassInfo& StaticClass();
  const TClassInfo& ClassInfo() const override { return StaticClass(); }

  bool Enabled() const { return enabled_; }
  void SetEnabled(bool v) { enabled_ = v; }
  // The feature this item holds (owned by the control that owns the collection); null for none.
  TDIBFeature* Feature() const { return feature_; }
  void SetFeature(TDIBFeature* feature) { feature_ = feature; }
  std::string DisplayName() const override;  // the feature's name, else "DIB feature"

  // After the owning control has been read from a description.
  virtual void FinishLoading() {}

 private:
  bool enabled_ = true;
  TDIBFeature* feature_ = nullptr;
};

class TDIBFeatures : public TCollection {
 public:
  explicit TDIBFeatures(TCustomDIBControl* control);

  TCustomDIBControl* Control() const { return control_; }
  TDIBFeatureItem* Items(int index) const { return static_cast<TDIBFeatureItem*>(Item(index)); }

  // Offers the message to every enabled item with a feature, in order, until one marks it
  // handled; answers whether one did.
  bool HandleMessage(TMessage& message);
  // Lets every item finish what it held back while the control was being read.
  void FinishLoading();

 private:
  TCustomDIBControl* control_;
};
