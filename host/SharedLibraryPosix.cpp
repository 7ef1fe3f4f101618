#include <dlfcn.h>
#include <link.h>

#include "host/HostError.h"
#include "host/SharedLibrary.h"

namespace kestrune {
namespace {

class PosixLibrary final : public SharedLibrary {
 public:
  PosixLibrary(std::string path, void* handle) : SharedLibrary(std::move(path)), handle_(handle) {}
  ~PosixLibrary() override { dlclose(handle_); }

  void* findSymbol(const char* name) const override {
    void* symbol = dlsym(handle_, name);
    if (symbol == nullptr) return nullptr;
    // dlsym also searches the library's dependencies; an entry named `main` must not be found in
    // some other object, so the symbol has to lie in this library's own image.
    Dl_info info{};
    link_map* map = nullptr;
    if (dladdr(symbol, &info) == 0 || dlinfo(handle_, RTLD_DI_LINKMAP, &map) != 0 || map == nullptr) return nullptr;
    return reinterpret_cast<ElfW(Addr)>(info.dli_fbase) == map->l_addr ? symbol : nullptr;
  }

 private:
  void* handle_;
};

}  // namespace

std::unique_ptr<SharedLibrary> SharedLibrary::open(const std::string& path) {
  // A bare file name would make dlopen search the library path instead of the current folder.
  const std::string lookup = path.find('/') == std::string::npos ? "./" + path : path;
  dlerror();
  void* handle = dlopen(lookup.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    const char* error = dlerror();
    std::string reason = error != nullptr ? error : "unknown reason";
    // The loader's text usually repeats the path; the message names it once.
    if (reason.rfind(lookup + ": ", 0) == 0) reason.erase(0, lookup.size() + 2);
    throw HostError("cannot load '" + path + "': " + reason);
  }
  return std::make_unique<PosixLibrary>(path, handle);
}

}  // namespace kestrune
