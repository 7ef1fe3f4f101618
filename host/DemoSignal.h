// The embedded default input: six seconds of a stereo musical test signal generated in code, so
// that a render without an input file still sends something audible through the plug-in.
// A chord arpeggio (A minor, F, C, G, F, A minor; eighth notes at 120 beats per minute) panned
// note by note from side to side, a noise hat on sixteenths leaning right and a soft kick on beats
// one and three. Sample n depends only on n, so the signal is the same on every run.
#pragma once

#include <cstdint>

#include "host/AudioSource.h"

namespace kestrune {

class DemoSignal final : public AudioSource {
 public:
  static constexpr double kSampleRate = 44100.0;
  static constexpr int kChannels = 2;
  static constexpr std::int64_t kFrames = 6 * 44100;

  int channels() const override { return kChannels; }
  double sampleRate() const override { return kSampleRate; }
  std::int64_t frames() const override { return kFrames; }
  std::int64_t read(float* interleaved, std::int64_t frames) override;

  // Left and right sample at frame n (0 outside 0 to kFrames - 1).
  static void frame(std::int64_t n, float& left, float& right);

 private:
  std::int64_t position_ = 0;
};

}  // namespace kestrune
