// The Windows headers as the Win32 backend uses them. Several of their function-name macros
// (PostMessage, SendMessage, DrawText, ...) would rename the platform interface's own members, so
// they are undone here and the backend calls the "A" or "W" functions by their full names.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// windows.h first: commctrl.h builds on it.
#include <commctrl.h>
#include <objbase.h>

#undef PostMessage
#undef SendMessage
#undef DrawText
#undef CreateWindow
#undef GetObject
#undef DefWindowProc
