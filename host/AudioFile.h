// Audio files: an input file as an AudioSource, and an output file that only appears under its
// name once it is complete. Through libsndfile where the build has it (AudioFile.cpp); the Windows
// build reads and writes WAV files with its own code (AudioFileWav.cpp), the format word keeping
// libsndfile's numbering.
#pragma once

#include <cstdint>
#include <string>

#include "host/AudioSource.h"
#include "host/OutputTarget.h"

#if defined(_WIN32)
namespace kestrune {
struct WavStream;
}
using AudioFileHandle = kestrune::WavStream;
#else
typedef struct sf_private_tag SNDFILE;
using AudioFileHandle = SNDFILE;
#endif

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
  AudioFileHandle* file_ = nullptr;
  int channels_ = 0;
  double sampleRate_ = 0.0;
  std::int64_t frames_ = -1;
};

// The container and sample encoding of an output file, as libsndfile's format word.
struct OutputFormat {
  int sndfile = 0x010006;  // WAV, 32-bit float
  std::string name = "wav";
};

// The format for `path`: `container` (a name of outputFormatNames()) when given, else by the
// extension: .wav, .flac, .aif/.aiff/.aifc, .ogg/.oga (Ogg Vorbis), .opus, .mp3 (where the
// installed libsndfile writes it) and the extension of every other container it writes; no
// extension is WAV. `encoding` ("float", "16", "24") overrides the default: float where the
// container holds it, else 24 then 16 bits (FLAC: 24); the lossy formats have their own.
// Throws HostError for a name or extension it cannot write, naming the formats it can.
OutputFormat chooseOutputFormat(const std::string& path, const std::string& container, const std::string& encoding);
// "wav, flac, aiff, ogg, ...": every format name chooseOutputFormat takes.
std::string outputFormatNames();

// Writes the audio through an OutputTarget: nothing appears under `path` (or in the FIFO or
// device it names) before commit(), and a failure leaves nothing behind.
class OutputFile {
 public:
  OutputFile(const std::string& path, OutputFormat format, int channels, double sampleRate);  // throws HostError
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  void write(const float* interleaved, std::int64_t frames);  // throws HostError
  void commit();                                              // throws HostError
  const std::string& temporaryPath() const { return target_.temporaryPath(); }

 private:
  OutputTarget target_;
  AudioFileHandle* file_ = nullptr;
  int channels_ = 0;
#if !defined(_WIN32)
  friend struct OutputFileIo;
  int writeError_ = 0;  // the system's error number of the first write that failed
  [[noreturn]] void failWriting();
#endif
};

}  // namespace kestrune
