// A virtual X server for the tests that need a display, started by the test itself so that they
// run on a machine without one. Xvfb picks a free display number and reports it on a pipe.
#pragma once

#include <gtest/gtest.h>
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

// A test suite whose tests share one server, started before the first of them; each test's SetUp
// begins with ASSERT_TRUE(ServerError().empty()) << ServerError().
class XvfbTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite();
  static void TearDownTestSuite();
  static const std::string& ServerError() { return error_; }

 private:
  static XvfbServer* server_;
  static std::string error_;
};

}  // namespace kestrune::test
