// The bundle's descriptions (manifest, plug-in with its ports and UI, presets) as Turtle text,
// written from what the VST effect answers through its record: names, vendor, version, parameter
// names, the first program's values as defaults and every program as a preset. Nothing of it is
// kept by hand, so both editions describe the same effect.
#pragma once

#include <string>
#include <vector>

#include "vst/DAEffect.h"

struct TLv2Description {
  struct Control {
    std::string name;
    std::string symbol;
    float defaultValue = 0.0f;
    bool toggle = false;
  };
  struct Preset {
    std::string name;
    std::vector<float> values;  // one per control
  };
  std::string name;
  std::string maker;
  VstInt32 vendorVersion = 0;
  std::vector<std::string> inputNames, outputNames;
  std::vector<Control> controls;
  std::vector<Preset> presets;
};

// Asks the effect. Leaves it on the program it was on.
TLv2Description describeEffect(AEffect* effect);

// A port symbol for a parameter name: lower case letters, digits and '_' ("Doppler Amount" gives
// "doppler_amount"), never starting with a digit.
std::string portSymbol(const std::string& name);

// Versions from the vendor version, major * 1000 + minor * 100 + micro as plugin/CMakeLists.txt makes it
// from the project version (1100 is 1.1.0, 1112 is 1.1.12).
int lv2MinorVersion(VstInt32 vendorVersion);
int lv2MicroVersion(VstInt32 vendorVersion);

std::string manifestTtl(const TLv2Description& description);
std::string pluginTtl(const TLv2Description& description);
std::string presetsTtl(const TLv2Description& description);
