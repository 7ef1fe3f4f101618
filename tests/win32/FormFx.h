// A small effect with a form editor, built into a Windows DLL for the Wine test host and linked
// into the Linux comparison test, so that both systems open the very same editor:
// - a track (parameter 0 follows the mouse while the left button is held on it),
// - a pad (a click flips parameter 1 between 0 and 1),
// - a status bar,
// - a 15 ms refresh timer on the form's window, like a real editor's.
// Colours are explicit (no system colours), so the two systems' pictures may be compared pixel
// for pixel outside the text areas.
#pragma once

#include "vst/DAEffect.h"

namespace formfx {

inline constexpr int kWidth = 300;
inline constexpr int kHeight = 140;
// Client rectangles of the form's parts (left, top, right, bottom).
inline constexpr int kTrack[4] = {20, 20, 280, 44};
inline constexpr int kPad[4] = {20, 60, 120, 90};
inline constexpr int kStatus[4] = {0, 120, 300, 140};
inline constexpr float kInitialLevel = 0.25f;

// The factory the DLL exports (and the Linux test calls directly).
AEffect* Create(audioMasterCallback host) noexcept;

}  // namespace formfx
