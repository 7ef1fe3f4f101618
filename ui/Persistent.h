// The root of everything that has published properties: components, nested property objects (fonts,
// images inside items) and collection items.
#pragma once

#include <string_view>

struct TClassInfo;

class TPersistent {
 public:
  TPersistent() = default;
  TPersistent(const TPersistent&) = delete;
  TPersistent& operator=(const TPersistent&) = delete;
  virtual ~TPersistent() = default;

  static const TClassInfo& StaticClass();
  virtual const TClassInfo& ClassInfo() const { return StaticClass(); }
  std::string_view ClassName() const;
  bool InheritsFrom(const TClassInfo& cls) const;

  // Copies the state of `source`. The base refuses: "Cannot assign a <source> to a <this>".
  virtual void Assign(const TPersistent& source);
  // The object this one is a part of (a component's owner, an item's collection); for error paths.
  virtual TPersistent* GetOwner() const { return nullptr; }
  // How this object is named in an error path ("Form1.Images", "DIBImages[2]").
  virtual std::string NamePath() const;
};
