#include "DIB/Source/cDIBBorder.h"

#include <algorithm>

#include "DIB/Source/cDIBPanel.h"
#include "ui/TypeInfo.h"

namespace {
// Size of the picture a link hands out; 0 x 0 when it hands out none.
plat::Size PictureSize(const TDIBImageLink* link) {
  TAbstractSuperDIB* image = nullptr;
  if (!link->IsValid() || !link->GetImage(image)) return {0, 0};
  return {image->Width(), image->Height()};
}
}  // namespace

// ---- edge ---------------------------------------------------------------------------------------

TDIBBorderEdge::TDIBBorderEdge(TDIBBorder* border, TDIBBorderSide side)
    : border_(border),
      side_(side),
      start_(std::make_unique<TDIBImageLink>(border)),
      middle_(std::make_unique<TDIBImageLink>(border)),
      end_(std::make_unique<TDIBImageLink>(border)) {
  for (TDIBImageLink* link : {start_.get(), middle_.get(), end_.get()})
    link->OnChange = [this](TDIBImageLink*, int, TDIBImageChange) { Changed(); };
}

TDIBBorderEdge::~TDIBBorderEdge() = default;

void TDIBBorderEdge::Changed() {
  if (border_ && !border_->Destroying()) border_->Changed();
}

void TDIBBorderEdge::SetDrawStyle(TDIBBorderDrawStyle v) {
  if (v == drawStyle_) return;
  drawStyle_ = v;
  Changed();
}

void TDIBBorderEdge::SetAutoCalcSize(bool v) {
  if (v == autoCalcSize_) return;
  autoCalcSize_ = v;
  Changed();
}

void TDIBBorderEdge::SetSize(int v) {
  if (v == size_) return;
  size_ = v;
  Changed();
}

void TDIBBorderEdge::SetDIBImageList(TCustomDIBImageList* list) {
  for (TDIBImageLink* link : {start_.get(), middle_.get(), end_.get()}) link->SetDIBImageList(list);
}

int TDIBBorderEdge::ComputedSize() const {
  int size = 0;
  for (const TDIBImageLink* link : {start_.get(), middle_.get(), end_.get()}) {
    const plat::Size s = PictureSize(link);
    size = std::max(size, Vertical() ? s.width : s.height);
  }
  return size;
}

void TDIBBorderEdge::Draw(TAbstractSuperDIB* target, const plat::Rect& rect) const {
  const bool vertical = Vertical();
  // Position across the edge for a picture of thickness t.
  auto across = [&](int t) {
    switch (side_) {
      case bsLeftEdge: return rect.left;
      case bsRightEdge: return rect.right - t;
      case bsTopEdge: return rect.top;
      default: return rect.bottom - t;
    }
  };
  const int origin = vertical ? rect.top : rect.left;
  const int extent = vertical ? rect.Height() : rect.Width();
  const plat::Size startSize = PictureSize(start_.get()), endSize = PictureSize(end_.get());
  const int startLength = vertical ? startSize.height : startSize.width;
  const int endLength = vertical ? endSize.height : endSize.width;
  // Places `length` x thickness of `image` (from its top-left) at `along` on the edge.
  auto put = [&](TAbstractSuperDIB* image, int along, int length) {
    const int thickness = vertical ? image->Width() : image->Height();
    if (vertical)
      image->Draw(across(thickness), along, thickness, length, target);
    else
      image->Draw(along, across(thickness), length, thickness, target);
  };

  TAbstractSuperDIB* image = nullptr;
  const int length = extent - startLength - endLength;
  if (length > 0 && middle_->IsValid() && middle_->GetImage(image)) {
    const int piece = vertical ? image->Height() : image->Width();
    if (drawStyle_ == dsStretch) {
      TMemoryDIB stretched;
      if (vertical)
        stretched.SetSize(image->Width(), length);
      else
        stretched.SetSize(length, image->Height());
      stretched.StretchFrom(*image);
      image->CopySettingsTo(&stretched);
      put(&stretched, origin + startLength, length);
    } else if (piece > 0) {
      for (int done = 0; done < length; done += piece)
        put(image, origin + startLength + done, std::min(piece, length - done));
    }
  }
  if (start_->IsValid() && start_->GetImage(image)) put(image, origin, startLength);
  if (end_->IsValid() && end_->GetImage(image)) put(image, origin + extent - endLength, endLength);
}

const TClassInfo& TDIBBorderEdge::StaticClass() {
  using T = TDIBBorderEdge;
  static const TClassInfo info =
      TClassBuilder<T>("TDIBBorderEdge", &TPersistent::StaticClass())
          .Bool("AutoCalcSize", &T::AutoCalcSize, &T::SetAutoCalcSize, true)
          .Enum("DrawStyle", {"dsTile", "dsStretch"}, &T::DrawStyle, &T::SetDrawStyle, dsTile)
          .Int(
              "Size", [](const T& e) { return e.size_; }, &T::SetSize, 32)
          .Build();
  return info;
}

const TClassInfo& TDIBVertBorderEdge::StaticClass() {
  using T = TDIBVertBorderEdge;
  static const TClassInfo info = TClassBuilder<T>("TDIBVertBorderEdge", &TDIBBorderEdge::StaticClass())
                                     .Object("ImageTop", &T::Start)
                                     .Object("ImageMiddle", &T::Middle)
                                     .Object("ImageBottom", &T::End)
                                     .Build();
  return info;
}

const TClassInfo& TDIBHorzBorderEdge::StaticClass() {
  using T = TDIBHorzBorderEdge;
  static const TClassInfo info = TClassBuilder<T>("TDIBHorzBorderEdge", &TDIBBorderEdge::StaticClass())
                                     .Object("ImageLeft", &T::Start)
                                     .Object("ImageMiddle", &T::Middle)
                                     .Object("ImageRight", &T::End)
                                     .Build();
  return info;
}

// ---- border -------------------------------------------------------------------------------------

TDIBBorder::TDIBBorder(TComponent* owner)
    : TComponent(owner),
      left_(std::make_unique<TDIBVertBorderEdge>(this, bsLeftEdge)),
      right_(std::make_unique<TDIBVertBorderEdge>(this, bsRightEdge)),
      top_(std::make_unique<TDIBHorzBorderEdge>(this, bsTopEdge)),
      bottom_(std::make_unique<TDIBHorzBorderEdge>(this, bsBottomEdge)) {}

TDIBBorder::~TDIBBorder() {
  MarkDestroying();
  left_.reset();
  right_.reset();
  top_.reset();
  bottom_.reset();
}

const TClassInfo& TDIBBorder::StaticClass() {
  using T = TDIBBorder;
  static const TClassInfo info =
      TClassBuilder<T>("TDIBBorder", &TComponent::StaticClass())
          .Component()
          .Object("BorderBottom", &T::BorderBottom)
          .Object("BorderLeft", &T::BorderLeft)
          .Object("BorderRight", &T::BorderRight)
          .Object("BorderTop", &T::BorderTop)
          .Reference<TCustomDIBImageList>("DIBImageList", &T::DIBImageList, &T::SetDIBImageList)
          .Build();
  return info;
}

void TDIBBorder::SetDIBImageList(TCustomDIBImageList* list) {
  if (dibImageList_) RemoveFreeNotification(dibImageList_);
  dibImageList_ = list;
  for (TDIBBorderEdge* e : {static_cast<TDIBBorderEdge*>(left_.get()), static_cast<TDIBBorderEdge*>(right_.get()),
                            static_cast<TDIBBorderEdge*>(top_.get()), static_cast<TDIBBorderEdge*>(bottom_.get())})
    e->SetDIBImageList(list);
  if (list) FreeNotification(list);
  Changed();
}

void TDIBBorder::Notification(TComponent* component, TOperation operation) {
  TComponent::Notification(component, operation);
  if (operation == opRemove && component == dibImageList_ && !Destroying()) SetDIBImageList(nullptr);
}

void TDIBBorder::DrawBorder(TAbstractSuperDIB* target, const plat::Rect& rect) const {
  left_->Draw(target, rect);
  right_->Draw(target, rect);
  const plat::Rect inner{rect.left + left_->ComputedSize(), rect.top, rect.right - right_->ComputedSize(), rect.bottom};
  top_->Draw(target, inner);
  bottom_->Draw(target, inner);
}

void TDIBBorder::AddUser(TCustomDIBContainer* container) {
  if (std::find(users_.begin(), users_.end(), container) == users_.end()) users_.push_back(container);
}

void TDIBBorder::RemoveUser(TCustomDIBContainer* container) {
  users_.erase(std::remove(users_.begin(), users_.end(), container), users_.end());
}

void TDIBBorder::Changed() {
  if (Destroying()) return;
  for (TCustomDIBContainer* c : users_) c->Invalidate();
}
