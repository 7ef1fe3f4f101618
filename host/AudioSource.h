// A stream of interleaved float frames that the renderer feeds to a plug-in.
#pragma once

#include <cstdint>

namespace kestrune {

class AudioSource {
 public:
  virtual ~AudioSource() = default;
  virtual int channels() const = 0;
  virtual double sampleRate() const = 0;
  // Total length in frames, or -1 when the source cannot tell in advance.
  virtual std::int64_t frames() const = 0;
  // Fills up to `frames` frames of channels() interleaved samples; returns how many it wrote,
  // 0 at the end. Throws HostError on a read failure.
  virtual std::int64_t read(float* interleaved, std::int64_t frames) = 0;
};

}  // namespace kestrune
