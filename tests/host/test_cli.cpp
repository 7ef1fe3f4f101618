// The kestrune executable as a user runs it: info and render, formats, lengths, and failures that
// must end with one clear line, a non-zero status and no file left behind.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>

#include "host/HostError.h"
#include "host/PluginPath.h"
#include "tests/host/HostTestSupport.h"

using hosttest::quoted;
using hosttest::run;

namespace {

const std::string kExe = KESTRUNE_EXE;
const std::string kFake = std::string(" --plugin ") + quoted(KESTRUNE_FAKE_BOTH);

// A one-second-long stereo test tone at 48 kHz (or mono), written as 16-bit WAV.
std::string writeInput(const hosttest::TempFolder& folder, const std::string& name, int channels = 2) {
  const std::string path = folder / name;
  hosttest::writeAudio(path, SF_FORMAT_WAV | SF_FORMAT_PCM_16, channels, 48000, 48000,
                       [](int i, int c) { return 0.5f * static_cast<float>(std::sin(0.01 * i * (c + 1))); });
  return path;
}

int count(const std::string& text, const std::string& what) {
  int n = 0;
  for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

}  // namespace

TEST(Cli, InfoReportsIdentityParametersProgramsAndCanDo) {
  const auto r = run(kExe + " info" + kFake);
  ASSERT_EQ(r.status, 0) << r.output;
  for (const char* expected :
       {"effect name     FakeEffect\n", "vendor          Test Bench\n", "vendor version  42\n",
        "unique ID       0x46616B65 'Fake'\n", "inputs          2\n", "flags           0x10 CanReplacing\n",
        "editor          none\n", "initial delay   0 samples\n", "parameters (3)\n", "  0\tGain\t0.500000\t50 dB\n",
        "  2\tTone Colour\t", "programs (2)\n", "  1\tLoud\n", "  bypass                 yes (1)\n",
        "  sendVstEvents          no (-1)\n"})
    EXPECT_NE(r.output.find(expected), std::string::npos) << expected << "\n" << r.output;
  EXPECT_EQ(count(r.output, " (-1)\n") + count(r.output, " (1)\n"), 26);
}

TEST(Cli, InfoListsTextDefectsOfAMisbehavingPlugIn) {
  const auto r = run("KESTRUNE_FAKE_MODE=long-texts " + kExe + " info" + kFake);
  ASSERT_EQ(r.status, 0) << r.output;
  EXPECT_NE(r.output.find("effect name     " + std::string(256, 'B') + "\n"), std::string::npos);
  EXPECT_NE(r.output.find("effect name 0: wrote past 256 bytes"), std::string::npos) << r.output;
  EXPECT_NE(r.output.find("parameter name 2: no terminator within 256 bytes"), std::string::npos) << r.output;
}

// Without --plugin, kestrune run through a symbolic link looks beside its real self and in its
// installation's lib/lxvst, and names both. Without the link the system keeps to the program it
// does not guess (the current folder would load code nobody chose).
TEST(Cli, WithoutAPlugInNamedLooksWhereItsRealSelfIsInstalled) {
  namespace fs = std::filesystem;
  hosttest::TempFolder folder;
  const fs::path real = fs::canonical(folder.path());  // as kestrune sees its own folder
  for (const char* dir : {"bin", "link/bin"}) fs::create_directories(real / dir);
  fs::copy_file(kExe, real / "bin/kestrune");
  fs::create_symlink(real / "bin/kestrune", real / "link/bin/kestrune");
  const auto r = run(quoted((real / "link/bin/kestrune").string()) + " info");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.output, "kestrune: no plug-in named and KestruneEn.so is neither in " + (real / "bin").string() +
                          " nor in " + (real / "lib/lxvst").string() + ": name one with --plugin PATH\n");
  EXPECT_THROW(kestrune::programLinkFolder(folder / "missing"), kestrune::HostError);
}

TEST(Cli, InfoRunsOnTheTestEffectAndOnAThirdPartyPlugIn) {
#ifdef KESTRUNE_TESTFX
  const auto testfx = run(kExe + " info --plugin " + quoted(KESTRUNE_TESTFX));
  EXPECT_EQ(testfx.status, 0) << testfx.output;
  EXPECT_NE(testfx.output.find("can do"), std::string::npos);
  // Without --plugin, kestrune finds an effect beside itself.
  const auto byDefault = run(kExe + " info");
  EXPECT_EQ(byDefault.status, 0) << byDefault.output;
#endif
  const std::string mverb = "/usr/lib/vst/MVerb-vst.so";
  if (!std::filesystem::exists(mverb)) GTEST_SKIP() << mverb << " is not installed";
  const auto r = run(kExe + " info --plugin " + mverb);
  ASSERT_EQ(r.status, 0) << r.output;
  EXPECT_NE(r.output.find("effect name     MVerb\n"), std::string::npos) << r.output;
  EXPECT_NE(r.output.find("unique ID       0x4D567262 'MVrb'"), std::string::npos) << r.output;
  EXPECT_NE(r.output.find("Damping"), std::string::npos);

  hosttest::TempFolder folder;
  const auto render =
      run(kExe + " render --plugin " + mverb + " --set Decay=0.9 --tail 0.5 " + quoted(folder / "v.wav"));
  ASSERT_EQ(render.status, 0) << render.output;
  EXPECT_EQ(hosttest::readAudio(folder / "v.wav").info.frames, 6 * 44100 + 22050);
}

TEST(Cli, RenderWritesEachFormatWithTheInputRateAndTail) {
  hosttest::TempFolder folder;
  const std::string in = writeInput(folder, "in.wav");
  const struct {
    const char* name;
    const char* options;
    int format;
  } cases[] = {
      {"out.wav", "", SF_FORMAT_WAV | SF_FORMAT_FLOAT},
      {"out.flac", "", SF_FORMAT_FLAC | SF_FORMAT_PCM_24},
      {"out.aiff", " --encoding 16", SF_FORMAT_AIFF | SF_FORMAT_PCM_16},
      {"out.bin", " --format wav --encoding 24", SF_FORMAT_WAV | SF_FORMAT_PCM_24},
  };
  for (const auto& c : cases) {
    const auto r = run(kExe + " render" + kFake + " --tail 0.25 --block 300" + c.options + " " + quoted(in) + " " +
                       quoted(folder / c.name));
    ASSERT_EQ(r.status, 0) << c.name << ": " << r.output;
    EXPECT_EQ(r.output, "") << c.name;
    const auto audio = hosttest::readAudio(folder / c.name);
    ASSERT_TRUE(audio.ok) << c.name;
    EXPECT_EQ(audio.info.format, c.format) << c.name;
    EXPECT_EQ(audio.info.samplerate, 48000) << c.name;
    EXPECT_EQ(audio.info.channels, 2) << c.name;
    EXPECT_EQ(audio.info.frames, 48000 + 12000) << c.name;
  }
  EXPECT_EQ(folder.entries().size(), 5u) << "no temporary files remain";

  // The output may replace the input: it is read to the end before the new file takes its name.
  const auto same = run(kExe + " render" + kFake + " --tail 0.5 " + quoted(in) + " " + quoted(in));
  ASSERT_EQ(same.status, 0) << same.output;
  EXPECT_EQ(hosttest::readAudio(in).info.frames, 48000 + 24000);
}

TEST(Cli, RenderFeedsAMonoInputToBothChannelsWithProgramAndSettings) {
  hosttest::TempFolder folder;
  const std::string in = writeInput(folder, "mono.wav", 1);
  const auto r = run(kExe + " render" + kFake + " --program Loud --set Gain=0.25 --set 'Tone Colour=1' --tempo 100 " +
                     quoted(in) + " " + quoted(folder / "out.wav"));
  ASSERT_EQ(r.status, 0) << r.output;
  const auto source = hosttest::readAudio(in);
  const auto audio = hosttest::readAudio(folder / "out.wav");
  ASSERT_TRUE(audio.ok);
  ASSERT_EQ(audio.info.frames, 48000);
  for (std::size_t i = 0; i < 48000; i += 997) {
    EXPECT_EQ(audio.samples[2 * i], audio.samples[2 * i + 1]) << i;
    EXPECT_FLOAT_EQ(audio.samples[2 * i], 0.5f * source.samples[i]) << i;  // gain 2 x 0.25
  }
}

TEST(Cli, RenderWithoutInputUsesTheDemoSignal) {
  hosttest::TempFolder folder;
  const auto r = run(kExe + " render" + kFake + " --tail 1 " + quoted(folder / "demo.wav"));
  ASSERT_EQ(r.status, 0) << r.output;
  const auto audio = hosttest::readAudio(folder / "demo.wav");
  ASSERT_TRUE(audio.ok);
  EXPECT_EQ(audio.info.samplerate, 44100);
  EXPECT_EQ(audio.info.channels, 2);
  EXPECT_EQ(audio.info.frames, 7 * 44100);
  EXPECT_EQ(audio.info.format, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
}

TEST(Cli, FailuresSayWhatFailedAndLeaveNoOutput) {
  hosttest::TempFolder folder;
  const std::string in = writeInput(folder, "in.wav");
  const std::string out = folder / "out.wav";
  std::ofstream(folder / "text.wav") << "not audio";
  const struct {
    std::string arguments;
    std::string message;  // expected at the start of the output
  } cases[] = {
      {"render" + kFake + " " + quoted(folder / "missing.wav") + " " + quoted(out),
       "kestrune: cannot read '" + (folder / "missing.wav") + "': No such file or directory\n"},
      {"render" + kFake + " " + quoted(folder / "text.wav") + " " + quoted(out),
       "kestrune: cannot read '" + (folder / "text.wav") + "': Format not recognised"},
      {"render" + kFake + " --set Volume=0.5 " + quoted(in) + " " + quoted(out), "kestrune: bad --set 'Volume=0.5'"},
      {"render" + kFake + " --set Gain=2 " + quoted(in) + " " + quoted(out), "kestrune: bad --set 'Gain=2'"},
      {"render" + kFake + " --program 9 " + quoted(in) + " " + quoted(out), "kestrune: no program 9"},
      {"render" + kFake + " --block 0 " + quoted(in) + " " + quoted(out), "kestrune: --block"},
      {"render" + kFake + " --block 65537 " + quoted(in) + " " + quoted(out), "kestrune: --block"},
      {"render" + kFake + " --block many " + quoted(in) + " " + quoted(out), "kestrune: --block"},
      {"render --plugin " + quoted(folder / "none.so") + " " + quoted(in) + " " + quoted(out),
       "kestrune: cannot load '" + (folder / "none.so") + "'"},
      {"render" + kFake + " " + quoted(in) + " " + quoted(folder.path().string()), "kestrune: cannot write"},
      {"render" + kFake + " " + quoted(in) + " " + quoted(folder / "no/such/dir/out.wav"), "kestrune: cannot write"},
      {"frobnicate", "kestrune: "},
      {"", "kestrune: "},
      // An empty name never stands for "the default".
      {"info --plugin ''", "kestrune: --plugin: the plug-in library must be named\n"},
      {"render" + kFake + " --format '' " + quoted(in) + " " + quoted(out),
       "kestrune: --format: an empty name chooses no format; the formats are wav, flac"},
      {"render" + kFake + " " + quoted(in) + " ''", "kestrune: cannot write '': no file name\n"},
      // What the user typed comes back with its control characters shown, on the one line.
      {"render" + kFake + " --program 'Lo\nud' " + quoted(in) + " " + quoted(out),
       "kestrune: no program named 'Lo\\nud' (programs: 'Soft', 'Loud')\n"},
      {"render" + kFake + " --set 'Ga\x1b[2Jin=1' " + quoted(in) + " " + quoted(out),
       "kestrune: bad --set 'Ga\\x1B[2Jin=1': no parameter named 'Ga\\x1B[2Jin'"},
  };
  for (const auto& c : cases) {
    const auto r = run(kExe + " " + c.arguments);
    EXPECT_EQ(r.status, 1) << c.arguments;
    EXPECT_EQ(r.output.rfind(c.message, 0), 0u) << c.arguments << "\n" << r.output;
    EXPECT_EQ(count(r.output, "\n"), 1) << c.arguments << "\n" << r.output;
    auto entries = folder.entries();
    std::sort(entries.begin(), entries.end());
    EXPECT_EQ(entries, (std::vector<std::string>{"in.wav", "text.wav"})) << c.arguments;
  }
}

TEST(Cli, APlugInFailingMidRenderLeavesNoPartialFile) {
  hosttest::TempFolder folder;
  const std::string in = writeInput(folder, "in.wav");
  for (const char* mode : {"throw-in-process", "no-process"}) {
    const auto r = run(std::string("KESTRUNE_FAKE_MODE=") + mode + " " + kExe + " render" + kFake + " " + quoted(in) +
                       " " + quoted(folder / "out.wav"));
    EXPECT_NE(r.status, 0) << mode;
    EXPECT_EQ(r.output.rfind("kestrune: ", 0), 0u) << mode << ": " << r.output;
    EXPECT_EQ(folder.entries(), std::vector<std::string>{"in.wav"}) << mode;
  }
  const auto r =
      run("KESTRUNE_FAKE_MODE=nan " + kExe + " render" + kFake + " " + quoted(in) + " " + quoted(folder / "out.wav"));
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.output.find("kestrune: warning: the plug-in produced"), std::string::npos) << r.output;
}

TEST(Cli, AnInterruptedRenderRemovesItsTemporaryFile) {
  hosttest::TempFolder folder;
  const std::string out = folder / "long.wav";
  const pid_t child = fork();
  if (child == 0) {
    // Ten minutes of tail: far longer than it takes to interrupt it.
    execl(KESTRUNE_EXE, "kestrune", "render", "--plugin", KESTRUNE_FAKE_BOTH, "--tail", "600", out.c_str(), nullptr);
    _exit(127);
  }
  ASSERT_GT(child, 0);
  for (int i = 0; i < 3000 && folder.entries().empty(); ++i) usleep(10'000);
  const bool started = !folder.entries().empty();
  kill(child, SIGTERM);
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(started) << "the render never created its temporary file";
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;
  EXPECT_TRUE(folder.entries().empty()) << folder.entries().front();
}
