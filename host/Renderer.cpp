#include "host/Renderer.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace kestrune {
namespace {

constexpr int kSpareChannels = 8;

}  // namespace

void routeInputs(const float* interleaved, int sourceChannels, std::int64_t frames, float* const* inputs,
                 int pluginInputs) {
  const int used = std::min(sourceChannels, 2);
  for (int k = 0; k < pluginInputs; ++k) {
    float* in = inputs[k];
    if (used == 2 && pluginInputs == 1) {
      for (std::int64_t i = 0; i < frames; ++i)
        in[i] = 0.5f * (interleaved[i * sourceChannels] + interleaved[i * sourceChannels + 1]);
    } else {
      const int channel = k % used;
      for (std::int64_t i = 0; i < frames; ++i) in[i] = interleaved[i * sourceChannels + channel];
    }
  }
}

Renderer::Renderer(Plugin& plugin, int blockSize)
    : plugin_(plugin), blockSize_(blockSize), inputCount_(plugin.numInputs()), outputCount_(plugin.numOutputs()) {
  const auto frames = static_cast<std::size_t>(blockSize);
  inputData_.assign(static_cast<std::size_t>(std::max(inputCount_, kSpareChannels)), std::vector<float>(frames));
  outputData_.assign(static_cast<std::size_t>(std::max(outputCount_, kSpareChannels)), std::vector<float>(frames));
  for (auto& channel : inputData_) inputs_.push_back(channel.data());
  for (auto& channel : outputData_) outputs_.push_back(channel.data());
  outputBlock_.resize(frames * static_cast<std::size_t>(outputCount_));
}

RenderTotals Renderer::run(AudioSource& source, OutputFile& output, std::int64_t tailFrames,
                           const std::function<void(std::int64_t, std::int64_t)>& progress) {
  RenderTotals totals;
  const std::int64_t expected = source.frames() >= 0 ? source.frames() + tailFrames : -1;
  sourceBlock_.resize(static_cast<std::size_t>(blockSize_) * static_cast<std::size_t>(source.channels()));
  plugin_.host().setSamplePosition(0.0);

  for (;;) {
    const std::int64_t got = source.read(sourceBlock_.data(), blockSize_);
    if (got <= 0) break;
    routeInputs(sourceBlock_.data(), source.channels(), got, inputs_.data(), inputCount_);
    processBlock(static_cast<int>(got), output, totals);
    if (progress) progress(totals.frames, expected);
  }
  for (std::int64_t left = tailFrames; left > 0;) {
    // Cleared every block: a plug-in may have written into its inputs.
    for (auto& channel : inputData_) std::fill(channel.begin(), channel.end(), 0.0f);
    const int frames = static_cast<int>(std::min<std::int64_t>(left, blockSize_));
    processBlock(frames, output, totals);
    left -= frames;
    if (progress) progress(totals.frames, expected);
  }
  return totals;
}

void Renderer::processBlock(int frames, OutputFile& output, RenderTotals& totals) {
  for (auto& channel : outputData_) std::fill(channel.begin(), channel.end(), 0.0f);
  // Spare input channels stay silent even if a plug-in wrote into them last time.
  for (std::size_t c = static_cast<std::size_t>(inputCount_); c < inputData_.size(); ++c)
    std::fill(inputData_[c].begin(), inputData_[c].end(), 0.0f);
  plugin_.process(inputs_.data(), outputs_.data(), frames);
  for (int c = 0; c < outputCount_; ++c) {
    const float* out = outputs_[static_cast<std::size_t>(c)];
    for (int i = 0; i < frames; ++i) {
      float v = out[i];
      if (!std::isfinite(v)) {
        v = 0.0f;
        ++totals.nonFinite;
      }
      outputBlock_[static_cast<std::size_t>(i) * static_cast<std::size_t>(outputCount_) + static_cast<std::size_t>(c)] =
          v;
    }
  }
  output.write(outputBlock_.data(), frames);
  plugin_.host().advance(frames);
  totals.frames += frames;
}

}  // namespace kestrune
