// Components: objects with a name and an owner. An owner keeps an ordered list of the components it
// owns and frees them (last first) when it is freed. A component can ask to be told when another one
// goes away (free-notification), so that references between components never dangle.
//
// Free components with Free() (or delete): Free() marks the component as being destroyed before any
// destructor runs, so that descendants' destructors and the notifications they cause can tell.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ui/Persistent.h"

enum TOperation { opInsert, opRemove };

enum TComponentStateFlag : std::uint32_t {
  csLoading = 1,     // from creation by a description reader until Loaded
  csReading = 2,     // while its properties are being read
  csDestroying = 4,  // from Free() (or the start of the destructor) on
  csDesigning = 8,   // never set in this system; kept so that design-only code paths read clearly
};

class TComponent : public TPersistent {
 public:
  explicit TComponent(TComponent* owner);
  ~TComponent() override;

  static const TClassInfo& StaticClass();
  const TClassInfo& ClassInfo() const override { return StaticClass(); }

  static void Free(TComponent* c);

  const std::string& Name() const { return name_; }
  // Fails on a name that is not an identifier or that another component of the owner already has.
  void SetName(const std::string& name);
  TComponent* Owner() const { return owner_; }
  int ComponentCount() const { return static_cast<int>(components_.size()); }
  TComponent* Component(int i) const { return components_.at(static_cast<std::size_t>(i)); }
  const std::vector<TComponent*>& Components() const { return components_; }
  int ComponentIndex() const;
  TComponent* FindComponent(std::string_view name) const;  // case-insensitive; null when absent

  void InsertComponent(TComponent* c);  // takes ownership (removes it from a previous owner)
  void RemoveComponent(TComponent* c);  // gives up ownership without freeing
  void DestroyComponents();             // frees every owned component, last first

  // Asks `c` to tell this component (by Notification(c, opRemove)) when it is freed; mutual.
  void FreeNotification(TComponent* c);
  void RemoveFreeNotification(TComponent* c);

  std::uint32_t ComponentState() const { return state_; }
  bool Loading() const { return state_ & csLoading; }
  bool Destroying() const { return state_ & csDestroying; }
  void SetLoading();  // called by a description reader on every component it reads
  void SetReading(bool on);
  void MarkDestroying() { state_ |= csDestroying; }

  std::int64_t Tag() const { return tag_; }
  void SetTag(std::int64_t t) { tag_ = t; }

  // The component a description nests this one under (a control's parent); null for none.
  virtual TComponent* GetParentComponent() const { return nullptr; }
  // Called by a description reader before the properties are read; `parent` is the enclosing object.
  virtual void SetParentComponent(TComponent* /*parent*/) {}
  // Whether a description nests `child` inside this component (true for its own controls).
  virtual bool HasParent() const { return false; }

  // After a description has been read: every read component gets Loaded, root first, in read order.
  virtual void Loaded();

  TPersistent* GetOwner() const override;
  std::string NamePath() const override;

 protected:
  // Told when `c` is inserted into or removed from this component's owned list, when a component
  // this one asked for free-notification goes away, and (for an owner) when any component it owns
  // is inserted or removed. Descendants clear their references to a removed component here.
  virtual void Notification(TComponent* c, TOperation op);

 private:
  void Remove(TComponent* c);
  void RemoveNotification(TComponent* c);

  std::string name_;
  TComponent* owner_ = nullptr;
  std::vector<TComponent*> components_;
  std::vector<TComponent*> freeNotifies_;
  std::uint32_t state_ = 0;
  std::int64_t tag_ = 0;
};
