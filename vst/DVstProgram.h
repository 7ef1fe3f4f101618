// One program: a complete set of normalised parameter values and a name. The values are shared
// between the audio, automation and user-interface threads, hence relaxed atomics; the name is
// touched on the user-interface thread only.
#pragma once

#include <atomic>
#include <memory>

#include "vst/DAEffect.h"

class TVstProgram {
 public:
  static constexpr int kNameSize = 52;  // buffer, terminator included

  TVstProgram(VstInt32 numValues, const char* name = "Init");

  VstInt32 count() const { return numValues; }
  // 0.0 outside 0..count()-1.
  float value(VstInt32 index) const;
  // Ignored outside 0..count()-1; the value is stored as given.
  void setValue(VstInt32 index, float value);

  const char* getName() const { return name; }
  void setName(const char* text);  // cut to 51 characters

 private:
  std::unique_ptr<std::atomic<float>[]> values;
  VstInt32 numValues;
  char name[kNameSize] = {};
};
