// Output targets on Windows: the temporary file is hidden beside the target and moved over it at
// commit. Windows has no FIFOs or devices to write into by name here, so every target is a file.
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include "host/OutputTarget.h"
#include "host/OutputTargetInterrupt.h"

namespace kestrune {
namespace {

namespace fs = std::filesystem;

// The system's text for the last error, on one line.
std::string lastSystemReason() {
  const DWORD code = ::GetLastError();
  char text[512] = {};
  DWORD n = ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, text,
                             sizeof text, nullptr);
  while (n > 0 && (text[n - 1] == '\n' || text[n - 1] == '\r' || text[n - 1] == ' ' || text[n - 1] == '.')) --n;
  return n > 0 ? std::string(text, n) : "error " + std::to_string(code);
}

}  // namespace

OutputTarget::OutputTarget(const std::string& path) : path_(path) {
  if (path.empty()) fail("no file name");
  std::error_code ec;
  if (fs::is_directory(path, ec)) fail("it is a folder");
  const fs::path real(path);
  realPath_ = path;
  const fs::path folder = real.has_parent_path() ? real.parent_path() : fs::path(".");
  for (unsigned attempt = 0; fd_ < 0 && attempt < 100; ++attempt) {
    std::string name = ".";
    name += real.filename().string();
    name += ".kestrune-";
    name += std::to_string(::GetCurrentProcessId());
    name += '-';
    name += std::to_string(::GetTickCount() + attempt);
    tempPath_ = (folder / name).string();
    fd_ = _open(tempPath_.c_str(), _O_CREAT | _O_EXCL | _O_WRONLY | _O_BINARY, _S_IREAD | _S_IWRITE);
    if (fd_ < 0 && errno != EEXIST) break;
  }
  if (fd_ < 0) {
    const int error = errno;
    tempPath_.clear();
    fail(std::strerror(error));
  }
  interrupt::Remember(tempPath_);
}

int OutputTarget::tryWrite(const void* bytes, std::size_t count) noexcept {
  const auto* p = static_cast<const char*>(bytes);
  while (count > 0) {
    const unsigned chunk = count > (1u << 30) ? (1u << 30) : unsigned(count);
    const int n = _write(fd_, p, chunk);
    if (n <= 0) return n < 0 ? errno : EIO;
    p += n;
    count -= std::size_t(n);
  }
  return 0;
}

void OutputTarget::commit() {
  if (fd_ >= 0 && _close(releaseDescriptor()) != 0) fail(std::strerror(errno));
  if (!::MoveFileExA(tempPath_.c_str(), realPath_.c_str(), MOVEFILE_REPLACE_EXISTING)) fail(lastSystemReason());
  committed_ = true;
  interrupt::Forget();
}

void OutputTarget::discard() {
  if (fd_ >= 0) _close(releaseDescriptor());
  if (!tempPath_.empty()) ::DeleteFileA(tempPath_.c_str());
  interrupt::Forget();
}

void installInterruptCleanup() { interrupt::Install({SIGINT, SIGTERM}); }

void interrupt::RemoveFile(const char* path) { ::DeleteFileA(path); }

}  // namespace kestrune
