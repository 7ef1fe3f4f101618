// kestrune as a user runs it, beyond the fake effect: the effect itself through info and render,
// every output format and kind of output path, hostile option values, and the image commands.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <tuple>
#include <vector>

#include "host/HostState.h"
#include "host/Plugin.h"
#include "tests/host/HostTestSupport.h"

using hosttest::quoted;
using hosttest::run;

namespace {

const std::string kExe = KESTRUNE_EXE;
const std::string kFake = std::string(" --plugin ") + quoted(KESTRUNE_FAKE_BOTH);

std::string input(const hosttest::TempFolder& folder, const std::string& name, int rate = 48000, int frames = 48000) {
  const std::string path = folder / name;
  hosttest::writeAudio(path, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 2, rate, frames,
                       [](int i, int c) { return 0.4f * static_cast<float>(std::sin(0.013 * i * (c + 2))); });
  return path;
}

std::string contents(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// The same samples (the files themselves differ in the time stamp of their peak chunk).
bool sameAudio(const std::string& a, const std::string& b) {
  const auto x = hosttest::readAudio(a), y = hosttest::readAudio(b);
  return x.ok && y.ok && x.info.frames == y.info.frames && x.samples == y.samples;
}

int lines(const std::string& text) { return static_cast<int>(std::count(text.begin(), text.end(), '\n')); }

}  // namespace

#ifdef KESTRUNE_EFFECT
TEST(CliEffect, InfoReportsTheEffectsIdentity) {
  const auto r = run(kExe + " info --plugin " + quoted(KESTRUNE_EFFECT));
  ASSERT_EQ(r.status, 0) << r.output;
  for (const char* line : {"effect name     KestruneEn\n", "unique ID       0x51583039 'QX09'\n", "inputs          2\n",
                           "outputs         2\n", "initial delay   0 samples\n", "tail size       0 samples\n",
                           "parameters (11)\n", "programs (4)\n", "  1\tDoppler 1\n", "  8\tMaster\t1.000000\t1.00\n"})
    EXPECT_NE(r.output.find(line), std::string::npos) << line << "\n" << r.output;
  EXPECT_NE(r.output.find("CanReplacing"), std::string::npos) << r.output;
}

TEST(CliEffect, RenderGivesTheSamplesOfTheEffectProcessingTheFile) {
  hosttest::TempFolder folder;
  const std::string in = input(folder, "in.wav", 48000, 20000);
  const auto r = run(kExe + " render --plugin " + quoted(KESTRUNE_EFFECT) + " --program 'Doppler 2' --block 256 " +
                     quoted(in) + " " + quoted(folder / "out.wav"));
  ASSERT_EQ(r.status, 0) << r.output;
  const auto rendered = hosttest::readAudio(folder / "out.wav");
  const auto source = hosttest::readAudio(in);
  ASSERT_TRUE(rendered.ok && source.ok);
  ASSERT_EQ(rendered.info.frames, 20000);
  // The same effect, driven directly with the same blocks.
  kestrune::HostState host;
  auto fx = kestrune::Plugin::load(KESTRUNE_EFFECT, host);
  fx->open();
  fx->setSampleRate(48000.0f);
  fx->setBlockSize(256);
  fx->setProgram(2);
  fx->resume();
  std::vector<float> l(256), rr(256), outL(256), outR(256);
  bool audible = false;
  for (int at = 0; at < 20000; at += 256) {
    const int n = std::min(256, 20000 - at);
    for (int i = 0; i < n; ++i) {
      l[i] = source.samples[2 * (at + i)];
      rr[i] = source.samples[2 * (at + i) + 1];
    }
    float* ins[2] = {l.data(), rr.data()};
    float* outs[2] = {outL.data(), outR.data()};
    fx->process(ins, outs, n);
    for (int i = 0; i < n; ++i) {
      ASSERT_EQ(rendered.samples[2 * (at + i)], outL[i]) << "frame " << at + i;
      ASSERT_EQ(rendered.samples[2 * (at + i) + 1], outR[i]) << "frame " << at + i;
      audible |= std::fabs(outL[i]) > 0.01f;
    }
  }
  EXPECT_TRUE(audible);
  fx->suspend();
  fx->close();
}
#endif

TEST(CliOutputs, EveryWritableFormatByExtensionAndNothingElse) {
  hosttest::TempFolder folder;
  const std::string in = input(folder, "in.wav");
  struct Case {
    std::string name;
    int format;
  };
  std::vector<Case> cases = {{"out.ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS},
                             {"out.opus", SF_FORMAT_OGG | SF_FORMAT_OPUS},
                             {"out.caf", SF_FORMAT_CAF | SF_FORMAT_FLOAT}};
  SF_INFO mp3{0, 48000, 2, SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, 0, 0};
  if (sf_format_check(&mp3) != 0) cases.push_back({"out.mp3", mp3.format});
  cases.push_back({"out.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_24});
  cases.push_back({"out.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT});
  for (const Case& c : cases) {
    const auto r = run(kExe + " render" + kFake + " " + quoted(in) + " " + quoted(folder / c.name));
    ASSERT_EQ(r.status, 0) << c.name << ": " << r.output;
    const auto audio = hosttest::readAudio(folder / c.name);
    EXPECT_TRUE(audio.ok) << c.name;
    EXPECT_EQ(audio.info.format, c.format) << c.name;
    EXPECT_EQ(audio.info.samplerate, 48000) << c.name;
    // A write failing part way (as on a full disk) says why in every format, even where the encoder
    // ignores failed writes, and leaves the finished file as it was.
    const std::string before = contents(folder / c.name);
    const auto cut = run("trap '' XFSZ; ulimit -f 8; " + kExe + " render" + kFake + " " + quoted(in) + " " +
                         quoted(folder / c.name));
    EXPECT_EQ(cut.status, 1) << c.name;
    EXPECT_EQ(cut.output, "kestrune: cannot write '" + (folder / c.name) + "': File too large\n");
    EXPECT_EQ(contents(folder / c.name), before) << c.name;
  }
  EXPECT_EQ(folder.entries().size(), cases.size() + 1) << "no temporary files remain";

  // A damaged Ogg input is refused in one line. libvorbis leaks on it: the suppressions name that
  // library only, so that a leak of ours still fails.
  std::ofstream(folder / "cut.ogg", std::ios::binary) << contents(folder / "out.ogg").substr(0, 300);
  const auto damaged =
      run("LSAN_OPTIONS=print_suppressions=0:suppressions=" + quoted(KESTRUNE_LSAN_SUPPRESSIONS) + " " + kExe +
          " render" + kFake + " " + quoted(folder / "cut.ogg") + " " + quoted(folder / "from-cut.wav"));
  EXPECT_EQ(damaged.status, 1);
  EXPECT_EQ(damaged.output,
            "kestrune: cannot read '" + (folder / "cut.ogg") + "': Supported file format but file is malformed\n");
  EXPECT_FALSE(std::filesystem::exists(folder / "from-cut.wav"));
  const auto refused = run(kExe + " render" + kFake + " " + quoted(in) + " " + quoted(folder / "out.m4a"));
  EXPECT_NE(refused.status, 0);
  EXPECT_EQ(refused.output.rfind("kestrune: cannot write '.m4a' files; the formats are wav, flac, aiff, ogg", 0), 0u)
      << refused.output;
  EXPECT_EQ(lines(refused.output), 1);
  EXPECT_FALSE(std::filesystem::exists(folder / "out.m4a"));
}

TEST(CliOutputs, LinksAreFollowedAndPipesAndDevicesWrittenInto) {
  hosttest::TempFolder folder;
  const std::string in = input(folder, "in.wav", 48000, 4800);
  namespace fs = std::filesystem;
  // A link to an existing file and a dangling one: the files behind them are written, the links stay.
  std::ofstream(folder / "old.wav") << "old";
  fs::create_symlink("old.wav", folder / "link.wav");
  fs::create_symlink(folder / "new.wav", folder / "dangling.wav");
  for (const char* name : {"link.wav", "dangling.wav"}) {
    const auto r = run(kExe + " render" + kFake + " " + quoted(in) + " " + quoted(folder / name));
    ASSERT_EQ(r.status, 0) << name << ": " << r.output;
    EXPECT_TRUE(fs::is_symlink(fs::symlink_status(folder / name))) << name;
  }
  EXPECT_EQ(hosttest::readAudio(folder / "old.wav").info.frames, 4800);
  EXPECT_EQ(hosttest::readAudio(folder / "new.wav").info.frames, 4800);
  // Standard output into a pipe.
  const auto piped = run(kExe + " render" + kFake + " " + quoted(in) + " /dev/stdout --format wav | cat > " +
                         quoted(folder / "piped.wav"));
  ASSERT_EQ(piped.status, 0) << piped.output;
  EXPECT_TRUE(sameAudio(folder / "piped.wav", folder / "old.wav"));
  // A FIFO read by another process, and a device: written into, never replaced.
  ASSERT_EQ(mkfifo((folder / "fifo").c_str(), 0600), 0);
  const auto fifo =
      run("(cat " + quoted(folder / "fifo") + " > " + quoted(folder / "from-fifo.wav") + " &) ; " + kExe + " render" +
          kFake + " --format wav " + quoted(in) + " " + quoted(folder / "fifo") + "; sleep 0.2");
  ASSERT_EQ(fifo.status, 0) << fifo.output;
  EXPECT_TRUE(sameAudio(folder / "from-fifo.wav", folder / "old.wav"));
  struct stat before {
  }, after{};
  ASSERT_EQ(stat("/dev/null", &before), 0);
  const auto null = run(kExe + " render" + kFake + " " + quoted(in) + " /dev/null");
  EXPECT_EQ(null.status, 0) << null.output;
  ASSERT_EQ(stat("/dev/null", &after), 0);
  EXPECT_TRUE(S_ISCHR(after.st_mode));
  EXPECT_EQ(before.st_ino, after.st_ino);
  // A device that refuses the bytes: the system's reason, and no temporary file left anywhere.
  const auto full = run(kExe + " render" + kFake + " " + quoted(in) + " /dev/full");
  EXPECT_NE(full.status, 0);
  EXPECT_EQ(full.output, "kestrune: cannot write '/dev/full': No space left on device\n");
}

TEST(CliOutputs, HostileOptionValuesAreRefusedInOneLine) {
  hosttest::TempFolder folder;
  const std::string in = input(folder, "in.wav", 48000, 480);
  const std::string fast = input(folder, "fast.wav", 800000, 800);
  const std::string out = quoted(folder / "out.wav");
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"--tempo nan " + quoted(in) + " " + out, "kestrune: --tempo"},
      {"--tail nan " + quoted(in) + " " + out, "kestrune: --tail"},
      {"--tail inf " + quoted(in) + " " + out, "kestrune: --tail"},
      {"--tempo -nan " + quoted(in) + " " + out, "kestrune: --tempo"},
      {"--program '' " + quoted(in) + " " + out, "kestrune: --program"},
      {"--program ' ' " + quoted(in) + " " + out, "kestrune: --program"},
      {quoted(fast) + " " + out, "kestrune: cannot render '" + fast + "': its sample rate of 800000 Hz"},
      {"--format ogg --encoding 24 " + quoted(in) + " " + out, "kestrune: Ogg Vorbis cannot hold 24-bit samples"},
      // Numbers: decimal text inside the range, nothing else, each option alike.
      {"--tail 1e400 " + out, "kestrune: --tail: '1e400' is not a number from 0 to 3600\n"},
      {"--tail 3600.001 " + out, "kestrune: --tail: '3600.001' is not a number from 0 to 3600\n"},
      {"--tail '' " + out, "kestrune: --tail: '' is not a number"},
      {"--tail '1\n' " + out, "kestrune: --tail: '1\\n' is not a number"},
      {"--tempo 1e-320 " + out, "kestrune: --tempo: '1e-320' is not a number from 1 to 999\n"},
      {"--block 64.0 " + out, "kestrune: --block: '64.0' is not a whole number from 1 to 65536\n"},
      {"--block 99999999999999999999 " + out, "kestrune: --block: '99999999999999999999' is not a whole number"},
      {"--set Gain=nan " + out, "kestrune: bad --set 'Gain=nan': the value must be a number from 0 to 1\n"},
  };
  for (const auto& [arguments, message] : cases) {
    const auto r = run(kExe + " render" + kFake + " " + arguments);
    EXPECT_EQ(r.status, 1) << arguments;
    EXPECT_EQ(r.output.rfind(message, 0), 0u) << arguments << "\n" << r.output;
    EXPECT_EQ(lines(r.output), 1) << arguments << "\n" << r.output;
    EXPECT_FALSE(std::filesystem::exists(folder / "out.wav")) << arguments;
  }
}

// Subnormal and underflowing values are numbers in range like any other; they round on the way.
TEST(CliOutputs, EveryFiniteDecimalInRangeIsAccepted) {
  hosttest::TempFolder folder;
  const std::string in = input(folder, "in.wav", 48000, 480), out = folder / "out.wav";
  const auto source = hosttest::readAudio(in);
  // Options, frames written (480 of input, then the tail), gain set (output = 2 x gain x input).
  for (const auto& [options, frames, gain] : std::vector<std::tuple<std::string, std::int64_t, float>>{
           {"--set Gain=1e-50", 480, 0.0f},
           {"--set 0=4.9e-324 --tail 1e-320", 480, 0.0f},
           {"--set 'Gain = .25' --tail 2.2250738585072014e-308 --tempo +120", 480, 0.25f},
           {"--set Gain=+5E-1 --tail 1. --block +7", 48480, 0.5f}}) {
    const auto r = run(kExe + " render" + kFake + " " + options + " " + quoted(in) + " " + quoted(out));
    ASSERT_EQ(r.status, 0) << options << "\n" << r.output;
    const auto audio = hosttest::readAudio(out);
    EXPECT_EQ(audio.info.frames, frames) << options;
    for (std::size_t i = 0; i < 480 * 2; i += 31) EXPECT_FLOAT_EQ(audio.samples[i], 2.0f * gain * source.samples[i]);
  }
}

namespace {

// A 24-bit BMP without alpha, 3 x 2 pixels.
std::string bmp() {
  std::string b = "BM";
  auto u32 = [&](std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b += static_cast<char>(v >> (8 * i));
  };
  auto u16 = [&](std::uint16_t v) { b += static_cast<char>(v), b += static_cast<char>(v >> 8); };
  u32(54 + 24);
  u32(0);
  u32(54);
  u32(40);
  u32(3);
  u32(2);
  u16(1);
  u16(24);
  u32(0);
  u32(24);
  u32(2835);
  u32(2835);
  u32(0);
  u32(0);
  for (int row = 0; row < 2; ++row) {
    for (int x = 0; x < 3; ++x) b += std::string{char(10 * x), char(100 + row), char(200)};
    b += std::string(3, '\0');  // rows padded to 4 bytes
  }
  return b;
}

}  // namespace

TEST(CliImage, PackAndUnpackRoundTripAndRefuseWithoutLosingFiles) {
  hosttest::TempFolder folder;
  // A payload (size field, then 4 x 3 pixels with alpha) made into a picture and back.
  std::string payload = {4, 0, 3, 0};
  for (int i = 0; i < 12; ++i) payload += std::string{char(i * 20), char(255 - i), char(i * 7), char(i * 21)};
  std::ofstream(folder / "payload.bin", std::ios::binary) << payload;
  const std::string image = kExe + " image ";
  ASSERT_EQ(run(image + "encode-data " + quoted(folder / "payload.bin") + " " + quoted(folder / "a.data")).status, 0);
  const auto unpack = run(image + "unpack " + quoted(folder / "a.data") + " " + quoted(folder / "a.png"));
  ASSERT_EQ(unpack.status, 0) << unpack.output;
  EXPECT_EQ(unpack.output, (folder / "a.png") + ": 4 x 3\n");
  const auto pack = run(image + "pack --codec none " + quoted(folder / "a.png") + " " + quoted(folder / "b.data"));
  ASSERT_EQ(pack.status, 0) << pack.output;
  EXPECT_EQ(contents(folder / "b.data"), payload);
  EXPECT_NE(pack.output.find("  DIB.Masked = True\n"), std::string::npos) << pack.output;

  // Draw settings for the description: a fixed key, and the refusals.
  std::ofstream(folder / "plain.bmp", std::ios::binary) << bmp();
  const auto keyed =
      run(image + "pack --key '#FF00FF' " + quoted(folder / "plain.bmp") + " " + quoted(folder / "k.data"));
  ASSERT_EQ(keyed.status, 0) << keyed.output;
  EXPECT_EQ(keyed.output.substr(keyed.output.find('\n') + 1),
            "  DIB.Masked = False\n  DIB.Transparent = True\n  DIB.TransparentColor = $00FF00FF\n"
            "  DIB.TransparentMode = tmFixed\n");
  const std::string keep = contents(folder / "k.data");
  const std::vector<std::pair<std::string, std::string>> refused = {
      {"pack --masked " + quoted(folder / "plain.bmp"), "kestrune image pack: the picture has no alpha channel"},
      {"pack --masked --transparent " + quoted(folder / "a.png"), "kestrune image pack: an image is drawn either"},
      {"pack --key red " + quoted(folder / "plain.bmp"), "kestrune image pack: bad key colour 'red'"},
      {"unpack " + quoted(folder / "plain.bmp"), "kestrune image unpack: "},
      {"lzh-decode " + quoted(folder / "plain.bmp"), "kestrune image lzh-decode: "},
  };
  for (const auto& [arguments, message] : refused) {
    const auto r = run(image + arguments + " " + quoted(folder / "k.data"));
    EXPECT_NE(r.status, 0) << arguments;
    EXPECT_EQ(r.output.rfind(message, 0), 0u) << arguments << "\n" << r.output;
    EXPECT_EQ(lines(r.output), 1) << r.output;
    EXPECT_EQ(contents(folder / "k.data"), keep) << arguments << ": the existing output is kept";
  }
  // A size field claiming more pixels than the payload holds is refused before decoding it, bare
  // and packed.
  std::string claims = payload;
  claims[1] = 4;  // 1028 x 3
  std::string packable = std::string{4, 4, 3, 0} + std::string(48, '\0');
  for (const std::string& bytes : {claims, packable}) {
    std::ofstream(folder / "claims.bin", std::ios::binary) << bytes;
    ASSERT_EQ(run(image + "encode-data " + quoted(folder / "claims.bin") + " " + quoted(folder / "c.data")).status, 0);
    const auto claimed = run(image + "unpack " + quoted(folder / "c.data") + " " + quoted(folder / "c.png"));
    EXPECT_EQ(claimed.output,
              "kestrune image unpack: the data block declares 1028 x 3 pixels, more than its 52 bytes of payload "
              "hold\n");
    EXPECT_FALSE(std::filesystem::exists(folder / "c.png"));
  }
  EXPECT_EQ(contents(folder / "c.data").substr(0, 6), "DIBCMP") << "the second one is packed";

  // A write that fails says why and leaves nothing.
  const auto full = run(image + "decode-data " + quoted(folder / "a.data") + " /dev/full");
  EXPECT_EQ(full.output, "kestrune image decode-data: cannot write '/dev/full': No space left on device\n");
  const auto missing = run(image + "decode-data " + quoted(folder / "a.data") + " " + quoted(folder / "no/x.bin"));
  EXPECT_EQ(
      missing.output.rfind(
          "kestrune image decode-data: cannot write '" + (folder / "no/x.bin") + "': No such file or directory", 0),
      0u)
      << missing.output;
  for (const auto& entry : std::filesystem::directory_iterator(folder.path()))
    EXPECT_EQ(entry.path().filename().string().find(".kestrune-"), std::string::npos) << entry.path();
}
