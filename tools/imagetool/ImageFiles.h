#pragma once
// The work behind the image commands, on byte blocks, so that it can be driven without files.
// Every function fails with a std::exception carrying a one-line message.
#include <cstdint>
#include <string>
#include <vector>

namespace imagetool {

using Bytes = std::vector<std::uint8_t>;

enum class TCodec { None, RLE, LZH };
// "lzh", "rle" or "none"; anything else fails.
TCodec ParseCodec(const std::string& name);

Bytes ReadFile(const std::string& path);
// Through a temporary file put in place at the end (see host/OutputTarget.h): a failure leaves what
// was there and no partial file, and says the system's reason.
void WriteFile(const std::string& path, const Bytes& bytes);

// Picture file bytes (PNG or BMP) -> the "Data" block of a memory image holding that picture.
// Alpha comes from the file when it carries one, otherwise it is 255 (as importing a picture does).
Bytes PackPicture(const Bytes& picture, TCodec codec, bool* hasAlpha = nullptr);

// How the stored image is to be drawn: the description lines an image list item needs besides its
// "Data" block ("DIB.Masked = True", ...), for `kestrune image pack` to print.
struct TDrawSettings {
  bool Masked = false;       // the picture's alpha as mask; needs a picture with alpha
  bool Transparent = false;  // colour keyed
  std::string Key;           // fixed key colour "#RRGGBB" or "$00BBGGRR"; implies Transparent
};
// Checks the combination (masked excludes transparent; a key must be a colour) and answers the
// lines, one per setting. Fails with a one-line message.
std::vector<std::string> DescribeSettings(const TDrawSettings& settings, bool pictureHasAlpha);
// "Data" block -> PNG file bytes (with alpha).
Bytes UnpackPicture(const Bytes& data, int* width = nullptr, int* height = nullptr);

// Exactly what storing and loading "Data" do with a payload.
Bytes EncodeData(const Bytes& payload, TCodec codec);
Bytes DecodeData(const Bytes& data);

// The raw LZH stream. Decoding refuses a declared size no stream of this length can hold.
Bytes LZHEncode(const Bytes& input);
Bytes LZHDecode(const Bytes& stream);

}  // namespace imagetool
