// A class reference for forms: what an effect hands to its template so that the template editor
// can create the editor window on demand, and answer the host's size query before it exists.
#pragma once

class TComponent;
class TForm;

struct TFormClassInfo {
  const char* ClassName;
  int DesignWidth;   // client size the form is designed with
  int DesignHeight;
  TForm* (*Create)(TComponent* owner);  // creates an unparented, hidden form
};

using TFormClass = const TFormClassInfo*;  // null: the effect has no editor
