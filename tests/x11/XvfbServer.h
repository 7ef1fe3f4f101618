// A virtual X server for the tests that need a display, started by the test itself so that they
// run on a machine without one. Xvfb picks a free display number and reports it on a pipe.
#pragma once

#include <sys/types.h>

#include <string>

namespace kestrune::test {

class XvfbServer {
 public:
  XvfbServer() = default;
  ~XvfbServer();  // stops the server and puts DISPLAY back
  XvfbServer(const XvfbServer&) = delete;
  XvfbServer& operator=(const XvfbServer&) = delete;

  // Starts Xvfb and points DISPLAY at it; false with a one-line reason when it cannot.
  bool Start(std::string* error);
  const std::string& Display() const { return display_; }

 private:
  pid_t pid_ = -1;
  std::string display_;
  std::string previous_;
  bool hadPrevious_ = false;
};

}  // namespace kestrune::test
