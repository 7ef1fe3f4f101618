// Arbitrary bytes as the stored "Data" of an image: container, both codecs and the payload.
// Library errors are expected answers; anything else (a crash, a sanitizer report, a leak) is a find.
#include <cstddef>
#include <cstdint>
#include <exception>

#include "DIB/Source/DIBStream.h"
#include "DIB/Source/cDIB.h"
#include "DIB/Source/cDIBCompressor.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  TMemoryDIB image;
  TDIBMemoryStream source(data, size);
  try {
    DIBLoadData(image, source);
  } catch (const std::exception&) {
    return 0;
  }
  // Whatever was accepted must be a consistent image that stores again.
  if (image.Bits()) {
    TDIBMemoryStream again;
    DIBSaveData(image, again);
    if (again.Size() < 4) __builtin_trap();
  }
  return 0;
}
