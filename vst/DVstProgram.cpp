#include "vst/DVstProgram.h"

#include "vst/DVstText.h"

TVstProgram::TVstProgram(VstInt32 numValues, const char* name)
    : values(new std::atomic<float>[numValues > 0 ? numValues : 0]), numValues(numValues > 0 ? numValues : 0) {
  for (VstInt32 i = 0; i < this->numValues; ++i) values[i].store(0.0f, std::memory_order_relaxed);
  setName(name);
}

float TVstProgram::value(VstInt32 index) const {
  if (index < 0 || index >= numValues) return 0.0f;
  return values[index].load(std::memory_order_relaxed);
}

void TVstProgram::setValue(VstInt32 index, float value) {
  if (index < 0 || index >= numValues) return;
  values[index].store(value, std::memory_order_relaxed);
}

void TVstProgram::setName(const char* text) { vsttext::copy(name, text, sizeof name); }
