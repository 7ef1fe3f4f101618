// The plug-in's side of our effVendorSpecific requests (see kKestruneRequest in DAEffect.h): host
// windows, injected mouse input, the virtual clock and the screen of the headless platform.
#pragma once

#include "vst/DAEffect.h"

class TVstTemplateEditor;

// Answers one request (value = the KestruneRequest code) for an effect with this editor; 0 when the
// platform in use is not the headless one (except kRequestLocateControl, answered on every
// platform), for an unknown code and for a record that fails its checks. Never throws.
VstIntPtr answerHeadlessRequest(TVstTemplateEditor& editor, VstIntPtr request, void* ptr) noexcept;
