// Events: a handler bound to its receiver, possibly empty, plus the name it was bound by in a window
// description (so that the description can be written back). Callers test before calling; calling an
// empty event does nothing.
#pragma once

#include <functional>
#include <string>
#include <utility>

template <class... A>
class TEvent {
 public:
  using Handler = std::function<void(A...)>;

  TEvent() = default;
  TEvent(Handler handler, std::string name = {}) : handler_(std::move(handler)), name_(std::move(name)) {}
  template <class R>
  TEvent(R* receiver, void (R::*method)(A...), std::string name = {})
      : handler_([receiver, method](A... a) { (receiver->*method)(a...); }), name_(std::move(name)) {}

  explicit operator bool() const { return static_cast<bool>(handler_); }
  void operator()(A... a) const {
    if (handler_) handler_(a...);
  }
  // The handler name a description bound this event to; empty when bound from code.
  const std::string& HandlerName() const { return name_; }
  void Clear() {
    handler_ = nullptr;
    name_.clear();
  }

 private:
  Handler handler_;
  std::string name_;
};

class TPersistent;
using TNotifyEvent = TEvent<TPersistent*>;
