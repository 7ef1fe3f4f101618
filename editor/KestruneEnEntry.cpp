// The exported entries of the plug-in library: the effect with its editor window. This is where
// the two meet; the effect itself knows the editor only as the form class handed to its template.
#include "editor/uEditor.h"
#include "plugin/KestruneEn.h"
#include "vst/DVstEntry.h"

namespace {
AEffect* createWithEditor(audioMasterCallback host) { return createKestruneEn(host, &kPluginEditorwindowClass); }
}  // namespace

KESTRUNE_VST_ENTRY(createWithEditor)
