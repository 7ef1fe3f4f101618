#include "plugin/KestruneEn.h"

#include "plugin/uPlugin.h"
#include "vst/DVstEntry.h"

AEffect* createKestruneEn(audioMasterCallback host) noexcept {
  // No editor class until the editor window joins the library.
  return vstentry::guarded(host, &vstentry::createEffect<APlugin>);
}
