#include "ui/Component.h"

#include <algorithm>
#include <cctype>

#include "ui/Errors.h"
#include "ui/TypeInfo.h"

namespace {
bool IsIdent(const std::string& s) {
  if (s.empty() || !(std::isalpha(static_cast<unsigned char>(s[0])) || s[0] == '_')) return false;
  return std::all_of(s.begin(), s.end(),
                     [](char ch) { return std::isalnum(static_cast<unsigned char>(ch)) || ch == '_'; });
}
}  // namespace

const TClassInfo& TComponent::StaticClass() {
  static const TClassInfo info = TClassBuilder<TComponent>("TComponent", &TPersistent::StaticClass())
                                     .Int("Tag", &TComponent::Tag, &TComponent::SetTag, 0)
                                     .Build();
  return info;
}

TComponent::TComponent(TComponent* owner) {
  if (owner) owner->InsertComponent(this);
}

TComponent::~TComponent() {
  state_ |= csDestroying;
  // Tell everyone who asked; they may ask back or remove themselves while being told.
  while (!freeNotifies_.empty()) {
    TComponent* other = freeNotifies_.back();
    freeNotifies_.pop_back();
    auto& theirs = other->freeNotifies_;
    theirs.erase(std::remove(theirs.begin(), theirs.end(), this), theirs.end());
    other->Notification(this, opRemove);
  }
  DestroyComponents();
  if (owner_) owner_->RemoveComponent(this);
}

void TComponent::Free(TComponent* c) {
  if (!c) return;
  c->state_ |= csDestroying;
  delete c;
}

void TComponent::SetName(const std::string& name) {
  if (name == name_) return;
  if (!name.empty() && !IsIdent(name)) throw EComponentError("'" + name + "' is not a valid component name");
  if (!name.empty() && owner_) {
    TComponent* other = owner_->FindComponent(name);
    if (other && other != this) throw EComponentError("A component named " + name + " already exists");
  }
  name_ = name;
}

int TComponent::ComponentIndex() const {
  if (!owner_) return -1;
  auto& list = owner_->components_;
  auto it = std::find(list.begin(), list.end(), this);
  return it == list.end() ? -1 : static_cast<int>(it - list.begin());
}

TComponent* TComponent::FindComponent(std::string_view name) const {
  if (name.empty()) return nullptr;
  for (TComponent* c : components_)
    if (SameText(c->name_, name)) return c;
  return nullptr;
}

void TComponent::InsertComponent(TComponent* c) {
  if (!c || c->owner_ == this) return;
  if (!c->name_.empty() && FindComponent(c->name_))
    throw EComponentError("A component named " + c->name_ + " already exists");
  if (c->owner_) c->owner_->RemoveComponent(c);
  components_.push_back(c);
  c->owner_ = this;
  Notification(c, opInsert);
}

void TComponent::RemoveComponent(TComponent* c) {
  if (!c || c->owner_ != this) return;
  Notification(c, opRemove);
  Remove(c);
}

void TComponent::Remove(TComponent* c) {
  components_.erase(std::remove(components_.begin(), components_.end(), c), components_.end());
  c->owner_ = nullptr;
}

void TComponent::DestroyComponents() {
  while (!components_.empty()) {
    TComponent* c = components_.back();
    // Take it out first so that a failure or a re-entrant call never frees it twice.
    Remove(c);
    Notification(c, opRemove);
    Free(c);
  }
}

void TComponent::FreeNotification(TComponent* c) {
  if (!c || c == this) return;
  if (std::find(freeNotifies_.begin(), freeNotifies_.end(), c) == freeNotifies_.end()) freeNotifies_.push_back(c);
  if (std::find(c->freeNotifies_.begin(), c->freeNotifies_.end(), this) == c->freeNotifies_.end())
    c->freeNotifies_.push_back(this);
}

void TComponent::RemoveFreeNotification(TComponent* c) {
  if (!c) return;
  RemoveNotification(c);
  c->RemoveNotification(this);
}

void TComponent::RemoveNotification(TComponent* c) {
  freeNotifies_.erase(std::remove(freeNotifies_.begin(), freeNotifies_.end(), c), freeNotifies_.end());
}

void TComponent::Notification(TComponent* c, TOperation op) {
  if (op == opRemove) RemoveFreeNotification(c);
  // An owner passes the news on to everything it owns, so siblings can drop references.
  for (std::size_t i = 0; i < components_.size(); ++i) components_[i]->Notification(c, op);
}

void TComponent::SetLoading() { state_ |= csLoading; }

void TComponent::SetReading(bool on) {
  if (on)
    state_ |= csReading;
  else
    state_ &= ~static_cast<std::uint32_t>(csReading);
}

void TComponent::Loaded() { state_ &= ~static_cast<std::uint32_t>(csLoading); }

TPersistent* TComponent::GetOwner() const { return owner_; }

std::string TComponent::NamePath() const {
  std::string path;
  if (owner_ && !owner_->name_.empty()) path.append(owner_->name_).append(".");
  if (name_.empty())
    path.append("<").append(ClassName()).append(">");
  else
    path.append(name_);
  return path;
}
