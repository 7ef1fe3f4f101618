// Audio files through libsndfile: an input file as an AudioSource, and an output file that only
// appears under its name once it is complete.
#pragma once

#include <cstdint>
#include <string>

#include "host/AudioSource.h"

typedef struct sf_private_tag SNDFILE;

namespace kestrune {

class InputFile final : public AudioSource {
 public:
  explicit InputFile(const std::string& path);  // throws HostError "cannot read '...': reason"
  ~InputFile() override;
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  int channels() const override { return channels_; }
  double sampleRate() const override { return sampleRate_; }
  std::int64_t frames() const override { return frames_; }
  std::int64_t read(float* interleaved, std::int64_t frames) override;

 private:
  std::string path_;
  SNDFILE* file_ = nullptr;
  int channels_ = 0;
  double sampleRate_ = 0.0;
  std::int64_t frames_ = -1;
};

// The container and sample encoding of an output file.
struct OutputFormat {
  enum class Container { Wav, Flac, Aiff } container = Container::Wav;
  enum class Encoding { Float, Pcm16, Pcm24 } encoding = Encoding::Float;
};

// The format for `path`: `container` ("wav", "flac", "aiff") and `encoding` ("float", "16", "24")
// when given, otherwise from the extension (.flac, .aif/.aiff/.aifc, anything else WAV). The default
// encoding is 32-bit float, except 24-bit for FLAC, which cannot hold floats. Throws HostError.
OutputFormat chooseOutputFormat(const std::string& path, const std::string& container, const std::string& encoding);

// Writes to a temporary file beside `path`; commit() renames it to `path`. Destroying an
// uncommitted file (a failure, an exception) removes the temporary file, so no partial output is
// ever left under either name.
class OutputFile {
 public:
  OutputFile(const std::string& path, OutputFormat format, int channels, double sampleRate);  // throws HostError
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  void write(const float* interleaved, std::int64_t frames);  // throws HostError
  void commit();                                              // throws HostError
  const std::string& temporaryPath() const { return tempPath_; }

 private:
  void discard();

  std::string path_;
  std::string tempPath_;
  SNDFILE* file_ = nullptr;
  int channels_ = 0;
  bool committed_ = false;
};

// Removes the temporary output file of the render in progress when the process is interrupted
// (SIGINT, SIGTERM, SIGHUP) and then exits with the conventional status.
void installInterruptCleanup();

}  // namespace kestrune
