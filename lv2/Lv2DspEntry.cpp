// The DSP library's one export, lv2_descriptor: the plug-in instance of Lv2Dsp behind the C entry
// functions. Nothing thrown reaches the host.
#include <lv2/core/lv2.h>

#include "lv2/Lv2Bundle.h"
#include "lv2/Lv2Dsp.h"

namespace {

TLv2Dsp* self(LV2_Handle handle) { return static_cast<TLv2Dsp*>(handle); }

LV2_Handle instantiate(const LV2_Descriptor*, double rate, const char*, const LV2_Feature* const* features) {
  return TLv2Dsp::create(rate, features);
}
void connectPort(LV2_Handle h, uint32_t port, void* data) { self(h)->connect(port, data); }
void activate(LV2_Handle h) { self(h)->activate(); }
void run(LV2_Handle h, uint32_t frames) { self(h)->run(frames); }
void deactivate(LV2_Handle h) { self(h)->deactivate(); }
void cleanup(LV2_Handle h) {
  try {
    delete self(h);
  } catch (...) {
  }
}
const void* extensionData(const char*) { return nullptr; }

const LV2_Descriptor kDescriptor = {lv2bundle::kPluginUri, instantiate, connectPort, activate, run, deactivate, cleanup,
                                    extensionData};

}  // namespace

LV2_SYMBOL_EXPORT const LV2_Descriptor* lv2_descriptor(uint32_t index) { return index == 0 ? &kDescriptor : nullptr; }
