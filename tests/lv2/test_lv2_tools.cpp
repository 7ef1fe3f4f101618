// The bundle as programs we did not write see it: sord_validate with the LV2 schemas finds nothing
// wrong, lilv lists the plug-in with its ports, presets and UI, and lv2apply renders through the
// bundle exactly what `kestrune render` renders through the VST library, for several settings
// and for every preset.
#include <gtest/gtest.h>
#include <sndfile.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

const std::string kUri = "urn:qxaudio:kestruneen";
const fs::path kBundle = fs::path(KESTRUNE_LV2_PATH) / "KestruneEn.lv2";

struct Outcome {
  int status = -1;
  std::string output;  // stdout and stderr
};

Outcome run(const std::string& command) {
  FILE* pipe = popen(("LV2_PATH='" KESTRUNE_LV2_PATH "' " + command + " 2>&1 < /dev/null").c_str(), "r");
  Outcome o;
  char buffer[4096];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) o.output.append(buffer, n);
  const int raw = pclose(pipe);
  o.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return o;
}

int count(const std::string& text, const std::string& pattern) {
  const std::regex re(pattern);
  return static_cast<int>(std::distance(std::sregex_iterator(text.begin(), text.end(), re), std::sregex_iterator()));
}

struct Setting {
  std::string lv2;  // lv2apply's -c arguments
  std::string vst;  // kestrune render's --program / --set arguments
};

// The presets as the bundle describes them, read plainly from the text.
std::vector<Setting> presets() {
  const std::string text = run("cat '" + (kBundle / "presets.ttl").string() + "'").output;
  const std::regex item("<" + kUri + "#program(\\d+)>|lv2:symbol \"([a-z0-9_]+)\" ;\\s*pset:value ([-0-9.e]+)");
  std::vector<Setting> found;
  for (auto it = std::sregex_iterator(text.begin(), text.end(), item); it != std::sregex_iterator(); ++it)
    if ((*it)[1].matched)
      found.push_back({"", "--program " + (*it)[1].str()});
    else if (!found.empty())
      found.back().lv2 += " -c " + (*it)[2].str() + " " + (*it)[3].str();
  return found;
}

struct TempFolder {
  std::string path = (fs::temp_directory_path() / "kestrune-lv2-XXXXXX").string();
  TempFolder() { mkdtemp(path.data()); }
  ~TempFolder() { fs::remove_all(path); }
};

}  // namespace

TEST(Lv2Tools, ValidateListAndRenderTheBundleAsTheVstLibraryDoes) {
  const std::string validate = "sord_validate /usr/lib/lv2/*.lv2/*.ttl '" + kBundle.string() + "'/*.ttl";
  const std::string info = "lv2info " + kUri;
  const struct {
    std::string command, pattern;
    int times;
  } listings[] = {
      {validate, "Found 0 errors", 1},
      {validate, "(error|warning):", 0},
      {"lv2ls", kUri + "\\n", 1},
      {info, "Name:\\s+KestruneEn\\n", 1},
      {info, "Author:\\s+QX Audio\\n", 1},
      {info, "Port \\d+:", 16},
      {info, "lv2core#AudioPort", 4},
      {info, "lv2core#ControlPort", 11},
      {info, "atom#AtomPort", 1},
      {info, "Minimum:\\s+0\\.000000", 11},
      {info, "Maximum:\\s+1\\.000000", 11},
      {info, "lv2core#toggled", 2},
      {info, "Symbol:\\s+doppler_amount\\n\\s+Name:\\s+Doppler Amount\\n", 1},
      {info, "Symbol:\\s+time\\n", 1},
      {info, "ui#X11UI", 1},
      {info, "lv2core#hardRTCapable", 1},
      {info, "\\n\\s+(Free ini slot|Doppler 1|Doppler 2|Doppler 3)(?=\\n)", 4},
  };
  for (const auto& row : listings) {
    const Outcome o = run(row.command);
    EXPECT_EQ(o.status, 0) << row.command << "\n" << o.output;
    EXPECT_EQ(count(o.output, row.pattern), row.times) << row.pattern << "\n" << o.output;
  }

  // A third of a second of stereo noise, as 32-bit float samples.
  TempFolder folder;
  const std::string in = folder.path + "/in.wav", lv2 = folder.path + "/lv2.wav", vst = folder.path + "/vst.wav";
  std::vector<float> noise(30000);
  std::uint32_t x = 5;
  for (float& s : noise) s = static_cast<float>((x = x * 1664525u + 1013904223u) >> 8) / 16777216.0f - 0.5f;
  SF_INFO format{0, 44100, 2, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 0, 0};
  SNDFILE* f = sf_open(in.c_str(), SFM_WRITE, &format);
  ASSERT_NE(f, nullptr);
  sf_writef_float(f, noise.data(), 15000);
  sf_close(f);

  std::vector<Setting> settings = {
      {"", "--program 0"},
      {"-c speed 0.7 -c feedback 0.5", "--program 0 --set Speed=0.7 --set Feedback=0.5"},
      {"-c mergeins 1 -c damping 0.9 -c lmax 0.2 -c rmax 0.55",
       "--program 0 --set Mergeins=1 --set Damping=0.9 --set Lmax=0.2 --set Rmax=0.55"},
      {"-c sync 1 -c speed 0.3 -c master 0.25", "--program 0 --set Sync=1 --set Speed=0.3 --set Master=0.25"},
  };
  const std::vector<Setting> fromPresets = presets();
  ASSERT_EQ(fromPresets.size(), 4u);
  for (const Setting& p : fromPresets) EXPECT_EQ(count(p.lv2, "-c "), 11) << p.vst;
  settings.insert(settings.end(), fromPresets.begin(), fromPresets.end());
  for (const Setting& s : settings) {
    SCOPED_TRACE(s.vst + " / " + s.lv2);
    const Outcome a = run(KESTRUNE_TOOL_ENV " lv2apply -i '" + in + "' -o '" + lv2 + "' " + s.lv2 + " " + kUri);
    ASSERT_EQ(a.status, 0) << a.output;
    const Outcome b =
        run("'" KESTRUNE_EXE "' render --plugin '" KESTRUNE_PLUGIN "' " + s.vst + " '" + in + "' '" + vst + "'");
    ASSERT_EQ(b.status, 0) << b.output;
    // Both are written by libsndfile alike; only the time stamp of the peak chunk (bytes 60-63) differs.
    const Outcome same = run("cmp -i 64 '" + lv2 + "' '" + vst + "'");
    EXPECT_EQ(same.status, 0) << same.output;
  }
}
