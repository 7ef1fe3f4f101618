// Animation frames: an ordered list of frames, each an image link into the animation's image list
// with the settings a player would draw it with. No player is part of the library; listeners hear
// (frame index, kind) whenever a frame's picture changes (dicChanged) or goes (dicRemoved), and
// dicRemoved when a frame itself is removed.
//
// Contracts:
// - Setting DIBImageList points the link of every frame at that list; a frame added later joins
//   the animation's list at once. Freeing the list clears it from the animation and its frames.
// - Listeners are called in the order they were added; one may remove itself (or another) from
//   inside the call; one removed before its turn is not called. A listener must not free the
//   animation.
#pragma once

#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "DIB/Source/cDIBImageList.h"
#include "ui/Collection.h"
#include "ui/Component.h"

class TDIBAnimation;

class TDIBFrameItem : public TCollectionItem {
 public:
  explicit TDIBFrameItem(TCollection* collection);
  ~TDIBFrameItem() override;

  // Published: IndexImage (nested), AutoSize (False), Angle (0), Opacity (255), Scale (100).
  static const TClassInfo& StaticClass();
  const TClassInfo& ClassInfo() const override { return StaticClass(); }

  TDIBImageLink* IndexImage() const { return indexImage_.get(); }
  bool AutoSize() const { return autoSize_; }
  void SetAutoSize(bool value) { autoSize_ = value; }
  double Angle() const { return angle_; }
  void SetAngle(double value) { angle_ = value; }
  std::uint8_t Opacity() const { return opacity_; }
  void SetOpacity(std::uint8_t value) { opacity_ = value; }
  double Scale() const { return scale_; }
  void SetScale(double value) { scale_ = value; }

  // "Frame " and the 1-based position.
  std::string DisplayName() const override;
  // From another frame: the image link (index, then list) and the settings.
  void Assign(const TPersistent& source) override;

  TDIBAnimation* Animation() const;

 private:
  std::unique_ptr<TDIBImageLink> indexImage_;
  bool autoSize_ = false;
  double angle_ = 0;
  std::uint8_t opacity_ = 255;
  double scale_ = 100;
};

// The frames of an animation; tells the animation when a frame leaves.
class TDIBFrames : public TCollection {
 public:
  explicit TDIBFrames(TDIBAnimation* animation);
  TDIBAnimation* Animation() const { return animation_; }
  TDIBFrameItem* Items(int index) const { return static_cast<TDIBFrameItem*>(Item(index)); }

 protected:
  void Notify(TCollectionItem* item, bool added) override;

 private:
  TDIBAnimation* animation_;
};

class TDIBAnimation : public TComponent {
 public:
  using TFrameListener = std::function<void(int index, TDIBImageChange kind)>;

  explicit TDIBAnimation(TComponent* owner);
  ~TDIBAnimation() override;

  // Published: DIBImageList (reference), Frames (collection).
  static const TClassInfo& StaticClass();
  const TClassInfo& ClassInfo() const override { return StaticClass(); }

  TDIBFrames* Frames() const { return frames_.get(); }
  TCustomDIBImageList* DIBImageList() const { return dibImageList_; }
  void SetDIBImageList(TCustomDIBImageList* value);

  // Answers an id for RemoveListener.
  int AddListener(TFrameListener listener);
  void RemoveListener(int id);
  void NotifyListeners(int index, TDIBImageChange kind);

 protected:
  void Notification(TComponent* c, TOperation op) override;

 private:
  std::unique_ptr<TDIBFrames> frames_;
  TCustomDIBImageList* dibImageList_ = nullptr;
  std::vector<std::pair<int, TFrameListener>> listeners_;
  int nextListenerId_ = 1;
};
