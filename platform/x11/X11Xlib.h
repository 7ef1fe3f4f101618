// Every Xlib header the backend uses, included once and in one place: Xlib defines `Status` as a
// macro, which would clash with plat::Status in everything included after it.
#pragma once

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <X11/keysym.h>

#undef Status
