#include "tools/skin/SkinPictures.h"

#include <array>
#include <memory>
#include <stdexcept>
#include <string_view>

#include "DIB/Source/DIBRegister.h"
#include "DIB/Source/cDIBImageList.h"
#include "DIB/Source/cDIBStandardCompressors.h"
#include "tools/imagetool/ImageFiles.h"
#include "ui/Description.h"

namespace skin {

TPicture::TPicture(int width, int height) : Width(width), Height(height), Pixels(std::size_t(width) * height * 4) {}

void TPicture::Set(int x, int y, int red, int green, int blue, int alpha) {
  if (x < 0 || y < 0 || x >= Width || y >= Height) return;
  std::uint8_t* p = &Pixels[(std::size_t(y) * Width + x) * 4];
  p[0] = std::uint8_t(blue);
  p[1] = std::uint8_t(green);
  p[2] = std::uint8_t(red);
  p[3] = std::uint8_t(alpha);
}

std::vector<std::uint8_t> TPicture::Payload() const {
  std::vector<std::uint8_t> out{std::uint8_t(Width & 255), std::uint8_t(Width >> 8), std::uint8_t(Height & 255),
                                std::uint8_t(Height >> 8)};
  const std::size_t row = std::size_t(Width) * 4;
  for (int y = Height - 1; y >= 0; --y) out.insert(out.end(), &Pixels[y * row], &Pixels[y * row] + row);
  return out;
}

namespace {

struct TRGB {
  int R, G, B;
};

// A 5 x 7 capital face for the lettering; '#' is ink.
struct TLetter {
  char Code;
  std::array<std::string_view, 7> Rows;
};
constexpr TLetter kLetters[] = {
    {'A', {".###.", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"}},
    {'C', {".###.", "#...#", "#....", "#....", "#....", "#...#", ".###."}},
    {'D', {"####.", "#...#", "#...#", "#...#", "#...#", "#...#", "####."}},
    {'E', {"#####", "#....", "#....", "####.", "#....", "#....", "#####"}},
    {'H', {"#...#", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"}},
    {'I', {".###.", "..#..", "..#..", "..#..", "..#..", "..#..", ".###."}},
    {'K', {"#...#", "#..#.", "#.#..", "##...", "#.#..", "#..#.", "#...#"}},
    {'N', {"#...#", "##..#", "#.#.#", "#..##", "#...#", "#...#", "#...#"}},
    {'O', {".###.", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."}},
    {'Q', {".###.", "#...#", "#...#", "#...#", "#.#.#", "#..#.", ".##.#"}},
    {'R', {"####.", "#...#", "#...#", "####.", "#.#..", "#..#.", "#...#"}},
    {'S', {".####", "#....", "#....", ".###.", "....#", "....#", "####."}},
    {'T', {"#####", "..#..", "..#..", "..#..", "..#..", "..#..", "..#.."}},
    {'U', {"#...#", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."}},
    {'X', {"#...#", "#...#", ".#.#.", "..#..", ".#.#.", "#...#", "#...#"}},
};

const TLetter* FindLetter(char c) {
  for (const TLetter& l : kLetters)
    if (l.Code == c) return &l;
  return nullptr;  // a blank
}

// Width of `text` at `scale`: letters 5 wide, one column apart.
int TextWidth(std::string_view text, int scale) { return text.empty() ? 0 : (int(text.size()) * 6 - 1) * scale; }

// Engraved lettering: a light edge one pixel below and right of dark ink, right-aligned at `right`.
void Letter(TPicture& pic, std::string_view text, int right, int top, int scale) {
  constexpr TRGB kInk{74, 69, 63}, kEdge{255, 246, 230};
  const int left = right - TextWidth(text, scale);
  for (int pass = 0; pass < 2; ++pass) {
    const TRGB c = pass == 0 ? kEdge : kInk;
    const int shift = pass == 0 ? 1 : 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
      const TLetter* l = FindLetter(text[i]);
      if (!l) continue;
      for (int row = 0; row < 7; ++row)
        for (int col = 0; col < 5; ++col)
          if (l->Rows[row][col] == '#')
            for (int dy = 0; dy < scale; ++dy)
              for (int dx = 0; dx < scale; ++dx)
                pic.Set(left + (int(i) * 6 + col) * scale + dx + shift, top + row * scale + dy + shift, c.R, c.G, c.B,
                        0);
    }
  }
}

}  // namespace

TPicture Background() {
  constexpr int kW = 415, kH = 200;
  constexpr TRGB kLight{249, 232, 209}, kDark{139, 128, 117};
  TPicture pic(kW, kH);
  // Lightest at the bottom left, darkest at the top right: the weight of the dark end is the mean
  // of the distances from the left and from the bottom, rounded to nearest.
  const long den = 2L * (kW - 1) * (kH - 1);
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) {
      const long num = long(x) * (kH - 1) + long(kH - 1 - y) * (kW - 1);
      auto mix = [&](int light, int dark) { return int((light * (den - num) + dark * num + den / 2) / den); };
      pic.Set(x, y, mix(kLight.R, kDark.R), mix(kLight.G, kDark.G), mix(kLight.B, kDark.B), 0);
    }
  // The bevelled rim.
  for (int y = 0; y < kH; ++y) {
    pic.Set(0, y, 101, 95, 89, 0);
    pic.Set(kW - 1, y, 74, 69, 63, 0);
  }
  for (int x = 1; x < kW - 1; ++x) {
    pic.Set(x, kH - 2, 92, 86, 80, 0);
    pic.Set(x, kH - 1, 74, 69, 63, 0);
  }
  // Product and maker at the bottom right, clear of the buttons above.
  Letter(pic, "KESTRUNE", 402, 128, 2);
  Letter(pic, "ENHANCED", 402, 148, 1);
  Letter(pic, "QX AUDIO", 402, 178, 1);
  return pic;
}

TPicture Knob() {
  constexpr int kW = 16, kH = 30;
  TPicture pic(kW, kH);
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) pic.Set(x, y, 139, 128, 117, 0);
  for (int y = 3; y < kH - 2; ++y) {
    pic.Set(0, y, 112, 105, 99, 0);
    pic.Set(kW - 1, y, 112, 105, 99, 0);
  }
  constexpr TRGB kTop[3] = {{116, 110, 103}, {122, 115, 109}, {127, 121, 114}};
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < kW; ++x) pic.Set(x, y, kTop[y].R, kTop[y].G, kTop[y].B, 0);
  for (int x = 0; x < kW; ++x) {
    pic.Set(x, kH - 2, 87, 80, 74, 0);
    pic.Set(x, kH - 1, 82, 75, 69, 0);
  }
  // A grip groove across the middle marks the knob's value line.
  for (int x = 3; x < kW - 3; ++x) {
    pic.Set(x, 14, 87, 80, 74, 0);
    pic.Set(x, 15, 168, 157, 144, 0);
  }
  return pic;
}

TPicture Track() {
  constexpr int kW = 20, kH = 151;
  TPicture pic(kW, kH);  // unpainted: colour 0, alpha 0
  auto ink = [&](int x, int y) { pic.Set(x, y, 0, 0, 0, 255); };
  // Rounded caps, the bottom one the mirror of the top one.
  for (int end = 0; end < 2; ++end) {
    auto row = [&](int r) { return end == 0 ? r : kH - 1 - r; };
    for (int x = 0; x < kW; ++x) ink(x, row(0));
    for (int x = 0; x < 5; ++x) {
      ink(x, row(1));
      ink(kW - 1 - x, row(1));
    }
    for (int r = 2; r < 4; ++r) {
      ink(0, row(r));
      ink(kW - 1, row(r));
    }
  }
  for (int y = 9; y <= 141; y += 6)
    for (int x : {0, 1, kW - 2, kW - 1}) ink(x, y);
  for (int y = 6; y <= 145; ++y)
    for (int x : {9, 10}) pic.Set(x, y, 239, 238, 224, 255);
  return pic;
}

TPicture Glyph() {
  constexpr int kFrame = 80, kH = 30;
  TPicture pic(2 * kFrame, kH);
  auto grey = [&](int x, int y, int level, int alpha) { pic.Set(x, y, level, level, level, alpha); };
  // Frame 0, the up look: a dark outline (lit from above), a sheen under the top edge and a shade
  // above the bottom one.
  for (int x = 0; x < kFrame; ++x) {
    grey(x, 0, 34, 255);
    grey(x, kH - 1, 0, 255);
  }
  for (int y = 1; y < kH - 1; ++y) {
    grey(0, y, 37, 255);
    grey(kFrame - 1, y, 12, 255);
  }
  constexpr int kSheen[5][2] = {{84, 111}, {103, 89}, {118, 67}, {133, 44}, {144, 22}};
  constexpr int kShade[6][2] = {{138, 22}, {119, 44}, {99, 66}, {77, 88}, {53, 111}, {27, 133}};
  for (int x = 1; x < kFrame - 1; ++x) {
    for (int i = 0; i < 5; ++i) grey(x, 1 + i, kSheen[i][0], kSheen[i][1]);
    for (int i = 0; i < 6; ++i) grey(x, 23 + i, kShade[i][0], kShade[i][1]);
  }
  // Frame 1, the pressed and down look: a black outline only.
  for (int x = kFrame; x < 2 * kFrame; ++x) {
    grey(x, 0, 0, 255);
    grey(x, kH - 1, 0, 255);
  }
  for (int y = 1; y < kH - 1; ++y) {
    grey(kFrame, y, 0, 255);
    grey(2 * kFrame - 1, y, 0, 255);
  }
  return pic;
}

std::string ImageListText(int indent) {
  RegisterDIBClasses();
  RegisterStandardCompressors();
  struct TEntry {
    TPicture Picture;
    const char* Name;
    bool Masked;
    TTransparentMode Mode;
  };
  const TEntry entries[] = {
      {Background(), "Background", false, tmAuto},
      {Knob(), "Knob", false, tmAuto},
      {Track(), "Track", true, tmAuto},
      {Glyph(), "Toggle", true, tmFixed},
  };
  TDIBImageList list(nullptr);
  list.SetName("DIBImageList1");
  for (const TEntry& e : entries) {
    auto* item = static_cast<TDIBImagesItem*>(list.DIBImages()->Add());
    const imagetool::Bytes data = imagetool::EncodeData(e.Picture.Payload(), imagetool::TCodec::LZH);
    TMemoryDIB* dib = item->DIB();
    dib->SetDataBytes(data.data(), data.size());
    dib->SetMasked(e.Masked);
    dib->SetTransparentMode(e.Mode);
    if (e.Mode == tmFixed) dib->SetTransparentColor(0);  // black key
    item->SetDisplayName(e.Name);
  }
  // The writer stores "Data" with the active codec: make it the one the blocks were made with.
  TAbstractDIBCompressor* previous = ActiveCompressor();
  SetActiveCompressor(FindCompressor(TLZHDIBCompressor::GUID.ToString()));
  std::string text;
  try {
    text = WriteDescription(list);
  } catch (...) {
    SetActiveCompressor(previous);
    throw;
  }
  SetActiveCompressor(previous);
  std::string out, pad(std::size_t(indent), ' ');
  for (std::size_t at = 0; at < text.size();) {
    std::size_t nl = text.find('\n', at);
    if (nl == std::string::npos) nl = text.size();
    out += pad;
    out.append(text, at, nl - at);
    out += '\n';
    at = nl + 1;
  }
  return out;
}

std::string PutImageList(const std::string& description) {
  const std::string head = "object DIBImageList1: TDIBImageList\n";
  const std::size_t start = description.find(head);
  if (start == std::string::npos) throw std::runtime_error("the description has no object DIBImageList1");
  const std::size_t lineStart =
      description.rfind('\n', start) == std::string::npos ? 0 : description.rfind('\n', start) + 1;
  const std::string pad = description.substr(lineStart, start - lineStart);
  if (pad.find_first_not_of(' ') != std::string::npos)
    throw std::runtime_error("object DIBImageList1 does not start its line");
  const std::string tail = "\n" + pad + "end\n";
  const std::size_t end = description.find(tail, start);
  if (end == std::string::npos) throw std::runtime_error("object DIBImageList1 has no end");
  return description.substr(0, lineStart) + ImageListText(int(pad.size())) + description.substr(end + tail.size());
}

}  // namespace skin
