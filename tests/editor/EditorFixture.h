// KestruneEn with its editor window, opened through the effect's dispatcher in a headless host
// window at the screen's origin, with a host that records automation and edit gestures. Controls
// are found and the mouse is moved through our vendor requests, as `kestrune editor` does.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "editor/uEditor.h"
#include "platform/headless/Headless.h"
#include "plugin/KestruneEn.h"
#include "ui/StatusBar.h"
#include "vst/DVstTemplate.h"
#include "vst/DVstTemplateEditor.h"

struct HostCall {
  VstInt32 opcode;
  VstInt32 index;
  float value;
  bool operator==(const HostCall&) const = default;
};

class EditorTest : public ::testing::Test {
 public:
  static inline std::vector<HostCall> calls;               // automate (0), begin-edit (43), end-edit (44)
  static inline std::vector<std::pair<int, int>> resizes;  // audioMasterSizeWindow: width, height
  static inline VstIntPtr resizeAnswer = 0;                // what the host answers them
  static inline AEffect* scaleInAutomate = nullptr;        // asked for 200 % inside the next automation

  static VstIntPtr VSTCALLBACK Host(AEffect*, VstInt32 opcode, VstInt32 index, VstIntPtr value, void*, float opt) {
    if (opcode == audioMasterVersion) return 2400;
    if (opcode == audioMasterSizeWindow) {
      resizes.emplace_back(index, static_cast<int>(value));
      return resizeAnswer;
    }
    if (opcode == audioMasterAutomate || opcode == audioMasterBeginEdit || opcode == audioMasterEndEdit)
      calls.push_back({opcode, index, opt});
    if (AEffect* e = opcode == audioMasterAutomate ? std::exchange(scaleInAutomate, nullptr) : nullptr)
      e->dispatcher(e, effVendorSpecific, kVendorContentScale, kContentScaleValue, nullptr, 2.0f);
    return 0;
  }

 protected:
  void SetUp() override {
    calls.clear();
    resizes.clear();
    resizeAnswer = 0;
    scaleInAutomate = nullptr;
    hl = &plat::headless::InstallHeadless();
    record = createKestruneEn(&Host, &kPluginEditorwindowClass);
    ASSERT_NE(record, nullptr);
    effect = static_cast<TVstTemplate*>(static_cast<AudioEffect*>(record->object));
    KestruneHostWindow w{0, 0, 415, 218, nullptr};
    ASSERT_EQ(Dispatch(effVendorSpecific, kKestruneRequest, kRequestCreateHostWindow, &w), 1);
    host = static_cast<plat::WindowHandle>(w.window);
  }
  void TearDown() override {
    if (record) Dispatch(effClose);
    plat::InstallBackend(nullptr);
  }

  VstIntPtr Dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr, float opt = 0) {
    return record->dispatcher(record, opcode, index, value, ptr, opt);
  }
  // Opens the editor; `settle` lets the attach message and a refresh tick happen.
  void Open(bool settle = true) {
    ASSERT_EQ(Dispatch(effEditOpen, 0, 0, host), 1);
    if (settle) Wait(20);
  }
  // The host's content-scale request ('PreS'); answers what the effect answered.
  VstIntPtr AskScale(float factor) {
    return Dispatch(effVendorSpecific, kVendorContentScale, kContentScaleValue, nullptr, factor);
  }
  // Asks for `factor` and opens the editor in the host window sized as getRect then answers.
  void OpenAt(float factor) {
    ASSERT_EQ(AskScale(factor), 1);
    ERect* r = nullptr;
    ASSERT_EQ(Dispatch(effEditGetRect, 0, 0, &r), 1);
    ASSERT_EQ(plat::Platform().SetBounds(host, plat::Rect{0, 0, r->right, r->bottom}), plat::Status::Ok);
    Open();
    EXPECT_EQ(ClientSize(), (plat::Size{r->right - r->left, r->bottom - r->top}));
  }
  plat::Size ClientSize() const {
    plat::Size size;
    EXPECT_EQ(plat::Platform().GetClientSize(Window()->Handle(), &size), plat::Status::Ok);
    return size;
  }
  void Wait(int ms) {
    KestruneAdvance a{ms};
    ASSERT_EQ(Dispatch(effVendorSpecific, kKestruneRequest, kRequestAdvance, &a), 1);
  }
  KestruneControl Locate(const char* name) {
    KestruneControl c{name, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(Dispatch(effVendorSpecific, kKestruneRequest, kRequestLocateControl, &c), 1) << name;
    return c;
  }
  void Mouse(int x, int y, VstInt32 action) {
    KestruneMouse m{x, y, action, 0};
    ASSERT_EQ(Dispatch(effVendorSpecific, kKestruneRequest, kRequestMouse, &m), 1);
  }
  void Click(const char* name) {
    const KestruneControl c = Locate(name);
    Mouse(c.grabX, c.grabY, kMouseMove);
    Mouse(c.grabX, c.grabY, kMouseDown);
    Mouse(c.grabX, c.grabY, kMouseUp);
  }
  // Takes a slider by its knob and moves the mouse `dy` pixels, 4 at a time, then lets go.
  void Drag(const char* name, int dy) {
    const KestruneControl c = Locate(name);
    Mouse(c.grabX, c.grabY, kMouseMove);
    Mouse(c.grabX, c.grabY, kMouseDown);
    for (int moved = 0; moved != dy;) {
      const int step = std::max(-4, std::min(4, dy - moved));
      moved += step;
      Mouse(c.grabX, c.grabY + moved, kMouseMove);
    }
    Mouse(c.grabX, c.grabY + dy, kMouseUp);
  }
  void Hover(const char* name) {
    const KestruneControl c = Locate(name);
    Mouse(c.grabX, c.grabY, kMouseMove);
  }

  TPluginEditorwindow* Window() const {
    auto* ed = dynamic_cast<TVstTemplateEditor*>(effect->getEditor());
    return ed ? dynamic_cast<TPluginEditorwindow*>(ed->getForm()) : nullptr;
  }
  template <class T>
  T* Control(const char* name) const {
    return dynamic_cast<T*>(Window()->FindComponent(name));
  }
  std::string Panel(int i) const { return Control<TStatusBar>("Infos")->Panels().Panel(i)->Text(); }

  // The host window's screen against tests/editor/golden/<name>.png, exactly. With
  // KESTRUNE_UPDATE_GOLDEN set the picture is written instead (then review it by eye).
  void ExpectGolden(const std::string& name);

  plat::headless::HeadlessBackend* hl = nullptr;
  AEffect* record = nullptr;
  TVstTemplate* effect = nullptr;
  plat::WindowHandle host = nullptr;
};
