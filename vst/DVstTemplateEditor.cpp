#include "vst/DVstTemplateEditor.h"

#include <algorithm>

#include "platform/Platform.h"
#include "ui/Application.h"
#include "ui/Form.h"
#include "vst/DAudioEffectX.h"
#include "vst/DVstTemplate.h"

namespace {
VstInt16 ToInt16(int v) { return static_cast<VstInt16>(std::clamp(v, -32768, 32767)); }
// To the editor's own message window: the display's density may have changed.
constexpr std::uint32_t kMsgFollowDensity = plat::kMsgUser + 1;
// To the editor's own message window: the host asked for a scale from inside one of our calls.
constexpr std::uint32_t kMsgTakeHostScale = plat::kMsgUser + 2;
}  // namespace

TVstTemplateEditor::TVstTemplateEditor(AudioEffect* effect, TFormClass formClass)
    : AEffEditor(effect), formClass(formClass) {
  // Hosts size their window before the first open: answer the designed size, not 0 x 0.
  if (formClass) {
    editRect.bottom = ToInt16(formClass->DesignHeight);
    editRect.right = ToInt16(formClass->DesignWidth);
  }
}

TVstTemplateEditor::~TVstTemplateEditor() {
  destroyForm();
  dropMessages();
}

void TVstTemplateEditor::dropMessages() {
  if (messages) plat::Platform().DestroyWindow(messages);
  messages = nullptr;
}

VstInt32 TVstTemplateEditor::getRect(ERect** rect) {
  if (!rect) return 0;
  editRect.top = 0;
  editRect.left = 0;
  if (form) {
    editRect.bottom = ToInt16(form->ClientHeight());
    editRect.right = ToInt16(form->ClientWidth());
  }
  *rect = &editRect;
  return 1;
}

VstInt32 TVstTemplateEditor::open(void* ptr) {
  if (!ptr || !formClass) return 0;
  // Whenever no editor shows, the window a host hands decides where editors show (a real display
  // or none).
  plat::ChooseBackendFor(ptr);
  ++openCount;
  if (openCount == 1 || !form) {
    // The host's request wins; otherwise the display the host's window is on decides (asked only
    // for a form class that scales).
    if (hostScale > 0)
      scale = hostScale;
    else if (formClass->CreateScaled)
      scale = SnapFormScale(formClass, plat::Platform().ContentScale(ptr));
    bool created = false;
    try {
      created = createForm(ptr);
    } catch (...) {
      Application().HandleException(nullptr);
      destroyForm();
    }
    if (!created) {
      --openCount;
      return 0;
    }
    // Made now, in the host's call: the system may treat windows made inside another window's
    // message as that window's kind (on Windows, its DPI awareness), and so the forms built later
    // from this window's messages.
    if (!messages && plat::Platform().CreateMessageWindow(
                         [this](plat::WindowHandle, plat::Message& m) {
                           if (m.msg == kMsgFollowDensity) followDisplayDensity();
                           if (m.msg == kMsgTakeHostScale && form && hostScale > 0) changeScale(hostScale);
                         },
                         &messages) != plat::Status::Ok)
      messages = nullptr;
    askHostToFit();
  } else if (form->ParentWindow() != ptr) {
    try {
      form->SetParentWindow(ptr);
    } catch (...) {
      Application().HandleException(nullptr);
    }
    densityMayHaveChanged();  // the new window may be on a screen of another density
  }
  parentWindow = ptr;
  systemWindow = ptr;
  return 1;
}

bool TVstTemplateEditor::createForm(void* parent) {
  destroyForm();
  form = makeForm(parent, scale);
  return form != nullptr;
}

TForm* TVstTemplateEditor::makeForm(void* parent, double at) {
  TForm* made = formClass->CreateScaled ? formClass->CreateScaled(nullptr, at) : formClass->Create(nullptr);
  if (!made) return nullptr;
  ++openForms;
  auto drop = [&made] {
    --openForms;
    TComponent::Free(made);
    made = nullptr;
  };
  try {
    made->OnDensityChange = TNotifyEvent([this](TPersistent*) { densityMayHaveChanged(); });
    made->SetBounds(0, 0, made->Width(), made->Height());
    made->SetParentWindow(parent);
    made->Show();
    plat::WindowHandle h = made->Handle();
    // The form learns its effect from a queued message, so it is attached before its first timer
    // tick or paint can use it, but never inside its own construction.
    if (!h || plat::Platform().PostMessage(h, kMsgEffectAttach, reinterpret_cast<std::uintptr_t>(effect), 0) !=
                  plat::Status::Ok)
      drop();
  } catch (...) {
    drop();
    throw;
  }
  return made;
}

bool TVstTemplateEditor::rebuildAt(double to) {
  TForm* fresh = nullptr;
  try {
    fresh = makeForm(parentWindow, to);
  } catch (...) {
    Application().HandleException(nullptr);
  }
  if (!fresh) return false;
  if (plat::WindowHandle h = fresh->Handle())
    plat::Platform().SendMessage(h, kMsgFormTakeOver, reinterpret_cast<std::uintptr_t>(form), 0);
  destroyForm();
  form = fresh;
  scale = to;
  return true;
}

bool TVstTemplateEditor::askHostToFit() {
  if (!form) return true;
  const VstInt16 width = ToInt16(form->ClientWidth()), height = ToInt16(form->ClientHeight());
  if (editRect.right - editRect.left == width && editRect.bottom - editRect.top == height) return true;
  editRect.left = editRect.top = 0;
  editRect.right = width;
  editRect.bottom = height;
  auto* x = dynamic_cast<AudioEffectX*>(effect);
  return x && x->sizeWindow(width, height);
}

bool TVstTemplateEditor::setContentScale(double factor) {
  if (!IsUsableScale(factor) || !formClass || !formClass->CreateScaled) return false;
  hostScale = SnapFormScale(formClass, factor);
  if (!form) {
    scale = hostScale;
    editRect.right = ToInt16(ScaledLength(formClass->DesignWidth, scale));
    editRect.bottom = ToInt16(ScaledLength(formClass->DesignHeight, scale));
    return true;
  }
  // Asked from inside a call of ours to the host (a drag's automation, say), a rebuild now would
  // free the form under the handler that made the call: it follows from the editor's own window.
  if (effect && effect->inHostCall()) {
    if (messages) plat::Platform().PostMessage(messages, kMsgTakeHostScale, 0, 0);
  } else {
    changeScale(hostScale);
  }
  return true;
}

void TVstTemplateEditor::changeScale(double to) {
  const double from = scale;
  if (to == from || !rebuildAt(to)) return;
  if (askHostToFit()) return;
  // Refused: unless the host's window is known to hold the new form, it would be cut, so the form
  // goes back to the scale it had.
  plat::Size room;
  if (plat::Platform().GetClientSize(parentWindow, &room) == plat::Status::Ok && room.width >= form->ClientWidth() &&
      room.height >= form->ClientHeight())
    return;
  if (rebuildAt(from)) askHostToFit();
}

void TVstTemplateEditor::densityMayHaveChanged() {
  if (messages) plat::Platform().PostMessage(messages, kMsgFollowDensity, 0, 0);
}

void TVstTemplateEditor::followDisplayDensity() {
  // A host that tells the scale goes on telling it when its window moves.
  if (!form || hostScale > 0 || !formClass->CreateScaled) return;
  const double reading = plat::Platform().ContentScale(parentWindow);
  if (IsUsableScale(reading)) changeScale(SnapFormScale(formClass, reading));
}

void TVstTemplateEditor::close() {
  --openCount;
  if (openCount > 0) return;
  openCount = 0;
  destroyForm();
  dropMessages();
  parentWindow = nullptr;
  systemWindow = nullptr;
}

void TVstTemplateEditor::idle() {
  // Hosts call this regularly from their own loop: it is what moves the platform's events,
  // timers and paints along where the plug-in has no message loop of its own.
  plat::Platform().Idle();
  if (!form || !effect) return;
  auto* t = dynamic_cast<TVstTemplate*>(effect);
  if (!t || !t->OnEditorIdle) return;
  try {
    t->OnEditorIdle(form);
  } catch (...) {
    Application().HandleException(nullptr);
  }
}

bool TVstTemplateEditor::locateControl(const char* name, KestruneControl* out) {
  if (!form || !name || !out) return false;
  auto* control = dynamic_cast<TControl*>(form->FindComponent(name));
  if (!control) return false;
  const plat::Point origin = control->ClientToScreen({0, 0});
  plat::Point grab{control->Width() / 2, control->Height() / 2};
  if (plat::WindowHandle h = form->Handle())
    plat::Platform().SendMessage(h, kMsgControlGrabPoint, reinterpret_cast<std::uintptr_t>(control),
                                 reinterpret_cast<std::intptr_t>(&grab));
  out->left = origin.x;
  out->top = origin.y;
  out->width = control->Width();
  out->height = control->Height();
  out->grabX = origin.x + grab.x;
  out->grabY = origin.y + grab.y;
  return true;
}

void TVstTemplateEditor::destroyForm() {
  TForm* f = form;
  form = nullptr;
  if (f) {
    --openForms;
    TComponent::Free(f);
  }
}
