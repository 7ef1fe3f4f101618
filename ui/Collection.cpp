#include "ui/Collection.h"

#include <algorithm>

#include "ui/Errors.h"
#include "ui/TypeInfo.h"

const TClassInfo& TCollectionItem::StaticClass() {
  static const TClassInfo info = TClassBuilder<TCollectionItem>("TCollectionItem", &TPersistent::StaticClass()).Build();
  return info;
}

TCollectionItem::TCollectionItem(TCollection* collection) { SetCollection(collection); }

TCollectionItem::~TCollectionItem() { SetCollection(nullptr); }

void TCollectionItem::SetCollection(TCollection* c) {
  if (c == collection_) return;
  if (collection_) {
    TCollection* old = collection_;
    old->Notify(this, false);
    old->items_.erase(std::remove(old->items_.begin(), old->items_.end(), this), old->items_.end());
    collection_ = nullptr;
  }
  if (c) {
    c->items_.push_back(this);
    collection_ = c;
    c->Notify(this, true);
  }
}

int TCollectionItem::Index() const {
  if (!collection_) return -1;
  auto& v = collection_->items_;
  return static_cast<int>(std::find(v.begin(), v.end(), this) - v.begin());
}

void TCollectionItem::SetIndex(int index) {
  int from = Index();
  if (from < 0) return;
  auto& v = collection_->items_;
  index = std::clamp(index, 0, static_cast<int>(v.size()) - 1);
  if (index == from) return;
  v.erase(v.begin() + from);
  v.insert(v.begin() + index, this);
  collection_->Moved(from, index);
}

void TCollectionItem::Changed() {
  if (collection_) collection_->Update(this);
}

TPersistent* TCollectionItem::GetOwner() const { return collection_; }

std::string TCollectionItem::NamePath() const {
  if (!collection_) return std::string(ClassName());
  return collection_->NamePath() + "[" + std::to_string(Index()) + "]";
}

const TClassInfo& TCollection::StaticClass() {
  static const TClassInfo info = TClassBuilder<TCollection>("TCollection", &TPersistent::StaticClass()).Build();
  return info;
}

TCollection::TCollection(TPersistent* owner, const TClassInfo& itemClass) : owner_(owner), itemClass_(&itemClass) {}

TCollection::~TCollection() {
  // The owner's descendant part may be gone already: no notifications from here on.
  while (!items_.empty()) {
    TCollectionItem* it = items_.back();
    items_.pop_back();
    it->collection_ = nullptr;
    delete it;
  }
}

TCollectionItem* TCollection::Add() {
  if (!itemClass_->CreateItem)
    throw EComponentError("Class " + itemClass_->Name + " cannot be created as a collection item");
  return itemClass_->CreateItem(*this);
}

void TCollection::Clear() {
  while (!items_.empty()) delete items_.back();
}

void TCollection::Delete(int i) { delete Item(i); }

void TCollection::Assign(const TPersistent& source) {
  auto* src = dynamic_cast<const TCollection*>(&source);
  if (!src) return TPersistent::Assign(source);
  if (src == this) return;
  Clear();
  for (TCollectionItem* s : src->items_) Add()->Assign(*s);
}

std::string TCollection::NamePath() const {
  std::string prop = propName_.empty() ? std::string(ClassName()) : propName_;
  return owner_ ? owner_->NamePath() + "." + prop : prop;
}
