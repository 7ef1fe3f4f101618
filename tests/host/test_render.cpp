// The render path in-process: input routing, the block loop against the fake effect, the output
// file's all-or-nothing behaviour, format choice, option parsing and the demo signal.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <vector>

#include "host/AudioFile.h"
#include "host/DemoSignal.h"
#include "host/HostError.h"
#include "host/HostState.h"
#include "host/Plugin.h"
#include "host/RenderCommand.h"
#include "host/Renderer.h"
#include "tests/host/HostTestSupport.h"

using namespace kestrune;
using hosttest::FakeMode;

namespace {

// `frames` frames of a ramp: channel c of frame i holds (i + 1) / 1000 + c.
class RampSource final : public AudioSource {
 public:
  RampSource(int channels, std::int64_t frames) : channels_(channels), frames_(frames) {}
  int channels() const override { return channels_; }
  double sampleRate() const override { return 48000.0; }
  std::int64_t frames() const override { return frames_; }
  std::int64_t read(float* interleaved, std::int64_t frames) override {
    const std::int64_t n = std::min(frames, frames_ - position_);
    for (std::int64_t i = 0; i < n; ++i)
      for (int c = 0; c < channels_; ++c) interleaved[i * channels_ + c] = value(position_ + i, c);
    position_ += n;
    return n;
  }
  static float value(std::int64_t frame, int channel) { return static_cast<float>(frame + 1) / 1000.0f + channel; }

 private:
  int channels_;
  std::int64_t frames_;
  std::int64_t position_ = 0;
};

struct RenderOutcome {
  RenderTotals totals;
  hosttest::Audio audio;
  std::vector<double> blockPositions;
};

// Renders `source` through the fake effect (gain x1) with the given block and tail.
RenderOutcome renderThroughFake(AudioSource& source, int block, std::int64_t tail) {
  hosttest::TempFolder folder;
  RenderOutcome outcome;
  void* keep = dlopen(KESTRUNE_FAKE_BOTH, RTLD_NOW | RTLD_LOCAL);
  {
    HostState host;
    auto plugin = Plugin::load(KESTRUNE_FAKE_BOTH, host);
    plugin->open();
    plugin->setSampleRate(static_cast<float>(source.sampleRate()));
    plugin->setBlockSize(block);
    OutputFile out(folder / "out.wav", OutputFormat{}, plugin->numOutputs(), source.sampleRate());
    Renderer renderer(*plugin, block);
    plugin->resume();
    outcome.totals = renderer.run(source, out, tail, {});
    plugin->suspend();
    out.commit();
  }
  auto positions = reinterpret_cast<const double* (*)(int*)>(dlsym(keep, "fakeBlockPositions"));
  int count = 0;
  const double* p = positions(&count);
  outcome.blockPositions.assign(p, p + count);
  dlclose(keep);
  outcome.audio = hosttest::readAudio(folder / "out.wav");
  return outcome;
}

}  // namespace

TEST(Render, RoutesTheFirstTwoSourceChannelsToThePluginInputs) {
  // Two frames of a source with 1, 2 or 4 channels; channel c of frame i is 10 * i + c + 1.
  const struct {
    int sourceChannels;
    int pluginInputs;
    std::vector<float> expected;  // input k, frame i at [k * 2 + i]
  } cases[] = {
      {1, 2, {1, 11, 1, 11}},  // mono feeds both inputs
      {2, 2, {1, 11, 2, 12}},  // stereo as is
      {4, 2, {1, 11, 2, 12}},  // channels beyond two are left out
      {2, 1, {1.5f, 11.5f}},   // a single input takes the mean of the pair
      {2, 4, {1, 11, 2, 12, 1, 11, 2, 12}},
  };
  for (const auto& c : cases) {
    std::vector<float> source;
    for (int i = 0; i < 2; ++i)
      for (int ch = 0; ch < c.sourceChannels; ++ch) source.push_back(static_cast<float>(10 * i + ch + 1));
    std::vector<float> inputs(static_cast<std::size_t>(c.pluginInputs) * 2, -1.0f);
    std::vector<float*> pointers;
    for (int k = 0; k < c.pluginInputs; ++k) pointers.push_back(inputs.data() + 2 * k);
    routeInputs(source.data(), c.sourceChannels, 2, pointers.data(), c.pluginInputs);
    EXPECT_EQ(inputs, c.expected) << c.sourceChannels << " -> " << c.pluginInputs;
  }
}

TEST(Render, ProcessesTheSourceThenTheTailBlockByBlock) {
  RampSource source(2, 1000);
  const RenderOutcome r = renderThroughFake(source, 256, 300);
  ASSERT_TRUE(r.audio.ok);
  EXPECT_EQ(r.totals.frames, 1300);
  EXPECT_EQ(r.audio.info.frames, 1300);
  EXPECT_EQ(r.audio.info.channels, 2);
  EXPECT_EQ(r.audio.info.samplerate, 48000);
  EXPECT_EQ(r.audio.info.format, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
  for (std::int64_t i = 0; i < 1300; ++i) {
    for (int c = 0; c < 2; ++c) {
      const float expected = i < 1000 ? RampSource::value(i, c) : 0.0f;
      ASSERT_EQ(r.audio.samples[static_cast<std::size_t>(i * 2 + c)], expected) << "frame " << i << " channel " << c;
    }
  }
  // Source blocks 256, 256, 256, 232; tail 256, 44: the time information follows every block.
  EXPECT_EQ(r.blockPositions, (std::vector<double>{0, 256, 512, 768, 1000, 1256}));
}

TEST(Render, AccumulatingPlugInsStartFromSilentOutputs) {
  FakeMode mode("accumulate-only");
  RampSource source(2, 600);
  const RenderOutcome r = renderThroughFake(source, 128, 0);
  ASSERT_TRUE(r.audio.ok);
  for (std::int64_t i = 0; i < 600; ++i)
    ASSERT_EQ(r.audio.samples[static_cast<std::size_t>(i * 2 + 1)], RampSource::value(i, 1)) << i;
}

TEST(Render, NonFiniteOutputIsWrittenAsSilenceAndCounted) {
  FakeMode mode("nan");
  RampSource source(2, 500);
  const RenderOutcome r = renderThroughFake(source, 100, 0);
  EXPECT_EQ(r.totals.nonFinite, 5);
  EXPECT_EQ(r.audio.samples[0], 0.0f);
  EXPECT_EQ(r.audio.samples[200], 0.0f);  // frame 100, left
  EXPECT_EQ(r.audio.samples[202], RampSource::value(101, 0));
}

TEST(OutputFile, AppearsOnlyWhenCommitted) {
  hosttest::TempFolder folder;
  const std::vector<float> frame = {0.25f, -0.25f};
  {
    OutputFile out(folder / "a.wav", OutputFormat{}, 2, 44100.0);
    out.write(frame.data(), 1);
    EXPECT_EQ(folder.entries().size(), 1u) << "only the temporary file exists while writing";
    EXPECT_NE(out.temporaryPath(), folder / "a.wav");
  }
  EXPECT_TRUE(folder.entries().empty()) << "an uncommitted file leaves nothing behind";

  {
    OutputFile out(folder / "b.wav", OutputFormat{}, 2, 44100.0);
    out.write(frame.data(), 1);
    out.commit();
  }
  EXPECT_EQ(folder.entries(), std::vector<std::string>{"b.wav"});
  EXPECT_THROW(OutputFile(folder.path().string(), OutputFormat{}, 2, 44100.0), HostError);
  EXPECT_THROW(OutputFile(folder / "no/such/folder/c.wav", OutputFormat{}, 2, 44100.0), HostError);
}

TEST(OutputFile, FormatFollowsOptionsThenExtension) {
  const struct {
    const char* path;
    const char* container;
    const char* encoding;
    int expected;
  } cases[] = {
      {"x.wav", "", "", SF_FORMAT_WAV | SF_FORMAT_FLOAT},
      {"x.WAV", "", "16", SF_FORMAT_WAV | SF_FORMAT_PCM_16},
      {"x.flac", "", "", SF_FORMAT_FLAC | SF_FORMAT_PCM_24},
      {"x.Flac", "", "16", SF_FORMAT_FLAC | SF_FORMAT_PCM_16},
      {"x.aif", "", "", SF_FORMAT_AIFF | SF_FORMAT_FLOAT},
      {"x.aiff", "", "24", SF_FORMAT_AIFF | SF_FORMAT_PCM_24},
      {"x.ogg", "", "", SF_FORMAT_OGG | SF_FORMAT_VORBIS},
      {"x.opus", "", "", SF_FORMAT_OGG | SF_FORMAT_OPUS},
      {"x.caf", "", "", SF_FORMAT_CAF | SF_FORMAT_FLOAT},
      {"noextension", "", "", SF_FORMAT_WAV | SF_FORMAT_FLOAT},
      {"x.wav", "flac", "", SF_FORMAT_FLAC | SF_FORMAT_PCM_24},
      {"x.out", "ogg", "", SF_FORMAT_OGG | SF_FORMAT_VORBIS},
      {"noextension", "aiff", "float", SF_FORMAT_AIFF | SF_FORMAT_FLOAT},
  };
  for (const auto& c : cases)
    EXPECT_EQ(chooseOutputFormat(c.path, c.container, c.encoding).sndfile, c.expected) << c.path << " " << c.container;
  // Where the library writes MP3, the extension asks for it; where not, it is refused like any other.
  SF_INFO mp3{0, 48000, 2, SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, 0, 0};
  if (sf_format_check(&mp3) != 0) {
    EXPECT_EQ(chooseOutputFormat("x.mp3", "", "").sndfile, mp3.format);
  }
  // What it cannot write is refused with the list of what it can, never written as something else.
  for (const auto& [path, container, encoding] : std::vector<std::array<const char*, 3>>{
           {"x.out", "", ""}, {"x.docx", "", ""}, {"x.wav", "mp4", ""}, {"x.flac", "", "float"}, {"x.ogg", "", "16"}}) {
    try {
      chooseOutputFormat(path, container, encoding);
      ADD_FAILURE() << path << " " << container << " " << encoding;
    } catch (const HostError& e) {
      if (*encoding == 0) {
        EXPECT_NE(std::string(e.what()).find("wav, flac, aiff, ogg, opus"), std::string::npos) << e.what();
      }
    }
  }
}

TEST(RenderOptions, ProgramsAndSettingsResolveByNameOrIndex) {
  HostState host;
  auto plugin = Plugin::load(KESTRUNE_FAKE_BOTH, host);

  for (const char* program : {"Loud", "loud", " LOUD ", "1"}) {
    plugin->setProgram(0);
    selectProgram(*plugin, program);
    EXPECT_EQ(plugin->currentProgram(), 1) << program;
  }
  for (const char* bad : {"2", "-1", "Medium"}) EXPECT_THROW(selectProgram(*plugin, bad), HostError) << bad;
  try {
    selectProgram(*plugin, "Medium");
  } catch (const HostError& e) {
    EXPECT_STREQ(e.what(), "no program named 'Medium' (programs: 'Soft', 'Loud')");
  }

  const auto settings = parseSettings(*plugin, {"Gain=0.25", "tone colour=1", "1=0", "Mix= 0.5 "});
  EXPECT_EQ(settings, (std::vector<std::pair<int, float>>{{0, 0.25f}, {2, 1.0f}, {1, 0.0f}, {1, 0.5f}}));
  for (const char* bad : {"Gain", "=0.5", "Gain=", "Gain=1.5", "Gain=-0.1", "Gain=abc", "Gain=0.5x", "Gain=nan",
                          "Gain=inf", "Volume=0.5", "3=0.5"})
    EXPECT_THROW(parseSettings(*plugin, {bad}), HostError) << bad;
}

TEST(DemoSignal, IsDeterministicStereoAndAudible) {
  DemoSignal demo;
  std::vector<float> all(static_cast<std::size_t>(DemoSignal::kFrames + 100) * 2);
  std::int64_t total = 0;
  for (std::int64_t got; (got = demo.read(all.data() + total * 2, 1000)) > 0;) total += got;
  EXPECT_EQ(total, DemoSignal::kFrames);
  EXPECT_EQ(demo.frames(), 6 * 44100);
  EXPECT_EQ(demo.channels(), 2);

  double peak = 0.0;
  double sideEnergy = 0.0;
  for (std::int64_t second = 0; second < 6; ++second) {
    double energy = 0.0;
    for (std::int64_t i = second * 44100; i < (second + 1) * 44100; ++i) {
      const float l = all[static_cast<std::size_t>(2 * i)], r = all[static_cast<std::size_t>(2 * i + 1)];
      energy += l * l + r * r;
      sideEnergy += (l - r) * (l - r);
      peak = std::max({peak, std::fabs(static_cast<double>(l)), std::fabs(static_cast<double>(r))});
    }
    EXPECT_GT(energy / 44100, 1e-4) << "second " << second << " is audible";
  }
  EXPECT_LT(peak, 0.95);
  EXPECT_GT(sideEnergy, 1.0) << "left and right differ (panning)";

  float l = 0, r = 0;
  DemoSignal::frame(12345, l, r);
  EXPECT_EQ(l, all[2 * 12345]);
  EXPECT_EQ(r, all[2 * 12345 + 1]);
  DemoSignal::frame(DemoSignal::kFrames, l, r);
  EXPECT_EQ(l, 0.0f);
}

TEST(Render, DrivesThePlugInInTheHostSequence) {
  hosttest::TempFolder folder;
  ASSERT_TRUE(hosttest::writeAudio(folder / "in.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 2, 48000, 700,
                                   [](int i, int) { return static_cast<float>(i) / 1000.0f; }));
  void* keep = dlopen(KESTRUNE_FAKE_BOTH, RTLD_NOW | RTLD_LOCAL);
  RenderOptions options;
  options.files = {folder / "in.wav", folder / "out.wav"};
  options.plugin = KESTRUNE_FAKE_BOTH;
  options.program = "Loud";
  options.settings = {"Gain=0.25"};
  options.blockSize = 300;
  render(options);
  const std::string log = reinterpret_cast<const char* (*)()>(dlsym(keep, "fakeLog"))();
  dlclose(keep);
  EXPECT_EQ(log, "entry VSTPluginMain;open;rate 48000;block 300;program 1;mains 1;mains 0;close;");

  const auto audio = hosttest::readAudio(folder / "out.wav");
  ASSERT_EQ(audio.info.frames, 700);
  EXPECT_FLOAT_EQ(audio.samples[2 * 600], 0.5f * 0.6f);  // gain 2 x 0.25
}
