#include "ui/ClassRegistry.h"

#include <cctype>
#include <map>
#include <mutex>
#include <string>

#include "ui/FrameworkClasses.h"
#include "ui/TypeInfo.h"

namespace {
struct Registry {
  std::mutex lock;
  std::map<std::string, const TClassInfo*> byName;  // lower-case name
};

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& ch : out) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  return out;
}

Registry& Instance() {
  static Registry r;
  static std::once_flag framework;
  std::call_once(framework, [] {
    for (const TClassInfo* c : FrameworkClasses()) r.byName[Lower(c->Name)] = c;
  });
  return r;
}
}  // namespace

void RegisterClass(const TClassInfo& cls) {
  Registry& r = Instance();
  std::lock_guard<std::mutex> g(r.lock);
  r.byName[Lower(cls.Name)] = &cls;
}

void RegisterClasses(std::initializer_list<const TClassInfo*> classes) {
  for (const TClassInfo* c : classes)
    if (c) RegisterClass(*c);
}

const TClassInfo* FindClass(std::string_view name) {
  Registry& r = Instance();
  std::lock_guard<std::mutex> g(r.lock);
  auto it = r.byName.find(Lower(name));
  return it == r.byName.end() ? nullptr : it->second;
}
