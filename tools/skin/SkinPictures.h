#pragma once
// The four pictures of the editor window, drawn from their description of content at each scale
// the window comes in, and their place in the window description: the image list object
// `DIBImageList1` (100 %) followed by one list per further scale (`DIBImageList1At150`, ...), whose
// "Data" blocks are LZH, or Shuffle4 RLE where that is shorter. Deterministic: the same program
// gives the same bytes anywhere.
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

// Each picture at `scale` times its designed size (every side and edge rounded to the nearest
// pixel): shapes and lines keep their designed places in scaled pixels, gradients and sheens are
// computed for every pixel of the larger picture. Scale 1 gives the designed pictures.
TPicture Background(double scale = 1);  // image 0, 415 x 200: warm gradient, bevelled rim, lettering; alpha 0
TPicture Knob(double scale = 1);        // image 1, 16 x 30: raised knob; alpha 0
TPicture Track(double scale = 1);       // image 2, 20 x 151: caps, ticks and slot; alpha 255 where painted
TPicture Glyph(double scale = 1);       // image 3, 160 x 30: the up and the down frame of a toggle

// The description holds pictures for every scale the window comes in (kFormScales).
// The name of the image list for a scale: "DIBImageList1" (100 %), "DIBImageList1At150", ...
std::string ImageListName(int percent);

// The text of the image list object for `percent` holding the four pictures at that scale,
// indented by `indent` spaces.
std::string ImageListText(int percent, int indent);

// `description` with its image list objects (`DIBImageList1` and the scaled lists right after it)
// replaced by ImageListText of every scale, at the same indentation. Fails (std::runtime_error, one
// line) when `DIBImageList1` is missing or an object has no end.
std::string PutImageList(const std::string& description);

}  // namespace skin
