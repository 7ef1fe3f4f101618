// The Windows loader: LoadLibrary, and exports looked up in the library's own export table.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include "host/HostError.h"
#include "host/SharedLibrary.h"

namespace kestrune {
namespace {

class Win32Library final : public SharedLibrary {
 public:
  Win32Library(std::string path, HMODULE module) : SharedLibrary(std::move(path)), module_(module) {}
  ~Win32Library() override { ::FreeLibrary(module_); }

  void* findSymbol(const char* name) const override {
    void* symbol = reinterpret_cast<void*>(::GetProcAddress(module_, name));
    if (symbol == nullptr) return nullptr;
    // An export forwarded to another DLL is not this library's own entry.
    HMODULE owner = nullptr;
    if (!::GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                              static_cast<LPCSTR>(symbol), &owner))
      return nullptr;
    return owner == module_ ? symbol : nullptr;
  }

 private:
  HMODULE module_;
};

// The system's text for an error code, on one line.
std::string SystemReason(DWORD code) {
  char* text = nullptr;
  const DWORD n =
      ::FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, code, 0, reinterpret_cast<LPSTR>(&text), 0, nullptr);
  std::string reason = n && text ? std::string(text, n) : "error " + std::to_string(code);
  if (text) ::LocalFree(text);
  while (!reason.empty() &&
         (reason.back() == '\n' || reason.back() == '\r' || reason.back() == ' ' || reason.back() == '.'))
    reason.pop_back();
  for (char& c : reason)
    if (c == '\r' || c == '\n') c = ' ';
  return reason;
}

}  // namespace

std::unique_ptr<SharedLibrary> SharedLibrary::open(const std::string& path) {
  // A bare file name would make the loader search the system folders instead of the current one.
  const std::string lookup = path.find_first_of("/\\:") == std::string::npos ? ".\\" + path : path;
  // No dialog box for a missing dependency or an unreadable drive: the error comes back to us.
  DWORD previous = 0;
  ::SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, &previous);
  HMODULE module = ::LoadLibraryExA(lookup.c_str(), nullptr, 0);
  const DWORD error = ::GetLastError();
  ::SetThreadErrorMode(previous, nullptr);
  if (module == nullptr) throw HostError("cannot load '" + path + "': " + SystemReason(error));
  return std::make_unique<Win32Library>(path, module);
}

}  // namespace kestrune
