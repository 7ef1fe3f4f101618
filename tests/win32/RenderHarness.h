// The one rendering that both builds of the effect run, so that their samples can be compared
// bit for bit: a fixed signal through the effect record with fixed settings, in uneven blocks.
// Plain code on the effect record only, the same on Windows and Linux.
#pragma once

#include <algorithm>
#include <cstdint>
#include <utility>
#include <vector>

#include "vst/DAEffect.h"

namespace harness {

struct Setting {
  float sampleRate;
  VstInt32 program;
  std::vector<std::pair<VstInt32, float>> parameters;  // set after the program is chosen
};

// Settings that differ in rate, program and motion; the last one sets the side depths, the level
// and Sync (without a tempo from the host).
inline std::vector<Setting> Settings() {
  return {
      {44100.0f, 1, {{0, 0.3f}, {1, 0.6f}, {5, 0.4f}}},
      {96000.0f, 3, {{0, 0.9f}, {2, 0.1f}, {3, 0.7f}, {4, 0.2f}, {5, 0.8f}, {10, 1.0f}}},
      {48000.0f, 0, {{1, 0.9f}, {5, 0.95f}, {6, 0.25f}, {7, 0.6f}, {8, 0.5f}, {9, 1.0f}}},
  };
}

inline VstIntPtr VSTCALLBACK Host(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
  return opcode == audioMasterVersion ? 2400 : 0;
}

// Renders `frames` frames of a fixed stereo signal; answers left and right interleaved.
inline std::vector<float> Render(AEffect* e, const Setting& s, std::size_t frames) {
  auto call = [e](VstInt32 op, VstInt32 index, VstIntPtr value, float opt) {
    return e->dispatcher(e, op, index, value, nullptr, opt);
  };
  constexpr VstInt32 kMaxBlock = 512;
  call(effSetSampleRate, 0, 0, s.sampleRate);
  call(effSetBlockSize, 0, kMaxBlock, 0.0f);
  call(effSetProgram, 0, s.program, 0.0f);
  for (auto [index, value] : s.parameters) e->setParameter(e, index, value);
  call(effMainsChanged, 0, 1, 0.0f);
  std::vector<float> inL(kMaxBlock), inR(kMaxBlock), outL(kMaxBlock), outR(kMaxBlock), all;
  all.reserve(frames * 2);
  uint32_t x = 0x2545F491u;
  const VstInt32 blocks[] = {1, 64, 100, 512, 37, 256};
  std::size_t done = 0;
  for (std::size_t b = 0; done < frames; ++b) {
    const VstInt32 n = VstInt32(std::min<std::size_t>(std::size_t(blocks[b % 6]), frames - done));
    for (VstInt32 i = 0; i < n; ++i) {
      x = x * 1664525u + 1013904223u;
      const float noise = float(int32_t(x >> 8) - 0x800000) / 8388608.0f;
      const float tone = float((done + std::size_t(i)) % 200) / 100.0f - 1.0f;  // a sawtooth
      inL[std::size_t(i)] = 0.4f * tone + 0.1f * noise;
      inR[std::size_t(i)] = 0.3f * noise - 0.2f * tone;
    }
    float* ins[2] = {inL.data(), inR.data()};
    float* outs[2] = {outL.data(), outR.data()};
    e->processReplacing(e, ins, outs, n);
    for (VstInt32 i = 0; i < n; ++i) {
      all.push_back(outL[std::size_t(i)]);
      all.push_back(outR[std::size_t(i)]);
    }
    done += std::size_t(n);
  }
  call(effMainsChanged, 0, 0, 0.0f);
  return all;
}

inline constexpr std::size_t kFrames = 48000;

}  // namespace harness
