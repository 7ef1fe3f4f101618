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
void WriteFile(const std::string& path, const Bytes& bytes);

// Picture file bytes (PNG or BMP) -> the "Data" block of a memory image holding that picture.
// Alpha comes from the file when it carries one, otherwise it is 255 (as importing a picture does).
Bytes PackPicture(const Bytes& picture, TCodec codec, bool* hasAlpha = nullptr);
// "Data" block -> PNG file bytes (with alpha).
Bytes UnpackPicture(const Bytes& data, int* width = nullptr, int* height = nullptr);

// Exactly what storing and loading "Data" do with a payload.
Bytes EncodeData(const Bytes& payload, TCodec codec);
Bytes DecodeData(const Bytes& data);

// The raw LZH stream. Decoding refuses a declared size no stream of this length can hold.
Bytes LZHEncode(const Bytes& input);
Bytes LZHDecode(const Bytes& stream);

}  // namespace imagetool
