// Image lists and image links. A window description holds image lists; each is an ordered
// collection of stored pictures. Controls never own pictures: they point into a list through an
// image link (list, index), which hands the picture out on request and tells its owner when the
// picture changes, is removed or moves.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "DIB/Source/cDIB.h"
#include "ui/Collection.h"
#include "ui/Component.h"

class TCustomDIBImageList;
class TDIBImageLink;

// What a link hears about its image.
enum TDIBImageChange : int { dicRemoved = 0, dicChanged = 1 };

// Where an item's pixels come from: stored in the description, or loaded from ImageFilename (and
// MaskFilename) when the list has been read, or at the first use.
enum TImageRetrieval : std::uint8_t { irInternal = 0, irLoadOnStart = 1, irLoadOnDemand = 2 };

class TDIBImagesItem : public TCollectionItem {
 public:
  using TTranslatePathEvent = std::function<void(TDIBImagesItem* sender, std::string& folder)>;

  explicit TDIBImagesItem(TCollection* collection);
  ~TDIBImagesItem() override;

  // Published: DIB (nested), DisplayName, ImageRetrieval (default irInternal), TemplateFilename.
  static const TClassInfo& StaticClass();
  const TClassInfo& ClassInfo() const override { return StaticClass(); }

  // The picture, loaded first when it comes from a file (see EnsureLoaded).
  TMemoryDIB* DIB();
  // The picture as it is, without loading (for descriptions and inspection).
  TMemoryDIB* StoredDIB() const { return FDIB.get(); }
  // Copies pixels and settings of value into the owned picture.
  void SetDIB(const TAbstractSuperDIB& value);

  std::string DisplayName() const override { return FDisplayName; }
  void SetDisplayName(const std::string& value) { FDisplayName = value; }
  bool Loaded() const { return FLoaded; }
  TImageRetrieval ImageRetrieval() const { return FImageRetrieval; }
  // Also decides whether the picture's pixels are stored in descriptions (only irInternal).
  void SetImageRetrieval(TImageRetrieval value);

  // Loads a file-based picture on first need. An item without ImageFilename stays unloaded and
  // is tried again next time.
  void EnsureLoaded();
  // Lets OnTranslateImagePath replace the folder part of path (with its trailing separator).
  std::string TranslatePath(const std::string& path) const;

  void Assign(const TPersistent& source) override;

  std::string TemplateFilename;  // key used by control templates, "<guid>:<number>"
  TTranslatePathEvent OnTranslateImagePath;

 private:
  TCustomDIBImageList* List() const;

  std::unique_ptr<TMemoryDIB> FDIB;
  std::string FDisplayName = "TDIBImagesItem";
  bool FLoaded = false;
  TImageRetrieval FImageRetrieval = irInternal;
};

// The items of an image list; tells the list when an item changes or moves.
class TDIBImages : public TCollection {
 public:
  explicit TDIBImages(TCustomDIBImageList* list);

  TCustomDIBImageList* List() const { return FList; }
  TDIBImagesItem* Items(int index) const { return static_cast<TDIBImagesItem*>(Item(index)); }

 protected:
  void Update(TCollectionItem* item) override;
  void Moved(int from, int to) override;

 private:
  TCustomDIBImageList* FList;
};

class TCustomDIBImageList : public TComponent {
 public:
  explicit TCustomDIBImageList(TComponent* owner);
  ~TCustomDIBImageList() override;  // detaches every link first

  static const TClassInfo& StaticClass();
  const TClassInfo& ClassInfo() const override { return StaticClass(); }

  TDIBImages* DIBImages() const { return FDIBImages.get(); }

  // Adds the link (once), then tells it about every index so that it hears about its own image.
  void RegisterLink(TDIBImageLink* link);
  void UnregisterLink(TDIBImageLink* link);
  void NotifyLinks(int index, TDIBImageChange kind);
  // Keeps every link on its image after an item moved from `from` to `to`; sends nothing.
  void MoveLinks(int from, int to);
  bool IndexValid(int index) const;
  // Hands out the picture at index through one shared image per list: valid until the next
  // GetImage on this list; draw it at once. Settings changed on it affect only the hand-out.
  // False for an index out of range or a picture without pixels.
  bool GetImage(int index, TAbstractSuperDIB*& image);
  // The first item whose TemplateFilename is "<guidText>:<number>", else a new one with that key.
  TDIBImagesItem* FindOrAddTemplateImage(const std::string& guidText, int number);

  void Loaded() override;  // loads the irLoadOnStart items

  const std::vector<TDIBImageLink*>& Links() const { return FLinks; }

 private:
  friend class TDIBImagesItem;
  // The picture is about to be freed: the hand-out must stop pointing at its pixels.
  void PictureFreed(const TAbstractSuperDIB* picture);
  // The picture changed, perhaps with new pixels: a hand-out of it follows them.
  void PictureChanged(TAbstractSuperDIB* picture);

  std::unique_ptr<TDIBImages> FDIBImages;
  std::vector<TDIBImageLink*> FLinks;
  TMemoryDIB FHandOut;
  TMemoryDIB FPlaceholder;  // what the hand-out shares once its picture is gone
  const TAbstractSuperDIB* FHandOutSource = nullptr;
};

class TDIBImageList : public TCustomDIBImageList {
 public:
  using TCustomDIBImageList::TCustomDIBImageList;
  static const TClassInfo& StaticClass();  // publishes DIBImages
  const TClassInfo& ClassInfo() const override { return StaticClass(); }
};

// A (list, index) reference to one picture. Follows its picture when pictures before it are
// removed or moved; hears OnChange(link, index, kind) when its own picture changes or goes.
class TDIBImageLink : public TPersistent {
 public:
  using TChangeEvent = std::function<void(TDIBImageLink* link, int index, TDIBImageChange kind)>;

  explicit TDIBImageLink(TComponent* owner);
  ~TDIBImageLink() override;

  static const TClassInfo& StaticClass();  // publishes DIBImageList and DIBIndex
  const TClassInfo& ClassInfo() const override { return StaticClass(); }

  TComponent* Owner() const { return FOwner; }
  TCustomDIBImageList* DIBImageList() const { return FDIBImageList; }
  // Re-registers even with the same list, so the link hears about its image again.
  void SetDIBImageList(TCustomDIBImageList* value);
  int DIBIndex() const { return FDIBIndex; }
  // A new value raises OnChange with dicChanged, valid or not.
  void SetDIBIndex(int value);

  bool GetImage(TAbstractSuperDIB*& image) const;
  bool IsValid() const;

  // Copies DIBIndex, then DIBImageList; anything but a link is refused.
  void Assign(const TPersistent& source) override;

  // What the list tells the link; see the rules in the source.
  void Deliver(int index, TDIBImageChange kind);

  TChangeEvent OnChange;

 private:
  friend class TCustomDIBImageList;  // MoveLinks re-points links silently

  TComponent* FOwner;
  TCustomDIBImageList* FDIBImageList = nullptr;
  int FDIBIndex = -1;
};
