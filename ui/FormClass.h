// A class reference for forms: what an effect hands to its template so that the template editor
// can create the editor window on demand, and answer the host's size query before it exists.
#pragma once

#include <cstdint>

class TComponent;
class TForm;

struct TFormClassInfo {
  const char* ClassName;
  int DesignWidth;  // client size the form is designed with
  int DesignHeight;
  TForm* (*Create)(TComponent* owner);  // creates an unparented, hidden form
};

using TFormClass = const TFormClassInfo*;  // null: the effect has no editor

// The message the template editor posts to a form it has just created and shown: wParam is the
// effect (AudioEffect*), lParam 0. It arrives queued, after the form's creation messages.
inline constexpr std::uint32_t kMsgEffectAttach = 1985;

// The message the template editor sends a form to learn where one of its controls is best taken
// with the mouse (a slider's knob): wParam is the control (TControl*), lParam a plat::Point* in the
// control's coordinates to fill. A form answers 1 when it filled it; otherwise the centre counts.
inline constexpr std::uint32_t kMsgControlGrabPoint = 1986;

// A Create function for a form class F (F must be complete where this is used):
//   const TFormClassInfo kEditorClass{"TPluginEditorwindow", 415, 218, &CreateFormOf<TPluginEditorwindow>};
template <class F>
TForm* CreateFormOf(TComponent* owner) {
  return new F(owner);
}
