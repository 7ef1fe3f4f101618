// ApplyFilter: the image library's 3 x 3 convolution.
#include <algorithm>
#include <cstdint>
#include <cstring>

#include "DIB/Source/cDIB.h"

void TAbstractSuperDIB::ApplyFilter(const TDIBFilter& filter, std::uint8_t opacity) {
  if (!FBits) return;
  TMemoryDIB scratch(FWidth, FHeight);
  std::memcpy(scratch.Bits(), FBits, static_cast<std::size_t>(FWidth) * FHeight * 4);
  const std::int64_t divisor = filter.Divisor == 0 ? 1 : filter.Divisor;
  const int offsets[3] = {filter.OffsetBlue, filter.OffsetGreen, filter.OffsetRed};
  // Sums in 64 bits: nine weights of any int size times 255 cannot overflow them.
  for (int y = 1; y + 1 < FHeight; ++y) {
    const std::uint8_t* rows[3] = {ScanLine(y - 1), ScanLine(y), ScanLine(y + 1)};
    std::uint8_t* out = scratch.ScanLine(y);
    for (int x = 1; x + 1 < FWidth; ++x)
      for (int channel = 0; channel < 3; ++channel) {
        std::int64_t sum = 0;
        for (int row = 0; row < 3; ++row)
          for (int column = 0; column < 3; ++column)
            sum += std::int64_t{filter.Weights[static_cast<std::size_t>(row * 3 + column)]} *
                   rows[row][(x + column - 1) * 4 + channel];
        const std::int64_t value = sum / divisor + offsets[channel];
        out[x * 4 + channel] = static_cast<std::uint8_t>(std::clamp<std::int64_t>(value, 0, 255));
      }
  }
  scratch.SetOpacity(opacity);
  scratch.Draw(0, 0, FWidth, FHeight, this);
}
