// An image border for a container: four edges, each drawn from a start, a middle and an end picture
// of an image list. The middle picture is tiled (each copy cut to what remains) or stretched over
// the length between start and end.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "DIB/Source/cDIBImageList.h"
#include "platform/Types.h"
#include "ui/Component.h"

class TCustomDIBContainer;
class TDIBBorder;

enum TDIBBorderSide : std::uint8_t { bsLeftEdge, bsRightEdge, bsTopEdge, bsBottomEdge };
enum TDIBBorderDrawStyle : std::uint8_t { dsTile = 0, dsStretch = 1 };

class TDIBBorderEdge : public TPersistent {
 public:
  TDIBBorderEdge(TDIBBorder* border, TDIBBorderSide side);
  ~TDIBBorderEdge() override;

  static const TClassInfo& StaticClass();
  const TClassInfo& ClassInfo() const override { return StaticClass(); }

  TDIBBorderSide Side() const { return side_; }
  bool Vertical() const { return side_ == bsLeftEdge || side_ == bsRightEdge; }
  // Start (top or left), middle and end (bottom or right) pictures.
  TDIBImageLink* Start() const { return start_.get(); }
  TDIBImageLink* Middle() const { return middle_.get(); }
  TDIBImageLink* End() const { return end_.get(); }
  TDIBBorderDrawStyle DrawStyle() const { return drawStyle_; }
  void SetDrawStyle(TDIBBorderDrawStyle v);
  bool AutoCalcSize() const { return autoCalcSize_; }
  void SetAutoCalcSize(bool v);
  // The computed size with AutoCalcSize, else the stored one.
  int Size() const { return autoCalcSize_ ? ComputedSize() : size_; }
  void SetSize(int v);
  // The largest width (vertical edges) or height (horizontal ones) among the valid pictures.
  int ComputedSize() const;
  // Draws the edge onto `target` within `rect`.
  void Draw(TAbstractSuperDIB* target, const plat::Rect& rect) const;
  void SetDIBImageList(TCustomDIBImageList* list);

 private:
  void Changed();

  TDIBBorder* border_;
  TDIBBorderSide side_;
  std::unique_ptr<TDIBImageLink> start_, middle_, end_;
  TDIBBorderDrawStyle drawStyle_ = dsTile;
  bool autoCalcSize_ = true;
  int size_ = 32;
};

class TDIBVertBorderEdge : public TDIBBorderEdge {
 public:
  using TDIBBorderEdge::TDIBBorderEdge;
  static const TClassInfo& StaticClass();  // ImageTop, ImageMiddle, ImageBottom
  const TClassInfo& ClassInfo() const override { return StaticClass(); }
};

class TDIBHorzBorderEdge : public TDIBBorderEdge {
 public:
  using TDIBBorderEdge::TDIBBorderEdge;
  static const TClassInfo& StaticClass();  // ImageLeft, ImageMiddle, ImageRight
  const TClassInfo& ClassInfo() const override { return StaticClass(); }
};

class TDIBBorder : public TComponent {
 public:
  explicit TDIBBorder(TComponent* owner);
  ~TDIBBorder() override;

  static const TClassInfo& StaticClass();
  const TClassInfo& ClassInfo() const override { return StaticClass(); }

  TDIBVertBorderEdge* BorderLeft() const { return left_.get(); }
  TDIBVertBorderEdge* BorderRight() const { return right_.get(); }
  TDIBHorzBorderEdge* BorderTop() const { return top_.get(); }
  TDIBHorzBorderEdge* BorderBottom() const { return bottom_.get(); }
  TCustomDIBImageList* DIBImageList() const { return dibImageList_; }
  void SetDIBImageList(TCustomDIBImageList* list);

  // Left and right edges over the whole rectangle, then top and bottom between them.
  void DrawBorder(TAbstractSuperDIB* target, const plat::Rect& rect) const;

  // Containers showing this border repaint when it changes.
  void AddUser(TCustomDIBContainer* container);
  void RemoveUser(TCustomDIBContainer* container);
  void Changed();

 protected:
  void Notification(TComponent* component, TOperation operation) override;

 private:
  std::unique_ptr<TDIBVertBorderEdge> left_, right_;
  std::unique_ptr<TDIBHorzBorderEdge> top_, bottom_;
  TCustomDIBImageList* dibImageList_ = nullptr;
  std::vector<TCustomDIBContainer*> users_;
};
