// Software windows: the window tree, messages, invalidation and the paint cycle.
#include <algorithm>

#include "platform/soft/SoftBackend.h"

namespace plat::soft {

namespace {
// Paint rounds per pump before giving up on a window that invalidates itself for ever.
constexpr int kMaxPumpRounds = 10000;
}  // namespace

SoftBackend::SoftBackend() { screenContext_.Unbind(); }

SoftBackend::~SoftBackend() {
  // No messages on teardown: procedures may belong to objects that are already gone.
  timers_.Clear();
  queue_.clear();
  windows_.clear();
}

SoftBackend::Window* SoftBackend::FindId(uint64_t id) const {
  if (id == 0) return nullptr;
  auto it = windows_.find(id);
  return it == windows_.end() ? nullptr : it->second.get();
}

SoftBackend::Window* SoftBackend::Find(WindowHandle handle) const {
  Window* w = FindId(uint64_t(reinterpret_cast<uintptr_t>(handle)));
  return (w && !w->destroying) ? w : nullptr;
}

SoftBackend::Window* SoftBackend::AdoptForeign(WindowHandle handle) {
  auto key = reinterpret_cast<uintptr_t>(handle);
  if (auto it = adopted_.find(key); it != adopted_.end()) return FindId(it->second);
  Window* w = nullptr;
  if (CreateRoot(Rect{}, SystemColor(kColorAppWorkspace), {}, true, &w) != Status::Ok) return nullptr;
  adopted_[key] = w->id;
  const uint64_t id = w->id;
  RootAdopted(handle, w);
  return FindId(id);
}

Status SoftBackend::NewWindow(Kind kind, uint64_t parent, const Rect& bounds, bool visible, WindowProc proc,
                              Window** out) {
  auto w = std::make_shared<Window>();
  w->id = nextId_;
  nextId_ += kIdStep;
  w->kind = kind;
  w->parent = parent;
  w->bounds = bounds;
  w->visible = visible;
  w->proc = std::move(proc);
  windows_[w->id] = w;
  if (Window* p = FindId(parent))
    p->children.push_back(w->id);
  else if (kind != Kind::Message)
    tops_.push_back(w->id);
  *out = w.get();
  return Status::Ok;
}

Status SoftBackend::CreateChildWindow(const WindowDesc& desc, WindowHandle* out) {
  if (!out) return Status::InvalidArgument;
  *out = nullptr;
  if (desc.bounds.right < desc.bounds.left || desc.bounds.bottom < desc.bounds.top) return Status::InvalidArgument;
  if (!desc.parent) return Status::InvalidArgument;
  Window* parent = Find(desc.parent);
  if (!parent && !WasOurs(desc.parent)) parent = AdoptForeign(desc.parent);
  if (!parent || parent->kind == Kind::Message) return Status::NotFound;
  Window* w = nullptr;
  NewWindow(Kind::Child, parent->id, desc.bounds, desc.visible, desc.proc, &w);
  w->doubleClicks = desc.doubleClicks;
  const uint64_t id = w->id;
  FitAdopted(parent);
  *out = HandleOf(id);
  SendMessage(*out, kMsgCreate, 0, 0);
  Window* again = Find(*out);
  if (!again) {  // the procedure destroyed its window while it was being created
    *out = nullptr;
    return Status::NotFound;
  }
  if (again->visible) Invalidate(*out, nullptr);
  return Status::Ok;
}

Status SoftBackend::CreateMessageWindow(WindowProc proc, WindowHandle* out) {
  if (!out) return Status::InvalidArgument;
  Window* w = nullptr;
  NewWindow(Kind::Message, 0, Rect{}, false, std::move(proc), &w);
  *out = HandleOf(w->id);
  return Status::Ok;
}

Status SoftBackend::CreateRoot(const Rect& screenBounds, Color background, WindowProc proc, bool adopted,
                               Window** out) {
  if (screenBounds.Width() < 0 || screenBounds.Height() < 0 || screenBounds.Width() > kMaxPixelDimension ||
      screenBounds.Height() > kMaxPixelDimension)
    return Status::TooLarge;
  Window* w = nullptr;
  NewWindow(Kind::Root, 0, screenBounds, true, std::move(proc), &w);
  w->background = background;
  w->adopted = adopted;
  ResizeScreen(w);
  *out = w;
  return Status::Ok;
}

void SoftBackend::ResizeScreen(Window* root) {
  const size_t w = size_t(std::max(0, root->bounds.Width())), h = size_t(std::max(0, root->bounds.Height()));
  std::vector<uint8_t> fresh(w * h * 4, 0);
  for (size_t i = 0; i < w * h; ++i) {
    fresh[i * 4 + 0] = ColorBlue(root->background);
    fresh[i * 4 + 1] = ColorGreen(root->background);
    fresh[i * 4 + 2] = ColorRed(root->background);
    fresh[i * 4 + 3] = 255;
  }
  root->screen.swap(fresh);
  const Rect all{0, 0, int32_t(w), int32_t(h)};
  root->update.Union(all);
  root->dirty = Region(all);
  RootResized(root);
}

void SoftBackend::FitAdopted(Window* root) {
  if (!root || !root->adopted || root->destroying || root->children.empty()) return;
  // Just large enough for the children: an editor rebuilt smaller leaves no strip of nothing.
  Rect fit{root->bounds.left, root->bounds.top, root->bounds.left, root->bounds.top};
  for (uint64_t cid : root->children)
    if (const Window* c = FindId(cid); c && !c->destroying) {
      fit.right = std::max(fit.right, root->bounds.left + std::min(c->bounds.right, kMaxPixelDimension));
      fit.bottom = std::max(fit.bottom, root->bounds.top + std::min(c->bounds.bottom, kMaxPixelDimension));
    }
  if (fit == root->bounds) return;
  root->bounds = fit;
  ResizeScreen(root);
  InvalidateTree(root);  // a fresh screen holds nothing of what was painted before
}

void SoftBackend::ReleaseIfEmptied(uint64_t rootId) {
  // A root standing for a foreign handle exists only to hold our windows: kept, every handle a
  // host ever gave would cost a screen for good (and a display backend's real window would cover
  // part of the host's window with nothing in it).
  Window* root = FindId(rootId);
  if (root && root->adopted && !root->destroying && root->children.empty()) DestroyTree(root);
}

bool SoftBackend::IsWindow(WindowHandle window) const { return Find(window) != nullptr; }

bool SoftBackend::ShowsWindows() const {
  // A message being delivered counts as showing: its procedure may have destroyed its window (an
  // editor closed from a host callback), and the delivery still runs in this backend.
  if (InDispatch()) return true;
  // Roots of our own making are host windows (headless); everything else belongs to an editor.
  return std::any_of(windows_.begin(), windows_.end(),
                     [](const auto& entry) { return entry.second->kind != Kind::Root || entry.second->adopted; });
}

bool SoftBackend::WasOurs(WindowHandle handle) const {
  const uint64_t v = uint64_t(reinterpret_cast<uintptr_t>(handle));
  return v >= kFirstId && v < nextId_ && (v - kFirstId) % kIdStep == 0;
}

SoftBackend::Window* SoftBackend::Root(Window* w) const {
  while (w && w->parent) w = FindId(w->parent);
  return w;
}

bool SoftBackend::ChainVisible(const Window* w) const {
  for (const Window* c = w; c; c = FindId(c->parent))
    if (!c->visible || c->destroying) return false;
  return true;
}

Point SoftBackend::OffsetInRoot(const Window* w) const {
  Point p;
  for (const Window* c = w; c && c->parent; c = FindId(c->parent)) {
    p.x += c->bounds.left;
    p.y += c->bounds.top;
  }
  return p;
}

Region SoftBackend::VisibleRegion(Window* w) const {
  if (!w || w->kind == Kind::Message || !ChainVisible(w)) return {};
  const Point o = OffsetInRoot(w);
  Region r(Rect{o.x, o.y, o.x + w->bounds.Width(), o.y + w->bounds.Height()});
  // Children clip their parent.
  for (uint64_t cid : w->children)
    if (Window* c = FindId(cid); c && c->visible && !c->destroying) r.Subtract(c->bounds.Offset(o.x, o.y));
  // Ancestors clip, and so do siblings above on every level.
  for (Window* c = w; c && c->parent; c = FindId(c->parent)) {
    Window* p = FindId(c->parent);
    const Point po = OffsetInRoot(p);
    if (p->parent)
      r.Intersect(Rect{po.x, po.y, po.x + p->bounds.Width(), po.y + p->bounds.Height()});
    else
      r.Intersect(Rect{0, 0, p->bounds.Width(), p->bounds.Height()});
    auto it = std::find(p->children.begin(), p->children.end(), c->id);
    for (++it; it != p->children.end(); ++it)
      if (Window* s = FindId(*it); s && s->visible && !s->destroying) r.Subtract(s->bounds.Offset(po.x, po.y));
  }
  return r;
}

void SoftBackend::ExposeArea(Window* w) {
  Window* root = Root(w);
  if (!root || root == w) return;
  const Point o = OffsetInRoot(FindId(w->parent));
  const Rect area = w->bounds.Offset(o.x, o.y);
  std::vector<uint64_t> order{root->id};
  for (size_t i = 0; i < order.size(); ++i) {
    Window* c = FindId(order[i]);
    if (!c || c->destroying) continue;
    const Point co = OffsetInRoot(c);
    const Rect local = area.Offset(-co.x, -co.y);
    Invalidate(HandleOf(c->id), &local);
    order.insert(order.end(), c->children.begin(), c->children.end());
  }
}

void SoftBackend::InvalidateTree(Window* w) {
  std::vector<uint64_t> order{w->id};
  for (size_t i = 0; i < order.size(); ++i) {
    Window* c = FindId(order[i]);
    if (!c || c->destroying) continue;
    Invalidate(HandleOf(c->id), nullptr);
    order.insert(order.end(), c->children.begin(), c->children.end());
  }
}

Status SoftBackend::DestroyWindow(WindowHandle window) {
  Window* w = Find(window);
  if (!w) return Status::NotFound;
  if (w->visible) ExposeArea(w);
  const Window* root = Root(w);
  const uint64_t rootId = root && root != w ? root->id : 0;
  DestroyTree(w);
  ReleaseIfEmptied(rootId);
  return Status::Ok;
}

void SoftBackend::DestroyTree(Window* w) {
  // Keep the object alive while its own procedure may still be running.
  std::shared_ptr<Window> hold = windows_[w->id];
  // From here on the window answers as gone to every call, but its procedure still gets
  // kMsgDestroy, then its children are destroyed the same way.
  w->destroying = true;
  Message m{kMsgDestroy, 0, 0, 0};
  DispatchTo(hold, m);
  for (uint64_t cid : std::vector<uint64_t>(w->children))
    if (Window* c = FindId(cid); c && !c->destroying) DestroyTree(c);
  if (Window* p = FindId(w->parent)) {
    std::erase(p->children, w->id);
    FitAdopted(p);
  }
  std::erase(tops_, w->id);
  timers_.KillAllOf(w->id);
  for (auto it = adopted_.begin(); it != adopted_.end();) it = it->second == w->id ? adopted_.erase(it) : std::next(it);
  if (capture_ == w->id) capture_ = 0;
  if (focus_ == w->id) focus_ = 0;
  if (tracked_ == w->id) tracked_ = 0;
  if (lastDownWindow_ == w->id) lastDownWindow_ = 0;
  if (w->kind == Kind::Root) RootDestroyed(w);
  windows_.erase(w->id);
}

Status SoftBackend::SetParent(WindowHandle window, WindowHandle newParent) {
  Window* w = Find(window);
  if (!w) return Status::NotFound;
  if (w->kind == Kind::Root || w->kind == Kind::Message) return Status::InvalidArgument;
  Window* p = Find(newParent);
  if (!p && newParent && !WasOurs(newParent)) p = AdoptForeign(newParent);
  if (!p || p->kind == Kind::Message) return Status::NotFound;
  for (Window* a = p; a; a = FindId(a->parent))
    if (a == w) return Status::InvalidArgument;  // would make a cycle
  if (p->id == w->parent) return Status::Ok;
  if (w->visible) ExposeArea(w);
  const Window* oldRoot = Root(w);
  const uint64_t oldRootId = oldRoot ? oldRoot->id : 0;
  Window* old = FindId(w->parent);
  if (old) std::erase(old->children, w->id);
  w->parent = p->id;
  p->children.push_back(w->id);
  FitAdopted(old);
  FitAdopted(p);
  InvalidateTree(w);
  ReleaseIfEmptied(oldRootId);
  return Status::Ok;
}

Status SoftBackend::GetParent(WindowHandle window, WindowHandle* out) const {
  Window* w = Find(window);
  if (!w || !out) return w ? Status::InvalidArgument : Status::NotFound;
  *out = HandleOf(w->parent);
  return Status::Ok;
}

Status SoftBackend::SetBounds(WindowHandle window, const Rect& bounds) {
  Window* w = Find(window);
  if (!w) return Status::NotFound;
  if (bounds.right < bounds.left || bounds.bottom < bounds.top || bounds.Width() > kMaxPixelDimension ||
      bounds.Height() > kMaxPixelDimension)
    return Status::InvalidArgument;
  if (w->kind == Kind::Message) return Status::InvalidArgument;
  const Rect old = w->bounds;
  if (old == bounds) return Status::Ok;
  if (w->visible) ExposeArea(w);
  w->bounds = bounds;
  const uint64_t id = w->id;
  if (w->kind == Kind::Root) ResizeScreen(w);
  FitAdopted(FindId(w->parent));
  if (w->visible) InvalidateTree(w);
  if (old.left != bounds.left || old.top != bounds.top)
    SendMessage(window, kMsgMove, 0, PackPoint(bounds.left, bounds.top));
  if (FindId(id) && (old.Width() != bounds.Width() || old.Height() != bounds.Height()))
    SendMessage(window, kMsgSize, 0, PackSize(bounds.Width(), bounds.Height()));
  return Status::Ok;
}

Status SoftBackend::GetBounds(WindowHandle window, Rect* out) const {
  Window* w = Find(window);
  if (!w) return Status::NotFound;
  if (!out) return Status::InvalidArgument;
  *out = w->bounds;
  return Status::Ok;
}

Status SoftBackend::GetClientSize(WindowHandle window, Size* out) const {
  Window* w = Find(window);
  if (!w) return Status::NotFound;
  if (!out) return Status::InvalidArgument;
  *out = {w->bounds.Width(), w->bounds.Height()};
  return Status::Ok;
}

Status SoftBackend::Show(WindowHandle window, bool visible) {
  Window* w = Find(window);
  if (!w) return Status::NotFound;
  if (w->kind == Kind::Message) return Status::InvalidArgument;
  if (w->visible == visible) return Status::Ok;
  if (!visible) ExposeArea(w);
  w->visible = visible;
  if (visible) InvalidateTree(w);
  if (!visible && capture_ == w->id) ReleaseCapture();
  SendMessage(window, kMsgShowWindow, visible ? 1 : 0, 0);
  return Status::Ok;
}

Status SoftBackend::IsVisible(WindowHandle window, bool* out) const {
  Window* w = Find(window);
  if (!w) return Status::NotFound;
  if (!out) return Status::InvalidArgument;
  *out = ChainVisible(w);
  return Status::Ok;
}

Status SoftBackend::ClientToScreen(WindowHandle window, Point* point) const {
  Window* w = Find(window);
  if (!w) return Status::NotFound;
  if (!point) return Status::InvalidArgument;
  for (Window* c = w; c; c = FindId(c->parent)) {
    point->x += c->bounds.left;
    point->y += c->bounds.top;
  }
  return Status::Ok;
}

Status SoftBackend::ScreenToClient(WindowHandle window, Point* point) const {
  Window* w = Find(window);
  if (!w) return Status::NotFound;
  if (!point) return Status::InvalidArgument;
  for (Window* c = w; c; c = FindId(c->parent)) {
    point->x -= c->bounds.left;
    point->y -= c->bounds.top;
  }
  return Status::Ok;
}

WindowHandle SoftBackend::WindowFromPoint(Point screen) const {
  for (auto top = tops_.rbegin(); top != tops_.rend(); ++top) {
    Window* w = FindId(*top);
    if (!w || !w->visible || !w->bounds.Contains(screen)) continue;
    Point local{screen.x - w->bounds.left, screen.y - w->bounds.top};
    for (bool descended = true; descended;) {
      descended = false;
      for (auto c = w->children.rbegin(); c != w->children.rend(); ++c) {
        Window* child = FindId(*c);
        if (child && child->visible && !child->destroying && child->bounds.Contains(local)) {
          local = {local.x - child->bounds.left, local.y - child->bounds.top};
          w = child;
          descended = true;
          break;
        }
      }
    }
    return HandleOf(w->id);
  }
  return nullptr;
}

// --- Messages

void SoftBackend::Dispatch(uint64_t id, Message& message) {
  auto it = windows_.find(id);
  if (it == windows_.end() || it->second->destroying) return;
  DispatchTo(it->second, message);
}

void SoftBackend::DispatchTo(std::shared_ptr<Window> hold, Message& message) {
  WindowProc proc = hold->proc;  // the procedure may destroy its window meanwhile
  ++dispatchDepth_;
  try {
    if (proc)
      proc(HandleOf(hold->id), message);
    else
      DefaultHandling(HandleOf(hold->id), message);
  } catch (...) {
    ++escaped_;
  }
  --dispatchDepth_;
}

Status SoftBackend::PostMessage(WindowHandle window, uint32_t msg, uintptr_t wParam, intptr_t lParam) {
  Window* w = Find(window);
  if (!w) return Status::NotFound;
  queue_.push_back({w->id, Message{msg, wParam, lParam, 0}});
  return Status::Ok;
}

intptr_t SoftBackend::SendMessage(WindowHandle window, uint32_t msg, uintptr_t wParam, intptr_t lParam) {
  Window* w = Find(window);
  if (!w) return 0;
  Message m{msg, wParam, lParam, 0};
  Dispatch(w->id, m);
  return m.result;
}

void SoftBackend::DefaultHandling(WindowHandle window, Message& message) {
  Window* w = Find(window);
  if (!w) return;
  message.result = 0;
  if (message.msg != kMsgPaint) return;
  if (w->kind == Kind::Root || w->kind == Kind::StatusBar) {
    PaintCycle cycle;
    if (BeginPaint(window, &cycle) != Status::Ok) return;
    if (w->kind == Kind::Root)
      PaintRoot(w, *cycle.context, cycle.area);
    else
      PaintStatusBar(w, *cycle.context);
    EndPaint(window, &cycle);
    return;
  }
  Validate(window, nullptr);
}

void SoftBackend::PaintRoot(Window* w, DrawContext& dc, const Rect& area) { dc.FillRect(area, w->background); }

// --- Invalidation and painting

Status SoftBackend::Invalidate(WindowHandle window, const Rect* area) {
  Window* w = Find(window);
  if (!w) return Status::NotFound;
  if (w->kind == Kind::Message) return Status::Ok;
  Rect client{0, 0, w->bounds.Width(), w->bounds.Height()};
  Rect r = client;
  if (area && !Intersect(*area, client, &r)) return Status::Ok;
  w->update.Union(r);
  return Status::Ok;
}

Status SoftBackend::Validate(WindowHandle window, const Rect* area) {
  Window* w = Find(window);
  if (!w) return Status::NotFound;
  if (area)
    w->update.Subtract(*area);
  else
    w->update.Clear();
  return Status::Ok;
}

Status SoftBackend::GetUpdateRect(WindowHandle window, Rect* out) const {
  Window* w = Find(window);
  if (!w) return Status::NotFound;
  if (!out) return Status::InvalidArgument;
  *out = w->update.Bounds();
  return Status::Ok;
}

Status SoftBackend::BeginPaint(WindowHandle window, PaintCycle* out) {
  Window* w = Find(window);
  if (!w) return Status::NotFound;
  if (!out) return Status::InvalidArgument;
  if (w->painting) return Status::Busy;
  Window* root = Root(w);
  const Point o = OffsetInRoot(w);
  Region limit = VisibleRegion(w);
  Region update = w->update;
  update.Offset(o.x, o.y);
  limit.Intersect(update);
  soft::PixelTarget target{root->screen.data(), root->bounds.Width(), root->bounds.Height()};
  w->paintContext.Bind(target, limit, o);
  w->paintContext.SetBitsPerPixel(root->screenBits);
  w->paintLimit = std::move(limit);
  w->painting = true;
  ++w->paintsBegun;
  out->context = &w->paintContext;
  out->area = w->update.Bounds();
  w->update.Clear();
  return Status::Ok;
}

Status SoftBackend::EndPaint(WindowHandle window, PaintCycle* cycle) {
  Window* w = Find(window);
  if (!w) return Status::NotFound;
  if (!w->painting) return Status::InvalidArgument;
  w->painting = false;
  w->paintContext.Unbind();
  if (Window* root = Root(w)) root->dirty.Union(w->paintLimit);
  w->paintLimit.Clear();
  if (cycle) cycle->context = nullptr;
  return Status::Ok;
}

Status SoftBackend::UpdateWindow(WindowHandle window) {
  Window* w = Find(window);
  if (!w) return Status::NotFound;
  if (w->update.IsEmpty() || !ChainVisible(w) || w->painting) return Status::Ok;
  const uint64_t id = w->id;
  const uint64_t begun = w->paintsBegun;
  Message m{kMsgPaint, 0, 0, 0};
  Dispatch(id, m);
  // A procedure that ignored the paint message must not get it again and again. One that painted
  // keeps what it invalidated since (a second paint it asked for).
  if (Window* again = FindId(id); again && again->paintsBegun == begun) again->update.Clear();
  return Status::Ok;
}

bool SoftBackend::PaintOne() {
  // Parents before children: walk the tree from the top-level windows.
  std::vector<uint64_t> order(tops_);
  for (size_t i = 0; i < order.size(); ++i) {
    Window* w = FindId(order[i]);
    if (!w || !w->visible || w->destroying) continue;
    if (!w->update.IsEmpty() && !w->painting) {
      UpdateWindow(HandleOf(w->id));
      return true;
    }
    order.insert(order.end(), w->children.begin(), w->children.end());
  }
  return false;
}

Status SoftBackend::DeliverPending() {
  for (int round = 0; round < kMaxPumpRounds; ++round) {
    if (!queue_.empty()) {
      auto [window, message] = queue_.front();
      queue_.pop_front();
      Dispatch(window, message);
      continue;
    }
    if (!PaintOne()) return Status::Ok;
  }
  return Status::Busy;
}

}  // namespace plat::soft
