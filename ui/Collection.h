// Collections: an owned, ordered list of items of one item class, published by their owner as one
// property and stored in descriptions as "Prop = < item ... end item ... end >".
#pragma once

#include <string>
#include <vector>

#include "ui/Persistent.h"

class TCollection;

class TCollectionItem : public TPersistent {
 public:
  // Joins `collection` (appended) when given.
  explicit TCollectionItem(TCollection* collection);
  ~TCollectionItem() override;  // leaves its collection

  static const TClassInfo& StaticClass();
  const TClassInfo& ClassInfo() const override { return StaticClass(); }

  TCollection* Collection() const { return collection_; }
  // Moves to another collection (or none); the item is owned by the collection it is in.
  void SetCollection(TCollection* c);
  int Index() const;
  // Moves the item inside its collection; the collection hears Moved(from, to) afterwards.
  void SetIndex(int index);
  virtual std::string DisplayName() const { return std::string(ClassName()); }

  TPersistent* GetOwner() const override;
  std::string NamePath() const override;

 protected:
  // Tells the collection that this item changed (TCollection::Update(this)).
  void Changed();

 private:
  friend class TCollection;
  TCollection* collection_ = nullptr;
};

class TCollection : public TPersistent {
 public:
  // `itemClass` must be creatable as an item (TClassBuilder::Item); `owner` is the publishing object.
  TCollection(TPersistent* owner, const TClassInfo& itemClass);
  ~TCollection() override;  // frees every item, last first

  static const TClassInfo& StaticClass();
  const TClassInfo& ClassInfo() const override { return StaticClass(); }

  const TClassInfo& ItemClass() const { return *itemClass_; }
  int Count() const { return static_cast<int>(items_.size()); }
  TCollectionItem* Item(int i) const { return items_.at(static_cast<std::size_t>(i)); }
  TCollectionItem* Add();  // a new item of the item class, appended
  void Clear();            // frees every item, last first
  void Delete(int i);

  // Assign from another collection of the same kind: clear, then one item per source item, each
  // assigned from its source.
  void Assign(const TPersistent& source) override;

  TPersistent* GetOwner() const override { return owner_; }
  std::string NamePath() const override;
  void SetPropName(std::string name) { propName_ = std::move(name); }

 protected:
  friend class TCollectionItem;
  // An item joined (added = true) or is leaving (false) the collection.
  virtual void Notify(TCollectionItem* /*item*/, bool /*added*/) {}
  // An item changed (null: the whole collection).
  virtual void Update(TCollectionItem* /*item*/) {}
  // An item was moved from index `from` to index `to`.
  virtual void Moved(int /*from*/, int /*to*/) {}

 private:
  TPersistent* owner_;
  const TClassInfo* itemClass_;
  std::vector<TCollectionItem*> items_;
  std::string propName_;
};
