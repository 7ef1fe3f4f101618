#include "tools/imagetool/ImageFiles.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <limits>
#include <stdexcept>

#include "DIB/Source/DIBLZH.h"
#include "DIB/Source/DIBStream.h"
#include "DIB/Source/cDIB.h"
#include "DIB/Source/cDIBCompressor.h"
#include "DIB/Source/cDIBStandardCompressors.h"
#include "host/OutputTarget.h"
#include "platform/Picture.h"

namespace imagetool {

namespace {

constexpr std::uint64_t kMaxFile = std::uint64_t{1} << 30;

// Makes `codec` the active one for the lifetime of the scope.
class TActiveCodec {
 public:
  explicit TActiveCodec(TCodec codec) : FPrevious(ActiveCompressor()) {
    switch (codec) {
      case TCodec::None: SetActiveCompressor(nullptr); break;
      case TCodec::RLE: SetActiveCompressor(FindCompressor(TRLEDIBCompressor::GUID.ToString())); break;
      case TCodec::LZH: SetActiveCompressor(FindCompressor(TLZHDIBCompressor::GUID.ToString())); break;
    }
  }
  ~TActiveCodec() { SetActiveCompressor(FPrevious); }
  TActiveCodec(const TActiveCodec&) = delete;
  TActiveCodec& operator=(const TActiveCodec&) = delete;

 private:
  TAbstractDIBCompressor* FPrevious;
};

}  // namespace

TCodec ParseCodec(const std::string& name) {
  if (name == "lzh") return TCodec::LZH;
  if (name == "rle") return TCodec::RLE;
  if (name == "none") return TCodec::None;
  throw std::runtime_error("unknown codec '" + name + "' (lzh, rle or none)");
}

Bytes ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  if (!in) throw std::runtime_error("cannot open " + path + ": " + std::strerror(errno));
  const std::streamoff size = in.tellg();
  if (size < 0 || static_cast<std::uint64_t>(size) > kMaxFile)
    throw std::runtime_error("cannot read " + path + ": not a regular file of at most 1 GiB");
  Bytes bytes(static_cast<std::size_t>(size));
  in.seekg(0);
  if (!in.read(reinterpret_cast<char*>(bytes.data()), size)) throw std::runtime_error("cannot read " + path);
  return bytes;
}

void WriteFile(const std::string& path, const Bytes& bytes) {
  kestrune::OutputTarget target(path);
  target.write(bytes.data(), bytes.size());
  target.commit();
}

Bytes PackPicture(const Bytes& picture, TCodec codec, bool* hasAlpha) {
  plat::Picture pic;
  if (const plat::Status status = plat::LoadPictureFromMemory(picture.data(), picture.size(), &pic);
      status != plat::Status::Ok)
    throw std::runtime_error(std::string("cannot load the picture: ") + plat::StatusText(status));
  if (hasAlpha) *hasAlpha = pic.hasAlpha;
  TMemoryDIB image;
  image.SetSize(pic.width, pic.height);
  std::memcpy(image.Bits(), pic.pixels.data(), std::size_t(pic.width) * pic.height * 4);
  TActiveCodec active(codec);
  TDIBMemoryStream data;
  DIBSaveData(image, data);
  return data.TakeBytes();
}

std::vector<std::string> DescribeSettings(const TDrawSettings& settings, bool pictureHasAlpha) {
  const bool transparent = settings.Transparent || !settings.Key.empty();
  if (settings.Masked && transparent) throw std::runtime_error("an image is drawn either masked or colour keyed");
  if (settings.Masked && !pictureHasAlpha)
    throw std::runtime_error("the picture has no alpha channel to draw it masked with");
  std::vector<std::string> lines = {std::string("DIB.Masked = ") + (settings.Masked ? "True" : "False"),
                                    std::string("DIB.Transparent = ") + (transparent ? "True" : "False")};
  if (!settings.Key.empty()) {
    // "#RRGGBB" as designers write colours, or "$00BBGGRR" as descriptions do.
    const std::string& key = settings.Key;
    const bool hash = key.size() == 7 && key[0] == '#';
    const bool dollar = key.size() == 9 && key[0] == '$';
    std::uint32_t value = 0;
    bool ok = hash || dollar;
    for (std::size_t i = 1; ok && i < key.size(); ++i) {
      const char c = key[i];
      const int digit = c >= '0' && c <= '9'   ? c - '0'
                        : c >= 'a' && c <= 'f' ? c - 'a' + 10
                        : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                               : -1;
      ok = digit >= 0;
      value = value << 4 | static_cast<std::uint32_t>(digit < 0 ? 0 : digit);
    }
    if (!ok || (dollar && value > 0xFFFFFFu))
      throw std::runtime_error("bad key colour '" + key + "': expected #RRGGBB or $00BBGGRR");
    if (hash) value = (value & 0xFF) << 16 | (value & 0xFF00) | (value >> 16 & 0xFF);
    char text[16];
    std::snprintf(text, sizeof text, "$%08X", static_cast<unsigned>(value));
    lines.push_back(std::string("DIB.TransparentColor = ") + text);
    lines.push_back("DIB.TransparentMode = tmFixed");
  }
  return lines;
}

namespace {

// The width and height a "Data" block declares, read without decoding its pixels where the codec
// allows (a bare payload, LZH); false where only decoding the whole payload tells.
bool DeclaredSize(const Bytes& data, std::uint64_t* payloadLength, int* width, int* height) {
  Bytes head;
  if (data.size() >= 26 && std::memcmp(data.data(), "DIBCMP", 6) == 0) {
    if (TDIBGUID::FromBytes(data.data() + 6).ToString() != TLZHDIBCompressor::GUID.ToString()) return false;
    *payloadLength = std::uint64_t(data[22]) | std::uint64_t(data[23]) << 8 | std::uint64_t(data[24]) << 16 |
                     std::uint64_t(data[25]) << 24;
    head.assign(4, 0);
    TLZHDIBCompressor lzh;
    bool handled = false;
    lzh.Decompress(nullptr, TLZHDIBCompressor::GUID, handled, 4, static_cast<std::uint32_t>(data.size() - 26),
                   head.data(), data.data() + 26);
  } else {
    *payloadLength = data.size();
    head.assign(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(std::min<std::size_t>(4, data.size())));
  }
  if (*payloadLength < 4 || head.size() < 4) return false;
  *width = head[0] | head[1] << 8;
  *height = head[2] | head[3] << 8;
  return true;
}

}  // namespace

Bytes UnpackPicture(const Bytes& data, int* width, int* height) {
  // A size the payload cannot hold is refused before the payload is decoded.
  std::uint64_t payloadLength = 0;
  int declaredWidth = 0, declaredHeight = 0;
  if (DeclaredSize(data, &payloadLength, &declaredWidth, &declaredHeight) &&
      std::uint64_t(declaredWidth) * std::uint64_t(declaredHeight) * 4 + 4 > payloadLength)
    throw std::runtime_error("the data block declares " + std::to_string(declaredWidth) + " x " +
                             std::to_string(declaredHeight) + " pixels, more than its " +
                             std::to_string(payloadLength) + " bytes of payload hold");
  TMemoryDIB image;
  TDIBMemoryStream in(data.data(), data.size());
  DIBLoadData(image, in);
  if (!image.Bits()) throw std::runtime_error("the data block is empty");
  Bytes png;
  if (const plat::Status status = plat::EncodePng(image.Bits(), image.Width(), image.Height(), true, &png);
      status != plat::Status::Ok)
    throw std::runtime_error(std::string("cannot write the picture: ") + plat::StatusText(status));
  if (width) *width = image.Width();
  if (height) *height = image.Height();
  return png;
}

Bytes EncodeData(const Bytes& payload, TCodec codec) {
  TActiveCodec active(codec);
  TDIBMemoryStream in(payload.data(), payload.size()), out;
  CompressStream(nullptr, in, out);
  return out.TakeBytes();
}

Bytes DecodeData(const Bytes& data) {
  TDIBMemoryStream in(data.data(), data.size()), out;
  bool handled = false;
  DecompressStream(nullptr, in, out, handled);
  return out.TakeBytes();
}

Bytes LZHEncode(const Bytes& input) {
  if (input.size() > std::numeric_limits<std::uint32_t>::max()) throw std::runtime_error("input larger than 4 GiB");
  TDIBMemoryStream in(input.data(), input.size()), out;
  TLZHStream(in, out).Encode(static_cast<std::uint32_t>(input.size()));
  return out.TakeBytes();
}

Bytes LZHDecode(const Bytes& stream) {
  std::uint32_t declared = 0;
  for (std::size_t i = 0; i < 4 && i < stream.size(); ++i) declared |= std::uint32_t(stream[i]) << (8 * i);
  if (declared > TAbstractLZH::MaxDecodedSize(stream.size()))
    throw std::runtime_error("the stream declares " + std::to_string(declared) + " bytes, more than " +
                             std::to_string(stream.size()) + " bytes of LZH can hold");
  TDIBMemoryStream in(stream.data(), stream.size()), out;
  TLZHStream(in, out).Decode();
  return out.TakeBytes();
}

}  // namespace imagetool
