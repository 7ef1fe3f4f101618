// The level effect as a plug-in library, for the command-line host's X11 tests.
#include "tests/x11/LevelEffect.h"
#include "vst/DVstEntry.h"

namespace {
AEffect* createLevelEffect(audioMasterCallback host) { return vstentry::createEffect<leveltest::TLevelEffect>(host); }
}  // namespace

KESTRUNE_VST_ENTRY(createLevelEffect)
