#include "plugin/KestruneEn.h"

#include "plugin/uPlugin.h"
#include "vst/DVstEntry.h"

AEffect* createKestruneEn(audioMasterCallback host, TFormClass editorClass) noexcept {
  try {
    return vstentry::createEffect<APlugin>(host, editorClass);
  } catch (...) {
    return nullptr;
  }
}
