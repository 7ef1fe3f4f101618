#include "host/OutputTarget.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>

#include "host/HostError.h"
#include "host/OutputTargetInterrupt.h"

namespace kestrune {
namespace {

namespace fs = std::filesystem;

// Follows symbolic links, also dangling ones, to the path they finally name.
fs::path followLinks(const std::string& given, const OutputTarget& target) {
  fs::path path(given);
  for (int depth = 0;; ++depth) {
    std::error_code ec;
    if (!fs::is_symlink(fs::symlink_status(path, ec))) return path;
    if (depth == 40) target.fail(std::strerror(ELOOP));
    const fs::path next = fs::read_symlink(path, ec);
    if (ec) target.fail(ec.message());
    path = next.is_absolute() ? next : path.parent_path() / next;
  }
}

}  // namespace

OutputTarget::OutputTarget(const std::string& path) : path_(path) {
  if (path.empty()) fail("no file name");
  struct stat info {};
  fs::path folder;
  std::string name;
  if (stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) {
    if (S_ISDIR(info.st_mode)) fail("it is a folder");
    // A pipe or a device: written into as it is, never replaced.
    special_ = true;
    folder = fs::temp_directory_path();
    name = "kestrune-output";
  } else {
    const fs::path real = followLinks(path, *this);
    realPath_ = real.string();
    folder = real.has_parent_path() ? real.parent_path() : fs::path(".");
    // Hidden, beside the target so that the final rename stays within one file system.
    name.assign(1, '.');
    name.append(real.filename().string());
  }
  std::string pattern = (folder / (name + ".kestrune-XXXXXX")).string();
  // An interruption between creating the file and noting its name would leave it behind.
  sigset_t interrupts, previous;
  sigemptyset(&interrupts);
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&interrupts, signal);
  sigprocmask(SIG_BLOCK, &interrupts, &previous);
  fd_ = mkstemp(pattern.data());
  const int error = errno;
  if (fd_ >= 0) interrupt::Remember(pattern);
  sigprocmask(SIG_SETMASK, &previous, nullptr);
  if (fd_ < 0) fail(std::strerror(error));
  tempPath_ = pattern;
  // mkstemp creates the file private; a new output gets the usual permissions, a replaced one
  // keeps its own.
  const mode_t mask = umask(0);
  umask(mask);
  struct stat existing {};
  if (!special_ && stat(realPath_.c_str(), &existing) == 0)
    fchmod(fd_, existing.st_mode & 07777);
  else
    fchmod(fd_, 0666 & ~mask);
}

int OutputTarget::tryWrite(const void* bytes, std::size_t count) noexcept {
  const auto* p = static_cast<const char*>(bytes);
  while (count > 0) {
    const ssize_t n = ::write(fd_, p, count);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return n < 0 ? errno : EIO;
    p += n;
    count -= static_cast<std::size_t>(n);
  }
  return 0;
}

void OutputTarget::copyInto(int target) {
  const int source = open(tempPath_.c_str(), O_RDONLY);
  if (source < 0) fail(std::strerror(errno));
  char buffer[65536];
  for (;;) {
    const ssize_t got = read(source, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      const int error = errno;
      close(source);
      fail(std::strerror(error));
    }
    if (got == 0) break;
    for (ssize_t done = 0; done < got;) {
      const ssize_t n = ::write(target, buffer + done, static_cast<std::size_t>(got - done));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        const int error = n < 0 ? errno : EIO;
        close(source);
        fail(std::strerror(error));
      }
      done += n;
    }
  }
  close(source);
}

void OutputTarget::commit() {
  if (fd_ >= 0) {
    const int fd = releaseDescriptor();
    if (close(fd) != 0) fail(std::strerror(errno));
  }
  if (special_) {
    const int target = open(path_.c_str(), O_WRONLY | O_NOCTTY);
    if (target < 0) fail(std::strerror(errno));
    try {
      copyInto(target);
    } catch (...) {
      close(target);
      throw;
    }
    if (close(target) != 0) fail(std::strerror(errno));
    discard();
  } else if (std::rename(tempPath_.c_str(), realPath_.c_str()) != 0) {
    fail(std::strerror(errno));
  }
  committed_ = true;
  interrupt::Forget();
}

void OutputTarget::discard() {
  if (fd_ >= 0) close(releaseDescriptor());
  if (!tempPath_.empty()) unlink(tempPath_.c_str());
  interrupt::Forget();
}

void installInterruptCleanup() {
  interrupt::Install({SIGINT, SIGTERM, SIGHUP});
  std::signal(SIGPIPE, SIG_IGN);
}

void interrupt::RemoveFile(const char* path) { unlink(path); }

}  // namespace kestrune
