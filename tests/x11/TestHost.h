// The plug-in host's side of the X11 tests: a top-level window on the test's own connection, XTest
// input and pixels read back. Without a window manager the window sits at (0, 0), so its positions
// are screen positions. Kept apart from the tests so that no Xlib macro meets the ui headers.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/Types.h"

namespace kestrune::test {

class TestHost {
 public:
  TestHost() = default;
  ~TestHost();
  TestHost(const TestHost&) = delete;
  TestHost& operator=(const TestHost&) = delete;

  bool Open(int width, int height);
  unsigned long Window() const { return window_; }
  std::vector<unsigned long> Children() const;
  // Waits until the server has handled every request of the host's connection.
  void Sync();
  // One pixel, and a width x height picture (rows top-down) of a window, as 0x00BBGGRR.
  plat::Color Pixel(unsigned long window, int x, int y) const;
  std::vector<plat::Color> Picture(unsigned long window, int width, int height) const;
  void Move(int x, int y);
  void Button(int x, int y, bool down);  // the left button
  void Shift(bool down);
  // Destroys the host's window (and the windows inside it).
  void DestroyWindow();

  // The function a window's `_XEventProc` property names (format 32, the address in 32-bit
  // halves, low half first); null with a reason when the property is missing or malformed.
  using EventProc = void (*)(void* event);
  EventProc ReadEventProc(unsigned long window, std::string* why) const;

  // Installs a counting handler for X errors (the host's own); Errors() counts what reached it.
  static void InstallErrorCounter();
  static int Errors();
  // True when the counting handler is still the one in place (and puts it back).
  static bool ErrorCounterInPlace();
  // Makes an X error on the host's own connection.
  void ProvokeError();

 private:
  void* display_ = nullptr;
  unsigned long window_ = 0;
};

}  // namespace kestrune::test
