#pragma once
// Stored image data ("Data" of an image): an uncompressed payload (16-bit width, 16-bit height,
// then the pixels as held in memory), optionally wrapped in a container that starts with "DIBCMP",
// names its codec by GUID and records the payload length. Also the codec interface and registry.
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "DIB/Source/DIBStream.h"

class TAbstractSuperDIB;

// A GUID as stored: 32-bit, 16-bit and 16-bit little-endian groups, then 8 bytes in order.
struct TDIBGUID {
  std::uint32_t D1 = 0;
  std::uint16_t D2 = 0;
  std::uint16_t D3 = 0;
  std::array<std::uint8_t, 8> D4{};

  bool operator==(const TDIBGUID&) const = default;

  // Registry text: braces, upper-case hexadecimal, e.g. "{BC0C10FC-E045-41E7-A37C-B86AF21320B8}".
  std::string ToString() const;
  // Parses registry text (either case); false when the text is not a GUID.
  static bool FromString(const std::string& text, TDIBGUID& guid);
  std::array<std::uint8_t, 16> ToBytes() const;
  static TDIBGUID FromBytes(const std::uint8_t* bytes);
};

class TAbstractDIBCompressor {
 public:
  virtual ~TAbstractDIBCompressor() = default;

  virtual TDIBGUID GetGUID() const = 0;
  // True when this codec decodes data marked with guid.
  virtual bool AcceptsGUID(const TDIBGUID& guid) const = 0;
  // Compresses sourceLength bytes into target (room for sourceLength bytes). Answers the length
  // written, or 0 when the result would not be smaller or the codec failed.
  virtual std::uint32_t Compress(const TAbstractSuperDIB* image, const std::uint8_t* source, std::uint32_t sourceLength,
                                 std::uint8_t* target) = 0;
  // Fills target with uncompressedLength bytes decoded from compressedLength bytes of source.
  // handled = true means the codec has loaded the image itself and the payload must not be parsed.
  // Whatever the compressed bytes are, nothing outside the two blocks is touched.
  virtual void Decompress(TAbstractSuperDIB* image, const TDIBGUID& guid, bool& handled,
                          std::uint32_t uncompressedLength, std::uint32_t compressedLength, std::uint8_t* target,
                          const std::uint8_t* source) = 0;
  virtual std::string GetName() const = 0;
  virtual std::string GetDescription() const { return "No information supplied"; }
  virtual std::string GetAuthor() const { return "No information supplied"; }
  virtual std::string GetEmail() const { return {}; }
  virtual std::string GetURL() const { return {}; }
};

// The registry holds the standard codecs (run-length, then LZH) from first use on and owns every
// registered codec for the life of the library. Not thread-safe: user-interface thread only.
void RegisterCompressor(std::unique_ptr<TAbstractDIBCompressor> codec);
// Searches from the last registered codec to the first; nullptr when no GUID text equals guidText
// exactly (case-sensitive).
TAbstractDIBCompressor* FindCompressor(const std::string& guidText);
// The codec used when data is saved; nullptr (the initial state) stores payloads uncompressed.
TAbstractDIBCompressor* ActiveCompressor();
void SetActiveCompressor(TAbstractDIBCompressor* codec);

// Writes the "Data" bytes for the payload from source's position to its end: a container when the
// active codec makes it smaller, else the payload unchanged.
void CompressStream(const TAbstractSuperDIB* image, TDIBStream& source, TDIBStream& target);
// Writes the payload held in the "Data" bytes from source's position to its end. Fails with
// EDIBCompressError when no codec accepts the container's GUID or when its declared length is more
// than its codec output could ever hold. handled reports that the codec loaded the image itself.
void DecompressStream(TAbstractSuperDIB* image, TDIBStream& source, TDIBStream& target, bool& handled);

// The "Data" writer and reader of an image. DIBSaveData writes nothing for an image without pixels.
// DIBLoadData ignores an empty stream and fails with EDIBError when the payload is shorter than the
// pixels it declares; the image is left unchanged on failure.
void DIBSaveData(const TAbstractSuperDIB& image, TDIBStream& target);
void DIBLoadData(TAbstractSuperDIB& image, TDIBStream& source);
