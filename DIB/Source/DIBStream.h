#pragma once
// Byte streams for stored image data and the codecs: an abstract stream and an in-memory one.
#include <cstddef>
#include <cstdint>
#include <vector>

class TDIBStream {
 public:
  virtual ~TDIBStream() = default;

  // Reads up to count bytes at the current position; answers how many were read (0 at the end).
  virtual std::size_t Read(void* buffer, std::size_t count) = 0;
  // Writes count bytes at the current position; answers how many were written.
  virtual std::size_t Write(const void* buffer, std::size_t count) = 0;
  virtual std::uint64_t Size() const = 0;
  virtual std::uint64_t Position() const = 0;
  // Positions past the end are clamped to the end.
  virtual void SetPosition(std::uint64_t position) = 0;

  std::uint64_t Remaining() const { return Size() - Position(); }
  // Reads exactly count bytes or fails with EDIBError (nothing is guessed for missing data).
  void ReadExact(void* buffer, std::size_t count);
  // Writes exactly count bytes or fails with EDIBError.
  void WriteExact(const void* buffer, std::size_t count);
  // Copies everything from source's position to its end; answers the number of bytes copied.
  std::uint64_t CopyFrom(TDIBStream& source);
};

// A growable byte buffer. Writing past the end extends it.
class TDIBMemoryStream : public TDIBStream {
 public:
  TDIBMemoryStream() = default;
  explicit TDIBMemoryStream(std::vector<std::uint8_t> bytes) : FData(std::move(bytes)) {}
  TDIBMemoryStream(const void* bytes, std::size_t count);

  std::size_t Read(void* buffer, std::size_t count) override;
  std::size_t Write(const void* buffer, std::size_t count) override;
  std::uint64_t Size() const override { return FData.size(); }
  std::uint64_t Position() const override { return FPosition; }
  void SetPosition(std::uint64_t position) override;

  // Resizes the buffer (new bytes are zero); the position is clamped to the new end.
  void SetSize(std::size_t size);
  const std::uint8_t* Memory() const { return FData.data(); }
  std::uint8_t* Memory() { return FData.data(); }
  const std::vector<std::uint8_t>& Bytes() const { return FData; }
  std::vector<std::uint8_t> TakeBytes();

 private:
  std::vector<std::uint8_t> FData;
  std::size_t FPosition = 0;
};
