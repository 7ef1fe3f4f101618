#pragma once
// `kestrune image ...`: packing pictures into stored "Data" blocks and back, and the raw codecs.
//   pack IN.png OUT [--codec lzh|rle|none]     picture -> "Data" block of an image
//   unpack IN OUT.png                          "Data" block -> picture
//   encode-data [--codec lzh|rle|none] IN OUT  bare payload -> "Data" block
//   decode-data IN OUT                         "Data" block -> bare payload
//   lzh-encode IN OUT, lzh-decode IN OUT       the LZH stream with its 4-byte size field
// A failure prints one line to standard error and exits with status 1.
#include <CLI/CLI.hpp>

void addImageCommands(CLI::App& app);
