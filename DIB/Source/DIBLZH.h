#pragma once
// LZH codec: an LZSS coder over a 4096-byte window whose literals and match lengths share one
// adaptive Huffman code and whose match positions use a fixed prefix code plus six plain bits.
// Stored window descriptions hold streams of this codec, so its output is fixed bit for bit.
//
// Stream layout: the uncompressed size as unsigned 32-bit little-endian, then the bit stream
// (most significant bit first, the last byte padded with zero bits).
#include <cstddef>
#include <cstdint>

class TDIBStream;

class TAbstractLZH {
 public:
  static constexpr int N = 4096;                      // window size
  static constexpr int F = 60;                        // longest match
  static constexpr int THRESHOLD = 2;                 // matches up to this length go out as literals
  static constexpr int NIL = N;                       // empty link in the search trees
  static constexpr int N_CHAR = 256 - THRESHOLD + F;  // 314 symbols
  static constexpr int T = 2 * N_CHAR - 1;            // Huffman tree size
  static constexpr int R = T - 1;                     // Huffman root
  static constexpr unsigned MAX_FREQ = 0x8000;

  // Densest a valid stream can be: a 60-byte match needs at least 10 bits. A declared size beyond
  // this bound for a stream of streamLength bytes (size field included) cannot be genuine.
  static std::uint64_t MaxDecodedSize(std::uint64_t streamLength);

  virtual ~TAbstractLZH() = default;

  // Reads up to inputSize bytes, writes the size field and the bit stream, and answers the number
  // of bytes written after the size field. Fails with ElzhException "Compressed file is larger
  // than the original." as soon as that number would exceed inputSize (so sizes below 4 always
  // fail); bytes already written stay written.
  std::uint32_t Encode(std::uint32_t inputSize);

  // Reads the size field S and decodes exactly S bytes (missing input reads as zero bits).
  // Answers the number of bytes written, which is S.
  std::uint32_t Decode();
  // As Decode(), but stops after maxOutput bytes when S is larger; answers the bytes written.
  std::uint32_t Decode(std::uint32_t maxOutput);

 protected:
  // The two transfers the algorithm runs on: answer the number of bytes actually moved.
  virtual std::size_t ReadBytes(void* buffer, std::size_t count) = 0;
  virtual std::size_t WriteBytes(const void* buffer, std::size_t count) = 0;

 private:
  friend struct TLZHTransfer;
};

// The codec bound to two streams (neither is owned).
class TLZHStream : public TAbstractLZH {
 public:
  TLZHStream(TDIBStream& input, TDIBStream& output) : FInput(input), FOutput(output) {}

 protected:
  std::size_t ReadBytes(void* buffer, std::size_t count) override;
  std::size_t WriteBytes(const void* buffer, std::size_t count) override;

 private:
  TDIBStream& FInput;
  TDIBStream& FOutput;
};
