// Audio files on Windows, where the build has no libsndfile: WAV only, read and written here.
// Reading accepts integer PCM of 8, 16, 24 and 32 bits and float samples of 32 and 64 bits, plain
// or in the extensible layout; writing makes 32-bit float, 16-bit or 24-bit WAV files.
#include <io.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <vector>

#include "host/AudioFile.h"
#include "host/HostError.h"

namespace kestrune {

struct WavStream {
  FILE* file = nullptr;
  // Reading.
  int tag = 0;            // 1 integer PCM, 3 float
  int bytes = 0;          // per sample
  int64_t remaining = 0;  // frames not read yet
  std::vector<uint8_t> buffer;
  // Writing.
  int encoding = 0;     // the format word's sample type
  int64_t written = 0;  // frames
  ~WavStream() {
    if (file) std::fclose(file);
  }
};

namespace {

constexpr int kMaxChannels = 1024;
constexpr uint32_t kMaxRate = 10'000'000;

// The format word's numbers (those of libsndfile, which the Linux build uses).
constexpr int kWav = 0x010000;
constexpr int kPcm16 = 0x0002;
constexpr int kPcm24 = 0x0003;
constexpr int kFloat = 0x0006;

uint16_t Le16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }
uint32_t Le32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
void Put16(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
}
void Put32(uint8_t* p, uint32_t v) {
  Put16(p, v);
  Put16(p + 2, v >> 16);
}

float Sample(const uint8_t* p, int tag, int bytes) {
  if (tag == 3) {
    if (bytes == 4) {
      float f;
      std::memcpy(&f, p, 4);
      return f;
    }
    double d;
    std::memcpy(&d, p, 8);
    return float(d);
  }
  switch (bytes) {
    case 1: return float(int(p[0]) - 128) / 128.0f;
    case 2: return float(int16_t(Le16(p))) / 32768.0f;
    case 3: return float(int32_t(uint32_t(p[0]) << 8 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 24) >> 8) / 8388608.0f;
    default: return float(double(int32_t(Le32(p))) / 2147483648.0);
  }
}

}  // namespace

InputFile::InputFile(const std::string& path) : path_(path) {
  auto fail = [&](const std::string& why) { throw HostError("cannot read '" + path + "': " + why); };
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) fail("it is a folder");
  auto stream = std::make_unique<WavStream>();
  stream->file = std::fopen(path.c_str(), "rb");
  if (!stream->file) fail(std::strerror(errno));
  FILE* f = stream->file;
  _fseeki64(f, 0, SEEK_END);
  const int64_t size = _ftelli64(f);
  _fseeki64(f, 0, SEEK_SET);
  uint8_t head[12];
  if (std::fread(head, 1, 12, f) != 12 || std::memcmp(head, "RIFF", 4) != 0 || std::memcmp(head + 8, "WAVE", 4) != 0)
    fail("not a WAV file (this build reads WAV files only)");
  bool haveFormat = false;
  int64_t dataStart = -1, dataSize = 0;
  uint16_t tag = 0, bits = 0, blockAlign = 0;
  uint32_t channels = 0, rate = 0;
  for (int64_t at = 12; at + 8 <= size;) {
    uint8_t chunk[8];
    _fseeki64(f, at, SEEK_SET);
    if (std::fread(chunk, 1, 8, f) != 8) break;
    const int64_t length = Le32(chunk + 4);
    if (std::memcmp(chunk, "fmt ", 4) == 0) {
      uint8_t fmt[40] = {};
      if (length < 16 || std::fread(fmt, 1, size_t(std::min<int64_t>(length, 40)), f) < 16)
        fail("a damaged format chunk");
      tag = Le16(fmt);
      channels = Le16(fmt + 2);
      rate = Le32(fmt + 4);
      blockAlign = Le16(fmt + 12);
      bits = Le16(fmt + 14);
      if (tag == 0xFFFE) tag = length >= 40 ? Le16(fmt + 24) : 0;  // the extensible layout's real format
      haveFormat = true;
    } else if (std::memcmp(chunk, "data", 4) == 0) {
      dataStart = at + 8;
      dataSize = std::min(length, size - dataStart);  // a cut-off file gives what it holds
    }
    at += 8 + length + (length & 1);
  }
  if (!haveFormat || dataStart < 0) fail("not a WAV file with a format and a data chunk");
  const bool integer = tag == 1 && (bits == 8 || bits == 16 || bits == 24 || bits == 32);
  const bool floating = tag == 3 && (bits == 32 || bits == 64);
  if (!integer && !floating)
    fail("WAV samples of format " + std::to_string(tag) + " with " + std::to_string(bits) + " bits are not supported");
  if (channels < 1 || channels > kMaxChannels || rate < 1 || rate > kMaxRate)
    fail(std::to_string(channels) + " channels at " + std::to_string(rate) + " Hz is not a usable format");
  if (blockAlign != channels * (bits / 8u)) fail("a damaged format chunk");
  stream->tag = tag;
  stream->bytes = bits / 8;
  stream->remaining = dataSize / blockAlign;
  _fseeki64(f, dataStart, SEEK_SET);
  channels_ = int(channels);
  sampleRate_ = rate;
  frames_ = stream->remaining;
  file_ = stream.release();
}

InputFile::~InputFile() { delete file_; }

std::int64_t InputFile::read(float* interleaved, std::int64_t frames) {
  WavStream& s = *file_;
  const int64_t n = std::clamp<int64_t>(frames, 0, s.remaining);
  const size_t frameBytes = size_t(s.bytes) * size_t(channels_);
  s.buffer.resize(size_t(n) * frameBytes);
  const size_t got = n ? std::fread(s.buffer.data(), frameBytes, size_t(n), s.file) : 0;
  if (got < size_t(n) && std::ferror(s.file)) throw HostError("cannot read '" + path_ + "': " + std::strerror(errno));
  for (size_t i = 0; i < got * size_t(channels_); ++i)
    interleaved[i] = Sample(&s.buffer[i * size_t(s.bytes)], s.tag, s.bytes);
  s.remaining = got < size_t(n) ? 0 : s.remaining - n;
  return int64_t(got);
}

OutputFormat chooseOutputFormat(const std::string& path, const std::string& container, const std::string& encoding) {
  std::string ext = std::filesystem::path(path).extension().string();
  for (char& c : ext) c = char(std::tolower(static_cast<unsigned char>(c)));
  if (container.empty() ? !(ext.empty() || ext == ".wav") : container != "wav") {
    const std::string asked = container.empty() ? "'" + ext + "' files" : "'" + container + "'";
    throw HostError("cannot write " + asked + "; the formats are " + outputFormatNames() +
                    " (choose one with --format)");
  }
  OutputFormat format;
  format.name = "wav";
  int subtype = kFloat;
  if (encoding == "16") {
    subtype = kPcm16;
  } else if (encoding == "24") {
    subtype = kPcm24;
  } else if (!encoding.empty() && encoding != "float") {
    throw HostError("unknown sample encoding '" + encoding + "' (float, 16 or 24)");
  }
  format.sndfile = kWav | subtype;
  return format;
}

std::string outputFormatNames() { return "wav"; }

OutputFile::OutputFile(const std::string& path, OutputFormat format, int channels, double sampleRate)
    : target_(path), channels_(channels) {
  const int subtype = format.sndfile & 0xFFFF;
  if ((format.sndfile & 0xFFFF0000) != kWav || (subtype != kFloat && subtype != kPcm16 && subtype != kPcm24))
    target_.fail("this build writes WAV files of float, 16-bit or 24-bit samples only");
  if (channels < 1 || channels > kMaxChannels || sampleRate < 1 || sampleRate > kMaxRate)
    target_.fail("that format cannot hold " + std::to_string(channels) + " channels at " +
                 std::to_string(int64_t(sampleRate)) + " Hz");
  file_ = new WavStream;
  file_->encoding = subtype;
  const bool isFloat = subtype == kFloat;
  const uint32_t bytes = isFloat ? 4 : subtype == kPcm16 ? 2 : 3;
  // RIFF, fmt (18 bytes with float, which also gets a fact chunk), data; sizes filled in at commit.
  uint8_t head[58] = {};
  std::memcpy(head, "RIFF", 4);
  std::memcpy(head + 8, "WAVE", 4);
  std::memcpy(head + 12, "fmt ", 4);
  Put32(head + 16, isFloat ? 18 : 16);
  Put16(head + 20, isFloat ? 3 : 1);
  Put16(head + 22, uint32_t(channels));
  Put32(head + 24, uint32_t(sampleRate));
  Put32(head + 28, uint32_t(sampleRate) * uint32_t(channels) * bytes);
  Put16(head + 32, uint32_t(channels) * bytes);
  Put16(head + 34, bytes * 8);
  size_t at = 36;
  if (isFloat) {
    at += 2;  // cbSize 0
    std::memcpy(head + at, "fact", 4);
    Put32(head + at + 4, 4);
    at += 12;
  }
  std::memcpy(head + at, "data", 4);
  at += 8;
  target_.write(head, at);
}

OutputFile::~OutputFile() { delete file_; }

void OutputFile::write(const float* interleaved, std::int64_t frames) {
  WavStream& s = *file_;
  const size_t count = size_t(frames) * size_t(channels_);
  const int bytes = s.encoding == kFloat ? 4 : s.encoding == kPcm16 ? 2 : 3;
  if ((s.written + frames) * int64_t(channels_) * bytes > int64_t(0xFFFFFF00))
    target_.fail("a WAV file holds at most 4 GiB");
  s.buffer.resize(count * size_t(bytes));
  for (size_t i = 0; i < count; ++i) {
    uint8_t* p = &s.buffer[i * size_t(bytes)];
    if (bytes == 4) {
      std::memcpy(p, &interleaved[i], 4);
      continue;
    }
    // Integer encodings clip out-of-range samples instead of wrapping them around.
    const float x = std::isnan(interleaved[i]) ? 0.0f : std::clamp(interleaved[i], -1.0f, 1.0f);
    const int32_t v = int32_t(std::lrint(double(x) * (bytes == 2 ? 32767.0 : 8388607.0)));
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
    if (bytes == 3) p[2] = uint8_t(v >> 16);
  }
  target_.write(s.buffer.data(), s.buffer.size());
  s.written += frames;
}

void OutputFile::commit() {
  WavStream& s = *file_;
  const bool isFloat = s.encoding == kFloat;
  const uint32_t bytes = isFloat ? 4 : s.encoding == kPcm16 ? 2 : 3;
  const uint32_t dataBytes = uint32_t(s.written) * uint32_t(channels_) * bytes;
  const uint32_t headBytes = isFloat ? 58 : 44;
  if (dataBytes & 1) target_.write("", 1);
  // The sizes the header could not know, written into it now.
  const int fd = target_.descriptor();
  auto patch = [&](int64_t at, uint32_t value) {
    uint8_t v[4];
    Put32(v, value);
    if (_lseeki64(fd, at, SEEK_SET) != at || _write(fd, v, 4) != 4) target_.fail(std::strerror(errno));
  };
  patch(4, headBytes - 8 + dataBytes + (dataBytes & 1));
  if (isFloat) patch(46, uint32_t(s.written));
  patch(int64_t(headBytes) - 4, dataBytes);
  target_.commit();
}

}  // namespace kestrune
