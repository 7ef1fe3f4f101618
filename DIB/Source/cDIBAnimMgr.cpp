#include "DIB/Source/cDIBAnimMgr.h"

#include <algorithm>

#include "ui/TypeInfo.h"

// ---- frame ------------------------------------------------------------------------------------

TDIBFrameItem::TDIBFrameItem(TCollection* collection) : TCollectionItem(nullptr) {
  // The link exists before the item joins, so that the animation can point it at its list.
  auto* frames = dynamic_cast<TDIBFrames*>(collection);
  indexImage_ = std::make_unique<TDIBImageLink>(frames ? frames->Animation() : nullptr);
  indexImage_->OnChange = [this](TDIBImageLink*, int, TDIBImageChange kind) {
    if (TDIBAnimation* animation = Animation()) animation->NotifyListeners(Index(), kind);
  };
  SetCollection(collection);
  if (TDIBAnimation* animation = Animation(); animation && animation->DIBImageList())
    indexImage_->SetDIBImageList(animation->DIBImageList());
}

TDIBFrameItem::~TDIBFrameItem() {
  // Leave first: listeners hear about the frame while it still has its index.
  SetCollection(nullptr);
  indexImage_->OnChange = nullptr;
}

TDIBAnimation* TDIBFrameItem::Animation() const {
  auto* frames = dynamic_cast<TDIBFrames*>(Collection());
  return frames ? frames->Animation() : nullptr;
}

std::string TDIBFrameItem::DisplayName() const { return "Frame " + std::to_string(Index() + 1); }

void TDIBFrameItem::Assign(const TPersistent& source) {
  auto* frame = dynamic_cast<const TDIBFrameItem*>(&source);
  if (!frame) return TCollectionItem::Assign(source);
  if (frame == this) return;
  indexImage_->Assign(*frame->indexImage_);
  autoSize_ = frame->autoSize_;
  angle_ = frame->angle_;
  opacity_ = frame->opacity_;
  scale_ = frame->scale_;
}

const TClassInfo& TDIBFrameItem::StaticClass() {
  using T = TDIBFrameItem;
  static const TClassInfo info = TClassBuilder<T>("TDIBFrameItem", &TCollectionItem::StaticClass())
                                     .Item()
                                     .Object("IndexImage", &T::IndexImage)
                                     .Bool("AutoSize", &T::AutoSize, &T::SetAutoSize, false)
                                     .Float("Angle", &T::Angle, &T::SetAngle, 0.0)
                                     .Int("Opacity", &T::Opacity, &T::SetOpacity, 255)
                                     .Float("Scale", &T::Scale, &T::SetScale, 100.0)
                                     .Build();
  return info;
}

// ---- frames -----------------------------------------------------------------------------------

TDIBFrames::TDIBFrames(TDIBAnimation* animation)
    : TCollection(animation, TDIBFrameItem::StaticClass()), animation_(animation) {
  SetPropName("Frames");
}

void TDIBFrames::Notify(TCollectionItem* item, bool added) {
  if (!added && animation_ && !animation_->Destroying()) animation_->NotifyListeners(item->Index(), dicRemoved);
}

// ---- animation --------------------------------------------------------------------------------

TDIBAnimation::TDIBAnimation(TComponent* owner) : TComponent(owner), frames_(std::make_unique<TDIBFrames>(this)) {}

TDIBAnimation::~TDIBAnimation() {
  MarkDestroying();
  listeners_.clear();
  frames_.reset();
  if (dibImageList_) RemoveFreeNotification(dibImageList_);
}

void TDIBAnimation::SetDIBImageList(TCustomDIBImageList* value) {
  if (dibImageList_ && dibImageList_ != value) RemoveFreeNotification(dibImageList_);
  dibImageList_ = value;
  for (int i = 0; i < frames_->Count(); ++i) frames_->Items(i)->IndexImage()->SetDIBImageList(value);
  if (value) FreeNotification(value);
}

int TDIBAnimation::AddListener(TFrameListener listener) {
  listeners_.emplace_back(nextListenerId_, std::move(listener));
  return nextListenerId_++;
}

void TDIBAnimation::RemoveListener(int id) {
  std::erase_if(listeners_, [id](const auto& l) { return l.first == id; });
}

void TDIBAnimation::NotifyListeners(int index, TDIBImageChange kind) {
  // A copy: a listener may add or remove listeners while it is called. Those present at the start
  // hear it once each, unless an earlier one removed them before their turn.
  const auto listeners = listeners_;
  for (const auto& entry : listeners) {
    const int id = entry.first;
    const bool present =
        std::any_of(listeners_.begin(), listeners_.end(), [id](const auto& l) { return l.first == id; });
    if (present && entry.second) entry.second(index, kind);
  }
}

void TDIBAnimation::Notification(TComponent* c, TOperation op) {
  TComponent::Notification(c, op);
  if (op == opRemove && c == dibImageList_) SetDIBImageList(nullptr);
}

const TClassInfo& TDIBAnimation::StaticClass() {
  using T = TDIBAnimation;
  static const TClassInfo info =
      TClassBuilder<T>("TDIBAnimation", &TComponent::StaticClass())
          .Component()
          .Reference<TCustomDIBImageList>("DIBImageList", &T::DIBImageList, &T::SetDIBImageList)
          .Collection("Frames", &T::Frames)
          .Build();
  return info;
}
