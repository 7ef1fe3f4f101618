// Exporting an effect library's entry: both `VSTPluginMain` and, for older hosts, `main`, with C
// linkage and default visibility (dllexport on Windows). The rest of the library stays hidden.
//
//   KESTRUNE_VST_ENTRY(createMyEffect)   // AEffect* createMyEffect(audioMasterCallback)
//
// A C++ function may not be called `main` with this signature, so the second entry has another
// C++ name and gets the symbol name through an assembler label: "main" on ELF, "_main" on 32-bit
// Windows, whose cdecl names carry a leading underscore (the export table then reads "main").
// Nothing thrown by the factory reaches the host: it then gets null.
#pragma once

#include "vst/DAEffect.h"

#if defined(_WIN32)
#define KESTRUNE_VST_EXPORT __declspec(dllexport)
#else
#define KESTRUNE_VST_EXPORT __attribute__((visibility("default")))
#endif

#if defined(_WIN32) && !defined(_WIN64)
#define KESTRUNE_VST_MAIN_SYMBOL "_main"
// dllexport would ask the linker for the export "_main", i.e. the symbol "__main"; name the export
// ourselves instead, which the linker resolves to the symbol "_main".
#define KESTRUNE_VST_MAIN_EXPORT
#define KESTRUNE_VST_MAIN_EXPORT_DIRECTIVE __asm__(".section .drectve\n\t.ascii \" -export:main\"\n\t.text");
#else
#define KESTRUNE_VST_MAIN_SYMBOL "main"
#define KESTRUNE_VST_MAIN_EXPORT KESTRUNE_VST_EXPORT
#define KESTRUNE_VST_MAIN_EXPORT_DIRECTIVE
#endif

namespace vstentry {

using Factory = AEffect* (*)(audioMasterCallback host);

inline AEffect* guarded(audioMasterCallback host, Factory create) noexcept {
  try {
    return create(host);
  } catch (...) {
    return nullptr;
  }
}

// The usual factory: refuses a missing host and a host whose version answer is 0, then builds one
// Effect(host, args...) and hands out its record. The effect owns itself from then on (effClose
// frees it).
template <class Effect, class... Args>
AEffect* createEffect(audioMasterCallback host, Args... args) {
  if (host == nullptr) return nullptr;
  if (host(nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f) == 0) return nullptr;
  Effect* effect = new Effect(host, args...);
  return effect->getAeffect();
}

}  // namespace vstentry

#define KESTRUNE_VST_ENTRY(factory)                                                                                 \
  extern "C" KESTRUNE_VST_EXPORT AEffect* VSTCALLBACK VSTPluginMain(audioMasterCallback host) {                     \
    return ::vstentry::guarded(host, (factory));                                                                    \
  }                                                                                                                 \
  extern "C" KESTRUNE_VST_MAIN_EXPORT AEffect* VSTCALLBACK kestruneVstLegacyMain(audioMasterCallback host) __asm__( \
      KESTRUNE_VST_MAIN_SYMBOL);                                                                                    \
  extern "C" AEffect* VSTCALLBACK kestruneVstLegacyMain(audioMasterCallback host) {                                 \
    return ::vstentry::guarded(host, (factory));                                                                    \
  }                                                                                                                 \
  KESTRUNE_VST_MAIN_EXPORT_DIRECTIVE
