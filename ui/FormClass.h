// A class reference for forms: what an effect hands to its template so that the template editor
// can create the editor window on demand, and answer the host's size query before it exists.
#pragma once

#include <cmath>
#include <cstdint>

class TComponent;
class TForm;

struct TFormClassInfo {
  const char* ClassName;
  int DesignWidth;  // client size the form is designed with
  int DesignHeight;
  TForm* (*Create)(TComponent* owner);  // creates an unparented, hidden form
  // For a form drawn for high-density screens: creates it, unparented and hidden, at `scale` (one
  // of kFormScales), every length of its description multiplied. Null: designed size only.
  TForm* (*CreateScaled)(TComponent* owner, double scale) = nullptr;
};

using TFormClass = const TFormClassInfo*;  // null: the effect has no editor

// The scales a form that can be scaled comes in; any other request snaps to the nearest.
inline constexpr double kFormScales[] = {1.0, 1.5, 2.0, 3.0};
// Requests beyond this, and factors that are zero, negative or not finite, are no scale at all.
inline constexpr double kMaxFormScale = 8.0;

inline bool IsUsableScale(double factor) { return std::isfinite(factor) && factor > 0 && factor <= kMaxFormScale; }

// The scale a form of `formClass` is built at for `requested`: the nearest of kFormScales (the
// smaller on a tie) for a form that scales and a usable request, otherwise 1.
inline double SnapFormScale(TFormClass formClass, double requested) {
  if (!formClass || !formClass->CreateScaled || !IsUsableScale(requested)) return 1.0;
  double best = kFormScales[0];
  for (double s : kFormScales)
    if (std::abs(s - requested) < std::abs(best - requested)) best = s;
  return best;
}

// A designed length (or edge) at a scale: round(length * scale).
inline int ScaledLength(int length, double scale) { return static_cast<int>(std::lround(length * scale)); }

// The message the template editor posts to a form it has just created and shown: wParam is the
// effect (AudioEffect*), lParam 0. It arrives queued, after the form's creation messages.
inline constexpr std::uint32_t kMsgEffectAttach = 1985;

// The message the template editor sends a form to learn where one of its controls is best taken
// with the mouse (a slider's knob): wParam is the control (TControl*), lParam a plat::Point* in the
// control's coordinates to fill. A form answers 1 when it filled it; otherwise the centre counts.
inline constexpr std::uint32_t kMsgControlGrabPoint = 1986;

// The message the template editor sends a form it has just built to replace another one at a new
// scale: wParam is the old form (TForm*, still alive), lParam 0. The new form takes over what the
// user sees beyond the effect's values (texts, hover); the effect's values come with its attach.
inline constexpr std::uint32_t kMsgFormTakeOver = 1987;

// A Create function for a form class F (F must be complete where this is used):
//   const TFormClassInfo kEditorClass{"TPluginEditorwindow", 415, 218, &CreateFormOf<TPluginEditorwindow>};
template <class F>
TForm* CreateFormOf(TComponent* owner) {
  return new F(owner);
}
// A CreateScaled function for a form class F with a constructor (owner, scale).
template <class F>
TForm* CreateScaledFormOf(TComponent* owner, double scale) {
  return new F(owner, scale);
}
