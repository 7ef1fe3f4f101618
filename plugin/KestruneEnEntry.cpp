// The exported entries of the plug-in library, only in the library itself (a test executable
// linking the effect keeps its own main).
#include "plugin/KestruneEn.h"
#include "vst/DVstEntry.h"

KESTRUNE_VST_ENTRY(createKestruneEn)
