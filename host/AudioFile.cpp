#include "host/AudioFile.h"

#include <signal.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <vector>

#include "host/HostError.h"

namespace kestrune {
namespace {

// The temporary output of the render in progress, for the signal handler (async-signal-safe use only).
char interruptedTempPath[4096];
volatile std::sig_atomic_t haveTempPath = 0;

void onInterrupt(int signal) {
  if (haveTempPath != 0) unlink(interruptedTempPath);
  std::signal(signal, SIG_DFL);
  std::raise(signal);
}

void rememberTempPath(const std::string& path) {
  haveTempPath = 0;
  if (path.size() >= sizeof interruptedTempPath) return;
  std::memcpy(interruptedTempPath, path.c_str(), path.size() + 1);
  haveTempPath = 1;
}

std::string lowerExtension(const std::string& path) {
  std::string ext = std::filesystem::path(path).extension().string();
  std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
  return ext;
}

int libsndfileFormat(OutputFormat format) {
  int major = SF_FORMAT_WAV;
  if (format.container == OutputFormat::Container::Flac) major = SF_FORMAT_FLAC;
  if (format.container == OutputFormat::Container::Aiff) major = SF_FORMAT_AIFF;
  int minor = SF_FORMAT_FLOAT;
  if (format.encoding == OutputFormat::Encoding::Pcm16) minor = SF_FORMAT_PCM_16;
  if (format.encoding == OutputFormat::Encoding::Pcm24) minor = SF_FORMAT_PCM_24;
  return major | minor;
}

}  // namespace

InputFile::InputFile(const std::string& path) : path_(path) {
  // The system's own reason reads better than the library's wrapping of it.
  if (FILE* probe = std::fopen(path.c_str(), "rb"))
    std::fclose(probe);
  else
    throw HostError("cannot read '" + path + "': " + std::strerror(errno));
  if (std::filesystem::is_directory(path)) throw HostError("cannot read '" + path + "': it is a folder");
  SF_INFO info{};
  file_ = sf_open(path.c_str(), SFM_READ, &info);
  if (file_ == nullptr) throw HostError("cannot read '" + path + "': " + sf_strerror(nullptr));
  if (info.channels < 1 || info.channels > 1024 || info.samplerate < 1 || info.samplerate > 10'000'000) {
    sf_close(file_);
    throw HostError("cannot read '" + path + "': " + std::to_string(info.channels) + " channels at " +
                    std::to_string(info.samplerate) + " Hz is not a usable format");
  }
  channels_ = info.channels;
  sampleRate_ = info.samplerate;
  if (info.frames >= 0 && info.frames != SF_COUNT_MAX) frames_ = info.frames;
}

InputFile::~InputFile() { sf_close(file_); }

std::int64_t InputFile::read(float* interleaved, std::int64_t frames) {
  const sf_count_t got = sf_readf_float(file_, interleaved, frames);
  if (got < frames && sf_error(file_) != SF_ERR_NO_ERROR)
    throw HostError("cannot read '" + path_ + "': " + sf_strerror(file_));
  return got;
}

OutputFormat chooseOutputFormat(const std::string& path, const std::string& container, const std::string& encoding) {
  OutputFormat format;
  std::string kind = container;
  if (kind.empty()) {
    const std::string ext = lowerExtension(path);
    kind = ext == ".flac" ? "flac" : (ext == ".aif" || ext == ".aiff" || ext == ".aifc") ? "aiff" : "wav";
  }
  if (kind == "wav") {
    format.container = OutputFormat::Container::Wav;
  } else if (kind == "flac") {
    format.container = OutputFormat::Container::Flac;
    format.encoding = OutputFormat::Encoding::Pcm24;
  } else if (kind == "aiff") {
    format.container = OutputFormat::Container::Aiff;
  } else {
    throw HostError("unknown output format '" + container + "' (wav, flac or aiff)");
  }
  if (encoding == "float") {
    if (format.container == OutputFormat::Container::Flac)
      throw HostError("FLAC cannot hold float samples; use 16 or 24");
    format.encoding = OutputFormat::Encoding::Float;
  } else if (encoding == "16") {
    format.encoding = OutputFormat::Encoding::Pcm16;
  } else if (encoding == "24") {
    format.encoding = OutputFormat::Encoding::Pcm24;
  } else if (!encoding.empty()) {
    throw HostError("unknown sample encoding '" + encoding + "' (float, 16 or 24)");
  }
  return format;
}

OutputFile::OutputFile(const std::string& path, OutputFormat format, int channels, double sampleRate)
    : path_(path), channels_(channels) {
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) throw HostError("cannot write '" + path + "': it is a folder");
  const std::filesystem::path target(path);
  const std::filesystem::path folder = target.has_parent_path() ? target.parent_path() : std::filesystem::path(".");
  // Hidden, beside the target so that the final rename stays within one file system.
  std::string name = ".";
  name += target.filename().string();
  name += ".kestrune-XXXXXX";
  std::string pattern = (folder / name).string();
  // An interruption between creating the file and noting its name would leave it behind.
  sigset_t interrupts, previous;
  sigemptyset(&interrupts);
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&interrupts, signal);
  sigprocmask(SIG_BLOCK, &interrupts, &previous);
  const int fd = mkstemp(pattern.data());
  const int error = errno;
  if (fd >= 0) rememberTempPath(pattern);
  sigprocmask(SIG_SETMASK, &previous, nullptr);
  if (fd < 0) throw HostError("cannot write '" + path + "': " + std::strerror(error));
  tempPath_ = pattern;
  // mkstemp creates the file private; the finished output gets the usual permissions.
  const mode_t mask = umask(0);
  umask(mask);
  fchmod(fd, 0666 & ~mask);

  SF_INFO info{};
  info.channels = channels;
  info.samplerate = static_cast<int>(sampleRate);
  info.format = libsndfileFormat(format);
  if (sf_format_check(&info) == 0) {
    close(fd);
    discard();
    throw HostError("cannot write '" + path + "': that format cannot hold " + std::to_string(channels) +
                    " channels at " + std::to_string(info.samplerate) + " Hz");
  }
  file_ = sf_open_fd(fd, SFM_WRITE, &info, SF_TRUE);
  if (file_ == nullptr) {
    close(fd);
    discard();
    throw HostError("cannot write '" + path + "': " + sf_strerror(nullptr));
  }
  // Integer formats clip out-of-range samples instead of wrapping them around.
  sf_command(file_, SFC_SET_CLIPPING, nullptr, SF_TRUE);
}

OutputFile::~OutputFile() {
  if (!committed_) discard();
}

void OutputFile::write(const float* interleaved, std::int64_t frames) {
  if (sf_writef_float(file_, interleaved, frames) != frames)
    throw HostError("cannot write '" + path_ + "': " + sf_strerror(file_));
}

void OutputFile::commit() {
  const int closed = sf_close(file_);
  file_ = nullptr;
  if (closed != 0) throw HostError("cannot write '" + path_ + "': " + sf_error_number(closed));
  if (std::rename(tempPath_.c_str(), path_.c_str()) != 0)
    throw HostError("cannot write '" + path_ + "': " + std::strerror(errno));
  committed_ = true;
  haveTempPath = 0;
}

void OutputFile::discard() {
  if (file_ != nullptr) sf_close(file_);
  file_ = nullptr;
  if (!tempPath_.empty()) unlink(tempPath_.c_str());
  haveTempPath = 0;
}

void installInterruptCleanup() {
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) std::signal(signal, onInterrupt);
}

}  // namespace kestrune
