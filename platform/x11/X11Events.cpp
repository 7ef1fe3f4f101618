// X11 events of our real windows, translated into the software windows' input.

#include "platform/x11/X11BackendImpl.h"
#include "platform/x11/X11ErrorTrap.h"

namespace plat::x11 {

namespace {

// Events handled per Idle call at most, so that a flood cannot hold the host's loop.
constexpr int kMaxEventsPerIdle = 512;
constexpr int32_t kWheelNotch = 120;

uint32_t VirtualKeyOf(KeySym sym) {
  if (sym >= XK_a && sym <= XK_z) return uint32_t('A' + (sym - XK_a));
  if (sym >= XK_A && sym <= XK_Z) return uint32_t('A' + (sym - XK_A));
  if (sym >= XK_0 && sym <= XK_9) return uint32_t('0' + (sym - XK_0));
  switch (sym) {
    case XK_BackSpace: return kVkBack;
    case XK_Tab:
    case XK_ISO_Left_Tab: return kVkTab;
    case XK_Return:
    case XK_KP_Enter: return kVkReturn;
    case XK_Escape: return kVkEscape;
    case XK_space: return kVkSpace;
    case XK_Page_Up:
    case XK_KP_Page_Up: return kVkPrior;
    case XK_Page_Down:
    case XK_KP_Page_Down: return kVkNext;
    case XK_End:
    case XK_KP_End: return kVkEnd;
    case XK_Home:
    case XK_KP_Home: return kVkHome;
    case XK_Left:
    case XK_KP_Left: return kVkLeft;
    case XK_Up:
    case XK_KP_Up: return kVkUp;
    case XK_Right:
    case XK_KP_Right: return kVkRight;
    case XK_Down:
    case XK_KP_Down: return kVkDown;
    case XK_Insert:
    case XK_KP_Insert: return kVkInsert;
    case XK_Delete:
    case XK_KP_Delete: return kVkDelete;
    case XK_Shift_L:
    case XK_Shift_R: return kVkShift;
    case XK_Control_L:
    case XK_Control_R: return kVkControl;
    case XK_Alt_L:
    case XK_Alt_R:
    case XK_Meta_L:
    case XK_Meta_R: return kVkMenu;
    default: return 0;
  }
}

}  // namespace

void X11BackendImpl::ReadEvents() {
  ErrorTrap trap(*this);
  for (int n = 0; n < kMaxEventsPerIdle && display_ && XPending(display_) > 0; ++n) {
    XEvent event;
    XNextEvent(display_, &event);
    HandleEvent(event);
  }
}

soft::SoftBackend::Window* X11BackendImpl::RootOfX(::Window window) {
  for (auto& [id, out] : outputs_)
    if (out.xwindow == window) return FindId(id);
  return nullptr;
}

void X11BackendImpl::HandleEvent(const XEvent& event) {
  if (event.type == shmCompletion_) {
    const auto& done = reinterpret_cast<const XShmCompletionEvent&>(event);
    for (auto& [id, out] : outputs_)
      if (out.xwindow == done.drawable) out.shmBusy = false;
    return;
  }
  Window* root = RootOfX(event.xany.window);
  if (!root) return;
  const Point origin{root->bounds.left, root->bounds.top};
  const unsigned state = event.type == MotionNotify                                 ? event.xmotion.state
                         : event.type == ButtonPress || event.type == ButtonRelease ? event.xbutton.state
                         : event.type == KeyPress || event.type == KeyRelease       ? event.xkey.state
                                                                                    : ~0u;
  if (state != ~0u) SyncModifiers(state & ShiftMask, state & ControlMask, state & Mod1Mask);
  switch (event.type) {
    case Expose: {
      // The screen holds every pixel: what the server lost is transferred again.
      const XExposeEvent& e = event.xexpose;
      root->dirty.Union(Rect::FromSize(e.x, e.y, e.width, e.height));
      break;
    }
    case DestroyNotify:
      // The host destroyed its window and ours with it: the tree goes as if destroyed by us.
      outputs_[root->id].xwindow = 0;
      DestroyWindow(HandleOf(root->id));
      break;
    case MotionNotify:
      RaiseRoot(root);
      MouseMove({origin.x + event.xmotion.x, origin.y + event.xmotion.y});
      break;
    case ButtonPress:
    case ButtonRelease: {
      const XButtonEvent& e = event.xbutton;
      const Point at{origin.x + e.x, origin.y + e.y};
      const bool down = event.type == ButtonPress;
      RaiseRoot(root);
      if (e.button == Button4 || e.button == Button5) {
        if (down) MouseWheel(at, e.button == Button4 ? kWheelNotch : -kWheelNotch);
      } else if (e.button >= Button1 && e.button <= Button3) {
        static constexpr int kButton[3] = {0, 2, 1};  // X: left, middle, right
        MouseButton(at, kButton[e.button - Button1], down);
      }
      break;
    }
    case LeaveNotify:
      // While a button is held the pointer is grabbed and moves keep coming to us.
      if (!(event.xcrossing.state & (Button1Mask | Button2Mask | Button3Mask))) MouseLeft();
      break;
    case KeyPress:
    case KeyRelease: {
      XKeyEvent key = event.xkey;
      char text[8] = {};
      KeySym sym = NoSymbol;
      const int length = XLookupString(&key, text, sizeof text, &sym, nullptr);
      const bool down = event.type == KeyPress;
      if (const uint32_t vk = VirtualKeyOf(sym)) Key(vk, down);
      if (down && length == 1 && uint8_t(text[0]) >= 0x20 && uint8_t(text[0]) != 0x7F) Char(uint8_t(text[0]));
      break;
    }
    default: break;
  }
  DeliverPending();
}

}  // namespace plat::x11
