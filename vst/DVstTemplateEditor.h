// The template editor: shows the effect's editor form inside the host's window. open creates the
// form (a child of the host window at 0, 0, its designed size), shows it and posts it
// kMsgEffectAttach with the effect; close destroys it when the last open is matched. Runs on the
// host's user-interface thread only; nothing is thrown towards the host.
#pragma once

#include "ui/FormClass.h"
#include "vst/DAudioEffect.h"

class TVstTemplateEditor : public AEffEditor {
 public:
  TVstTemplateEditor(AudioEffect* effect, TFormClass formClass);
  ~TVstTemplateEditor() override;  // destroys a live form

  // Before the first open: the form class's designed client size. While a form lives: its client
  // size. After the last close: the size it had.
  VstInt32 getRect(ERect** rect) override;
  // Answers 1; 0 (counting nothing) when the host gives no window or the form cannot be created
  // in it. A further open with another window moves the live form into that window.
  VstInt32 open(void* ptr) override;
  void close() override;
  // Runs the platform's pump (Backend::Idle), then the effect's OnEditorIdle with the form, when
  // all three exist.
  void idle() override;
  void update() override {}

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
  void destroyForm();

  ERect editRect{0, 0, 0, 0};
  VstInt32 openCount = 0;
  TFormClass formClass;
  void* parentWindow = nullptr;
  TForm* form = nullptr;  // owned
  static inline int openForms = 0;
};
