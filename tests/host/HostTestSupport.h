// Shared helpers of the host tests: scratch folders, audio files, running the executable, and
// choosing the fake effect's behaviour.
#pragma once

#include <sndfile.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace hosttest {

// A fresh folder, removed with everything in it at the end of the test.
class TempFolder {
 public:
  TempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "kestrune-host-XXXXXX").string();
    path_ = mkdtemp(pattern.data());
  }
  ~TempFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  std::string operator/(const std::string& name) const { return (path_ / name).string(); }
  const std::filesystem::path& path() const { return path_; }
  std::vector<std::string> entries() const {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(path_)) names.push_back(e.path().filename().string());
    return names;
  }

 private:
  std::filesystem::path path_;
};

// Sets KESTRUNE_FAKE_MODE for the fake effect's next entry call; restores "good" afterwards.
class FakeMode {
 public:
  explicit FakeMode(const char* mode) { setenv("KESTRUNE_FAKE_MODE", mode, 1); }
  ~FakeMode() { unsetenv("KESTRUNE_FAKE_MODE"); }
};

struct Audio {
  SF_INFO info{};
  std::vector<float> samples;  // interleaved
  bool ok = false;
};

inline Audio readAudio(const std::string& path) {
  Audio audio;
  SNDFILE* file = sf_open(path.c_str(), SFM_READ, &audio.info);
  if (file == nullptr) return audio;
  audio.samples.resize(static_cast<std::size_t>(audio.info.frames * audio.info.channels));
  audio.ok = sf_readf_float(file, audio.samples.data(), audio.info.frames) == audio.info.frames;
  sf_close(file);
  return audio;
}

// Writes `frames` frames whose sample (frame, channel) is value(frame, channel).
inline bool writeAudio(const std::string& path, int format, int channels, int rate, int frames,
                       const std::function<float(int, int)>& value) {
  SF_INFO info{};
  info.channels = channels;
  info.samplerate = rate;
  info.format = format;
  SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
  if (file == nullptr) return false;
  std::vector<float> samples(static_cast<std::size_t>(frames * channels));
  for (int i = 0; i < frames; ++i)
    for (int c = 0; c < channels; ++c) samples[static_cast<std::size_t>(i * channels + c)] = value(i, c);
  const bool ok = sf_writef_float(file, samples.data(), frames) == frames;
  sf_close(file);
  return ok;
}

struct CommandResult {
  int status = -1;
  std::string output;  // stdout and stderr together
};

inline CommandResult run(const std::string& command) {
  CommandResult result;
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (pipe == nullptr) return result;
  char buffer[4096];
  std::size_t n = 0;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) result.output.append(buffer, n);
  const int status = pclose(pipe);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return result;
}

inline std::string quoted(const std::string& text) { return "'" + text + "'"; }

}  // namespace hosttest
