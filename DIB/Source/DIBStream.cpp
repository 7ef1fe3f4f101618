#include "DIB/Source/DIBStream.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "DIB/Source/DIBErrors.h"

void TDIBStream::ReadExact(void* buffer, std::size_t count) {
  if (Read(buffer, count) != count) throw EDIBError("Stream read error");
}

void TDIBStream::WriteExact(const void* buffer, std::size_t count) {
  if (Write(buffer, count) != count) throw EDIBError("Stream write error");
}

std::uint64_t TDIBStream::CopyFrom(TDIBStream& source) {
  std::uint8_t chunk[16384];
  std::uint64_t total = 0;
  for (;;) {
    const std::size_t n = source.Read(chunk, sizeof chunk);
    if (n == 0) return total;
    WriteExact(chunk, n);
    total += n;
  }
}

TDIBMemoryStream::TDIBMemoryStream(const void* bytes, std::size_t count)
    : FData(static_cast<const std::uint8_t*>(bytes), static_cast<const std::uint8_t*>(bytes) + count) {}

std::size_t TDIBMemoryStream::Read(void* buffer, std::size_t count) {
  const std::size_t n = std::min(count, FData.size() - FPosition);
  if (n != 0) std::memcpy(buffer, FData.data() + FPosition, n);
  FPosition += n;
  return n;
}

std::size_t TDIBMemoryStream::Write(const void* buffer, std::size_t count) {
  if (count == 0) return 0;
  if (FData.size() - FPosition < count) FData.resize(FPosition + count);
  std::memcpy(FData.data() + FPosition, buffer, count);
  FPosition += count;
  return count;
}

void TDIBMemoryStream::SetPosition(std::uint64_t position) {
  FPosition = static_cast<std::size_t>(std::min<std::uint64_t>(position, FData.size()));
}

void TDIBMemoryStream::SetSize(std::size_t size) {
  FData.resize(size);
  FPosition = std::min(FPosition, size);
}

std::vector<std::uint8_t> TDIBMemoryStream::TakeBytes() {
  FPosition = 0;
  return std::exchange(FData, {});
}
