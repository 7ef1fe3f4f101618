// The plug-in library's factory: what its exported entries (`VSTPluginMain` and `main`) run, given
// the editor window class by the library's entry source.
#pragma once

#include "ui/FormClass.h"
#include "vst/DAEffect.h"

// Asks the host for its version; a missing host or a 0 answer gets null and nothing is created.
// Otherwise constructs one effect with the editor window class `editorClass` (null: no editor)
// and returns its record, which the host frees with effClose. Nothing is thrown: a failed
// construction gives null.
AEffect* createKestruneEn(audioMasterCallback host, TFormClass editorClass) noexcept;
