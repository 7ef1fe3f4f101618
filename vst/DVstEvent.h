// An event of the effect: a (handler, receiver) pair that may be empty. Callers go through
// operator(), which tests the handler first.
#pragma once

template <class... Args>
struct TVstEvent {
  using Handler = void (*)(void* receiver, Args... args);

  Handler handler = nullptr;
  void* receiver = nullptr;

  explicit operator bool() const { return handler != nullptr; }
  void operator()(Args... args) const {
    if (handler != nullptr) handler(receiver, args...);
  }

  // An event calling a member function: TVstEvent<int>::bind<&APlugin::parameterChanged>(this).
  template <auto Method, class Receiver>
  static TVstEvent bind(Receiver* object) {
    return TVstEvent{[](void* r, Args... args) { (static_cast<Receiver*>(r)->*Method)(args...); }, object};
  }
};
