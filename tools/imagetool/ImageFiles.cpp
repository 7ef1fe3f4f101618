#include "tools/imagetool/ImageFiles.h"

#include <cstring>
#include <fstream>
#include <limits>
#include <stdexcept>

#include "DIB/Source/DIBLZH.h"
#include "DIB/Source/DIBStream.h"
#include "DIB/Source/cDIB.h"
#include "DIB/Source/cDIBCompressor.h"
#include "DIB/Source/cDIBStandardCompressors.h"
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
  if (!in) throw std::runtime_error("cannot open " + path);
  const std::streamoff size = in.tellg();
  if (size < 0 || static_cast<std::uint64_t>(size) > kMaxFile)
    throw std::runtime_error("cannot read " + path + ": not a regular file of at most 1 GiB");
  Bytes bytes(static_cast<std::size_t>(size));
  in.seekg(0);
  if (!in.read(reinterpret_cast<char*>(bytes.data()), size)) throw std::runtime_error("cannot read " + path);
  return bytes;
}

void WriteFile(const std::string& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out || !out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size())) ||
      !out.flush())
    throw std::runtime_error("cannot write " + path);
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

Bytes UnpackPicture(const Bytes& data, int* width, int* height) {
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
