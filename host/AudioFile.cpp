#include "host/AudioFile.h"

#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <vector>

#include "host/HostError.h"

namespace kestrune {
namespace {

std::string lowerExtension(const std::string& path) {
  std::string ext = std::filesystem::path(path).extension().string();
  std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
  return ext;
}

// Formats by name: the ones users ask for by their usual names, then every other container the
// installed library writes, by its own extension.
struct TKnownFormat {
  const char* name;
  const char* description;
  int container;
  int encoding;  // the default; 0: the best of float, 24 and 16 bits the container takes
  std::vector<std::string> extensions;
};

bool writable(int format) {
  SF_INFO info{};
  info.channels = 2;
  info.samplerate = 48000;
  info.format = format;
  return sf_format_check(&info) != 0;
}

int bestEncoding(int container) {
  for (int encoding : {SF_FORMAT_FLOAT, SF_FORMAT_PCM_24, SF_FORMAT_PCM_16})
    if (writable(container | encoding)) return encoding;
  int count = 0;
  sf_command(nullptr, SFC_GET_FORMAT_SUBTYPE_COUNT, &count, sizeof count);
  for (int i = 0; i < count; ++i) {
    SF_FORMAT_INFO subtype{};
    subtype.format = i;
    if (sf_command(nullptr, SFC_GET_FORMAT_SUBTYPE, &subtype, sizeof subtype) == 0 &&
        writable(container | subtype.format))
      return subtype.format;
  }
  return 0;
}

const std::vector<TKnownFormat>& knownFormats() {
  static const std::vector<TKnownFormat> formats = [] {
    std::vector<TKnownFormat> list = {
        {"wav", "WAV", SF_FORMAT_WAV, 0, {".wav", ".wave"}},
        {"flac", "FLAC", SF_FORMAT_FLAC, SF_FORMAT_PCM_24, {".flac"}},
        {"aiff", "AIFF", SF_FORMAT_AIFF, 0, {".aif", ".aiff", ".aifc"}},
        {"ogg", "Ogg Vorbis", SF_FORMAT_OGG, SF_FORMAT_VORBIS, {".ogg", ".oga"}},
        {"opus", "Opus", SF_FORMAT_OGG, SF_FORMAT_OPUS, {".opus"}},
        {"mp3", "MP3", SF_FORMAT_MPEG, SF_FORMAT_MPEG_LAYER_III, {".mp3"}},
    };
    std::erase_if(list, [](const TKnownFormat& f) { return !writable(f.container | f.encoding) && f.encoding != 0; });
    int count = 0;
    sf_command(nullptr, SFC_GET_FORMAT_MAJOR_COUNT, &count, sizeof count);
    for (int i = 0; i < count; ++i) {
      SF_FORMAT_INFO major{};
      major.format = i;
      if (sf_command(nullptr, SFC_GET_FORMAT_MAJOR, &major, sizeof major) != 0 || !major.extension) continue;
      const std::string extension = std::string(".") + major.extension;
      bool taken = false;
      for (const TKnownFormat& f : list)
        taken |= f.container == major.format ||
                 std::find(f.extensions.begin(), f.extensions.end(), extension) != f.extensions.end();
      if (taken || bestEncoding(major.format) == 0) continue;
      list.push_back({major.extension, major.name, major.format, 0, {extension}});
    }
    return list;
  }();
  return formats;
}

// libsndfile's text without its "Error : " or "System error : " head and closing full stop, as the
// tail of our own "cannot read/write '<path>': " line.
std::string libraryText(std::string_view text) {
  for (std::string_view head : {"System error : ", "Error : "})
    if (text.substr(0, head.size()) == head) text.remove_prefix(head.size());
  if (text.size() > 1 && text.back() == '.') text.remove_suffix(1);
  return std::string(text);
}

std::string reason(SNDFILE* file) { return libraryText(sf_strerror(file)); }

std::string formatNames() {
  std::string names;
  for (const TKnownFormat& f : knownFormats()) names += (names.empty() ? "" : ", ") + std::string(f.name);
  return names;
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
  if (file_ == nullptr) throw HostError("cannot read '" + path + "': " + reason(nullptr));
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
    throw HostError("cannot read '" + path_ + "': " + reason(file_));
  return got;
}

OutputFormat chooseOutputFormat(const std::string& path, const std::string& container, const std::string& encoding) {
  const TKnownFormat* chosen = nullptr;
  for (const TKnownFormat& f : knownFormats()) {
    if (!container.empty()
            ? container == f.name
            : std::find(f.extensions.begin(), f.extensions.end(), lowerExtension(path)) != f.extensions.end())
      chosen = &f;
    if (chosen) break;
  }
  if (!chosen && container.empty() && lowerExtension(path).empty()) chosen = &knownFormats().front();
  if (!chosen) {
    // Appended piece by piece: a prefix literal plus a temporary trips a false -Wrestrict of GCC 12.
    std::string asked = "'";
    asked += container.empty() ? lowerExtension(path) + "' files" : container + "'";
    throw HostError("cannot write " + asked + "; the formats are " + formatNames() + " (choose one with --format)");
  }
  OutputFormat format;
  format.name = chosen->name;
  int subtype = chosen->encoding != 0 ? chosen->encoding : bestEncoding(chosen->container);
  if (!encoding.empty()) {
    const int asked = encoding == "float" ? SF_FORMAT_FLOAT
                      : encoding == "16"  ? SF_FORMAT_PCM_16
                      : encoding == "24"  ? SF_FORMAT_PCM_24
                                          : 0;
    if (asked == 0) throw HostError("unknown sample encoding '" + encoding + "' (float, 16 or 24)");
    if (!writable(chosen->container | asked))
      throw HostError(std::string(chosen->description) + " cannot hold " +
                      (asked == SF_FORMAT_FLOAT ? "float" : encoding + "-bit") + " samples");
    subtype = asked;
  }
  format.sndfile = chosen->container | subtype;
  return format;
}

std::string outputFormatNames() { return formatNames(); }

// The output is written through these rather than through the descriptor itself, so that a failed
// write is always known, with the system's reason: some encoders ignore what their writes return
// (an MP3 cut short by a full disk was reported as written) and others report only "Unspecified
// internal error". A failed write is answered as done and OutputFile checks writeError_ after each
// call instead: a failure while opening makes the library give up without releasing its encoder.
struct OutputFileIo {
  static OutputFile& of(void* user) { return *static_cast<OutputFile*>(user); }
  static int fd(void* user) { return of(user).target_.descriptor(); }

  static sf_count_t length(void* user) {
    struct stat info {};
    return fstat(fd(user), &info) == 0 ? info.st_size : -1;
  }
  static sf_count_t seek(sf_count_t offset, int whence, void* user) { return lseek(fd(user), offset, whence); }
  static sf_count_t tell(void* user) { return lseek(fd(user), 0, SEEK_CUR); }
  static sf_count_t read(void* bytes, sf_count_t count, void* user) {
    const ssize_t got = ::read(fd(user), bytes, static_cast<std::size_t>(count));
    return got < 0 ? 0 : got;
  }
  static sf_count_t write(const void* bytes, sf_count_t count, void* user) {
    OutputFile& file = of(user);
    if (file.writeError_ == 0) file.writeError_ = file.target_.tryWrite(bytes, static_cast<std::size_t>(count));
    return count;
  }
};

OutputFile::OutputFile(const std::string& path, OutputFormat format, int channels, double sampleRate)
    : target_(path), channels_(channels) {
  SF_INFO info{};
  info.channels = channels;
  info.samplerate = static_cast<int>(sampleRate);
  info.format = format.sndfile;
  if (sf_format_check(&info) == 0)
    target_.fail("that format cannot hold " + std::to_string(channels) + " channels at " +
                 std::to_string(info.samplerate) + " Hz");
  static SF_VIRTUAL_IO io = {OutputFileIo::length, OutputFileIo::seek, OutputFileIo::read, OutputFileIo::write,
                             OutputFileIo::tell};
  file_ = sf_open_virtual(&io, SFM_WRITE, &info, this);
  if (file_ != nullptr && writeError_ != 0) {
    sf_close(file_);  // no destructor runs for a constructor that throws
    file_ = nullptr;
  }
  if (file_ == nullptr) failWriting();
  // Integer formats clip out-of-range samples instead of wrapping them around.
  sf_command(file_, SFC_SET_CLIPPING, nullptr, SF_TRUE);
}

OutputFile::~OutputFile() {
  if (file_ != nullptr) sf_close(file_);
}

void OutputFile::failWriting() {
  if (writeError_ != 0) target_.fail(std::strerror(writeError_));
  target_.fail(reason(file_));
}

void OutputFile::write(const float* interleaved, std::int64_t frames) {
  if (sf_writef_float(file_, interleaved, frames) != frames || writeError_ != 0) failWriting();
}

void OutputFile::commit() {
  const int closed = sf_close(file_);
  file_ = nullptr;
  if (writeError_ != 0) failWriting();
  if (closed != 0) target_.fail(libraryText(sf_error_number(closed)));
  target_.commit();
}

}  // namespace kestrune
