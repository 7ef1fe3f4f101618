#include "host/InfoCommand.h"

#include <CLI/CLI.hpp>
#include <cstdio>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "host/HostState.h"
#include "host/Plugin.h"
#include "host/PluginPath.h"

namespace kestrune {

namespace {

struct FlagName {
  VstInt32 bit;
  const char* name;
};
constexpr FlagName kFlagNames[] = {
    {effFlagsHasEditor, "HasEditor"},
    {effFlagsHasClip, "HasClip"},
    {effFlagsHasVu, "HasVu"},
    {effFlagsCanMono, "CanMono"},
    {effFlagsCanReplacing, "CanReplacing"},
    {effFlagsProgramChunks, "ProgramChunks"},
    {effFlagsIsSynth, "IsSynth"},
    {effFlagsNoSoundInStop, "NoSoundInStop"},
    {effFlagsExtIsAsync, "ExtIsAsync"},
    {effFlagsExtHasBuffer, "ExtHasBuffer"},
};

std::string hex(VstInt32 value, int digits = 8) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%0*X", digits, static_cast<unsigned>(value));
  return text;
}

std::string fourChars(VstInt32 id) {
  std::string text;
  for (int shift = 24; shift >= 0; shift -= 8) {
    const auto c = static_cast<unsigned char>((static_cast<std::uint32_t>(id) >> shift) & 0xff);
    text += (c >= 0x20 && c < 0x7f) ? static_cast<char>(c) : '.';
  }
  return text;
}

std::string flagNames(VstInt32 flags) {
  std::string text;
  VstInt32 known = 0;
  for (const FlagName& f : kFlagNames) {
    known |= f.bit;
    if ((flags & f.bit) != 0) text += std::string(text.empty() ? "" : " ") + f.name;
  }
  if ((flags & ~known) != 0) text += std::string(text.empty() ? "" : " ") + "other:" + hex(flags & ~known, 1);
  return text.empty() ? "none" : text;
}

// 0 is "don't know" by the usual convention but "no" for some plug-ins, so it is shown as neither.
const char* canDoWord(VstIntPtr answer) { return answer > 0 ? "yes" : answer < 0 ? "no" : "not claimed"; }

// Collects the defects of text answers so that they are listed once, after the report.
class TextReader {
 public:
  explicit TextReader(Plugin& plugin) : plugin_(plugin) {}
  std::string operator()(VstInt32 opcode, const char* what, VstInt32 index = 0) {
    PluginText t = plugin_.text(opcode, index);
    note(t, what, index);
    return t.text;
  }
  void note(const PluginText& t, const char* what, VstInt32 index) {
    if (t.overran)
      defects_.push_back(std::string(what) + " " + std::to_string(index) + ": wrote past " +
                         std::to_string(kTextReadLimit) + " bytes");
    else if (!t.terminated)
      defects_.push_back(std::string(what) + " " + std::to_string(index) + ": no terminator within " +
                         std::to_string(kTextReadLimit) + " bytes");
  }
  const std::vector<std::string>& defects() const { return defects_; }

 private:
  Plugin& plugin_;
  std::vector<std::string> defects_;
};

// The editor's size as the plug-in reports it before opening it (effEditGetRect). Only our own
// plug-ins are asked: some others build their window for that question and fail without a display.
std::string editorSize(Plugin& plugin) {
  if ((plugin.record().flags & effFlagsHasEditor) == 0) return "none";
  if (plugin.dispatch(effVendorSpecific, kKestruneRequest, kRequestProbe) != 1) return "yes";
  ERect* rect = nullptr;
  plugin.dispatch(effEditGetRect, 0, 0, &rect);
  if (rect == nullptr) return "size not reported";
  return std::to_string(int(rect->right) - rect->left) + " x " + std::to_string(int(rect->bottom) - rect->top) +
         " pixels";
}

void line(std::ostream& out, const char* label, const std::string& value) {
  char head[24];
  std::snprintf(head, sizeof head, "%-16s", label);
  out << head << value << '\n';
}

}  // namespace

void writeInfo(Plugin& plugin, std::ostream& out) {
  TextReader read(plugin);
  const AEffect& record = plugin.record();
  line(out, "plug-in", plugin.path());
  line(out, "effect name", read(effGetEffectName, "effect name"));
  line(out, "vendor", read(effGetVendorString, "vendor"));
  line(out, "product", read(effGetProductString, "product"));
  line(out, "vendor version", std::to_string(plugin.dispatch(effGetVendorVersion)));
  line(out, "unique ID", hex(record.uniqueID) + " '" + fourChars(record.uniqueID) + "'");
  line(out, "version", std::to_string(record.version));
  line(out, "VST version", std::to_string(plugin.dispatch(effGetVstVersion)));
  const VstIntPtr category = plugin.dispatch(effGetPlugCategory);
  const char* categoryName = category == kPlugCategEffect    ? " (effect)"
                             : category == kPlugCategSynth   ? " (synth)"
                             : category == kPlugCategUnknown ? " (unknown)"
                                                             : "";
  line(out, "category", std::to_string(category) + categoryName);
  line(out, "inputs", std::to_string(plugin.numInputs()));
  line(out, "outputs", std::to_string(plugin.numOutputs()));
  line(out, "flags", hex(record.flags, 1) + " " + flagNames(record.flags));
  line(out, "editor", editorSize(plugin));
  line(out, "initial delay", std::to_string(record.initialDelay) + " samples");
  line(out, "tail size", std::to_string(plugin.dispatch(effGetTailSize)) + " samples");

  out << "\nparameters (" << plugin.numParams() << ")\n";
  for (int i = 0; i < plugin.numParams(); ++i) {
    const std::string name = read(effGetParamName, "parameter name", i);
    const std::string display = read(effGetParamDisplay, "parameter display", i);
    const std::string label = read(effGetParamLabel, "parameter label", i);
    char value[32];
    std::snprintf(value, sizeof value, "%.6f", static_cast<double>(plugin.getParameter(i)));
    out << "  " << i << "\t" << name << "\t" << value << "\t" << display;
    if (!label.empty()) out << ' ' << label;
    out << '\n';
  }

  out << "\nprograms (" << plugin.numPrograms() << ")\n";
  for (int i = 0; i < plugin.numPrograms(); ++i) out << "  " << i << "\t" << plugin.programName(i) << '\n';

  out << "\ncan do\n";
  for (const char* text : kPlugCanDos) {
    const VstIntPtr answer = plugin.canDo(text);
    char row[80];
    std::snprintf(row, sizeof row, "  %-22s %s (%ld)\n", text, canDoWord(answer), static_cast<long>(answer));
    out << row;
  }

  if (!read.defects().empty()) {
    out << "\ntext defects\n";
    for (const std::string& d : read.defects()) out << "  " << d << '\n';
  }
}

void addInfoCommand(CLI::App& app) {
  auto pluginPath = std::make_shared<std::string>();
  CLI::App* command = app.add_subcommand("info", "Print what a plug-in reports about itself");
  addPluginOption(*command, *pluginPath);
  command->callback([pluginPath] {
    HostState host;
    auto plugin = Plugin::load(resolvePluginPath(*pluginPath), host);
    plugin->open();
    plugin->setSampleRate(static_cast<float>(host.sampleRate()));
    plugin->setBlockSize(host.blockSize());
    writeInfo(*plugin, std::cout);
    plugin->close();
  });
}

}  // namespace kestrune
