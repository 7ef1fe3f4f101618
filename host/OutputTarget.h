// Where a command's output file goes, made so that a failure never leaves a partial file and never
// destroys what was there. The output is written to a temporary file; commit() puts it in place:
// - a regular file (new, or existing, also when reached through symbolic links): the temporary
//   file is hidden beside the real file and renamed over it, so the link itself stays;
// - an existing FIFO or device (a pipe, /dev/stdout, a terminal): the temporary file lies in the
//   system's temporary folder and is copied into it, since formats that finish their header at
//   the end need a file they can seek in;
// - a folder, or a path in a folder that does not exist: refused at once.
// An uncommitted target removes its temporary file: on failure, on an exception, and on SIGINT,
// SIGTERM or SIGHUP once installInterruptCleanup() has run. Every failure is a HostError
// "cannot write '<path>': <the system's reason>".
#pragma once

#include <cstddef>
#include <string>

namespace kestrune {

class OutputTarget {
 public:
  explicit OutputTarget(const std::string& path);
  ~OutputTarget();
  OutputTarget(const OutputTarget&) = delete;
  OutputTarget& operator=(const OutputTarget&) = delete;

  // The temporary file, open for writing. releaseDescriptor() hands it to a writer that closes it
  // itself; write() and commit() then no longer touch it.
  int descriptor() const { return fd_; }
  int releaseDescriptor();
  void write(const void* bytes, std::size_t count);
  // write() for writers that must not throw (a C library's callback): 0, or the system's error
  // number for the first failure.
  int tryWrite(const void* bytes, std::size_t count) noexcept;
  // Closes the temporary file (if still held) and puts it in place.
  void commit();

  const std::string& path() const { return path_; }
  const std::string& temporaryPath() const { return tempPath_; }
  // The reason of a failure, as the message every failure of this target carries.
  [[noreturn]] void fail(const std::string& reason) const;

 private:
  void discard();
  void copyInto(int target);

  std::string path_;      // as the user gave it
  std::string realPath_;  // the regular file it names, links followed
  bool special_ = false;  // an existing FIFO or device: copied into at commit
  std::string tempPath_;
  int fd_ = -1;
  bool committed_ = false;
};

// Removes the temporary file of the output in progress when the process is interrupted (SIGINT,
// SIGTERM, SIGHUP), then ends with the conventional status; a closed pipe becomes a write error.
void installInterruptCleanup();

}  // namespace kestrune
