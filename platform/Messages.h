// Window message numbers, key codes and the packing of message parameters. The numbers are those
// of the classic desktop window messages, so that a backend on that system passes its messages
// through unchanged and the others translate into them.
#pragma once

#include <cstdint>

#include "platform/Types.h"

namespace plat {

// One message as a window procedure receives it. `result` is what the procedure answers; it is
// preset to 0 and, for queries such as kMsgGetDlgCode, read back by the sender.
struct Message {
  uint32_t msg = 0;
  uintptr_t wParam = 0;
  intptr_t lParam = 0;
  intptr_t result = 0;
};

// --- Window life and layout
inline constexpr uint32_t kMsgCreate = 0x0001;      // sent once, right after creation, before any other
inline constexpr uint32_t kMsgDestroy = 0x0002;     // sent before the window and its children go
inline constexpr uint32_t kMsgMove = 0x0003;        // lParam: client origin in the parent (PackPoint)
inline constexpr uint32_t kMsgSize = 0x0005;        // lParam: new client width | height << 16
inline constexpr uint32_t kMsgSetFocus = 0x0007;    // wParam: the window that lost the focus (or 0)
inline constexpr uint32_t kMsgKillFocus = 0x0008;   // wParam: the window that gets the focus (or 0)
inline constexpr uint32_t kMsgPaint = 0x000F;       // wParam: a drawing context (DrawContext*) or 0
inline constexpr uint32_t kMsgEraseBkgnd = 0x0014;  // wParam: DrawContext*; answer 1 when erased
inline constexpr uint32_t kMsgShowWindow = 0x0018;  // wParam: 1 shown, 0 hidden
inline constexpr uint32_t kMsgSetCursor = 0x0020;   // wParam: the window under the cursor
inline constexpr uint32_t kMsgGetDlgCode = 0x0087;  // answer a kDlgc* combination

// --- Keyboard: wParam the virtual key (kVk*), lParam as the system gives it (repeat count = 1)
inline constexpr uint32_t kMsgKeyDown = 0x0100;
inline constexpr uint32_t kMsgKeyUp = 0x0101;
inline constexpr uint32_t kMsgChar = 0x0102;        // wParam: the 8-bit character
inline constexpr uint32_t kMsgSysKeyDown = 0x0104;  // a key with Alt held
inline constexpr uint32_t kMsgSysKeyUp = 0x0105;
inline constexpr uint32_t kMsgSysChar = 0x0106;  // a character with Alt held (accelerators)

// --- Timer: wParam the timer id given to SetTimer
inline constexpr uint32_t kMsgTimer = 0x0113;

// --- Mouse: lParam the client position (PackPoint), wParam the kMk* state of buttons and keys
inline constexpr uint32_t kMsgMouseMove = 0x0200;
inline constexpr uint32_t kMsgLButtonDown = 0x0201;
inline constexpr uint32_t kMsgLButtonUp = 0x0202;
inline constexpr uint32_t kMsgLButtonDblClk = 0x0203;  // replaces the second down of a double click
inline constexpr uint32_t kMsgRButtonDown = 0x0204;
inline constexpr uint32_t kMsgRButtonUp = 0x0205;
inline constexpr uint32_t kMsgRButtonDblClk = 0x0206;
inline constexpr uint32_t kMsgMButtonDown = 0x0207;
inline constexpr uint32_t kMsgMButtonUp = 0x0208;
inline constexpr uint32_t kMsgMButtonDblClk = 0x0209;
inline constexpr uint32_t kMsgMouseWheel = 0x020A;      // wParam high word: signed delta (120 a notch)
inline constexpr uint32_t kMsgCaptureChanged = 0x0215;  // lParam: the window that gets the capture (or 0)
inline constexpr uint32_t kMsgMouseLeave = 0x02A3;      // once per TrackMouseLeave request

// --- Density: the window's display may now have another density (its top window moved to another
// monitor); ContentScale tells the new one. wParam and lParam 0.
inline constexpr uint32_t kMsgDpiChanged = 0x02E3;

// Messages from here on are the application's own: the platform never sends them and delivers
// them unchanged (posted ones in posting order).
inline constexpr uint32_t kMsgUser = 0x0400;
// From here on the ui layer numbers its own component notifications (enter/leave, dialog char...).
inline constexpr uint32_t kMsgFrameworkBase = 0xB000;

// --- kMk*: button and key state in mouse messages
inline constexpr uintptr_t kMkLButton = 0x0001;
inline constexpr uintptr_t kMkRButton = 0x0002;
inline constexpr uintptr_t kMkShift = 0x0004;
inline constexpr uintptr_t kMkControl = 0x0008;
inline constexpr uintptr_t kMkMButton = 0x0010;

// --- kDlgc*: answers to kMsgGetDlgCode
inline constexpr intptr_t kDlgcWantArrows = 0x0001;
inline constexpr intptr_t kDlgcWantTab = 0x0002;
inline constexpr intptr_t kDlgcWantAllKeys = 0x0004;
inline constexpr intptr_t kDlgcWantChars = 0x0080;

// --- Virtual keys (letters and digits are their upper-case ASCII codes)
inline constexpr uint32_t kVkLButton = 0x01;
inline constexpr uint32_t kVkRButton = 0x02;
inline constexpr uint32_t kVkCancel = 0x03;
inline constexpr uint32_t kVkMButton = 0x04;
inline constexpr uint32_t kVkBack = 0x08;
inline constexpr uint32_t kVkTab = 0x09;
inline constexpr uint32_t kVkReturn = 0x0D;
inline constexpr uint32_t kVkShift = 0x10;
inline constexpr uint32_t kVkControl = 0x11;
inline constexpr uint32_t kVkMenu = 0x12;  // Alt
inline constexpr uint32_t kVkEscape = 0x1B;
inline constexpr uint32_t kVkSpace = 0x20;
inline constexpr uint32_t kVkPrior = 0x21;  // Page Up
inline constexpr uint32_t kVkNext = 0x22;   // Page Down
inline constexpr uint32_t kVkEnd = 0x23;
inline constexpr uint32_t kVkHome = 0x24;
inline constexpr uint32_t kVkLeft = 0x25;
inline constexpr uint32_t kVkUp = 0x26;
inline constexpr uint32_t kVkRight = 0x27;
inline constexpr uint32_t kVkDown = 0x28;
inline constexpr uint32_t kVkExecute = 0x2B;
inline constexpr uint32_t kVkInsert = 0x2D;
inline constexpr uint32_t kVkDelete = 0x2E;

// A point packed into a message parameter: x in the low 16 bits, y in the next 16, both signed
// (positions left of or above a window under mouse capture are negative).
constexpr intptr_t PackPoint(int32_t x, int32_t y) {
  return intptr_t(uint32_t(uint16_t(int16_t(x))) | (uint32_t(uint16_t(int16_t(y))) << 16));
}
constexpr Point UnpackPoint(intptr_t param) {
  return {int16_t(uint16_t(uintptr_t(param) & 0xFFFF)), int16_t(uint16_t((uintptr_t(param) >> 16) & 0xFFFF))};
}
// kMsgSize: width in the low 16 bits, height in the next 16 (unsigned).
constexpr intptr_t PackSize(int32_t w, int32_t h) {
  return intptr_t(uint32_t(uint16_t(w)) | (uint32_t(uint16_t(h)) << 16));
}
constexpr Size UnpackSize(intptr_t param) {
  return {int32_t(uintptr_t(param) & 0xFFFF), int32_t((uintptr_t(param) >> 16) & 0xFFFF)};
}

}  // namespace plat
