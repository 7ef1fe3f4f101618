// Run-time class information: class names, factories, published properties and the handler methods
// a form offers to event bindings. Classes describe themselves once, through TClassBuilder:
//
//   const TClassInfo& TDIBTimer::StaticClass() {
//     static const TClassInfo info = TClassBuilder<TDIBTimer>("TDIBTimer", &TComponent::StaticClass())
//         .Component()
//         .Bool("Enabled", &TDIBTimer::GetEnabled, &TDIBTimer::SetEnabled, false)
//         .Int("Interval", &TDIBTimer::GetInterval, &TDIBTimer::SetInterval, 1000)
//         .Event("OnTimer", &TDIBTimer::OnTimer)
//         .Build();
//     return info;
//   }
//
// Getters and setters may be member functions, data members or any callables taking the object.
#pragma once

#include <any>
#include <cstdint>
#include <functional>
#include <limits>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <typeindex>
#include <vector>

#include "ui/Events.h"
#include "ui/Persistent.h"

class TComponent;
class TCollection;
class TCollectionItem;

enum class TPropKind {
  Integer,  // any integral type, range checked on reading
  Float,    // float or double
  Boolean,
  String,
  Enum,        // ordinal with value names (Names[i] names value i)
  Set,         // bit set with bit names (Names[i] names bit i)
  Color,       // TColor, written by name where one exists
  Object,      // nested TPersistent, stored as "Prop.Sub = ..."
  Collection,  // owned TCollection, stored as "< item ... end >"
  Reference,   // another component, by name, resolved after reading
  Event,       // TEvent bound to a named handler method of the root
  Bytes,       // a byte block "{ hex }"; the class encodes and decodes its own payload
};

struct TPropInfo {
  std::string Name;
  TPropKind Kind = TPropKind::Integer;

  // Integer, Boolean, Enum, Set, Color
  std::function<std::int64_t(const TPersistent&)> GetOrd;
  std::function<void(TPersistent&, std::int64_t)> SetOrd;
  std::int64_t MinValue = 0, MaxValue = 0;
  std::vector<std::string> Names;  // Enum, Set
  // Float
  std::function<double(const TPersistent&)> GetFloat;
  std::function<void(TPersistent&, double)> SetFloat;
  // String
  std::function<std::string(const TPersistent&)> GetString;
  std::function<void(TPersistent&, const std::string&)> SetString;
  // Object, Collection (the result is a TCollection for Collection)
  std::function<TPersistent*(const TPersistent&)> GetObject;
  // Reference
  std::function<TComponent*(const TPersistent&)> GetRef;
  std::function<void(TPersistent&, TComponent*)> SetRef;
  const TClassInfo& (*RefClass)() = nullptr;  // a function: a class may refer to its own kind
  // Event: the handler type (std::function<void(A...)>) and access by name
  std::type_index EventType = typeid(void);
  std::function<std::string(const TPersistent&)> GetHandlerName;
  std::function<void(TPersistent&, std::any handler, const std::string& name)> SetHandler;
  // Bytes
  std::function<std::vector<std::uint8_t>(const TPersistent&)> GetBytes;
  std::function<void(TPersistent&, std::span<const std::uint8_t>)> SetBytes;

  std::optional<std::int64_t> OrdDefault;
  std::optional<double> FloatDefault;
  std::optional<std::string> StringDefault;
  // Extra condition for storing; null means "stored unless equal to the default".
  std::function<bool(const TPersistent&)> Stored;
};

// A handler a class offers for event bindings by name ("OnCreate = FormCreate").
struct TMethodInfo {
  std::string Name;
  std::type_index HandlerType = typeid(void);           // std::function<void(A...)>
  std::function<std::any(TPersistent& receiver)> Bind;  // yields a std::function<void(A...)>
};

struct TClassInfo {
  std::string Name;
  const TClassInfo* Parent = nullptr;
  std::function<TComponent*(TComponent* owner)> CreateComponent;        // creatable components
  std::function<TCollectionItem*(TCollection& collection)> CreateItem;  // collection items
  std::vector<TPropInfo> Props;                                         // own properties, in order
  std::vector<TMethodInfo> Methods;

  bool InheritsFrom(const TClassInfo& other) const;
  // Case-insensitive lookups through the class and its ancestors.
  const TPropInfo* FindProp(std::string_view name) const;
  const TMethodInfo* FindMethod(std::string_view name) const;
  // Every property, ancestors' first, each class in registration order.
  std::vector<const TPropInfo*> AllProps() const;
};

bool SameText(std::string_view a, std::string_view b);

template <class T>
class TClassBuilder {
 public:
  TClassBuilder(std::string name, const TClassInfo* parent) {
    info_.Name = std::move(name);
    info_.Parent = parent;
  }

  // Readers may create it as a component owned by the description's root.
  TClassBuilder& Component() {
    info_.CreateComponent = [](TComponent* owner) -> TComponent* { return new T(owner); };
    return *this;
  }
  // Readers may create it as an item of a collection.
  TClassBuilder& Item() {
    info_.CreateItem = [](TCollection& c) -> TCollectionItem* { return new T(&c); };
    return *this;
  }

  template <class G, class S>
  TClassBuilder& Int(std::string name, G get, S set, std::optional<std::int64_t> def = std::nullopt) {
    using V = Value<G>;
    static_assert(std::is_integral_v<V>);
    TPropInfo& p = Add(std::move(name), TPropKind::Integer);
    OrdAccess<V>(p, get, set);
    p.MinValue = static_cast<std::int64_t>(std::numeric_limits<V>::min());
    if constexpr (std::is_unsigned_v<V> && sizeof(V) >= sizeof(std::int64_t))
      p.MaxValue = INT64_MAX;
    else
      p.MaxValue = static_cast<std::int64_t>(std::numeric_limits<V>::max());
    p.OrdDefault = def;
    return *this;
  }
  template <class G, class S>
  TClassBuilder& Bool(std::string name, G get, S set, std::optional<bool> def = std::nullopt) {
    TPropInfo& p = Add(std::move(name), TPropKind::Boolean);
    p.GetOrd = [get](const TPersistent& o) -> std::int64_t { return std::invoke(get, Self(o)) ? 1 : 0; };
    p.SetOrd = [set](TPersistent& o, std::int64_t v) { Put(Self(o), set, v != 0); };
    p.MinValue = 0;
    p.MaxValue = 1;
    if (def) p.OrdDefault = *def ? 1 : 0;
    return *this;
  }
  template <class G, class S>
  TClassBuilder& Float(std::string name, G get, S set, std::optional<double> def = std::nullopt) {
    using V = Value<G>;
    TPropInfo& p = Add(std::move(name), TPropKind::Float);
    p.GetFloat = [get](const TPersistent& o) { return static_cast<double>(std::invoke(get, Self(o))); };
    p.SetFloat = [set](TPersistent& o, double v) { Put(Self(o), set, static_cast<V>(v)); };
    p.FloatDefault = def;
    return *this;
  }
  template <class G, class S>
  TClassBuilder& String(std::string name, G get, S set, std::optional<std::string> def = std::nullopt) {
    TPropInfo& p = Add(std::move(name), TPropKind::String);
    p.GetString = [get](const TPersistent& o) { return std::string(std::invoke(get, Self(o))); };
    p.SetString = [set](TPersistent& o, const std::string& v) { Put(Self(o), set, v); };
    p.StringDefault = std::move(def);
    return *this;
  }
  // An enumeration whose values are 0, 1, 2 ... named by `names` in order.
  template <class G, class S>
  TClassBuilder& Enum(std::string name, std::vector<std::string> names, G get, S set,
                      std::optional<std::int64_t> def = std::nullopt) {
    using V = Value<G>;
    TPropInfo& p = Add(std::move(name), TPropKind::Enum);
    OrdAccess<V>(p, get, set);
    p.MinValue = 0;
    p.MaxValue = static_cast<std::int64_t>(names.size()) - 1;
    p.Names = std::move(names);
    p.OrdDefault = def;
    return *this;
  }
  // A set held in an unsigned integer: bit i is named names[i].
  template <class G, class S>
  TClassBuilder& Set(std::string name, std::vector<std::string> names, G get, S set,
                     std::optional<std::int64_t> def = std::nullopt) {
    using V = Value<G>;
    TPropInfo& p = Add(std::move(name), TPropKind::Set);
    OrdAccess<V>(p, get, set);
    p.MinValue = 0;
    p.MaxValue = names.size() >= 63 ? INT64_MAX : (std::int64_t{1} << names.size()) - 1;
    p.Names = std::move(names);
    p.OrdDefault = def;
    return *this;
  }
  template <class G, class S>
  TClassBuilder& Color(std::string name, G get, S set, std::optional<std::int64_t> def = std::nullopt) {
    using V = Value<G>;
    TPropInfo& p = Add(std::move(name), TPropKind::Color);
    OrdAccess<V>(p, get, set);
    p.MinValue = INT32_MIN;
    p.MaxValue = UINT32_MAX;
    p.OrdDefault = def;
    return *this;
  }
  // A nested property object owned by the instance; `get` returns a pointer or reference to it.
  template <class G>
  TClassBuilder& Object(std::string name, G get) {
    TPropInfo& p = Add(std::move(name), TPropKind::Object);
    p.GetObject = [get](const TPersistent& o) -> TPersistent* { return AsPtr(std::invoke(get, Self(o))); };
    return *this;
  }
  template <class G>
  TClassBuilder& Collection(std::string name, G get) {
    TPropInfo& p = Add(std::move(name), TPropKind::Collection);
    p.GetObject = [get](const TPersistent& o) -> TPersistent* { return AsPtr(std::invoke(get, Self(o))); };
    return *this;
  }
  // A reference to a component of class R (or a descendant).
  template <class R, class G, class S>
  TClassBuilder& Reference(std::string name, G get, S set) {
    TPropInfo& p = Add(std::move(name), TPropKind::Reference);
    p.GetRef = [get](const TPersistent& o) -> TComponent* { return std::invoke(get, Self(o)); };
    p.SetRef = [set](TPersistent& o, TComponent* c) { Put(Self(o), set, dynamic_cast<R*>(c)); };
    p.RefClass = &R::StaticClass;
    return *this;
  }
  // An event held in a data member of type TEvent<A...>.
  template <class... A>
  TClassBuilder& Event(std::string name, TEvent<A...> T::*member) {
    return Event<A...>(
        std::move(name), [member](const T& t) -> const TEvent<A...>& { return t.*member; },
        [member](T& t, const TEvent<A...>& e) { t.*member = e; });
  }
  // An event with a getter and a setter (a setter that must react to a change).
  template <class... A, class G, class S>
  TClassBuilder& Event(std::string name, G get, S set) {
    using Handler = typename TEvent<A...>::Handler;
    TPropInfo& p = Add(std::move(name), TPropKind::Event);
    p.EventType = typeid(Handler);
    p.GetHandlerName = [get](const TPersistent& o) {
      const TEvent<A...>& e = std::invoke(get, Self(o));
      return e ? e.HandlerName() : std::string();
    };
    p.SetHandler = [set](TPersistent& o, std::any h, const std::string& hname) {
      TEvent<A...> e;
      if (h.has_value()) e = TEvent<A...>(std::any_cast<Handler>(std::move(h)), hname);
      Put(Self(o), set, e);
    };
    return *this;
  }
  template <class G, class S>
  TClassBuilder& Bytes(std::string name, G get, S set) {
    TPropInfo& p = Add(std::move(name), TPropKind::Bytes);
    p.GetBytes = [get](const TPersistent& o) { return std::vector<std::uint8_t>(std::invoke(get, Self(o))); };
    p.SetBytes = [set](TPersistent& o, std::span<const std::uint8_t> v) { std::invoke(set, Self(o), v); };
    return *this;
  }
  // Adds a storing condition to the property registered last.
  template <class F>
  TClassBuilder& StoredIf(F stored) {
    info_.Props.back().Stored = [stored](const TPersistent& o) {
      return static_cast<bool>(std::invoke(stored, Self(o)));
    };
    return *this;
  }
  // A handler method that event bindings in descriptions may name.
  template <class... A>
  TClassBuilder& Method(std::string name, void (T::*method)(A...)) {
    using Handler = std::function<void(A...)>;
    TMethodInfo m;
    m.Name = std::move(name);
    m.HandlerType = typeid(Handler);
    m.Bind = [method](TPersistent& receiver) -> std::any {
      T* t = &static_cast<T&>(receiver);
      return Handler([t, method](A... a) { (t->*method)(a...); });
    };
    info_.Methods.push_back(std::move(m));
    return *this;
  }

  TClassInfo Build() { return std::move(info_); }

 private:
  template <class G>
  using Value = std::remove_cvref_t<std::invoke_result_t<G, const T&>>;

  static const T& Self(const TPersistent& o) { return static_cast<const T&>(o); }
  static T& Self(TPersistent& o) { return static_cast<T&>(o); }
  template <class S, class V>
  static void Put(T& t, S set, V&& v) {
    if constexpr (std::is_member_object_pointer_v<S>)
      t.*set = std::forward<V>(v);
    else
      std::invoke(set, t, std::forward<V>(v));
  }
  template <class P>
  static TPersistent* AsPtr(P&& p) {
    if constexpr (std::is_pointer_v<std::remove_cvref_t<P>>)
      return const_cast<std::remove_const_t<std::remove_pointer_t<std::remove_cvref_t<P>>>*>(p);
    else
      return const_cast<std::remove_cvref_t<P>*>(&p);
  }
  template <class V, class G, class S>
  static void OrdAccess(TPropInfo& p, G get, S set) {
    p.GetOrd = [get](const TPersistent& o) { return static_cast<std::int64_t>(std::invoke(get, Self(o))); };
    p.SetOrd = [set](TPersistent& o, std::int64_t v) { Put(Self(o), set, static_cast<V>(v)); };
  }
  TPropInfo& Add(std::string name, TPropKind kind) {
    info_.Props.emplace_back();
    info_.Props.back().Name = std::move(name);
    info_.Props.back().Kind = kind;
    return info_.Props.back();
  }

  TClassInfo info_;
};
