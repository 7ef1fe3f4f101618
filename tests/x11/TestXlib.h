// The Xlib headers the X11 tests use, in one place: Xlib defines `Status` as a macro, which would
// clash with plat::Status.
#pragma once

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#undef Status
