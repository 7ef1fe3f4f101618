#pragma once
// The four pictures of the editor window, drawn from their description of content, and their place
// in the window description: the image list object `DIBImageList1`, whose "Data" blocks are made by
// the image commands' LZH encoding. Deterministic: the same program gives the same bytes anywhere.
#include <cstdint>
#include <string>
#include <vector>

namespace skin {

// A picture with rows from the top, each pixel blue, green, red, alpha.
struct TPicture {
  int Width = 0;
  int Height = 0;
  std::vector<std::uint8_t> Pixels;

  TPicture(int width, int height);
  void Set(int x, int y, int red, int green, int blue, int alpha);
  // The stored payload: width and height (16-bit little-endian), then rows bottom-up.
  std::vector<std::uint8_t> Payload() const;
};

TPicture Background();  // image 0, 415 x 200: warm gradient, bevelled rim, lettering; alpha 0
TPicture Knob();        // image 1, 16 x 30: raised knob; alpha 0
TPicture Track();       // image 2, 20 x 151: caps, ticks and slot; alpha 255 where painted
TPicture Glyph();       // image 3, 160 x 30: the up and the down frame of a toggle

// The text of the object `DIBImageList1` holding the four pictures, indented by `indent` spaces.
std::string ImageListText(int indent);

// `description` with its `DIBImageList1` object replaced by ImageListText at the same indentation.
// Fails (std::runtime_error, one line) when the object is missing or has no end.
std::string PutImageList(const std::string& description);

}  // namespace skin
