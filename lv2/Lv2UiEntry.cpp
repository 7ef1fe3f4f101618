// The UI library's one export, lv2ui_descriptor: the editor of Lv2Ui behind the C entry functions,
// with the idle and the options interfaces as its extension data. Nothing thrown reaches the host.
#include <lv2/ui/ui.h>

#include <cstring>

#include "lv2/Lv2Bundle.h"
#include "lv2/Lv2Ui.h"

namespace {

TLv2Ui* self(LV2UI_Handle handle) { return static_cast<TLv2Ui*>(handle); }

LV2UI_Handle instantiate(const LV2UI_Descriptor*, const char* pluginUri, const char*, LV2UI_Write_Function write,
                         LV2UI_Controller controller, LV2UI_Widget* widget, const LV2_Feature* const* features) {
  if (pluginUri == nullptr || std::strcmp(pluginUri, lv2bundle::kPluginUri) != 0) return nullptr;
  return TLv2Ui::create(write, controller, widget, features);
}
void cleanup(LV2UI_Handle h) {
  try {
    delete self(h);
  } catch (...) {
  }
}
void portEvent(LV2UI_Handle h, uint32_t port, uint32_t size, uint32_t format, const void* buffer) {
  self(h)->portEvent(port, size, format, buffer);
}
int idle(LV2UI_Handle h) { return self(h)->idle(); }

const LV2UI_Idle_Interface kIdle = {idle};

uint32_t getOptions(LV2_Handle h, LV2_Options_Option* options) { return self(h)->getOptions(options); }
uint32_t setOptions(LV2_Handle h, const LV2_Options_Option* options) { return self(h)->setOptions(options); }
const LV2_Options_Interface kOptions = {getOptions, setOptions};

const void* extensionData(const char* uri) {
  if (uri == nullptr) return nullptr;
  if (std::strcmp(uri, LV2_UI__idleInterface) == 0) return &kIdle;
  if (std::strcmp(uri, LV2_OPTIONS__interface) == 0) return &kOptions;
  return nullptr;
}

const LV2UI_Descriptor kDescriptor = {lv2bundle::kUiUri, instantiate, cleanup, portEvent, extensionData};

}  // namespace

LV2_SYMBOL_EXPORT const LV2UI_Descriptor* lv2ui_descriptor(uint32_t index) {
  return index == 0 ? &kDescriptor : nullptr;
}
