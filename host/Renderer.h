// The block loop of a render: reads the source, feeds the plug-in, writes its outputs.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "host/AudioFile.h"
#include "host/AudioSource.h"
#include "host/Plugin.h"

namespace kestrune {

struct RenderTotals {
  std::int64_t frames = 0;     // frames written, source and tail
  std::int64_t nonFinite = 0;  // NaN or infinite output samples, written as 0
};

// How the source's channels reach the plug-in's inputs: only the first two channels are used;
// input k takes used channel k mod (used count), except that a single plug-in input takes the
// mean of a stereo pair.
void routeInputs(const float* interleaved, int sourceChannels, std::int64_t frames, float* const* inputs,
                 int pluginInputs);

class Renderer {
 public:
  // The plug-in must be open and resumed with a block size of at least `blockSize`.
  Renderer(Plugin& plugin, int blockSize);

  // Processes the whole source, then `tailFrames` frames of silence, block by block, advancing
  // the host's sample position. `progress` (may be empty) is called after every block with the
  // frames done and the expected total (-1 when unknown).
  RenderTotals run(AudioSource& source, OutputFile& output, std::int64_t tailFrames,
                   const std::function<void(std::int64_t, std::int64_t)>& progress);

 private:
  void processBlock(int frames, OutputFile& output, RenderTotals& totals);

  Plugin& plugin_;
  int blockSize_;
  int inputCount_;
  int outputCount_;
  // Channel buffers for the plug-in; a few spare zeroed ones beyond its counts protect against
  // plug-ins that touch more channels than they announce.
  std::vector<std::vector<float>> inputData_, outputData_;
  std::vector<float*> inputs_, outputs_;
  std::vector<float> sourceBlock_, outputBlock_;
};

}  // namespace kestrune
