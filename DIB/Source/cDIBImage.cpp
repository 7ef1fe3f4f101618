#include "DIB/Source/cDIBImage.h"

#include "ui/TypeInfo.h"

const TClassInfo& TCustomDIBImage::StaticClass() {
  using T = TCustomDIBImage;
  static const TClassInfo info = TClassBuilder<T>("TCustomDIBImage", &TCustomDIBControl::StaticClass()).Build();
  return info;
}

const TClassInfo& TDIBImage::StaticClass() {
  using T = TDIBImage;
  // None of these declares a default: all are always stored.
  static const TClassInfo info = TClassBuilder<T>("TDIBImage", &TCustomDIBImage::StaticClass())
                                     .Component()
                                     .Float("Angle", &T::Angle, &T::SetAngle)
                                     .Bool("AutoSize", &T::AutoSize, &T::SetAutoSize)
                                     .Bool("Center", &T::Center, &T::SetCenter)
                                     .Object("IndexMain", &T::IndexMain)
                                     .Float("Scale", &T::Scale, &T::SetScale)
                                     .Bool("Stretch", &T::Stretch, &T::SetStretch)
                                     .Build();
  return info;
}

TCustomDIBImage::TCustomDIBImage(TComponent* owner) : TCustomDIBControl(owner) {
  indexMain_ = AddImageLink();
  for (const char* name : {"Angle", "AutoSize", "Center", "Opacity", "Scale", "Stretch"})
    if (ClassInfo().FindProp(name)) RegisterTemplateProperty(name);
}

TDIBImage::TDIBImage(TComponent* owner) : TCustomDIBImage(owner) {
  // Only here does ClassInfo() name the class that publishes them.
  for (const char* name : {"Angle", "AutoSize", "Center", "IndexMain", "Scale", "Stretch"})
    RegisterTemplateProperty(name);
}

void TCustomDIBImage::SetAngle(long double v) {
  // One remainder, not repeated steps of 360: a huge angle read from a description would never get
  // below 360 that way.
  angle_ = DIBNormalAngle(v);
  AdjustSize();
  Invalidate();
}

void TCustomDIBImage::SetScale(long double v) {
  DIBCheckScale(v);
  scale_ = v;
  SetStretch(false);
  AdjustSize();
  Invalidate();
}

void TCustomDIBImage::SetCenter(bool v) {
  if (v == center_) return;
  center_ = v;
  AdjustSize();
  Invalidate();
}

void TCustomDIBImage::SetStretch(bool v) {
  stretch_ = v;
  if (v) SetAutoSize(false);
  Invalidate();
}

void TCustomDIBImage::ImageChanged(int index, TDIBImageChange /*kind*/) {
  if (index != indexMain_->DIBIndex()) return;
  AdjustSize();
  Invalidate();
}

bool TCustomDIBImage::CanAutoSize(int& newWidth, int& newHeight) {
  TAbstractSuperDIB* picture = nullptr;
  if (!indexMain_->IsValid() || !indexMain_->GetImage(picture)) return false;
  DIBRotatedBounds(picture->Width(), picture->Height(), scale_, scale_, angle_, newWidth, newHeight);
  return true;
}

void TCustomDIBImage::Paint() {
  TCustomDIBControl::Paint();
  TAbstractSuperDIB* picture = nullptr;
  TWinDIB* target = ControlDIB();
  if (!target || !indexMain_->GetImage(picture)) return;
  // The hand-out carries the stored settings afresh at every hand-out: setting ours on it leaves
  // the stored picture as it is.
  picture->SetAutoSize(true);
  picture->SetAngle(angle_);
  picture->SetScale(scale_);
  if (stretch_) {
    picture->SetScaleX(static_cast<long double>(Width()) * 100 / picture->Width());
    picture->SetScaleY(static_cast<long double>(Height()) * 100 / picture->Height());
  }
  int boundsWidth = 0, boundsHeight = 0;
  DIBRotatedBounds(picture->Width(), picture->Height(), picture->ScaleX(), picture->ScaleY(), angle_, boundsWidth,
                   boundsHeight);
  int x = 0, y = 0;
  if (center_ && !AutoSize()) {
    x = Width() / 2 - boundsWidth / 2;
    y = Height() / 2 - boundsHeight / 2;
  }
  picture->Draw(x, y, picture->Width(), picture->Height(), target);
}
