#include "vst/DVstTemplateEditor.h"

TVstTemplateEditor::TVstTemplateEditor(AudioEffect* effect, TFormClass) : AEffEditor(effect) {}
