#include "DIB/Source/cDIBCompressor.h"

#include <cstdio>
#include <cstring>
#include <limits>

#include "DIB/Source/DIBErrors.h"
#include "DIB/Source/cDIB.h"
#include "DIB/Source/cDIBStandardCompressors.h"

namespace {

constexpr char kMagic[6] = {'D', 'I', 'B', 'C', 'M', 'P'};
constexpr std::size_t kHeaderSize = 6 + 16 + 4;
const char* const kSource = "DIB/Source/cDIBCompressor";

struct TRegistry {
  std::vector<std::unique_ptr<TAbstractDIBCompressor>> Codecs;
  TAbstractDIBCompressor* Active = nullptr;
  bool Started = false;
};

TRegistry& Registry() {
  static TRegistry registry;
  if (!registry.Started) {
    registry.Started = true;
    RegisterStandardCompressors();
  }
  return registry;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// The payload from source's position to its end as one block: in place for a memory stream.
struct TBlock {
  std::vector<std::uint8_t> Copy;
  const std::uint8_t* Data = nullptr;
  std::uint64_t Length = 0;
};

TBlock ReadRest(TDIBStream& source) {
  TBlock block;
  if (auto* memory = dynamic_cast<TDIBMemoryStream*>(&source)) {
    block.Data = memory->Memory() + memory->Position();
    block.Length = memory->Remaining();
    memory->SetPosition(memory->Size());
    return block;
  }
  TDIBMemoryStream copy;
  copy.CopyFrom(source);
  block.Copy = copy.TakeBytes();
  block.Data = block.Copy.data();
  block.Length = block.Copy.size();
  return block;
}

}  // namespace

std::string TDIBGUID::ToString() const {
  char text[39];
  std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", unsigned(D1), unsigned(D2),
                unsigned(D3), D4[0], D4[1], D4[2], D4[3], D4[4], D4[5], D4[6], D4[7]);
  return text;
}

bool TDIBGUID::FromString(const std::string& text, TDIBGUID& guid) {
  // {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}
  if (text.size() != 38 || text.front() != '{' || text.back() != '}') return false;
  std::uint8_t bytes[16];
  std::size_t n = 0;
  for (std::size_t i = 1; i < 37;) {
    if (i == 9 || i == 14 || i == 19 || i == 24) {
      if (text[i] != '-') return false;
      ++i;
      continue;
    }
    const int hi = HexDigit(text[i]);
    const int lo = HexDigit(text[i + 1]);
    if (hi < 0 || lo < 0) return false;
    bytes[n++] = static_cast<std::uint8_t>(hi << 4 | lo);
    i += 2;
  }
  TDIBGUID g;
  g.D1 = std::uint32_t(bytes[0]) << 24 | std::uint32_t(bytes[1]) << 16 | std::uint32_t(bytes[2]) << 8 | bytes[3];
  g.D2 = static_cast<std::uint16_t>(bytes[4] << 8 | bytes[5]);
  g.D3 = static_cast<std::uint16_t>(bytes[6] << 8 | bytes[7]);
  std::memcpy(g.D4.data(), bytes + 8, 8);
  guid = g;
  return true;
}

std::array<std::uint8_t, 16> TDIBGUID::ToBytes() const {
  std::array<std::uint8_t, 16> b{};
  for (int i = 0; i < 4; ++i) b[i] = static_cast<std::uint8_t>(D1 >> (8 * i));
  b[4] = static_cast<std::uint8_t>(D2);
  b[5] = static_cast<std::uint8_t>(D2 >> 8);
  b[6] = static_cast<std::uint8_t>(D3);
  b[7] = static_cast<std::uint8_t>(D3 >> 8);
  std::memcpy(b.data() + 8, D4.data(), 8);
  return b;
}

TDIBGUID TDIBGUID::FromBytes(const std::uint8_t* b) {
  TDIBGUID g;
  g.D1 = std::uint32_t(b[0]) | std::uint32_t(b[1]) << 8 | std::uint32_t(b[2]) << 16 | std::uint32_t(b[3]) << 24;
  g.D2 = static_cast<std::uint16_t>(b[4] | b[5] << 8);
  g.D3 = static_cast<std::uint16_t>(b[6] | b[7] << 8);
  std::memcpy(g.D4.data(), b + 8, 8);
  return g;
}

void RegisterCompressor(std::unique_ptr<TAbstractDIBCompressor> codec) {
  if (codec) Registry().Codecs.push_back(std::move(codec));
}

TAbstractDIBCompressor* FindCompressor(const std::string& guidText) {
  auto& codecs = Registry().Codecs;
  for (auto it = codecs.rbegin(); it != codecs.rend(); ++it)
    if ((*it)->GetGUID().ToString() == guidText) return it->get();
  return nullptr;
}

TAbstractDIBCompressor* ActiveCompressor() { return Registry().Active; }

void SetActiveCompressor(TAbstractDIBCompressor* codec) { Registry().Active = codec; }

void CompressStream(const TAbstractSuperDIB* image, TDIBStream& source, TDIBStream& target) {
  TAbstractDIBCompressor* codec = ActiveCompressor();
  const TBlock payload = ReadRest(source);
  if (codec && payload.Length > 0 && payload.Length <= std::numeric_limits<std::uint32_t>::max()) {
    const auto length = static_cast<std::uint32_t>(payload.Length);
    std::vector<std::uint8_t> packed(length);
    const std::uint32_t n = codec->Compress(image, payload.Data, length, packed.data());
    if (n > 0) {
      if (n > length) throw EAssertionFailed(kSource);
      const auto guid = codec->GetGUID().ToBytes();
      const std::uint8_t size[4] = {static_cast<std::uint8_t>(length), static_cast<std::uint8_t>(length >> 8),
                                    static_cast<std::uint8_t>(length >> 16), static_cast<std::uint8_t>(length >> 24)};
      target.WriteExact(kMagic, sizeof kMagic);
      target.WriteExact(guid.data(), guid.size());
      target.WriteExact(size, sizeof size);
      target.WriteExact(packed.data(), n);
      return;
    }
  }
  target.WriteExact(payload.Data, static_cast<std::size_t>(payload.Length));
}

void DecompressStream(TAbstractSuperDIB* image, TDIBStream& source, TDIBStream& target, bool& handled) {
  handled = false;
  const std::uint64_t start = source.Position();
  std::uint8_t header[kHeaderSize];
  if (source.Remaining() < kHeaderSize || source.Read(header, kHeaderSize) != kHeaderSize ||
      std::memcmp(header, kMagic, sizeof kMagic) != 0) {
    source.SetPosition(start);
    target.CopyFrom(source);
    return;
  }
  const TDIBGUID guid = TDIBGUID::FromBytes(header + 6);
  const std::uint32_t length = std::uint32_t(header[22]) | std::uint32_t(header[23]) << 8 |
                               std::uint32_t(header[24]) << 16 | std::uint32_t(header[25]) << 24;
  TAbstractDIBCompressor* codec = nullptr;
  auto& codecs = Registry().Codecs;
  for (auto it = codecs.rbegin(); it != codecs.rend() && !codec; ++it)
    if ((*it)->AcceptsGUID(guid)) codec = it->get();
  if (!codec) throw EDIBCompressError("Could not find a suitable decompressor.");
  const TBlock packed = ReadRest(source);
  if (packed.Length > std::numeric_limits<std::uint32_t>::max())
    throw EDIBCompressError("Compressed image data is damaged: " + std::to_string(packed.Length) +
                            " packed bytes are more than any image holds.");
  // Packed bytes cut short decode with the missing bits as zero, so a short block is no error. The
  // allocation stays bounded by the largest payload any image can have (size field and pixels).
  constexpr std::uint64_t kMaxPayload = 4 + 4 * std::uint64_t(DIBMaxPixels);
  if (length > kMaxPayload)
    throw EDIBCompressError("Compressed image data is damaged: it declares " + std::to_string(length) +
                            " bytes, more than any image holds.");
  std::vector<std::uint8_t> payload(length);
  codec->Decompress(image, guid, handled, length, static_cast<std::uint32_t>(packed.Length), payload.data(),
                    packed.Data);
  target.WriteExact(payload.data(), payload.size());
}

void DIBSaveData(const TAbstractSuperDIB& image, TDIBStream& target) {
  if (!image.HasBits() || !image.Bits()) return;
  if (auto* memory = dynamic_cast<const TCustomMemoryDIB*>(&image); memory && !memory->StoreData) return;
  const auto width = static_cast<std::uint32_t>(image.Width());
  const auto height = static_cast<std::uint32_t>(image.Height());
  TDIBMemoryStream payload;
  const std::uint8_t size[4] = {static_cast<std::uint8_t>(width), static_cast<std::uint8_t>(width >> 8),
                                static_cast<std::uint8_t>(height), static_cast<std::uint8_t>(height >> 8)};
  payload.WriteExact(size, sizeof size);
  payload.WriteExact(image.Bits(), std::size_t(width) * height * 4);
  payload.SetPosition(0);
  CompressStream(&image, payload, target);
}

void DIBLoadData(TAbstractSuperDIB& image, TDIBStream& source) {
  if (source.Remaining() == 0) return;
  TDIBMemoryStream payload;
  bool handled = false;
  DecompressStream(&image, source, payload, handled);
  if (!handled) {
    const std::uint8_t* p = payload.Memory();
    const std::uint64_t length = payload.Size();
    if (length < 4) throw EDIBError("Image data is too short: " + std::to_string(length) + " bytes.");
    const int width = p[0] | p[1] << 8;
    const int height = p[2] | p[3] << 8;
    // Checked before the image is touched, so damaged data never sizes it.
    const std::uint64_t declared = std::uint64_t(width) * std::uint64_t(height) * 4;
    if (length - 4 < declared)
      throw EDIBError("Image data is too short: " + std::to_string(width) + " x " + std::to_string(height) +
                      " pixels need " + std::to_string(declared + 4) + " bytes, " + std::to_string(length) + " given.");
    image.SetSize(width, height);  // 0 becomes 1; such an image keeps its cleared pixel
    if (declared != 0 && image.Bits()) std::memcpy(image.Bits(), p + 4, static_cast<std::size_t>(declared));
  }
  image.Changed();
}
