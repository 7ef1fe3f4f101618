// The messages controls exchange: the platform's window messages plus the framework's own
// notifications, numbered from plat::kMsgFrameworkBase so they never meet the platform's.
#pragma once

#include <cstdint>

#include "platform/Messages.h"

using TMessage = plat::Message;

// Sent by a windowed parent to the control the mouse moved onto / off (any control, windowed or not).
inline constexpr std::uint32_t kCmMouseEnter = plat::kMsgFrameworkBase + 1;
inline constexpr std::uint32_t kCmMouseLeave = plat::kMsgFrameworkBase + 2;
// Alt + character offered to every control of a form; wParam the character. Answer 1 when taken.
inline constexpr std::uint32_t kCmDialogChar = plat::kMsgFrameworkBase + 3;
// A navigation key (Tab, arrows, Return, Escape) the focused control did not want; wParam the key.
inline constexpr std::uint32_t kCmDialogKey = plat::kMsgFrameworkBase + 4;
// A key offered to the parents of the focused control first; answer 1 when handled.
inline constexpr std::uint32_t kCmChildKey = plat::kMsgFrameworkBase + 5;
inline constexpr std::uint32_t kCmEnabledChanged = plat::kMsgFrameworkBase + 6;
inline constexpr std::uint32_t kCmVisibleChanged = plat::kMsgFrameworkBase + 7;
inline constexpr std::uint32_t kCmTextChanged = plat::kMsgFrameworkBase + 8;
inline constexpr std::uint32_t kCmFontChanged = plat::kMsgFrameworkBase + 9;
inline constexpr std::uint32_t kCmColorChanged = plat::kMsgFrameworkBase + 10;
// Asks a control whether the point (lParam, client coordinates) hits it; answer 1 when it does.
inline constexpr std::uint32_t kCmHitTest = plat::kMsgFrameworkBase + 11;
// The platform focus moved: sent to every windowed parent of the window that got or lost it;
// lParam the windowed control now holding the focus (null: a window that is not ours, or none).
inline constexpr std::uint32_t kCmFocusChanged = plat::kMsgFrameworkBase + 12;

// Shift state of keys and mouse buttons.
using TShiftState = std::uint32_t;
inline constexpr TShiftState ssShift = 1, ssAlt = 2, ssCtrl = 4, ssLeft = 8, ssRight = 16, ssMiddle = 32, ssDouble = 64;

enum TMouseButton { mbLeft, mbRight, mbMiddle };

// The shift state carried by a mouse message's wParam, plus Alt from the keyboard.
TShiftState ShiftFromMouse(std::uintptr_t wParam);
// The shift state of the keyboard now.
TShiftState ShiftFromKeyboard();
