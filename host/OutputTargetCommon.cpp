// What output targets do alike on every system.
#include <csignal>
#include <cstring>

#include "host/HostError.h"
#include "host/OutputTarget.h"
#include "host/OutputTargetInterrupt.h"

namespace kestrune {
namespace {

// The temporary output in progress, for the signal handler (async-signal-safe use only).
char interruptedTempPath[4096];
volatile std::sig_atomic_t haveTempPath = 0;

void onInterrupt(int signal) {
  if (haveTempPath != 0) interrupt::RemoveFile(interruptedTempPath);
  std::signal(signal, SIG_DFL);
  std::raise(signal);
}

}  // namespace

void interrupt::Remember(const std::string& tempPath) {
  haveTempPath = 0;
  if (tempPath.size() >= sizeof interruptedTempPath) return;
  std::memcpy(interruptedTempPath, tempPath.c_str(), tempPath.size() + 1);
  haveTempPath = 1;
}

void interrupt::Forget() { haveTempPath = 0; }

void interrupt::Install(std::initializer_list<int> signals) {
  for (int signal : signals) std::signal(signal, onInterrupt);
}

void OutputTarget::fail(const std::string& reason) const { throw HostError("cannot write '" + path_ + "': " + reason); }

OutputTarget::~OutputTarget() {
  if (!committed_) discard();
}

void OutputTarget::write(const void* bytes, std::size_t count) {
  if (const int error = tryWrite(bytes, count); error != 0) fail(std::strerror(error));
}

int OutputTarget::releaseDescriptor() {
  const int fd = fd_;
  fd_ = -1;
  return fd;
}

}  // namespace kestrune
