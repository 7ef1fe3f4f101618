// The bundle as programs we did not write see it: sord_validate with the LV2 schemas finds nothing
// wrong, lilv lists the plug-in with its ports, presets and UI, and lv2apply renders through the
// bundle exactly what `kestrune render` renders through the VST library, for several settings
// and for every preset.
#include <gtest/gtest.h>
#include <sndfile.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

const std::string kUri = "urn:qxaudio:kestruneen";
const fs::path kBundle = fs::path(KESTRUNE_LV2_PATH) / "KestruneEn.lv2";

struct Outcome {
  int status = -1;
  std::string output;
};

std::string readText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// Runs a shell command with LV2_PATH at the build tree; stdout and stderr together.
Outcome run(const std::string& command) {
  const fs::path log = fs::temp_directory_path() / ("kestrune-lv2-" + std::to_string(::getpid()) + ".log");
  const std::string full =
      "LV2_PATH='" + std::string(KESTRUNE_LV2_PATH) + "' " + command + " > '" + log.string() + "' 2>&1 < /dev/null";
  Outcome o;
  const int raw = std::system(full.c_str());
  o.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  o.output = readText(log);
  fs::remove(log);
  return o;
}

int count(const std::string& text, const std::string& pattern) {
  const std::regex re(pattern);
  return static_cast<int>(std::distance(std::sregex_iterator(text.begin(), text.end(), re), std::sregex_iterator()));
}

struct Preset {
  int program = -1;
  std::string name;
  std::vector<std::pair<std::string, std::string>> values;  // symbol, value as written
};

// The presets as the bundle describes them, read plainly from the text.
std::vector<Preset> readPresets() {
  const std::string text = readText(kBundle / "presets.ttl");
  std::vector<Preset> presets;
  const std::regex head("<" + kUri + "#program(\\d+)>");
  const std::regex label("rdfs:label \"([^\"]*)\"");
  const std::regex value("lv2:symbol \"([a-z0-9_]+)\" ;\\s*pset:value ([-0-9.e]+)");
  std::vector<std::size_t> starts;
  for (auto it = std::sregex_iterator(text.begin(), text.end(), head); it != std::sregex_iterator(); ++it) {
    Preset p;
    p.program = std::stoi((*it)[1]);
    presets.push_back(p);
    starts.push_back(static_cast<std::size_t>(it->position()));
  }
  starts.push_back(text.size());
  for (std::size_t i = 0; i < presets.size(); ++i) {
    const std::string block = text.substr(starts[i], starts[i + 1] - starts[i]);
    std::smatch m;
    if (std::regex_search(block, m, label)) presets[i].name = m[1];
    for (auto it = std::sregex_iterator(block.begin(), block.end(), value); it != std::sregex_iterator(); ++it)
      presets[i].values.emplace_back((*it)[1], (*it)[2]);
  }
  return presets;
}

// Interleaved float samples of a sound file; empty when it cannot be read.
std::vector<float> readSamples(const fs::path& path, int* channels = nullptr) {
  SF_INFO info{};
  SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
  if (f == nullptr) return {};
  std::vector<float> samples(static_cast<std::size_t>(info.frames * info.channels));
  sf_readf_float(f, samples.data(), info.frames);
  sf_close(f);
  if (channels) *channels = info.channels;
  return samples;
}

class Lv2Tools : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "kestrune-lv2-XXXXXX").string();
    folder = mkdtemp(pattern.data());
    // A third of a second of two tones with a little noise, as 32-bit float samples.
    SF_INFO info{};
    info.samplerate = 44100;
    info.channels = 2;
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    SNDFILE* f = sf_open((folder / "in.wav").c_str(), SFM_WRITE, &info);
    ASSERT_NE(f, nullptr);
    std::vector<float> samples;
    std::uint32_t seed = 5;
    for (int i = 0; i < 15000; ++i) {
      seed = seed * 1664525u + 1013904223u;
      const float noise = static_cast<float>(seed >> 8) / 16777216.0f - 0.5f;
      samples.push_back(0.5f * std::sin(2.0f * 3.14159265f * 440.0f * static_cast<float>(i) / 44100.0f) + 0.1f * noise);
      samples.push_back(0.4f * std::sin(2.0f * 3.14159265f * 660.0f * static_cast<float>(i) / 44100.0f));
    }
    sf_writef_float(f, samples.data(), 15000);
    sf_close(f);
  }
  void TearDown() override { fs::remove_all(folder); }

  fs::path folder;
};

}  // namespace

TEST_F(Lv2Tools, SordValidateWithTheLv2SchemasFindsNothing) {
  const Outcome o = run("sord_validate /usr/lib/lv2/*.lv2/*.ttl '" + (kBundle / "manifest.ttl").string() + "' '" +
                        (kBundle / "KestruneEn.ttl").string() + "' '" + (kBundle / "presets.ttl").string() + "'");
  EXPECT_EQ(o.status, 0) << o.output;
  EXPECT_NE(o.output.find("Found 0 errors"), std::string::npos) << o.output;
  EXPECT_EQ(count(o.output, "(error|warning):"), 0) << o.output;
}

TEST_F(Lv2Tools, LilvListsThePluginItsPortsPresetsAndUi) {
  const Outcome ls = run("lv2ls");
  EXPECT_NE(ls.output.find(kUri), std::string::npos) << ls.output;
  const Outcome info = run("lv2info " + kUri);
  ASSERT_EQ(info.status, 0) << info.output;
  const std::string& t = info.output;
  struct Expectation {
    const char* pattern;
    int times;
  };
  const Expectation table[] = {
      {"Name:\\s+KestruneEn\\n", 1},
      {"Author:\\s+QX Audio\\n", 1},
      {"Port \\d+:", 16},
      {"lv2core#AudioPort", 4},
      {"lv2core#ControlPort", 11},
      {"atom#AtomPort", 1},
      {"Minimum:\\s+0\\.000000", 11},
      {"Maximum:\\s+1\\.000000", 11},
      {"lv2core#toggled", 2},
      {"Symbol:\\s+doppler_amount\\n\\s+Name:\\s+Doppler Amount\\n", 1},
      {"Symbol:\\s+sync\\n", 1},
      {"Symbol:\\s+time\\n", 1},
      {"ui#X11UI", 1},
      {"lv2core#hardRTCapable", 1},
      {"\\n\\s+(Free ini slot|Doppler 1|Doppler 2|Doppler 3)(?=\\n)", 4},
  };
  for (const Expectation& e : table) EXPECT_EQ(count(t, e.pattern), e.times) << e.pattern << "\n" << t;
}

TEST_F(Lv2Tools, Lv2applyRendersWhatTheVstLibraryRendersForSettingsAndPresets) {
  struct Setting {
    std::string name;
    std::string lv2;  // lv2apply's -c arguments
    std::string vst;  // kestrune render's --program / --set arguments
  };
  std::vector<Setting> settings = {
      {"defaults", "", "--program 0"},
      {"faster with feedback", "-c speed 0.7 -c feedback 0.5", "--program 0 --set Speed=0.7 --set Feedback=0.5"},
      {"merged, damped, uneven sides", "-c mergeins 1 -c damping 0.9 -c lmax 0.2 -c rmax 0.55",
       "--program 0 --set Mergeins=1 --set Damping=0.9 --set Lmax=0.2 --set Rmax=0.55"},
      {"synced without a tempo, quiet", "-c sync 1 -c speed 0.3 -c master 0.25",
       "--program 0 --set Sync=1 --set Speed=0.3 --set Master=0.25"},
  };
  const std::vector<Preset> presets = readPresets();
  ASSERT_EQ(presets.size(), 4u);
  for (const Preset& p : presets) {
    ASSERT_EQ(p.values.size(), 11u) << p.name;
    Setting s{"preset " + p.name, "", "--program " + std::to_string(p.program)};
    for (const auto& [symbol, value] : p.values) s.lv2 += " -c " + symbol + " " + value;
    settings.push_back(s);
  }
  const fs::path in = folder / "in.wav";
  for (const Setting& s : settings) {
    SCOPED_TRACE(s.name);
    const fs::path lv2 = folder / "lv2.wav", vst = folder / "vst.wav";
    const Outcome a = run(std::string(KESTRUNE_TOOL_ENV) + " lv2apply -i '" + in.string() + "' -o '" + lv2.string() +
                          "' " + s.lv2 + " " + kUri);
    ASSERT_EQ(a.status, 0) << a.output;
    std::string render = "'";
    render += KESTRUNE_EXE;
    render += "' render --plugin '" + std::string(KESTRUNE_PLUGIN) + "' " + s.vst;
    render += " '" + in.string() + "' '" + vst.string() + "'";
    const Outcome b = run(render);
    ASSERT_EQ(b.status, 0) << b.output;
    int channels = 0;
    const std::vector<float> x = readSamples(lv2, &channels), y = readSamples(vst);
    EXPECT_EQ(channels, 2);
    ASSERT_EQ(x.size(), 30000u);
    ASSERT_EQ(x.size(), y.size());
    EXPECT_EQ(std::memcmp(x.data(), y.data(), x.size() * sizeof(float)), 0);
  }
}
