#include "tests/x11/XvfbServer.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

namespace kestrune::test {

bool XvfbServer::Start(std::string* error) {
  int fds[2];
  if (pipe(fds) != 0) {
    *error = "cannot make a pipe for Xvfb";
    return false;
  }
  pid_ = fork();
  if (pid_ == 0) {
    close(fds[0]);
    const int quiet = open("/dev/null", O_WRONLY);
    if (quiet >= 0) {
      dup2(quiet, 1);
      dup2(quiet, 2);
    }
    const std::string fd = std::to_string(fds[1]);
    execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1600x1000x24", "-nolisten", "tcp", "-noreset",
           static_cast<char*>(nullptr));
    _exit(127);
  }
  close(fds[1]);
  if (pid_ < 0) {
    close(fds[0]);
    *error = "cannot start Xvfb";
    return false;
  }
  std::string number;
  pollfd p{fds[0], POLLIN, 0};
  char c = 0;
  while (poll(&p, 1, 20000) > 0 && read(fds[0], &c, 1) == 1 && c != '\n') number += c;
  close(fds[0]);
  if (number.empty()) {
    *error = "Xvfb did not start (is it installed? scripts/install-deps.sh brings it)";
    return false;
  }
  if (const char* old = std::getenv("DISPLAY")) {
    previous_ = old;
    hadPrevious_ = true;
  }
  display_ = ":" + number;
  setenv("DISPLAY", display_.c_str(), 1);
  return true;
}

XvfbServer::~XvfbServer() {
  if (pid_ > 0) {
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
  }
  if (hadPrevious_)
    setenv("DISPLAY", previous_.c_str(), 1);
  else if (!display_.empty())
    unsetenv("DISPLAY");
}

XvfbServer* XvfbTest::server_ = nullptr;
std::string XvfbTest::error_;

void XvfbTest::SetUpTestSuite() {
  error_.clear();
  server_ = new XvfbServer();
  if (!server_->Start(&error_)) error_ = "no virtual X server: " + error_;
}

void XvfbTest::TearDownTestSuite() {
  delete server_;
  server_ = nullptr;
}

}  // namespace kestrune::test
