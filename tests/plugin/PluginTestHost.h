// A scriptable host for the effect's tests: version, tempo and time-information answers, and
// helpers to run audio through the record as a host does.
#pragma once

#include <cstdint>
#include <vector>

#include "plugin/uPlugin.h"
#include "vst/DAEffect.h"

struct TestHost {
  static inline VstIntPtr version = 2400;
  static inline VstIntPtr tempoAt = 0;  // beats per minute x 10000
  static inline bool timeInfoValid = false;
  static inline VstTimeInfo timeInfo{};
  static inline int tempoQueries = 0;

  static void reset() {
    version = 2400;
    tempoAt = 0;
    timeInfoValid = false;
    timeInfo = VstTimeInfo{};
    tempoQueries = 0;
  }

  static VstIntPtr VSTCALLBACK callback(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr value, void*, float) {
    switch (opcode) {
      case audioMasterVersion: return version;
      case audioMasterTempoAt: ++tempoQueries; return tempoAt;
      case audioMasterGetTime:
        if (!timeInfoValid || (value & kVstTempoValid) == 0) return 0;
        timeInfo.flags |= kVstTempoValid;
        return reinterpret_cast<VstIntPtr>(&timeInfo);
      default: return 0;
    }
  }
};

// Stereo audio as two channels of equal length.
struct Stereo {
  std::vector<float> l, r;
  explicit Stereo(std::size_t n = 0) : l(n), r(n) {}
  std::size_t size() const { return l.size(); }
};

// Runs `in` through processReplacing in blocks of `block` frames (the last one shorter).
inline Stereo runBlocks(AudioEffect& fx, const Stereo& in, std::size_t block) {
  Stereo out(in.size());
  for (std::size_t at = 0; at < in.size(); at += block) {
    const std::size_t n = std::min(block, in.size() - at);
    float* ins[2] = {const_cast<float*>(in.l.data() + at), const_cast<float*>(in.r.data() + at)};
    float* outs[2] = {out.l.data() + at, out.r.data() + at};
    fx.processReplacing(ins, outs, static_cast<VstInt32>(n));
  }
  return out;
}

// A deterministic, noise-like test signal in -amp..amp, different on each side.
inline Stereo testSignal(std::size_t n, float amp = 0.5f, std::uint32_t seed = 1) {
  Stereo s(n);
  std::uint32_t x = seed * 2654435761u + 12345u;
  for (std::size_t i = 0; i < n; ++i) {
    x = x * 1664525u + 1013904223u;
    s.l[i] = amp * (static_cast<float>(x >> 8) / 8388608.0f - 1.0f);
    x = x * 1664525u + 1013904223u;
    s.r[i] = amp * (static_cast<float>(x >> 8) / 8388608.0f - 1.0f);
  }
  return s;
}
