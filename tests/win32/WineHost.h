// The Windows test host's shared pieces: loading a plug-in library next to the host's own
// executable, a host callback, a message pump, and counting what a library asks the system for.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "vst/DAEffect.h"

namespace winehost {

// The full path of a file beside the test host's executable.
std::string BesideHost(const char* file);

struct Library {
  explicit Library(const char* file);
  ~Library();
  HMODULE module = nullptr;
  VstPluginMainProc Entry(const char* name) const;
};

// Answers the version query, counts automation calls and keeps the last automated value; grants
// every request to resize the editor's window and keeps the sizes asked for.
struct HostLog {
  static inline int automated = 0;
  static inline std::map<VstInt32, float> lastValue;
  static inline std::vector<std::pair<int, int>> resizes;
  static void Reset() {
    automated = 0;
    lastValue.clear();
    resizes.clear();
  }
  static VstIntPtr VSTCALLBACK Callback(AEffect*, VstInt32 opcode, VstInt32 index, VstIntPtr, void*, float opt);
};

inline VstIntPtr Dispatch(AEffect* e, VstInt32 op, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr,
                          float opt = 0.0f) {
  return e->dispatcher(e, op, index, value, ptr, opt);
}

// Dispatches every queued message of this thread, then waits `ms` while still dispatching (so
// that timers tick). Never blocks longer than that.
void Pump(DWORD ms = 0);

// Counts the system objects one library creates, by routing its imports of the calls that make
// and free them through counters: GDI objects (DIB sections, memory contexts, fonts, brushes),
// window timers, and windows.
class ImportCounter {
 public:
  explicit ImportCounter(HMODULE library);
  ~ImportCounter();
  static long GdiObjects();
  static size_t LiveTimers();  // timers set and neither killed nor gone with their window
  static long Windows();
  bool Hooked() const { return hooked_ > 0; }

 private:
  HMODULE library_;
  int hooked_ = 0;
};

// Windows of this thread: children of `top`, and message-only windows.
int CountChildren(HWND top);
int CountMessageWindows();

}  // namespace winehost
