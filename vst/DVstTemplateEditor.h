// Placeholder for the template editor until it hosts its form.
#pragma once

#include "ui/FormClass.h"
#include "vst/DAudioEffect.h"

class TVstTemplateEditor : public AEffEditor {
 public:
  TVstTemplateEditor(AudioEffect* effect, TFormClass formClass);
};
