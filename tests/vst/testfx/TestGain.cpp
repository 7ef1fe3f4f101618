// A small effect for exercising hosts and the template through the real binary interface:
// two parameters (Gain, Invert), two programs, stereo gain, no editor.
#include "vst/DVstEntry.h"
#include "vst/DVstTemplate.h"

namespace {

TVstTemplateIdentity testGainIdentity() {
  TVstTemplateIdentity id;
  id.uniqueIdString = "KTgn";
  id.vendorVersion = 1;
  id.effectName = "TestGain";
  id.vendorName = "Kestrune tests";
  id.productName = "KestruneTestGain";
  id.numInputs = 2;
  id.numOutputs = 2;
  id.canDoSet = 1u << 16;  // "2in2out"
  id.effectFlagSet = TVstTemplate::kFlagCanMono | TVstTemplate::kFlagCanReplacing;
  return id;
}

class TTestGain : public TVstTemplate {
 public:
  explicit TTestGain(audioMasterCallback host) : TVstTemplate(host, 2, 2, nullptr, testGainIdentity()) { initialize(); }

  void initialize() override {
    getParameterProperty(0)->setName("Gain");
    getParameterProperty(1)->setName("Invert");
    getParameterProperty(0)->setLabel("x");
    setProgram(1);
    setParameter(0, 0.5f);
    setParameter(1, 0.0f);
    setProgramName(const_cast<char*>("Half"));
    setProgram(0);
    setParameter(0, 1.0f);
    setParameter(1, 0.0f);
    setProgramName(const_cast<char*>("Unity"));
  }

  void processAudio(TArrayOfSingleArray& inputs, TArrayOfSingleArray& outputs, VstInt32 sampleFrames) override {
    const float gain = getParameter(0) * (getParameter(1) > 0.5f ? -1.0f : 1.0f);
    for (std::size_t k = 0; k < outputs.size() && k < inputs.size(); ++k)
      for (VstInt32 i = 0; i < sampleFrames; ++i) outputs[k][i] = inputs[k][i] * gain;
  }
};

}  // namespace

KESTRUNE_VST_ENTRY(&vstentry::createEffect<TTestGain>)
