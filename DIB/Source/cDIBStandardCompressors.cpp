#include "DIB/Source/cDIBStandardCompressors.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "DIB/Source/DIBErrors.h"
#include "DIB/Source/DIBLZH.h"

namespace {

const char* const kAuthor = "KestruneEn developers";
const char* const kEmail = "dev@kestrune.invalid";
const char* const kURL = "https://kestrune.invalid/";

// An LZH stream reader/writer over two fixed blocks. Writes past the target's room are refused, so
// an encoder that would not fit fails instead of overrunning.
class TLZHBlocks : public TAbstractLZH {
 public:
  TLZHBlocks(const std::uint8_t* in, std::size_t inLength, std::uint8_t* out, std::size_t outRoom)
      : FIn(in), FInLength(inLength), FOut(out), FOutRoom(outRoom) {}
  std::size_t Written() const { return FOutPos; }

 protected:
  std::size_t ReadBytes(void* buffer, std::size_t count) override {
    const std::size_t n = std::min(count, FInLength - FInPos);
    if (n != 0) std::memcpy(buffer, FIn + FInPos, n);
    FInPos += n;
    return n;
  }
  std::size_t WriteBytes(const void* buffer, std::size_t count) override {
    const std::size_t n = std::min(count, FOutRoom - FOutPos);
    if (n != 0) std::memcpy(FOut + FOutPos, buffer, n);
    FOutPos += n;
    return n;
  }

 private:
  const std::uint8_t* FIn;
  std::size_t FInLength;
  std::size_t FInPos = 0;
  std::uint8_t* FOut;
  std::size_t FOutRoom;
  std::size_t FOutPos = 0;
};

}  // namespace

void DIBShuffle4(const std::uint8_t* source, std::uint8_t* target, std::uint32_t length) {
  const std::uint32_t groups = length / 4;
  for (std::uint32_t g = 0; g < groups; ++g) {
    target[g] = source[4 * g];
    target[groups + g] = source[4 * g + 1];
    target[2 * groups + g] = source[4 * g + 2];
    target[3 * groups + g] = source[4 * g + 3];
  }
  std::fill(target + 4 * groups, target + length, std::uint8_t{0});
}

void DIBUnshuffle4(const std::uint8_t* source, std::uint8_t* target, std::uint32_t length) {
  const std::uint32_t groups = length / 4;
  for (std::uint32_t g = 0; g < groups; ++g) {
    target[4 * g] = source[g];
    target[4 * g + 1] = source[groups + g];
    target[4 * g + 2] = source[2 * groups + g];
    target[4 * g + 3] = source[3 * groups + g];
  }
  std::fill(target + 4 * groups, target + length, std::uint8_t{0});
}

// {CABA9056-7349-43A4-B010-3764FBFAC230}
const TDIBGUID TRLEDIBCompressor::GUID{0xCABA9056, 0x7349, 0x43A4, {0xB0, 0x10, 0x37, 0x64, 0xFB, 0xFA, 0xC2, 0x30}};

bool TRLEDIBCompressor::AcceptsGUID(const TDIBGUID& guid) const { return guid.ToString() == GUID.ToString(); }

std::uint32_t TRLEDIBCompressor::Compress(const TAbstractSuperDIB*, const std::uint8_t* source,
                                          std::uint32_t sourceLength, std::uint8_t* target) {
  if (sourceLength == 0) return 0;
  std::vector<std::uint8_t> shuffled(sourceLength);
  DIBShuffle4(source, shuffled.data(), sourceLength);
  // At most length div 2 pairs, so the output is never longer than the input.
  const std::uint32_t budget = sourceLength / 2;
  std::uint32_t pairs = 0;
  std::uint32_t i = 0;
  while (i < sourceLength) {
    if (pairs == budget) return 0;
    const std::uint8_t value = shuffled[i];
    std::uint32_t run = 1;
    while (run < 255 && i + run < sourceLength && shuffled[i + run] == value) ++run;
    target[2 * pairs] = static_cast<std::uint8_t>(run);
    target[2 * pairs + 1] = value;
    ++pairs;
    i += run;
  }
  return 2 * pairs;
}

void TRLEDIBCompressor::Decompress(TAbstractSuperDIB*, const TDIBGUID&, bool& handled, std::uint32_t uncompressedLength,
                                   std::uint32_t compressedLength, std::uint8_t* target, const std::uint8_t* source) {
  handled = false;
  if (uncompressedLength == 0) return;  // target may be no block at all
  // A short expansion leaves the rest zero; an overlong one is cut at the uncompressed length.
  std::vector<std::uint8_t> expanded(uncompressedLength);
  std::uint32_t o = 0;
  const std::uint32_t pairs = compressedLength / 2;
  for (std::uint32_t p = 0; p < pairs && o < uncompressedLength; ++p) {
    const std::uint32_t n = std::min<std::uint32_t>(source[2 * p], uncompressedLength - o);
    std::memset(expanded.data() + o, source[2 * p + 1], n);
    o += n;
  }
  DIBUnshuffle4(expanded.data(), target, uncompressedLength);
}

std::string TRLEDIBCompressor::GetName() const { return "Shuffle4 RLE"; }

std::string TRLEDIBCompressor::GetDescription() const {
  return "Shuffle4 RLE\r\n\r\nShuffles the RGBA values from\r\nRGBA,RGBA,RGBA,RGBA to\r\nRRRR,GGGG,BBBB,AAAA\r\n"
         "in order to create higher repitition,\r\nand then performs a simple RLE compression";
}

std::string TStandardDIBCompressor::GetAuthor() const { return kAuthor; }
std::string TStandardDIBCompressor::GetEmail() const { return kEmail; }
std::string TStandardDIBCompressor::GetURL() const { return kURL; }

// {BC0C10FC-E045-41E7-A37C-B86AF21320B8}
const TDIBGUID TLZHDIBCompressor::GUID{0xBC0C10FC, 0xE045, 0x41E7, {0xA3, 0x7C, 0xB8, 0x6A, 0xF2, 0x13, 0x20, 0xB8}};

bool TLZHDIBCompressor::AcceptsGUID(const TDIBGUID& guid) const { return guid.ToString() == GUID.ToString(); }

std::uint32_t TLZHDIBCompressor::Compress(const TAbstractSuperDIB*, const std::uint8_t* source,
                                          std::uint32_t sourceLength, std::uint8_t* target) {
  // The encoder refuses on its own once its bit stream passes the input length; the size field
  // on top of that is what the target's room (sourceLength) still has to hold.
  TLZHBlocks lzh(source, sourceLength, target, sourceLength);
  try {
    lzh.Encode(sourceLength);
  } catch (const std::exception&) {
    return 0;
  }
  return static_cast<std::uint32_t>(lzh.Written());
}

void TLZHDIBCompressor::Decompress(TAbstractSuperDIB*, const TDIBGUID&, bool& handled, std::uint32_t uncompressedLength,
                                   std::uint32_t compressedLength, std::uint8_t* target, const std::uint8_t* source) {
  handled = false;
  if (uncompressedLength == 0) return;  // target may be no block at all
  // Only the first uncompressedLength bytes are kept, so decoding stops there; a stream that
  // declares less leaves the rest zero.
  std::memset(target, 0, uncompressedLength);
  TLZHBlocks lzh(source, compressedLength, target, uncompressedLength);
  lzh.Decode(uncompressedLength);
}

std::string TLZHDIBCompressor::GetName() const { return "DIB LZH"; }

std::string TLZHDIBCompressor::GetDescription() const {
  return "Uses LZH compression to compress the graphics,\r\nCompression is slow, decompression is not so slow, "
         "but the savings in size are very large.";
}

void RegisterStandardCompressors() {
  RegisterCompressor(std::make_unique<TRLEDIBCompressor>());
  RegisterCompressor(std::make_unique<TLZHDIBCompressor>());
}
