// Small published classes that exercise every property kind of the description format.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "ui/ClassRegistry.h"
#include "ui/Collection.h"
#include "ui/Colors.h"
#include "ui/Component.h"
#include "ui/TypeInfo.h"

namespace uitest {

// A nested property object, like a font.
class TFace : public TPersistent {
 public:
  static const TClassInfo& StaticClass() {
    static const TClassInfo info =
        TClassBuilder<TFace>("TFace", &TPersistent::StaticClass())
            .String("Name", &TFace::Name, &TFace::Name, std::string("Tahoma"))
            .Int("Height", &TFace::Height, &TFace::Height, 11)
            .Color("Color", &TFace::Color, &TFace::Color, clBlack)
            .Set("Style", {"fsBold", "fsItalic", "fsUnderline"}, &TFace::Style, &TFace::Style, 0)
            .Build();
    return info;
  }
  const TClassInfo& ClassInfo() const override { return StaticClass(); }
  std::string Name = "Tahoma";
  int Height = 11;
  TColor Color = clBlack;
  std::uint32_t Style = 0;
};

class TThing;

class TPicItem : public TCollectionItem {
 public:
  explicit TPicItem(TCollection* c) : TCollectionItem(c) {}
  static const TClassInfo& StaticClass() {
    static const TClassInfo info = TClassBuilder<TPicItem>("TPicItem", &TCollectionItem::StaticClass())
                                       .Item()
                                       .Object("Face", [](const TPicItem& i) { return &i.face; })
                                       .Bytes("Data", &TPicItem::data, &TPicItem::SetData)
                                       .String("Title", &TPicItem::title, &TPicItem::title)
                                       .Build();
    return info;
  }
  const TClassInfo& ClassInfo() const override { return StaticClass(); }
  void SetData(std::span<const std::uint8_t> d) {
    if (d.size() == 3) throw std::runtime_error("Corrupt data");  // a payload the class refuses
    data.assign(d.begin(), d.end());
  }
  TFace face;
  std::vector<std::uint8_t> data;
  std::string title;
};

enum class TMode { mOne, mTwo, mThree };

class TThing : public TComponent {
 public:
  explicit TThing(TComponent* owner) : TComponent(owner), pics(this, TPicItem::StaticClass()) {
    pics.SetPropName("Pics");
    ++live;
  }
  ~TThing() override { --live; }
  static const TClassInfo& StaticClass() {
    static const TClassInfo info = TClassBuilder<TThing>("TThing", &TComponent::StaticClass())
                                       .Component()
                                       .Int("Count", &TThing::count, &TThing::count, 0)
                                       .Int("Small", &TThing::small, &TThing::small)
                                       .Float("Ratio", &TThing::ratio, &TThing::ratio, 1.0)
                                       .Bool("Active", &TThing::active, &TThing::active, false)
                                       .String("Caption", &TThing::caption, &TThing::caption)
                                       .Enum("Mode", {"mOne", "mTwo", "mThree"}, &TThing::mode, &TThing::mode, 0)
                                       .Color("Color", &TThing::color, &TThing::color, clBtnFace)
                                       .Object("Face", [](const TThing& t) { return &t.face; })
                                       .Reference<TThing>("Buddy", &TThing::GetBuddy, &TThing::SetBuddy)
                                       .Collection("Pics", [](const TThing& t) { return &t.pics; })
                                       .Event("OnPoke", &TThing::OnPoke)
                                       .Build();
    return info;
  }
  const TClassInfo& ClassInfo() const override { return StaticClass(); }

  TThing* GetBuddy() const { return buddy; }
  void SetBuddy(TThing* b) {
    if (buddy) buddy->RemoveFreeNotification(this);
    buddy = b;
    if (b) b->FreeNotification(this);
  }
  void Loaded() override {
    TComponent::Loaded();
    loadedOrder.push_back(Name());
  }

  std::int64_t count = 0;
  std::int8_t small = 0;
  double ratio = 1.0;
  bool active = false;
  std::string caption;
  TMode mode = TMode::mOne;
  TColor color = clBtnFace;
  TFace face;
  TThing* buddy = nullptr;
  TCollection pics;
  TEvent<TPersistent*, int> OnPoke;

  static inline int live = 0;
  static inline std::vector<std::string> loadedOrder;

 protected:
  void Notification(TComponent* c, TOperation op) override {
    TComponent::Notification(c, op);
    if (op == opRemove && c == buddy) buddy = nullptr;
  }
};

// A root class with handlers.
class TRoot : public TThing {
 public:
  explicit TRoot(TComponent* owner) : TThing(owner) {}
  static const TClassInfo& StaticClass() {
    static const TClassInfo info = TClassBuilder<TRoot>("TRoot", &TThing::StaticClass())
                                       .Component()
                                       .Method("ThingPoke", &TRoot::ThingPoke)
                                       .Method("Other", &TRoot::Other)
                                       .Build();
    return info;
  }
  const TClassInfo& ClassInfo() const override { return StaticClass(); }
  void ThingPoke(TPersistent* sender, int n) {
    lastSender = sender;
    pokes += n;
  }
  void Other(TPersistent*) {}
  TPersistent* lastSender = nullptr;
  int pokes = 0;
};

inline void RegisterTestClasses() { RegisterClasses({&TThing::StaticClass(), &TRoot::StaticClass()}); }

}  // namespace uitest
