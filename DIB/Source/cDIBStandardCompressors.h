#pragma once
// The two standard codecs: byte-plane shuffle with run-length coding, and LZH.
#include <cstdint>

#include "DIB/Source/cDIBCompressor.h"

// Byte-plane shuffle over the length div 4 whole groups of four bytes: byte 0 of every group, then
// byte 1 of every group, and so on (for pixels: all blues, greens, reds, alphas). The length mod 4
// trailing bytes of target are set to zero.
void DIBShuffle4(const std::uint8_t* source, std::uint8_t* target, std::uint32_t length);
void DIBUnshuffle4(const std::uint8_t* source, std::uint8_t* target, std::uint32_t length);

// Pairs (count 1..255, value) over the shuffled payload.
// What the standard codecs share: who wrote them and where to find them.
class TStandardDIBCompressor : public TAbstractDIBCompressor {
 public:
  std::string GetAuthor() const override;
  std::string GetEmail() const override;
  std::string GetURL() const override;
};

class TRLEDIBCompressor : public TStandardDIBCompressor {
 public:
  static const TDIBGUID GUID;  // {CABA9056-7349-43A4-B010-3764FBFAC230}

  TDIBGUID GetGUID() const override { return GUID; }
  bool AcceptsGUID(const TDIBGUID& guid) const override;
  std::uint32_t Compress(const TAbstractSuperDIB* image, const std::uint8_t* source, std::uint32_t sourceLength,
                         std::uint8_t* target) override;
  void Decompress(TAbstractSuperDIB* image, const TDIBGUID& guid, bool& handled, std::uint32_t uncompressedLength,
                  std::uint32_t compressedLength, std::uint8_t* target, const std::uint8_t* source) override;
  std::string GetName() const override;
  std::string GetDescription() const override;
};

class TLZHDIBCompressor : public TStandardDIBCompressor {
 public:
  static const TDIBGUID GUID;  // {BC0C10FC-E045-41E7-A37C-B86AF21320B8}

  TDIBGUID GetGUID() const override { return GUID; }
  bool AcceptsGUID(const TDIBGUID& guid) const override;
  std::uint32_t Compress(const TAbstractSuperDIB* image, const std::uint8_t* source, std::uint32_t sourceLength,
                         std::uint8_t* target) override;
  void Decompress(TAbstractSuperDIB* image, const TDIBGUID& guid, bool& handled, std::uint32_t uncompressedLength,
                  std::uint32_t compressedLength, std::uint8_t* target, const std::uint8_t* source) override;
  std::string GetName() const override;
  std::string GetDescription() const override;
};

// Appends one instance of each standard codec to the registry (run-length first, then LZH).
void RegisterStandardCompressors();
