#include "lv2/Lv2Ui.h"

#include <lv2/atom/atom.h>

#include <cstring>

#include "editor/uEditor.h"
#include "lv2/Lv2Bundle.h"
#include "lv2/Lv2Features.h"
#include "platform/Platform.h"
#include "platform/x11/X11.h"
#include "ui/Form.h"
#include "vst/DVstTemplate.h"
#include "vst/DVstTemplateEditor.h"

namespace {

// The values as the window sees them; names and programs are the DSP's business.
TVstTemplateIdentity identity() {
  TVstTemplateIdentity id;
  id.numInputs = 0;
  id.numOutputs = 0;
  return id;
}

}  // namespace

TLv2Ui::TLv2Ui()
    : effect_(std::make_unique<TVstTemplate>(&TLv2Ui::hostCallback, 0, lv2bundle::kNumControls,
                                             &kPluginEditorwindowClass, identity())) {
  effect_->getAeffect()->user = this;
}

TLv2Ui::~TLv2Ui() {
  if (open_) dispatch(effEditClose, 0, 0, nullptr);
  effect_.reset();
}

VstIntPtr TLv2Ui::dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr) {
  AEffect* record = effect_->getAeffect();
  return record->dispatcher(record, opcode, index, value, ptr, 0.0f);
}

TLv2Ui* TLv2Ui::create(LV2UI_Write_Function write, LV2UI_Controller controller, LV2UI_Widget* widget,
                       const LV2_Feature* const* features) noexcept {
  try {
    void* parent = const_cast<void*>(lv2bundle::findFeature(features, LV2_UI__parent));
    if (parent == nullptr || write == nullptr) return nullptr;
    std::unique_ptr<TLv2Ui> self(new TLv2Ui());
    self->write_ = write;
    self->controller_ = controller;
    self->touch_ = static_cast<const LV2UI_Touch*>(lv2bundle::findFeature(features, LV2_UI__touch));
    self->resize_ = static_cast<const LV2UI_Resize*>(lv2bundle::findFeature(features, LV2_UI__resize));
    const auto* map = static_cast<const LV2_URID_Map*>(lv2bundle::findFeature(features, LV2_URID__map));
    if (map != nullptr && map->map != nullptr) {
      self->scaleFactorKey_ = map->map(map->handle, LV2_UI__scaleFactor);
      self->floatType_ = map->map(map->handle, LV2_ATOM__Float);
    }
    // Without a factor from the host, the scale of the display its window is on.
    self->setOptions(static_cast<const LV2_Options_Option*>(lv2bundle::findFeature(features, LV2_OPTIONS__options)));
    if (self->dispatch(effEditOpen, 0, 0, parent) == 0) return nullptr;
    self->open_ = true;

    // The host sizes its socket to the window.
    ERect* rect = nullptr;
    self->dispatch(effEditGetRect, 0, 0, &rect);
    if (rect != nullptr) self->resizeHost(rect->right - rect->left, rect->bottom - rect->top);

    // The widget is the real X window the editor shows in.
    auto* editor = dynamic_cast<TVstTemplateEditor*>(self->effect_->getEditor());
    auto* x11 = dynamic_cast<plat::x11::X11Backend*>(&plat::Platform());
    const unsigned long native = editor != nullptr && editor->getForm() != nullptr && x11 != nullptr
                                     ? x11->NativeWindowOf(editor->getForm()->Handle())
                                     : 0;
    if (widget != nullptr) *widget = reinterpret_cast<LV2UI_Widget>(static_cast<std::uintptr_t>(native));
    return self.release();
  } catch (...) {
    return nullptr;
  }
}

VstIntPtr VSTCALLBACK TLv2Ui::hostCallback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void*,
                                           float opt) {
  if (opcode == audioMasterVersion) return 2400;
  auto* self = effect != nullptr ? static_cast<TLv2Ui*>(effect->user) : nullptr;
  if (self != nullptr && opcode == audioMasterSizeWindow) return self->resizeHost(index, value) ? 1 : 0;
  if (self == nullptr || index < 0 || index >= static_cast<VstInt32>(lv2bundle::kNumControls)) return 0;
  const auto port = static_cast<std::uint32_t>(index);
  switch (opcode) {
    case audioMasterAutomate: self->write_(self->controller_, port, sizeof(float), 0, &opt); return 1;
    case audioMasterBeginEdit:
    case audioMasterEndEdit:
      if (self->touch_ == nullptr || self->touch_->touch == nullptr) return 0;
      self->touch_->touch(self->touch_->handle, port, opcode == audioMasterBeginEdit);
      return 1;
    default: return 0;
  }
}

void TLv2Ui::portEvent(std::uint32_t port, std::uint32_t size, std::uint32_t format, const void* buffer) noexcept {
  if (format != 0 || size != sizeof(float) || buffer == nullptr || port >= lv2bundle::kNumControls) return;
  float value;
  std::memcpy(&value, buffer, sizeof value);
  AEffect* record = effect_->getAeffect();
  const auto index = static_cast<VstInt32>(port);
  // The host's echo of a value the window wrote changes nothing, so it starts no refresh.
  if (record->getParameter(record, index) == AudioEffect::clampNormalised(value)) return;
  record->setParameter(record, index, value);
}

int TLv2Ui::idle() noexcept {
  if (!open_) return 1;
  dispatch(effEditIdle, 0, 0, nullptr);
  return 0;
}

bool TLv2Ui::resizeHost(VstIntPtr width, VstIntPtr height) {
  return resize_ != nullptr && resize_->ui_resize != nullptr && width > 0 && height > 0 &&
         resize_->ui_resize(resize_->handle, static_cast<int>(width), static_cast<int>(height)) == 0;
}

std::uint32_t TLv2Ui::setOptions(const LV2_Options_Option* options) noexcept {
  if (options == nullptr) return LV2_OPTIONS_SUCCESS;
  std::uint32_t status = LV2_OPTIONS_SUCCESS;
  try {
    auto* editor = dynamic_cast<TVstTemplateEditor*>(effect_->getEditor());
    for (const LV2_Options_Option* o = options; !lv2bundle::endsOptions(*o); ++o) {
      if (scaleFactorKey_ == 0 || o->key != scaleFactorKey_) {
        status |= LV2_OPTIONS_ERR_BAD_KEY;
        continue;
      }
      float factor;
      if (o->type != floatType_ || o->size != sizeof factor || o->value == nullptr) {
        status |= LV2_OPTIONS_ERR_BAD_VALUE;
        continue;
      }
      std::memcpy(&factor, o->value, sizeof factor);
      if (editor == nullptr || !editor->setContentScale(factor)) status |= LV2_OPTIONS_ERR_BAD_VALUE;
    }
  } catch (...) {
    status |= LV2_OPTIONS_ERR_UNKNOWN;
  }
  return status;
}

std::uint32_t TLv2Ui::getOptions(LV2_Options_Option* options) noexcept {
  if (options == nullptr) return LV2_OPTIONS_SUCCESS;
  std::uint32_t status = LV2_OPTIONS_SUCCESS;
  auto* editor = dynamic_cast<TVstTemplateEditor*>(effect_->getEditor());
  for (LV2_Options_Option* o = options; !lv2bundle::endsOptions(*o); ++o) {
    if (scaleFactorKey_ == 0 || o->key != scaleFactorKey_ || editor == nullptr) {
      status |= LV2_OPTIONS_ERR_BAD_KEY;
      continue;
    }
    scaleAnswered_ = static_cast<float>(editor->getScale());
    o->size = sizeof scaleAnswered_;
    o->type = floatType_;
    o->value = &scaleAnswered_;
  }
  return status;
}
