#include "vst/DVstHeadlessRequests.h"

#include <memory>

#include "platform/headless/Headless.h"
#include "vst/DVstTemplateEditor.h"

namespace {

constexpr VstInt32 kMaxSide = 4096;
constexpr VstInt32 kMaxAdvance = 600000;

VstIntPtr Answer(plat::headless::HeadlessBackend& hl, VstIntPtr request, void* ptr) {
  if (!ptr) return 0;
  switch (request) {
    case kRequestCreateHostWindow: {
      auto* r = static_cast<KestruneHostWindow*>(ptr);
      r->window = nullptr;
      if (r->width < 1 || r->height < 1 || r->width > kMaxSide || r->height > kMaxSide) return 0;
      if (r->left < -kMaxSide || r->top < -kMaxSide || r->left > kMaxSide || r->top > kMaxSide) return 0;
      plat::WindowHandle h = nullptr;
      const plat::Rect bounds{r->left, r->top, r->left + r->width, r->top + r->height};
      if (hl.CreateHostWindow(bounds, plat::MakeColor(0, 0, 0), &h) != plat::Status::Ok) return 0;
      r->window = h;
      return 1;
    }
    case kRequestDestroyHostWindow: {
      // Only what kRequestCreateHostWindow made: any other handle may be a window of an editor.
      auto h = static_cast<plat::WindowHandle>(ptr);
      return hl.IsHostWindow(h) && hl.DestroyWindow(h) == plat::Status::Ok ? 1 : 0;
    }
    case kRequestMouse: {
      const auto* r = static_cast<const KestruneMouse*>(ptr);
      const plat::Point p{r->x, r->y};
      if (r->button < 0 || r->button > 2) return 0;
      switch (r->action) {
        case kMouseMove: return hl.InjectMouseMove(p) == plat::Status::Ok;
        case kMouseDown:
        case kMouseUp: return hl.InjectMouseButton(p, r->button, r->action == kMouseDown) == plat::Status::Ok;
        default: return 0;
      }
    }
    case kRequestAdvance: {
      const auto* r = static_cast<const KestruneAdvance*>(ptr);
      if (r->milliseconds < 0 || r->milliseconds > kMaxAdvance) return 0;
      return hl.Advance(uint32_t(r->milliseconds)) == plat::Status::Ok;
    }
    case kRequestReadPixels: {
      const auto* r = static_cast<const KestrunePixels*>(ptr);
      if (!r->pixels) return 0;
      std::unique_ptr<plat::Surface> screen;
      if (hl.ReadScreen(static_cast<plat::WindowHandle>(r->window), &screen) != plat::Status::Ok || !screen) return 0;
      if (screen->Width() != r->width || screen->Height() != r->height) return 0;
      for (VstInt32 y = 0; y < r->height; ++y) {
        const uint8_t* src = screen->Row(y);  // blue, green, red, alpha
        unsigned char* dst = r->pixels + size_t(y) * size_t(r->width) * 4;
        for (VstInt32 x = 0; x < r->width; ++x) {
          dst[4 * x] = src[4 * x + 2];
          dst[4 * x + 1] = src[4 * x + 1];
          dst[4 * x + 2] = src[4 * x];
          dst[4 * x + 3] = 255;
        }
      }
      return 1;
    }
    default: return 0;
  }
}

}  // namespace

VstIntPtr answerHeadlessRequest(TVstTemplateEditor& editor, VstIntPtr request, void* ptr) noexcept {
  try {
    // Where a control lies is the form's own business: answered on every platform, so that a host
    // showing the editor in a real window can take its controls with the mouse too.
    if (request == kRequestLocateControl) {
      auto* r = static_cast<KestruneControl*>(ptr);
      return r && editor.locateControl(r->name, r) ? 1 : 0;
    }
    // A host asking for a window to draw in offline gets the headless platform, as long as no
    // editor of ours shows anywhere (replacing the backend would strand its windows). That does
    // not settle anything: an editor opened later in a real window chooses again.
    plat::headless::HeadlessBackend* hl = plat::headless::OfflineHeadless(request == kRequestCreateHostWindow);
    return hl ? Answer(*hl, request, ptr) : 0;
  } catch (...) {
    return 0;
  }
}
