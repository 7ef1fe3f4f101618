// A scriptable host callback for the tests: records every call and answers from a table.
#pragma once

#include <functional>
#include <vector>

#include "vst/DAEffect.h"

struct HostCall {
  AEffect* effect;
  VstInt32 opcode;
  VstInt32 index;
  VstIntPtr value;
  void* ptr;
  float opt;
};

class FakeHost {
 public:
  FakeHost() { current() = this; }
  ~FakeHost() { current() = nullptr; }

  std::vector<HostCall> calls;
  // Answer for an opcode; the default answers 0 except the version query (2400).
  std::function<VstIntPtr(const HostCall&)> answer;

  std::size_t count(VstInt32 opcode) const {
    std::size_t n = 0;
    for (const HostCall& c : calls) n += c.opcode == opcode ? 1 : 0;
    return n;
  }

  static VstIntPtr VSTCALLBACK callback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                        float opt) {
    FakeHost* host = current();
    if (host == nullptr) return 0;
    const HostCall call{effect, opcode, index, value, ptr, opt};
    host->calls.push_back(call);
    if (host->answer) return host->answer(call);
    return opcode == audioMasterVersion ? 2400 : 0;
  }

 private:
  static FakeHost*& current() {
    static FakeHost* host = nullptr;
    return host;
  }
};
