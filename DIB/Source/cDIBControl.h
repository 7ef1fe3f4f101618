// The base of every skinned control. A skinned control has no window: it lives in a container
// (TCustomDIBContainer), which keeps the off-screen buffer and composes its children into it.
//
// Contracts:
// - The parent is always a container: a parent that is not one is replaced by the first container
//   it owns; failing that, "Parent must be a TDIBContainer". Construction checks the owner the same
//   way ("Owner cannot be nil" without one).
// - Painting: the container lends a scratch image (ControlDIB) of the control's size and sends the
//   paint message. The control copies the buffer's area under it into ControlDIB, draws itself there
//   in its own coordinates (Paint, between DoPaintStart and DoPaintEnd) and blends ControlDIB back
//   onto the buffer at Opacity. A control never touches the buffer otherwise.
// - Keyboard focus is the container's: Focused, DoEnter/DoExit and DIBTabOrder (the control's index
//   in the container's tab list, -1 when not in it). Keys arrive from the container.
// - HighlightOn runs when the control goes from neither focused nor entered to either; HighlightOff
//   on the way back. During a mouse capture the control stays entered until the button is released.
// - With AutoRepeat, a held left button re-sends its button-down message every RepeatInterval
//   milliseconds (with the latest mouse position) until release or StopRepeat.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "DIB/Source/cDIB.h"
#include "DIB/Source/cDIBImageList.h"
#include "ui/Collection.h"
#include "ui/Control.h"

class TCustomDIBContainer;
class TDIBFeatures;
class TDIBStream;
class TDIBTimer;
class TCustomDIBControl;

// A point published by controls for offsets. Setting X or Y raises OnChange (no comparison).
class TPointProperty : public TPersistent {
 public:
  static const TClassInfo& StaticClass();
  const TClassInfo& ClassInfo() const override { return StaticClass(); }

  int X() const { return x_; }
  void SetX(int v);
  int Y() const { return y_; }
  void SetY(int v);
  void Assign(const TPersistent& source) override;  // X, then Y

  TNotifyEvent OnChange;

 private:
  int x_ = 0, y_ = 0;
};

// One control that moves with its owner (an item of Children).
class TControlItem : public TCollectionItem {
 public:
  explicit TControlItem(TCollection* collection);

  static const TClassInfo& StaticClass();
  const TClassInfo& ClassInfo() const override { return StaticClass(); }

  TControl* Control() const { return control_; }
  // EFeatureError "You cannot set Control to nil" for none, "Control already exists in list." when
  // another item of the list holds it.
  void SetControl(TControl* control);
  std::string DisplayName() const override;  // the control's name, else its class name

 private:
  TControl* control_ = nullptr;
};

class TControlList : public TCollection {
 public:
  explicit TControlList(TCustomDIBControl* owner);

  TControlItem* Items(int index) const { return static_cast<TControlItem*>(Item(index)); }
  TCustomDIBControl* Control() const { return control_; }
  // Deletes every item holding `component`. Takes the component as such: a control being freed
  // has already lost its control type when its free-notification arrives.
  void RemoveControl(const TComponent* component);

 private:
  TCustomDIBControl* control_;
};

// DialogCodeFlags bits.
inline constexpr std::uint8_t dcWantTab = 1, dcWantArrows = 2, dcWantAllKeys = 4;

class TCustomDIBControl : public TControl {
 public:
  explicit TCustomDIBControl(TComponent* owner);
  ~TCustomDIBControl() override;

  static const TClassInfo& StaticClass();
  const TClassInfo& ClassInfo() const override { return StaticClass(); }

  void WndProc(TMessage& message) override;
  void SetParent(TWinControl* parent) override;
  void SetBounds(int left, int top, int width, int height) override;
  void Invalidate() override;
  void Loaded() override;
  void Click() override;

  // --- Virtual operations of skinned controls, in slot order
  virtual void DoPaintEnd();                       // raises OnPaintEnd
  virtual void AdjustPaintRect(plat::Rect& rect);  // may enlarge the container's paint rectangle
  virtual void DoPaintStart();                     // raises OnPaintStart
  virtual void HighlightOn();
  virtual void HighlightOff();
  virtual void DoEnter();
  virtual void DoExit();
  // Key messages from the container; true when handled.
  virtual bool DoKeyDown(TMessage& message);
  virtual bool DoKeyPress(TMessage& message);
  virtual bool DoKeyUp(TMessage& message);
  virtual void MouseEnter();
  virtual void MouseLeave();
  // One of the control's images changed or went (index in the list).
  virtual void ImageChanged(int index, TDIBImageChange kind);
  virtual bool IsShortCut(TMessage& message);
  // The control's own drawing onto ControlDIB (through ControlCanvas for platform drawing).
  using TControl::Paint;
  virtual void Paint();
  virtual void StopRepeat();
  // Control templates: the values of the template properties and the pictures the links use.
  virtual void LoadTemplate(TDIBStream& stream);
  virtual void SaveTemplate(TDIBStream& stream);

  // --- Settings
  std::uint8_t Opacity() const { return opacity_; }
  void SetOpacity(std::uint8_t v);
  TCustomDIBImageList* DIBImageList() const { return dibImageList_; }
  void SetDIBImageList(TCustomDIBImageList* list);
  int DIBTabOrder() const;
  void SetDIBTabOrder(int order);
  std::int16_t StoredDIBTabOrder() const { return storedDIBTabOrder_; }
  char Accelerator() const { return accelerator_; }
  void SetAccelerator(char v) { accelerator_ = v; }
  std::uint8_t DialogCodeFlags() const { return dialogCodeFlags_; }
  void SetDialogCodeFlags(std::uint8_t v) { dialogCodeFlags_ = v; }
  bool AutoRepeat() const { return autoRepeat_; }
  void SetAutoRepeat(bool v) { autoRepeat_ = v; }
  std::uint32_t RepeatInterval() const { return repeatInterval_; }
  void SetRepeatInterval(std::uint32_t v) { repeatInterval_ = v; }
  TControlList* Children() const { return children_.get(); }
  TDIBFeatures* DIBFeatures() const { return dibFeatures_.get(); }

  // --- State
  std::uint32_t LastChangeTime() const { return lastChangeTime_; }
  // Counts the invalidations that set LastChangeTime: tells changes apart within one tick.
  std::uint64_t ChangeCount() const { return changeCount_; }
  bool Creating() const { return creating_; }
  bool PureMove() const { return pureMove_; }
  bool MouseOver() const { return mouseOver_; }
  bool MouseIn() const { return mouseIn_; }
  bool Focused() const { return focused_; }
  bool StopRepeatRequested() const { return stopRepeatRequested_; }
  int MouseX() const { return mouseX_; }
  int MouseY() const { return mouseY_; }
  TShiftState Shift() const { return shift_; }
  bool RepeatTimerRunning() const;
  // Whether `button` is in the set of mouse buttons pressed on this control.
  bool ButtonPressed(TMouseButton button) const { return (pressedButtons_ >> button) & 1u; }
  const std::vector<std::string>& TemplateProperties() const { return templateProperties_; }

  // The container this control sits in (null without a parent).
  TCustomDIBContainer* Container() const;
  // The scratch image lent by the container for the paint in progress (null outside a paint), and
  // the platform drawing context bound to it while the control paints.
  TWinDIB* ControlDIB() const { return controlDIB_; }
  void SetControlDIB(TWinDIB* dib) { controlDIB_ = dib; }
  plat::DrawContext* ControlCanvas() const { return controlCanvas_; }
  // Runs Paint onto `dib` (the control's size) instead of the container's scratch image, with the
  // canvas bound to it; for features that need the control's picture on its own.
  void PaintInto(TWinDIB& dib);

  // A new image link owned by the control, pointing into DIBImageList; its changes reach
  // ImageChanged. Descendants create their published links this way.
  TDIBImageLink* AddImageLink();
  const std::vector<std::unique_ptr<TDIBImageLink>>& ImageLinks() const { return imageLinks_; }

  // One tick of the repeat timer.
  void RepeatTick(TPersistent* sender);

  TNotifyEvent OnEnter, OnExit, OnPaintStart, OnPaintEnd;
  TKeyEvent OnKeyDown, OnKeyUp;
  TKeyPressEvent OnKeyPress;

 protected:
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
  void Notification(TComponent* component, TOperation operation) override;
  // A descendant's own handling of a message, after every feature has seen it and left it alone
  // and before the generic handling; true when it took the message whole.
  virtual bool ControlMessage(TMessage& message);
  // Names a published property as one that control templates carry: a plain value or an image
  // link. EDIBControlError when the class has no such property, or one of a kind templates cannot
  // carry.
  void RegisterTemplateProperty(const std::string& name);

 private:
  // The container for `candidate`: itself, or the first container among the components it owns.
  static TCustomDIBContainer* ContainerFor(TComponent* candidate);
  void PaintCycle();
  void ApplyStoredTabOrder();
  void StartRepeat();
  void StopRepeatTimer();
  std::intptr_t DialogCode() const;
  void DialogChar(TMessage& message);

  std::uint32_t lastChangeTime_ = 0;
  std::uint64_t changeCount_ = 0;
  std::vector<std::unique_ptr<TDIBImageLink>> imageLinks_;
  TCustomDIBImageList* dibImageList_ = nullptr;
  plat::DrawContext* controlCanvas_ = nullptr;
  TWinDIB* controlDIB_ = nullptr;
  char accelerator_ = 0;
  bool creating_ = true;
  bool stopRepeatRequested_ = false;
  bool inSetBounds_ = false;
  std::unique_ptr<TControlList> children_;
  bool autoRepeat_ = false;
  std::uint32_t repeatInterval_ = 250;
  int mouseX_ = 0, mouseY_ = 0;
  TShiftState shift_ = 0;
  std::unique_ptr<TDIBTimer> repeatTimer_;
  TMessage savedMessage_{};
  bool mouseOver_ = false;
  bool mouseIn_ = false;
  bool focused_ = false;
  std::unique_ptr<TDIBFeatures> dibFeatures_;
  std::uint8_t opacity_ = 255;
  bool pureMove_ = false;
  std::uint8_t pressedButtons_ = 0;  // bit per TMouseButton
  std::int16_t storedDIBTabOrder_ = -1;
  std::uint8_t dialogCodeFlags_ = dcWantArrows;
  std::vector<std::string> templateProperties_;
};
