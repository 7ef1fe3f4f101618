// Bounded text copies towards and from the host.
//
// Every copy into a host buffer writes at most `limit` bytes including the terminating zero, and
// always terminates. The limits used per opcode (bytes, terminator included):
//
//   opcode                                  limit  why
//   effGetProgramName (5)                     24   published program-name buffer
//   effGetProgramNameIndexed (29)             24   same buffer as above
//   effSetProgramName (4), read from host     52   the program's own name buffer; longer text is cut
//   effGetParamName (8)                       32   parameter name storage (31 characters)
//   effGetParamLabel (6)                      16   label storage (8 characters) and "undefined"
//   effGetParamDisplay (7)                    24   room for any fixed-point value hosts show
//   effGetEffectName (45)                     32   published effect-name buffer
//   effGetVendorString (47)                   64   published vendor buffer
//   effGetProductString (48)                  64   published product buffer
//   effGetInputProperties/Output (33/34)      64   label field of the pin record
//
// Parameter texts exceed the historic 8-byte limit on purpose: every current host supplies larger
// buffers, and names such as "undefined" would otherwise be cut.
#pragma once

#include <cstddef>

namespace vsttext {

constexpr std::size_t kProgramNameOut = 24;
constexpr std::size_t kProgramNameStore = 52;
constexpr std::size_t kParamName = 32;
constexpr std::size_t kParamLabel = 16;
constexpr std::size_t kParamDisplay = 24;
constexpr std::size_t kEffectName = 32;
constexpr std::size_t kVendor = 64;
constexpr std::size_t kProduct = 64;
constexpr std::size_t kPinLabel = 64;

// Copies src into dst, at most limit - 1 characters, then a zero. A null dst or a zero limit
// writes nothing; a null src writes the empty text. Reads src no further than limit - 1 bytes,
// so an unterminated host text is safe. Returns false when dst was null or limit 0.
bool copy(char* dst, const char* src, std::size_t limit) noexcept;

}  // namespace vsttext
