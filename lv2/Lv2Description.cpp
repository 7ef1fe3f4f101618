#include "lv2/Lv2Description.h"

#include <cctype>
#include <charconv>
#include <sstream>

#include "lv2/Lv2Bundle.h"

namespace {

std::string text(AEffect* effect, VstInt32 opcode, VstInt32 index = 0) {
  char buffer[256] = {};
  effect->dispatcher(effect, opcode, index, 0, buffer, 0.0f);
  buffer[sizeof buffer - 1] = '\0';
  return buffer;
}

// A Turtle string literal.
std::string quoted(const std::string& s) {
  std::string out = "\"";
  for (char c : s) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + "\"";
}

// The shortest decimal that reads back as the same float, always with a point.
std::string number(float value) {
  char buffer[32];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  std::string s(buffer, result.ptr);
  if (s.find_first_of(".e") == std::string::npos) s += ".0";
  return s;
}

std::string presetUri(std::size_t index) {
  return "<" + std::string(lv2bundle::kPresetUriPrefix) + std::to_string(index) + ">";
}

const char* kPrefixes =
    "@prefix atom: <http://lv2plug.in/ns/ext/atom#> .\n"
    "@prefix doap: <http://usefulinc.com/ns/doap#> .\n"
    "@prefix foaf: <http://xmlns.com/foaf/0.1/> .\n"
    "@prefix lv2: <http://lv2plug.in/ns/lv2core#> .\n"
    "@prefix opts: <http://lv2plug.in/ns/ext/options#> .\n"
    "@prefix bufsz: <http://lv2plug.in/ns/ext/buf-size#> .\n"
    "@prefix pset: <http://lv2plug.in/ns/ext/presets#> .\n"
    "@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .\n"
    "@prefix time: <http://lv2plug.in/ns/ext/time#> .\n"
    "@prefix ui: <http://lv2plug.in/ns/extensions/ui#> .\n"
    "@prefix urid: <http://lv2plug.in/ns/ext/urid#> .\n\n";

}  // namespace

TLv2Description describeEffect(AEffect* effect) {
  TLv2Description d;
  d.name = text(effect, effGetEffectName);
  d.maker = text(effect, effGetVendorString);
  d.vendorVersion = static_cast<VstInt32>(effect->dispatcher(effect, effGetVendorVersion, 0, 0, nullptr, 0.0f));
  for (VstInt32 i = 0; i < effect->numInputs; ++i) {
    VstPinProperties pin{};
    effect->dispatcher(effect, effGetInputProperties, i, 0, &pin, 0.0f);
    d.inputNames.emplace_back(pin.label);
  }
  for (VstInt32 i = 0; i < effect->numOutputs; ++i) {
    VstPinProperties pin{};
    effect->dispatcher(effect, effGetOutputProperties, i, 0, &pin, 0.0f);
    d.outputNames.emplace_back(pin.label);
  }
  const auto current = static_cast<VstInt32>(effect->dispatcher(effect, effGetProgram, 0, 0, nullptr, 0.0f));
  for (VstInt32 p = 0; p < effect->numPrograms; ++p) {
    effect->dispatcher(effect, effSetProgram, 0, p, nullptr, 0.0f);
    TLv2Description::Preset preset{text(effect, effGetProgramName), {}};
    for (VstInt32 i = 0; i < effect->numParams; ++i) preset.values.push_back(effect->getParameter(effect, i));
    d.presets.push_back(preset);
  }
  for (VstInt32 i = 0; i < effect->numParams; ++i) {
    TLv2Description::Control control;
    control.name = text(effect, effGetParamName, i);
    control.symbol = portSymbol(control.name);
    control.defaultValue = d.presets.empty() ? 0.0f : d.presets[0].values[static_cast<std::size_t>(i)];
    control.toggle = lv2bundle::isToggle(i);
    d.controls.push_back(control);
  }
  effect->dispatcher(effect, effSetProgram, 0, current, nullptr, 0.0f);
  return d;
}

std::string portSymbol(const std::string& name) {
  std::string s;
  for (unsigned char c : name) {
    if (std::isalnum(c))
      s += static_cast<char>(std::tolower(c));
    else if (!s.empty() && s.back() != '_')
      s += '_';
  }
  while (!s.empty() && s.back() == '_') s.pop_back();
  if (s.empty() || std::isdigit(static_cast<unsigned char>(s[0]))) s.insert(0, "p_");
  return s;
}

int lv2MinorVersion(VstInt32 vendorVersion) { return (vendorVersion / 100) % 10; }
int lv2MicroVersion(VstInt32 vendorVersion) { return vendorVersion % 100; }

std::string manifestTtl(const TLv2Description& d) {
  std::ostringstream out;
  out << kPrefixes;
  out << "<" << lv2bundle::kPluginUri << ">\n  a lv2:Plugin ;\n  lv2:binary <" << lv2bundle::kDspBinary
      << "> ;\n  rdfs:seeAlso <" << lv2bundle::kPluginFile << "> .\n\n";
  out << "<" << lv2bundle::kUiUri << ">\n  a ui:X11UI ;\n  ui:binary <" << lv2bundle::kUiBinary
      << "> ;\n  rdfs:seeAlso <" << lv2bundle::kPluginFile << "> .\n";
  for (std::size_t p = 0; p < d.presets.size(); ++p)
    out << "\n"
        << presetUri(p) << "\n  a pset:Preset ;\n  lv2:appliesTo <" << lv2bundle::kPluginUri << "> ;\n  rdfs:seeAlso <"
        << lv2bundle::kPresetsFile << "> .\n";
  return out.str();
}

std::string pluginTtl(const TLv2Description& d) {
  std::ostringstream out;
  out << kPrefixes;
  out << "<" << lv2bundle::kPluginUri << ">\n"
      << "  a lv2:Plugin, lv2:ModulatorPlugin, doap:Project ;\n"
      << "  doap:name " << quoted(d.name) << " ;\n"
      << "  doap:maintainer [ foaf:name " << quoted(d.maker) << " ] ;\n"
      << "  lv2:minorVersion " << lv2MinorVersion(d.vendorVersion) << " ;\n"
      << "  lv2:microVersion " << lv2MicroVersion(d.vendorVersion) << " ;\n"
      << "  lv2:optionalFeature lv2:hardRTCapable, urid:map, opts:options ;\n"
      << "  opts:supportedOption bufsz:maxBlockLength ;\n"
      << "  ui:ui <" << lv2bundle::kUiUri << "> ;\n"
      << "  lv2:port";
  const auto port = [&out](bool first) { out << (first ? " [\n" : " , [\n"); };
  for (std::size_t i = 0; i < d.controls.size(); ++i) {
    const TLv2Description::Control& c = d.controls[i];
    port(i == 0);
    out << "    a lv2:InputPort, lv2:ControlPort ;\n"
        << "    lv2:index " << i << " ;\n"
        << "    lv2:symbol " << quoted(c.symbol) << " ;\n"
        << "    lv2:name " << quoted(c.name) << " ;\n"
        << "    lv2:default " << number(c.defaultValue) << " ;\n"
        << "    lv2:minimum 0.0 ;\n"
        << "    lv2:maximum 1.0 ;\n";
    if (c.toggle) out << "    lv2:portProperty lv2:toggled ;\n";
    out << "  ]";
  }
  const auto audio = [&](const char* kind, const char* prefix, std::uint32_t first,
                         const std::vector<std::string>& names) {
    for (std::size_t k = 0; k < names.size(); ++k) {
      port(false);
      out << "    a lv2:" << kind << ", lv2:AudioPort ;\n"
          << "    lv2:index " << first + k << " ;\n"
          << "    lv2:symbol \"" << prefix << k + 1 << "\" ;\n"
          << "    lv2:name " << quoted(names[k]) << " ;\n  ]";
    }
  };
  audio("InputPort", "in_", lv2bundle::kAudioIn, d.inputNames);
  audio("OutputPort", "out_", lv2bundle::kAudioOut, d.outputNames);
  port(false);
  out << "    a lv2:InputPort, atom:AtomPort ;\n"
      << "    atom:bufferType atom:Sequence ;\n"
      << "    atom:supports time:Position ;\n"
      << "    lv2:portProperty lv2:connectionOptional ;\n"
      << "    lv2:index " << lv2bundle::kTimeIn << " ;\n"
      << "    lv2:symbol \"time\" ;\n"
      << "    lv2:name \"Host time\" ;\n  ] .\n\n";

  out << "<" << lv2bundle::kUiUri << ">\n"
      << "  a ui:X11UI ;\n"
      << "  lv2:requiredFeature ui:parent, ui:idleInterface ;\n"
      << "  lv2:optionalFeature ui:touch, ui:resize, ui:noUserResize, ui:fixedSize, urid:map, opts:options ;\n"
      << "  opts:supportedOption ui:scaleFactor ;\n"
      << "  lv2:extensionData ui:idleInterface, opts:interface .\n";
  return out.str();
}

std::string presetsTtl(const TLv2Description& d) {
  std::ostringstream out;
  out << kPrefixes;
  for (std::size_t p = 0; p < d.presets.size(); ++p) {
    const TLv2Description::Preset& preset = d.presets[p];
    out << presetUri(p) << "\n  a pset:Preset ;\n  lv2:appliesTo <" << lv2bundle::kPluginUri << "> ;\n  rdfs:label "
        << quoted(preset.name) << " ;\n  lv2:port";
    for (std::size_t i = 0; i < d.controls.size() && i < preset.values.size(); ++i)
      out << (i == 0 ? " [\n" : " , [\n") << "    lv2:symbol " << quoted(d.controls[i].symbol) << " ;\n    pset:value "
          << number(preset.values[i]) << " ;\n  ]";
    out << " .\n\n";
  }
  return out.str();
}
