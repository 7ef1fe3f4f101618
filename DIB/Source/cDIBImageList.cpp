#include "DIB/Source/cDIBImageList.h"

#include <algorithm>

#include "ui/ClassRegistry.h"
#include "ui/TypeInfo.h"

// ---- item -------------------------------------------------------------------------------------

TDIBImagesItem::TDIBImagesItem(TCollection* collection)
    : TCollectionItem(collection), FDIB(std::make_unique<TMemoryDIB>(1, 1)) {
  FDIB->OnChange = [this](TAbstractSuperDIB*) {
    if (TCustomDIBImageList* list = List()) list->PictureChanged(FDIB.get());
    Changed();
  };
  // SetSize raises no change, yet frees the pixels a hand-out may be sharing.
  FDIB->OnBitsChange = [this](TAbstractSuperDIB*) {
    if (TCustomDIBImageList* list = List()) list->PictureChanged(FDIB.get());
  };
}

TDIBImagesItem::~TDIBImagesItem() {
  const int index = Index();
  TCustomDIBImageList* list = List();
  if (list) list->PictureFreed(FDIB.get());
  FDIB.reset();
  SetCollection(nullptr);
  if (list && index >= 0) list->NotifyLinks(index, dicRemoved);
}

TCustomDIBImageList* TDIBImagesItem::List() const {
  auto* images = dynamic_cast<TDIBImages*>(Collection());
  return images ? images->List() : nullptr;
}

TMemoryDIB* TDIBImagesItem::DIB() {
  EnsureLoaded();
  return FDIB.get();
}

void TDIBImagesItem::SetDIB(const TAbstractSuperDIB& value) { FDIB->Assign(value); }

void TDIBImagesItem::SetImageRetrieval(TImageRetrieval value) {
  FImageRetrieval = value;
  FDIB->StoreData = value == irInternal;
}

void TDIBImagesItem::EnsureLoaded() {
  if (FLoaded) return;
  if (FImageRetrieval == irInternal) {
    FLoaded = true;
    return;
  }
  if (FDIB->ImageFilename.empty()) return;
  // The import replaces the file names with the translated paths; the designer's names stay.
  const std::string image = FDIB->ImageFilename;
  const std::string mask = FDIB->MaskFilename;
  FDIB->BeginUpdate();
  try {
    FDIB->ImportPicture(TranslatePath(image));
    if (!mask.empty()) FDIB->ImportMask(TranslatePath(mask));
  } catch (...) {
    FDIB->ImageFilename = image;
    FDIB->MaskFilename = mask;
    FDIB->EndUpdate();
    throw;
  }
  FDIB->ImageFilename = image;
  FDIB->MaskFilename = mask;
  FDIB->EndUpdate();
  FLoaded = true;
}

std::string TDIBImagesItem::TranslatePath(const std::string& path) const {
  if (path.empty() || !OnTranslateImagePath) return path;
  // Designers' paths may use either separator.
  const std::size_t cut = path.find_last_of("\\/");
  std::string folder = cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
  const std::string name = cut == std::string::npos ? path : path.substr(cut + 1);
  OnTranslateImagePath(const_cast<TDIBImagesItem*>(this), folder);
  if (folder.empty()) return name;
  const char last = folder.back();
  if (last != '\\' && last != '/') {
#ifdef _WIN32
    folder += '\\';
#else
    folder += '/';
#endif
  }
  return folder + name;
}

void TDIBImagesItem::Assign(const TPersistent& source) {
  auto* item = dynamic_cast<const TDIBImagesItem*>(&source);
  if (!item) {
    TCollectionItem::Assign(source);
    return;
  }
  if (item == this) return;
  SetImageRetrieval(item->FImageRetrieval);
  FDIB->Assign(*item->FDIB);
  TemplateFilename = item->TemplateFilename;
  FDisplayName = item->FDisplayName;
}

const TClassInfo& TDIBImagesItem::StaticClass() {
  using T = TDIBImagesItem;
  static const TClassInfo info = TClassBuilder<T>("TDIBImagesItem", &TCollectionItem::StaticClass())
                                     .Item()
                                     .Object("DIB", &T::StoredDIB)
                                     .String("DisplayName", &T::DisplayName, &T::SetDisplayName)
                                     .Enum("ImageRetrieval", {"irInternal", "irLoadOnStart", "irLoadOnDemand"},
                                           &T::ImageRetrieval, &T::SetImageRetrieval, irInternal)
                                     .String("TemplateFilename", &T::TemplateFilename, &T::TemplateFilename)
                                     .Build();
  return info;
}

// ---- collection -------------------------------------------------------------------------------

TDIBImages::TDIBImages(TCustomDIBImageList* list) : TCollection(list, TDIBImagesItem::StaticClass()), FList(list) {
  SetPropName("DIBImages");
}

void TDIBImages::Update(TCollectionItem* item) {
  if (item && FList) FList->NotifyLinks(item->Index(), dicChanged);
}

void TDIBImages::Moved(int from, int to) {
  if (FList) FList->MoveLinks(from, to);
}

// ---- list -------------------------------------------------------------------------------------

TCustomDIBImageList::TCustomDIBImageList(TComponent* owner)
    : TComponent(owner), FDIBImages(std::make_unique<TDIBImages>(this)), FHandOut(1, 1), FPlaceholder(1, 1) {}

TCustomDIBImageList::~TCustomDIBImageList() {
  MarkDestroying();
  while (!FLinks.empty()) FLinks.back()->SetDIBImageList(nullptr);
  FDIBImages.reset();
}

void TCustomDIBImageList::RegisterLink(TDIBImageLink* link) {
  if (!link) return;
  if (std::find(FLinks.begin(), FLinks.end(), link) == FLinks.end()) FLinks.push_back(link);
  const int count = FDIBImages->Count();
  for (int n = 0; n < count; ++n) link->Deliver(n, dicChanged);
}

void TCustomDIBImageList::UnregisterLink(TDIBImageLink* link) {
  FLinks.erase(std::remove(FLinks.begin(), FLinks.end(), link), FLinks.end());
}

void TCustomDIBImageList::NotifyLinks(int index, TDIBImageChange kind) {
  // A handler may register or drop links (its own or others): the links present at the start
  // hear it once each, unless they are gone by their turn.
  const std::vector<TDIBImageLink*> links = FLinks;
  for (TDIBImageLink* link : links)
    if (std::find(FLinks.begin(), FLinks.end(), link) != FLinks.end()) link->Deliver(index, kind);
}

void TCustomDIBImageList::MoveLinks(int from, int to) {
  for (TDIBImageLink* link : FLinks) {
    const int i = link->DIBIndex();
    int moved = i;
    if (i == from)
      moved = to;
    else if (from < to && i > from && i <= to)
      moved = i - 1;
    else if (from > to && i >= to && i < from)
      moved = i + 1;
    link->FDIBIndex = moved;  // silent: the picture itself did not change
  }
}

bool TCustomDIBImageList::IndexValid(int index) const { return index >= 0 && index < FDIBImages->Count(); }

bool TCustomDIBImageList::GetImage(int index, TAbstractSuperDIB*& image) {
  if (!IndexValid(index)) return false;
  TMemoryDIB* picture = FDIBImages->Items(index)->DIB();
  if (!picture || !picture->HasBits()) return false;
  FHandOut.ShareBitsOf(*picture);
  FHandOutSource = picture;
  image = &FHandOut;
  return true;
}

void TCustomDIBImageList::PictureChanged(TAbstractSuperDIB* picture) {
  // A resize gives the picture new pixels; the hand-out must not keep the freed ones.
  if (picture && picture == FHandOutSource) {
    if (picture->HasBits())
      FHandOut.ShareBitsOf(*picture);
    else
      PictureFreed(picture);
  }
}

void TCustomDIBImageList::PictureFreed(const TAbstractSuperDIB* picture) {
  if (picture && picture == FHandOutSource) {
    FHandOut.ShareBitsOf(FPlaceholder);
    FHandOutSource = nullptr;
  }
}

TDIBImagesItem* TCustomDIBImageList::FindOrAddTemplateImage(const std::string& guidText, int number) {
  const std::string key = guidText + ":" + std::to_string(number);
  for (int i = 0; i < FDIBImages->Count(); ++i)
    if (FDIBImages->Items(i)->TemplateFilename == key) return FDIBImages->Items(i);
  auto* item = static_cast<TDIBImagesItem*>(FDIBImages->Add());
  item->TemplateFilename = key;
  return item;
}

void TCustomDIBImageList::Loaded() {
  TComponent::Loaded();
  for (int i = 0; i < FDIBImages->Count(); ++i)
    if (FDIBImages->Items(i)->ImageRetrieval() == irLoadOnStart) FDIBImages->Items(i)->EnsureLoaded();
}

const TClassInfo& TCustomDIBImageList::StaticClass() {
  static const TClassInfo info =
      TClassBuilder<TCustomDIBImageList>("TCustomDIBImageList", &TComponent::StaticClass()).Build();
  return info;
}

const TClassInfo& TDIBImageList::StaticClass() {
  static const TClassInfo info = TClassBuilder<TDIBImageList>("TDIBImageList", &TCustomDIBImageList::StaticClass())
                                     .Component()
                                     .Collection("DIBImages", &TDIBImageList::DIBImages)
                                     .Build();
  return info;
}

// ---- link -------------------------------------------------------------------------------------

namespace {
bool OwnerPublishesList(const TDIBImageLink& link) {
  const TComponent* owner = link.Owner();
  if (!owner) return false;
  const TPropInfo* p = owner->ClassInfo().FindProp("DIBImageList");
  return p && p->Kind == TPropKind::Reference && p->GetRef(*owner) == link.DIBImageList();
}
}  // namespace

TDIBImageLink::TDIBImageLink(TComponent* owner) : FOwner(owner) {}

TDIBImageLink::~TDIBImageLink() {
  if (FDIBImageList) FDIBImageList->UnregisterLink(this);
}

void TDIBImageLink::SetDIBImageList(TCustomDIBImageList* value) {
  if (FDIBImageList) FDIBImageList->UnregisterLink(this);
  FDIBImageList = value;
  if (FDIBImageList) FDIBImageList->RegisterLink(this);
}

void TDIBImageLink::SetDIBIndex(int value) {
  if (value == FDIBIndex) return;
  FDIBIndex = value;
  Deliver(value, dicChanged);
}

bool TDIBImageLink::GetImage(TAbstractSuperDIB*& image) const {
  return FDIBImageList && FDIBImageList->GetImage(FDIBIndex, image);
}

bool TDIBImageLink::IsValid() const { return FDIBImageList && FDIBImageList->IndexValid(FDIBIndex); }

void TDIBImageLink::Assign(const TPersistent& source) {
  auto* link = dynamic_cast<const TDIBImageLink*>(&source);
  if (!link) {
    TPersistent::Assign(source);
    return;
  }
  SetDIBIndex(link->FDIBIndex);
  SetDIBImageList(link->FDIBImageList);
}

void TDIBImageLink::Deliver(int index, TDIBImageChange kind) {
  if (kind == dicChanged && index != FDIBIndex) return;  // another image changed
  if (kind == dicRemoved && index > FDIBIndex) return;   // an image after ours went
  if (FOwner && FOwner->Destroying()) return;
  if (kind == dicRemoved && index < FDIBIndex) {
    --FDIBIndex;  // ours moved up by one
    return;
  }
  if (OnChange) OnChange(this, index, kind);
  if (kind == dicRemoved) FDIBIndex = -1;
}

const TClassInfo& TDIBImageLink::StaticClass() {
  using T = TDIBImageLink;
  static const TClassInfo info =
      TClassBuilder<T>("TDIBImageLink", &TPersistent::StaticClass())
          .Reference<TCustomDIBImageList>("DIBImageList", &T::DIBImageList, &T::SetDIBImageList)
          // A link owned by a component that publishes the same list (a control, a border) would
          // only repeat it.
          .StoredIf([](const T& link) { return !OwnerPublishesList(link); })
          .Int("DIBIndex", &T::DIBIndex, &T::SetDIBIndex, -1)
          .Build();
  return info;
}
