#include "host/RenderCommand.h"

#include <unistd.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cctype>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <iostream>
#include <memory>
#include <optional>

#include "host/AudioFile.h"
#include "host/DemoSignal.h"
#include "host/HostError.h"
#include "host/HostState.h"
#include "host/NumberOption.h"
#include "host/Plugin.h"
#include "host/PluginPath.h"
#include "host/Renderer.h"

namespace kestrune {
namespace {

bool sameIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) {
           return std::tolower(x) == std::tolower(y);
         });
}

// Finds `wanted` among `names`: exact match first, then ignoring case and surrounding blanks.
std::optional<int> findName(const std::vector<std::string>& names, const std::string& wanted) {
  for (std::size_t i = 0; i < names.size(); ++i)
    if (names[i] == wanted) return static_cast<int>(i);
  for (std::size_t i = 0; i < names.size(); ++i)
    if (sameIgnoringCase(trimmed(names[i]), trimmed(wanted))) return static_cast<int>(i);
  return std::nullopt;
}

constexpr double kMaxRenderRate = 768000.0;

std::string quotedList(const std::vector<std::string>& names) {
  std::string text;
  for (const std::string& n : names) text += (text.empty() ? "'" : ", '") + n + "'";
  return text.empty() ? "none" : text;
}

// Progress on a terminal only, once the render has taken a couple of seconds, a few times a second.
class Progress {
 public:
  Progress() : enabled_(isatty(STDERR_FILENO) != 0), start_(Clock::now()), last_(start_) {}
  ~Progress() {
    if (shown_) std::fprintf(stderr, "\r%40s\r", "");
  }
  void operator()(std::int64_t done, std::int64_t total) {
    if (!enabled_) return;
    const auto now = Clock::now();
    if (now - start_ < std::chrono::seconds(2) || now - last_ < std::chrono::milliseconds(250)) return;
    last_ = now;
    shown_ = true;
    if (total > 0)
      std::fprintf(stderr, "\rkestrune: rendering %3d%%", static_cast<int>(100 * done / total));
    else
      std::fprintf(stderr, "\rkestrune: rendered %lld frames", static_cast<long long>(done));
    std::fflush(stderr);
  }

 private:
  using Clock = std::chrono::steady_clock;
  bool enabled_;
  bool shown_ = false;
  Clock::time_point start_, last_;
};

}  // namespace

void render(const RenderOptions& options) {
  const std::string outPath = options.files.back();
  const OutputFormat format = chooseOutputFormat(outPath, options.format, options.encoding);

  std::unique_ptr<AudioSource> source;
  if (options.files.size() == 2)
    source = std::make_unique<InputFile>(options.files.front());
  else
    source = std::make_unique<DemoSignal>();
  // A plug-in cannot answer that it refused a rate; an output labelled with a rate it did not use
  // would be wrong. Ours, like most, takes 1 Hz to 768 kHz.
  if (source->sampleRate() < 1.0 || source->sampleRate() > kMaxRenderRate)
    throw HostError("cannot render '" + options.files.front() + "': its sample rate of " +
                    std::to_string(static_cast<long long>(source->sampleRate())) +
                    " Hz is outside what plug-ins are given (1 Hz to 768 kHz)");

  HostState host;
  if (options.tempo > 0.0) host.setTempo(options.tempo);
  auto plugin = Plugin::load(resolvePluginPath(options.plugin), host);
  plugin->open();
  plugin->setSampleRate(static_cast<float>(source->sampleRate()));
  plugin->setBlockSize(options.blockSize);
  if (!options.program.empty()) selectProgram(*plugin, options.program);
  for (const auto& [index, value] : parseSettings(*plugin, options.settings)) plugin->setParameter(index, value);
  if (plugin->numOutputs() < 1) throw HostError("'" + plugin->path() + "' has no outputs to render");

  OutputFile output(outPath, format, plugin->numOutputs(), source->sampleRate());
  const auto tailFrames = static_cast<std::int64_t>(std::llround(options.tailSeconds * source->sampleRate()));
  Renderer renderer(*plugin, options.blockSize);
  Progress progress;
  plugin->resume();
  const RenderTotals totals = renderer.run(
      *source, output, tailFrames, [&progress](std::int64_t done, std::int64_t total) { progress(done, total); });
  plugin->suspend();
  plugin->close();
  output.commit();
  if (totals.nonFinite > 0)
    std::cerr << "kestrune: warning: the plug-in produced " << totals.nonFinite
              << " NaN or infinite samples; they were written as 0\n";
}

void selectProgram(Plugin& plugin, const std::string& program) {
  if (const auto index = parseWhole(program)) {
    if (*index < 0 || *index >= plugin.numPrograms())
      throw HostError("no program " + program + ": '" + plugin.path() + "' has " +
                      std::to_string(plugin.numPrograms()) + " programs");
    plugin.setProgram(static_cast<int>(*index));
    return;
  }
  std::vector<std::string> names;
  for (int i = 0; i < plugin.numPrograms(); ++i) names.push_back(plugin.programName(i));
  const auto found = findName(names, program);
  if (!found) throw HostError("no program named '" + program + "' (programs: " + quotedList(names) + ")");
  plugin.setProgram(*found);
}

std::vector<std::pair<int, float>> parseSettings(Plugin& plugin, const std::vector<std::string>& settings) {
  std::vector<std::pair<int, float>> result;
  if (settings.empty()) return result;
  std::vector<std::string> names;
  for (int i = 0; i < plugin.numParams(); ++i) names.push_back(plugin.parameterName(i));

  for (const std::string& setting : settings) {
    // Split at the last '=': a value never contains one, a name might.
    const auto equals = setting.rfind('=');
    if (equals == std::string::npos || equals == 0) throw HostError("bad --set '" + setting + "': expected NAME=VALUE");
    const std::string name = setting.substr(0, equals);
    const std::string valueText = setting.substr(equals + 1);

    std::optional<int> index = findName(names, name);
    if (!index) {
      if (const auto number = parseWhole(name); number && *number >= 0 && *number < plugin.numParams())
        index = static_cast<int>(*number);
    }
    if (!index)
      throw HostError("bad --set '" + setting + "': no parameter named '" + name +
                      "' (parameters: " + quotedList(names) + ")");

    // Read as a double: a value too small for a float still counts as the number it is, then rounds.
    const auto value = parseDecimal(valueText);
    if (!value || !(*value >= 0.0 && *value <= 1.0))
      throw HostError("bad --set '" + setting + "': the value must be a number from 0 to 1");
    result.emplace_back(*index, static_cast<float>(*value));
  }
  return result;
}

void addProgramOptions(CLI::App& command, std::string& program, std::vector<std::string>& settings) {
  command.add_option("--program", program, "Program to select, by index or name")
      ->check(CLI::Validator(
          [](std::string& text) {
            return trimmed(text).empty() ? std::string("an empty program name selects no program") : std::string();
          },
          "NAME"));
  command
      .add_option("--set", settings,
                  "Parameter NAME=VALUE (name or index, value 0..1), applied after --program; repeatable")
      ->allow_extra_args(false);
}

void addRenderCommand(CLI::App& app) {
  auto options = std::make_shared<RenderOptions>();
  CLI::App* command =
      app.add_subcommand("render", "Render an audio file (or, without IN, the built-in demo signal) through a plug-in");
  command
      ->add_option("files", options->files,
                   "[IN] OUT: input and output audio files (OUT may be a pipe or device such as /dev/stdout)")
      ->required()
      ->expected(1, 2)
      ->type_name("[IN] OUT");
  addPluginOption(*command, options->plugin);
  addProgramOptions(*command, options->program, options->settings);
  addNumberOption(*command, "--block", options->blockSize, 1, 65536, "Block size in frames (default 512)");
  addNumberOption(*command, "--tempo", options->tempo, 1.0, 999.0,
                  "Tempo in beats per minute reported to the plug-in (default: none)");
  addNumberOption(*command, "--tail", options->tailSeconds, 0.0, 3600.0,
                  "Seconds of silence processed after the input");
  const std::string formats = outputFormatNames();
  command->add_option("--format", options->format, "Output format: " + formats + " (default: by extension; none: wav)")
      ->check(CLI::Validator(
          [formats](std::string& text) {
            return text.empty() ? "an empty name chooses no format; the formats are " + formats : std::string();
          },
          "FORMAT"));
  command
      ->add_option("--encoding", options->encoding,
                   "Output samples: float, 16 or 24 (default: float where the format holds it; FLAC 24)")
      ->check(CLI::IsMember({"float", "16", "24"}));
  command->footer(
      "Without IN, six seconds of a built-in stereo demo at 44.1 kHz are rendered. A mono input feeds every\n"
      "plug-in input; of an input with more channels the first two are used. The output has the input's\n"
      "sample rate and one channel per plug-in output; it appears only when the render has succeeded.");
  command->callback([options] { render(*options); });
}

}  // namespace kestrune
