// The exported entries of the form test effect's library.
#include "tests/win32/FormFx.h"
#include "vst/DVstEntry.h"

KESTRUNE_VST_ENTRY(&formfx::Create)
