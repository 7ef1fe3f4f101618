// The static image: one picture of an image list, optionally rotated, scaled, stretched to the
// control or centred in it. It draws through the list's hand-out image, so its settings never
// reach the stored picture that other controls may show too.
#pragma once

#include "DIB/Source/cDIBControl.h"

class TCustomDIBImage : public TCustomDIBControl {
 public:
  explicit TCustomDIBImage(TComponent* owner);

  static const TClassInfo& StaticClass();
  const TClassInfo& ClassInfo() const override { return StaticClass(); }

  long double Angle() const { return angle_; }
  void SetAngle(long double v);  // kept in [0, 360)
  bool Center() const { return center_; }
  void SetCenter(bool v);
  TDIBImageLink* IndexMain() const { return indexMain_; }
  long double Scale() const { return scale_; }
  void SetScale(long double v);  // also ends Stretch
  bool Stretch() const { return stretch_; }
  void SetStretch(bool v);  // true ends AutoSize

  void ImageChanged(int index, TDIBImageChange kind) override;
  void Paint() override;

 protected:
  // The rotated and scaled bounds of the picture; refused without a picture.
  bool CanAutoSize(int& newWidth, int& newHeight) override;

 private:
  long double angle_ = 0;
  bool center_ = false;
  TDIBImageLink* indexMain_ = nullptr;
  long double scale_ = 100;
  bool stretch_ = false;
};

class TDIBImage : public TCustomDIBImage {
 public:
  // Registers the published settings and IndexMain as template properties.
  explicit TDIBImage(TComponent* owner);
  static const TClassInfo& StaticClass();
  const TClassInfo& ClassInfo() const override { return StaticClass(); }
};
