// The LV2 UI: KestruneEn's editor window in the host's X11 window. The window talks, as it always
// does, to an effect object: here a parameter store of the template's kind whose host is this
// UI. So the window's writes (setParameterAutomated) become the host's write function, its
// begin- and end-edit the touch feature when the host offers it, and the host's port events are
// stored as parameter values that the window's refresh (isChanged / clearChanged) shows. The
// host's scale factor option (ui:scaleFactor, at instantiation or set later through the options
// interface) is the editor's content scale; its requests to resize go to the resize feature.
#pragma once

#include <lv2/core/lv2.h>
#include <lv2/options/options.h>
#include <lv2/ui/ui.h>
#include <lv2/urid/urid.h>

#include <cstdint>
#include <memory>

#include "vst/DAEffect.h"

class TVstTemplate;

class TLv2Ui {
 public:
  // Null when the host gives no parent window or the window cannot be made in it.
  static TLv2Ui* create(LV2UI_Write_Function write, LV2UI_Controller controller, LV2UI_Widget* widget,
                        const LV2_Feature* const* features) noexcept;
  ~TLv2Ui();
  TLv2Ui(const TLv2Ui&) = delete;
  TLv2Ui& operator=(const TLv2Ui&) = delete;

  void portEvent(std::uint32_t port, std::uint32_t size, std::uint32_t format, const void* buffer) noexcept;
  // Runs the window's pump; 0 while the window lives.
  int idle() noexcept;
  // The options interface. A scale factor that is zero, negative, not finite or above 8 is refused
  // (LV2_OPTIONS_ERR_BAD_VALUE) and changes nothing; options other than the scale factor, and any
  // option while the host gives no URID map, are unknown keys.
  std::uint32_t setOptions(const LV2_Options_Option* options) noexcept;
  std::uint32_t getOptions(LV2_Options_Option* options) noexcept;

  // The object the window writes to, for tests.
  TVstTemplate* effect() const { return effect_.get(); }

 private:
  TLv2Ui();
  static VstIntPtr VSTCALLBACK hostCallback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                                            void* ptr, float opt);
  VstIntPtr dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr);
  // Asks the host through the resize feature; false when it has none or refuses.
  bool resizeHost(VstIntPtr width, VstIntPtr height);

  std::unique_ptr<TVstTemplate> effect_;
  LV2UI_Write_Function write_ = nullptr;
  LV2UI_Controller controller_ = nullptr;
  const LV2UI_Touch* touch_ = nullptr;
  const LV2UI_Resize* resize_ = nullptr;
  LV2_URID scaleFactorKey_ = 0, floatType_ = 0;  // 0 without a URID map
  float scaleAnswered_ = 1;                      // what getOptions points the host to
  bool open_ = false;
};
