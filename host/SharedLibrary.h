// Loading a shared library and finding exported symbols in it, behind a small interface so that
// each operating system supplies one implementation file (dlopen here; LoadLibrary on Windows).
#pragma once

#include <memory>
#include <string>

namespace kestrune {

class SharedLibrary {
 public:
  virtual ~SharedLibrary() = default;  // unloads the library

  // The address of an exported symbol defined by this library itself (not by one of its
  // dependencies or by the host program), or null.
  virtual void* findSymbol(const char* name) const = 0;
  const std::string& path() const { return path_; }

  // Loads the library with all its symbols resolved now; throws HostError naming the path and the
  // system's reason when it cannot.
  static std::unique_ptr<SharedLibrary> open(const std::string& path);

 protected:
  explicit SharedLibrary(std::string path) : path_(std::move(path)) {}

 private:
  std::string path_;
};

}  // namespace kestrune
