// What output targets do alike on every system.
#include "host/HostError.h"
#include "host/OutputTarget.h"

namespace kestrune {

void OutputTarget::fail(const std::string& reason) const { throw HostError("cannot write '" + path_ + "': " + reason); }

OutputTarget::~OutputTarget() {
  if (!committed_) discard();
}

int OutputTarget::releaseDescriptor() {
  const int fd = fd_;
  fd_ = -1;
  return fd;
}

}  // namespace kestrune
