// Small helpers shared by the host interface and the effect: the sample arrays of the work
// buffers, four-character codes and the text shown for a parameter value.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// One channel of 32-bit samples, and one such array per channel.
using TSingleArray = std::vector<float>;
using TArrayOfSingleArray = std::vector<TSingleArray>;

// Packs four characters, the first in the most significant byte; each is taken as an unsigned
// 8-bit code ("VstP" gives 0x56737450).
constexpr std::int32_t fourCharToLong(char c1, char c2, char c3, char c4) {
  const auto b = [](char c) { return static_cast<std::uint32_t>(static_cast<unsigned char>(c)); };
  return static_cast<std::int32_t>((b(c1) << 24) | (b(c2) << 16) | (b(c3) << 8) | b(c4));
}

// Writes value in fixed-point notation with two decimals (0.10, -3.25, 1234.50) into text, with
// the decimal separator of the process's numeric locale, no exponent and no digit grouping.
// Half-way values round away from zero (0.125 gives 0.13); a value that rounds to zero is shown
// without a sign. The text is cut to capacity - 1 characters and always zero-terminated; nothing
// is written when text is null or capacity is 0.
void floatToDisplay(char* text, std::size_t capacity, float value);
