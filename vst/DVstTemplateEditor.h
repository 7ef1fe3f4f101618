// The template editor: shows the effect's editor form inside the host's window. open creates the
// form (a child of the host window at 0, 0, its designed size times the scale), shows it and posts
// it kMsgEffectAttach with the effect; close destroys it when the last open is matched. Runs on the
// host's user-interface thread only; nothing is thrown towards the host.
//
// A form class that scales is built at the scale the host asked for (setContentScale), else at the
// scale of the display the host's window is on, snapped to kFormScales; when the system says that
// display's density changed (the form's OnDensityChange) and the host never asked, it is read
// again. A form whose size differs from what getRect answered last, or a scale that changes while
// it is open, makes the editor ask the host to resize its window (audioMasterSizeWindow).
#pragma once

#include "platform/Types.h"
#include "ui/FormClass.h"
#include "vst/DAudioEffect.h"

class TVstTemplateEditor : public AEffEditor {
 public:
  TVstTemplateEditor(AudioEffect* effect, TFormClass formClass);
  ~TVstTemplateEditor() override;  // destroys a live form

  // Before the first open: the form class's designed client size at the scale asked for. While a
  // form lives: its client size. After the last close: the size it had.
  VstInt32 getRect(ERect** rect) override;
  // Answers 1; 0 (counting nothing) when the host gives no window or the form cannot be created
  // in it. A further open with another window moves the live form into that window.
  VstInt32 open(void* ptr) override;
  void close() override;
  // Runs the platform's pump (Backend::Idle), then the effect's OnEditorIdle with the form, when
  // all three exist.
  void idle() override;
  void update() override {}

  // The host's content scale (the 'PreS' request): from now on forms are built at it; an open form
  // is rebuilt at it in the same window, keeping what it shows, and the host is asked to resize.
  // When the host refuses and its window cannot hold the larger form, the form goes back to the
  // scale it had. False, changing nothing, for a factor that is zero, negative, not finite or
  // above kMaxFormScale, and for a form class that does not scale.
  bool setContentScale(double factor);
  // The scale the form is (or will be) built at.
  double getScale() const { return scale; }

  // Our vendor request kRequestLocateControl: the screen bounds and grab point of the control named
  // `name` in the open form. False when no form is open or it has no such control.
  bool locateControl(const char* name, KestruneControl* out);

  TForm* getForm() const { return form; }
  // Forms of every template editor of the library open now.
  static int OpenForms() { return openForms; }
  VstInt32 getOpenCount() const { return openCount; }
  void* getParentWindow() const { return parentWindow; }

 private:
  bool createForm(void* parent);
  // A form of formClass at `at`, shown in `parent` and sent the effect; null when it cannot be made.
  TForm* makeForm(void* parent, double at);
  // Replaces the open form by one at `to`; false (the form as it was) when that cannot be made.
  bool rebuildAt(double to);
  // Asks the host to make its window the form's size unless getRect already answered that size.
  // False when the host refused.
  bool askHostToFit();
  // Rebuilds the open form at `to` and asks the host for the room; when the host refuses and its
  // window cannot hold the new form, the form goes back to the scale it had.
  void changeScale(double to);
  // The form's OnDensityChange: the check runs from a message to the editor's own window, since
  // it may replace the form whose message this is.
  void densityMayHaveChanged();
  // Unless the host tells the scale, the open form follows the density of the host's window; a
  // reading that is no usable scale keeps the scale it has.
  void followDisplayDensity();
  void destroyForm();
  void dropMessages();  // destroys the message window, dropping a check still due

  ERect editRect{0, 0, 0, 0};
  VstInt32 openCount = 0;
  TFormClass formClass;
  void* parentWindow = nullptr;
  TForm* form = nullptr;                  // owned
  double scale = 1;                       // of the form, or of the next one
  double hostScale = 0;                   // what the host asked for (snapped), 0 when it never did
  plat::WindowHandle messages = nullptr;  // the editor's own, while a form is open
  static inline int openForms = 0;
};
