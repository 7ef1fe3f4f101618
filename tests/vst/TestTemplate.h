// A template effect configured like the project's effect (4 programs, 11 parameters, stereo),
// recording what reaches it.
#pragma once

#include <vector>

#include "vst/DVstTemplate.h"

inline TVstTemplateIdentity testIdentity(std::uint16_t flags = TVstTemplate::kFlagCanMono |
                                                               TVstTemplate::kFlagCanReplacing) {
  TVstTemplateIdentity id;
  id.uniqueIdString = "QX09";
  id.vendorVersion = 1100;
  id.effectName = "Effect";
  id.vendorName = "Vendor";
  id.productName = "Product";
  id.canDoSet = 27;
  id.effectFlagSet = flags;
  return id;
}

class TTestTemplate : public TVstTemplate {
 public:
  explicit TTestTemplate(audioMasterCallback host = nullptr, TFormClass form = nullptr,
                         const TVstTemplateIdentity& id = testIdentity(), VstInt32 programs = 4, VstInt32 params = 11)
      : TVstTemplate(host, programs, params, form, id) {
    OnParameterChange = TVstEvent<VstInt32>::bind<&TTestTemplate::parameterChanged>(this);
  }

  void parameterChanged(VstInt32 index) { changes.push_back(index); }
  void processMidi(VstEvent* event) override { midi.push_back(event); }
  void processAudio(TArrayOfSingleArray& in, TArrayOfSingleArray& out, VstInt32 frames) override {
    blocks.push_back(frames);
    for (std::size_t k = 0; k < out.size(); ++k)
      for (VstInt32 i = 0; i < frames; ++i)
        out[k][static_cast<std::size_t>(i)] = in[k % in.size()][static_cast<std::size_t>(i)] * gain;
  }

  // With `direct` on, the replacing entry's blocks come here, straight from the host's buffers.
  bool processDirect(const float* const* in, float* const* out, VstInt32 frames) override {
    if (direct) directBlocks.push_back(frames);
    for (VstInt32 i = 0; direct && i < frames; ++i) {
      out[0][i] = in[0][i] * gain;
      out[1][i] = in[1][i] * gain;
    }
    return direct;
  }

  TArrayOfSingleArray& inputs() { return inBuffers; }
  TArrayOfSingleArray& outputs() { return outBuffers; }
  std::uint32_t& canDoBits() { return canDoSet; }

  float gain = 1.0f;
  std::vector<VstInt32> changes;
  std::vector<VstEvent*> midi;
  std::vector<VstInt32> blocks;
  bool direct = false;
  std::vector<VstInt32> directBlocks;
};
