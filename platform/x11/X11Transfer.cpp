// Transfers of painted screen areas to the real windows: XPutImage, or XShmPutImage when the
// server offers shared memory.
#include <sys/ipc.h>
#include <sys/shm.h>

#include <cstdlib>
#include <cstring>

#include "platform/x11/X11BackendImpl.h"
#include "platform/x11/X11ErrorTrap.h"

namespace plat::x11 {

namespace {

// A transfer whose completion never came (its request failed) stops holding the next one back.
constexpr uint64_t kLostCompletionMs = 1000;

// Scales an 8-bit channel into the bits of `mask`.
unsigned long Channel(uint8_t value, unsigned long mask) {
  if (!mask) return 0;
  int shift = 0;
  while (!((mask >> shift) & 1)) ++shift;
  const unsigned long top = mask >> shift;  // all ones, as wide as the channel
  return ((static_cast<unsigned long>(value) * top + 127) / 255) << shift;
}

}  // namespace

void X11BackendImpl::PresentAll() {
  for (auto& [id, out] : outputs_)
    if (Window* root = FindId(id); root && !root->dirty.IsEmpty() && out.xwindow) Present(root, out);
}

void X11BackendImpl::Present(Window* root, Output& out) {
  if (out.shmBusy && NowMs() - out.busySince > kLostCompletionMs) out.shmBusy = false;
  if (out.shmBusy) return;  // the server still reads the segment; the next Idle sends it
  const int width = root->bounds.Width(), height = root->bounds.Height();
  if (width < 1 || height < 1) return;
  ErrorTrap trap(*this);
  if (!out.image && !MakeImage(out, width, height)) {
    root->dirty.Clear();  // nothing can show it; keep the loop quiet
    return;
  }
  Region area = root->dirty;
  area.Intersect(Rect{0, 0, width, height});
  root->dirty.Clear();
  if (area.IsEmpty()) return;
  for (const Rect& r : area.Rects()) CopyToImage(root, r, out.image);
  const Rect box = area.Bounds();
  if (out.shared) {
    // Completion tells when the segment may be written again.
    XShmPutImage(display_, out.xwindow, out.gc, out.image, box.left, box.top, box.left, box.top, unsigned(box.Width()),
                 unsigned(box.Height()), True);
    out.shmBusy = true;
    out.busySince = NowMs();
  } else {
    XPutImage(display_, out.xwindow, out.gc, out.image, box.left, box.top, box.left, box.top, unsigned(box.Width()),
              unsigned(box.Height()));
  }
  XFlush(display_);
}

bool X11BackendImpl::MakeImage(Output& out, int width, int height) {
  if (shmAvailable_) {
    out.image = XShmCreateImage(display_, out.visual, unsigned(out.depth), ZPixmap, nullptr, &out.shm, unsigned(width),
                                unsigned(height));
    if (out.image) {
      out.shm.shmid = shmget(IPC_PRIVATE, size_t(out.image->bytes_per_line) * size_t(height), IPC_CREAT | 0600);
      void* address = out.shm.shmid >= 0 ? shmat(out.shm.shmid, nullptr, 0) : reinterpret_cast<void*>(-1);
      const size_t errorsBefore = xErrors_;
      bool attached = false;
      if (address != reinterpret_cast<void*>(-1)) {
        out.shm.shmaddr = out.image->data = static_cast<char*>(address);
        out.shm.readOnly = False;
        // A remote server refuses the segment with an error, which the sync brings in now.
        attached = XShmAttach(display_, &out.shm) && (XSync(display_, False), xErrors_ == errorsBefore);
      }
      // Marked for removal at once: it goes when both sides have detached, even if we crash.
      if (out.shm.shmid >= 0) shmctl(out.shm.shmid, IPC_RMID, nullptr);
      if (attached) {
        out.shared = true;
        shmUsed_ = true;
        return true;
      }
      if (address != reinterpret_cast<void*>(-1)) shmdt(address);
      out.image->data = nullptr;
      XDestroyImage(out.image);
      out.image = nullptr;
      out.shm = {};
      shmAvailable_ = false;  // this connection cannot share memory: plain transfers from now on
    }
  }
  out.image = XCreateImage(display_, out.visual, unsigned(out.depth), ZPixmap, 0, nullptr, unsigned(width),
                           unsigned(height), 32, 0);
  if (!out.image) return false;
  out.image->data = static_cast<char*>(std::calloc(size_t(out.image->bytes_per_line), size_t(height)));
  if (!out.image->data) {
    XDestroyImage(out.image);
    out.image = nullptr;
    return false;
  }
  out.shared = false;
  return true;
}

void X11BackendImpl::FreeImage(Output& out) {
  if (!out.image) return;
  if (out.shared) {
    // The server finishes reading before it handles the detach; our mapping can go at once.
    XShmDetach(display_, &out.shm);
    out.image->data = nullptr;
    XDestroyImage(out.image);
    shmdt(out.shm.shmaddr);
  } else {
    XDestroyImage(out.image);  // frees the pixels too
  }
  out.image = nullptr;
  out.shm = {};
  out.shared = false;
  out.shmBusy = false;
}

void X11BackendImpl::CopyToImage(const Window* root, const Rect& area, XImage* image) const {
  const soft::PixelTarget screen{const_cast<uint8_t*>(root->screen.data()), root->bounds.Width(),
                                 root->bounds.Height()};
  // The common case, a 24-bit true-colour visual in 32-bit little-endian pixels, is the screen's
  // own byte order: blue, green, red, unused.
  const bool direct = image->bits_per_pixel == 32 && image->byte_order == LSBFirst && image->red_mask == 0xFF0000 &&
                      image->green_mask == 0xFF00 && image->blue_mask == 0xFF;
  for (int32_t y = area.top; y < area.bottom; ++y) {
    const uint8_t* from = screen.At(area.left, y);
    if (direct) {
      std::memcpy(image->data + size_t(y) * size_t(image->bytes_per_line) + size_t(area.left) * 4, from,
                  size_t(area.Width()) * 4);
      continue;
    }
    for (int32_t x = area.left; x < area.right; ++x, from += 4)
      XPutPixel(
          image, x, y,
          Channel(from[2], image->red_mask) | Channel(from[1], image->green_mask) | Channel(from[0], image->blue_mask));
  }
}

}  // namespace plat::x11
