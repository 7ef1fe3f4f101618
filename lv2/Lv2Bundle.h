// What the LV2 edition's descriptions and its two libraries agree on: the URIs, the file names in
// the bundle and the port layout. The control ports come first so that a port index is the
// effect's parameter index.
#pragma once

#include <cstdint>

#include "plugin/uPlugin.h"

namespace lv2bundle {

// Our own names: a URN of the vendor's, stable across versions of the bundle.
constexpr const char* kPluginUri = "urn:qxaudio:kestruneen";
constexpr const char* kUiUri = "urn:qxaudio:kestruneen#ui";
// A preset's URI is this followed by its program index.
constexpr const char* kPresetUriPrefix = "urn:qxaudio:kestruneen#program";

constexpr const char* kBundleName = "KestruneEn.lv2";
constexpr const char* kDspBinary = "KestruneEn_dsp.so";
constexpr const char* kUiBinary = "KestruneEn_ui.so";
constexpr const char* kPluginFile = "KestruneEn.ttl";
constexpr const char* kPresetsFile = "presets.ttl";

constexpr std::uint32_t kNumControls = APlugin::kNumParams;  // ports 0 .. 10
constexpr std::uint32_t kAudioIn = kNumControls;             // left, right
constexpr std::uint32_t kAudioOut = kAudioIn + 2;            // left, right
constexpr std::uint32_t kTimeIn = kAudioOut + 2;             // atom sequence with time positions
constexpr std::uint32_t kNumPorts = kTimeIn + 1;

// Parameters that are switches (the effect reads them as on above one half).
constexpr bool isToggle(std::int32_t param) { return param == APlugin::kSync || param == APlugin::kMergeins; }

}  // namespace lv2bundle
