#include "tools/skin/SkinPictures.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>
#include <stdexcept>
#include <string_view>

#include "DIB/Source/DIBRegister.h"
#include "DIB/Source/cDIBImageList.h"
#include "DIB/Source/cDIBStandardCompressors.h"
#include "tools/imagetool/ImageFiles.h"
#include "ui/Description.h"
#include "ui/FormClass.h"

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

// Drawing in designed units on a picture made at `Scale`: a designed edge v lies at pixel
// round(v * Scale), so adjacent shapes stay adjacent and a one-unit line is one scaled pixel wide.
struct TScaledPen {
  TPicture& Pic;
  double Scale;

  int Edge(double v) const { return int(std::lround(v * Scale)); }
  // Fills the designed rectangle [x0, x1) x [y0, y1).
  void Fill(double x0, double y0, double x1, double y1, int red, int green, int blue, int alpha) const {
    for (int y = Edge(y0); y < Edge(y1); ++y)
      for (int x = Edge(x0); x < Edge(x1); ++x) Pic.Set(x, y, red, green, blue, alpha);
  }
};

TPicture MakePicture(int width, int height, double scale) {
  return TPicture(int(std::lround(width * scale)), int(std::lround(height * scale)));
}

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

// Width of `text` at `size`: letters 5 wide, one column apart.
int TextWidth(std::string_view text, int size) { return text.empty() ? 0 : (int(text.size()) * 6 - 1) * size; }

// Engraved lettering: a light edge one (designed) pixel below and right of dark ink, right-aligned
// at `right`; every dot of the face is `size` designed pixels square.
void Letter(const TScaledPen& pen, std::string_view text, int right, int top, int size) {
  constexpr TRGB kInk{74, 69, 63}, kEdge{255, 246, 230};
  const int left = right - TextWidth(text, size);
  for (int pass = 0; pass < 2; ++pass) {
    const TRGB c = pass == 0 ? kEdge : kInk;
    const int shift = pass == 0 ? 1 : 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
      const TLetter* l = FindLetter(text[i]);
      if (!l) continue;
      for (int row = 0; row < 7; ++row)
        for (int col = 0; col < 5; ++col)
          if (l->Rows[row][col] == '#') {
            const int x = left + (int(i) * 6 + col) * size + shift, y = top + row * size + shift;
            pen.Fill(x, y, x + size, y + size, c.R, c.G, c.B, 0);
          }
    }
  }
}

// A ramp given per designed row, read at the middle of a scaled pixel row: between two designed
// rows the level and the opacity are interpolated, so a sheen stays smooth at any scale.
struct TRamp {
  const int (*Steps)[2];
  int Count;
  int FirstRow;  // designed row of Steps[0]

  void Draw(const TScaledPen& pen, int x0, int x1) const {
    for (int y = pen.Edge(FirstRow); y < pen.Edge(FirstRow + Count); ++y) {
      const double t = std::clamp((y + 0.5) / pen.Scale - 0.5 - FirstRow, 0.0, double(Count - 1));
      const int i = std::min(int(t), Count - 2);
      const double f = t - i;
      const int level = int(std::lround(Steps[i][0] + (Steps[i + 1][0] - Steps[i][0]) * f));
      const int alpha = int(std::lround(Steps[i][1] + (Steps[i + 1][1] - Steps[i][1]) * f));
      for (int x = pen.Edge(x0); x < pen.Edge(x1); ++x) pen.Pic.Set(x, y, level, level, level, alpha);
    }
  }
};

}  // namespace

TPicture Background(double scale) {
  constexpr int kW = 415, kH = 200;
  constexpr TRGB kLight{249, 232, 209}, kDark{139, 128, 117};
  TPicture pic = MakePicture(kW, kH, scale);
  const TScaledPen pen{pic, scale};
  // Lightest at the bottom left, darkest at the top right: the weight of the dark end is the mean
  // of the distances from the left and from the bottom, rounded to nearest, for every pixel.
  const long w = pic.Width, h = pic.Height;
  const long den = 2L * (w - 1) * (h - 1);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const long num = long(x) * (h - 1) + long(h - 1 - y) * (w - 1);
      auto mix = [&](int light, int dark) { return int((light * (den - num) + dark * num + den / 2) / den); };
      pic.Set(x, y, mix(kLight.R, kDark.R), mix(kLight.G, kDark.G), mix(kLight.B, kDark.B), 0);
    }
  // The bevelled rim.
  pen.Fill(0, 0, 1, kH, 101, 95, 89, 0);
  pen.Fill(kW - 1, 0, kW, kH, 74, 69, 63, 0);
  pen.Fill(1, kH - 2, kW - 1, kH - 1, 92, 86, 80, 0);
  pen.Fill(1, kH - 1, kW - 1, kH, 74, 69, 63, 0);
  // Product and maker at the bottom right, clear of the buttons above.
  Letter(pen, "KESTRUNE", 402, 128, 2);
  Letter(pen, "ENHANCED", 402, 148, 1);
  Letter(pen, "QX AUDIO", 402, 178, 1);
  return pic;
}

TPicture Knob(double scale) {
  constexpr int kW = 16, kH = 30;
  TPicture pic = MakePicture(kW, kH, scale);
  const TScaledPen pen{pic, scale};
  pen.Fill(0, 0, kW, kH, 139, 128, 117, 0);
  pen.Fill(0, 3, 1, kH - 2, 112, 105, 99, 0);
  pen.Fill(kW - 1, 3, kW, kH - 2, 112, 105, 99, 0);
  constexpr TRGB kTop[3] = {{116, 110, 103}, {122, 115, 109}, {127, 121, 114}};
  for (int y = 0; y < 3; ++y) pen.Fill(0, y, kW, y + 1, kTop[y].R, kTop[y].G, kTop[y].B, 0);
  pen.Fill(0, kH - 2, kW, kH - 1, 87, 80, 74, 0);
  pen.Fill(0, kH - 1, kW, kH, 82, 75, 69, 0);
  // A grip groove across the middle marks the knob's value line.
  pen.Fill(3, 14, kW - 3, 15, 87, 80, 74, 0);
  pen.Fill(3, 15, kW - 3, 16, 168, 157, 144, 0);
  return pic;
}

TPicture Track(double scale) {
  constexpr int kW = 20, kH = 151;
  TPicture pic = MakePicture(kW, kH, scale);  // unpainted: colour 0, alpha 0
  const TScaledPen pen{pic, scale};
  auto ink = [&](int x0, int y0, int x1, int y1) { pen.Fill(x0, y0, x1, y1, 0, 0, 0, 255); };
  // Rounded caps, the bottom one the mirror of the top one.
  for (int end = 0; end < 2; ++end) {
    auto row = [&](int r) { return end == 0 ? r : kH - 1 - r; };
    ink(0, row(0), kW, row(0) + 1);
    ink(0, row(1), 5, row(1) + 1);
    ink(kW - 5, row(1), kW, row(1) + 1);
    for (int r = 2; r < 4; ++r) {
      ink(0, row(r), 1, row(r) + 1);
      ink(kW - 1, row(r), kW, row(r) + 1);
    }
  }
  for (int y = 9; y <= 141; y += 6) {
    ink(0, y, 2, y + 1);
    ink(kW - 2, y, kW, y + 1);
  }
  pen.Fill(9, 6, 11, 146, 239, 238, 224, 255);
  return pic;
}

TPicture Glyph(double scale) {
  constexpr int kFrame = 80, kH = 30;
  TPicture pic = MakePicture(2 * kFrame, kH, scale);
  const TScaledPen pen{pic, scale};
  auto grey = [&](int x0, int y0, int x1, int y1, int level) { pen.Fill(x0, y0, x1, y1, level, level, level, 255); };
  // Frame 0, the up look: a dark outline (lit from above), a sheen under the top edge and a shade
  // above the bottom one.
  grey(0, 0, kFrame, 1, 34);
  grey(0, kH - 1, kFrame, kH, 0);
  grey(0, 1, 1, kH - 1, 37);
  grey(kFrame - 1, 1, kFrame, kH - 1, 12);
  static constexpr int kSheen[5][2] = {{84, 111}, {103, 89}, {118, 67}, {133, 44}, {144, 22}};
  static constexpr int kShade[6][2] = {{138, 22}, {119, 44}, {99, 66}, {77, 88}, {53, 111}, {27, 133}};
  TRamp{kSheen, 5, 1}.Draw(pen, 1, kFrame - 1);
  TRamp{kShade, 6, 23}.Draw(pen, 1, kFrame - 1);
  // Frame 1, the pressed and down look: a black outline only.
  grey(kFrame, 0, 2 * kFrame, 1, 0);
  grey(kFrame, kH - 1, 2 * kFrame, kH, 0);
  grey(kFrame, 1, kFrame + 1, kH - 1, 0);
  grey(2 * kFrame - 1, 1, 2 * kFrame, kH - 1, 0);
  return pic;
}

namespace {

// The list's text as the writer stores it with `codec` active (it encodes "Data" with that codec).
std::string WrittenWith(const TDIBImageList& list, const TDIBGUID& codec) {
  TAbstractDIBCompressor* previous = ActiveCompressor();
  SetActiveCompressor(FindCompressor(codec.ToString()));
  std::string text;
  try {
    text = WriteDescription(list);
  } catch (...) {
    SetActiveCompressor(previous);
    throw;
  }
  SetActiveCompressor(previous);
  return text;
}

// Two writings of one list that differ only in their "Data" blocks: `a` with each block replaced
// by `b`'s where that is shorter.
std::string ShorterDataBlocks(const std::string& a, const std::string& b) {
  const std::string_view head = "Data = {";
  std::string out;
  std::size_t at = 0, bAt = 0;
  for (;;) {
    const std::size_t start = a.find(head, at), bStart = b.find(head, bAt);
    if (start == std::string::npos || bStart == std::string::npos) break;
    const std::size_t end = a.find('}', start), bEnd = b.find('}', bStart);
    if (end == std::string::npos || bEnd == std::string::npos) break;
    out.append(a, at, start - at);
    if (bEnd - bStart < end - start)
      out.append(b, bStart, bEnd - bStart);
    else
      out.append(a, start, end - start);
    at = end;
    bAt = bEnd;
  }
  return out.append(a, at);
}

}  // namespace

std::string ImageListName(int percent) {
  return percent == 100 ? "DIBImageList1" : "DIBImageList1At" + std::to_string(percent);
}

std::string ImageListText(int percent, int indent) {
  RegisterDIBClasses();
  const double scale = percent / 100.0;
  RegisterStandardCompressors();
  struct TEntry {
    TPicture Picture;
    const char* Name;
    bool Masked;
    TTransparentMode Mode;
  };
  const TEntry entries[] = {
      {Background(scale), "Background", false, tmAuto},
      {Knob(scale), "Knob", false, tmAuto},
      {Track(scale), "Track", true, tmAuto},
      {Glyph(scale), "Toggle", true, tmFixed},
  };
  TDIBImageList list(nullptr);
  list.SetName(ImageListName(percent));
  for (const TEntry& e : entries) {
    auto* item = static_cast<TDIBImagesItem*>(list.DIBImages()->Add());
    const imagetool::Bytes data = imagetool::EncodeData(e.Picture.Payload(), imagetool::TCodec::None);
    TMemoryDIB* dib = item->DIB();
    dib->SetDataBytes(data.data(), data.size());
    dib->SetMasked(e.Masked);
    dib->SetTransparentMode(e.Mode);
    if (e.Mode == tmFixed) dib->SetTransparentColor(0);  // black key
    item->SetDisplayName(e.Name);
  }
  // Each picture is stored with whichever of the two codecs gives the shorter block: that is LZH
  // for every designed picture, but Shuffle4 RLE for the 300 % background, whose rows LZH's window
  // cannot span (and which RLE decodes several times faster), and for the larger toggle pictures.
  const std::string text =
      ShorterDataBlocks(WrittenWith(list, TLZHDIBCompressor::GUID), WrittenWith(list, TRLEDIBCompressor::GUID));
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
  // The scaled lists follow the designed one: all of them are replaced together.
  const std::string tail = "\n" + pad + "end\n";
  const std::string sibling = pad + "object DIBImageList1At";
  std::size_t end = lineStart;
  do {
    const std::size_t at = description.find(tail, end);
    if (at == std::string::npos) throw std::runtime_error("an image list object has no end");
    end = at + tail.size();
  } while (description.compare(end, sibling.size(), sibling) == 0);
  std::string lists;
  for (double scale : kFormScales) lists += ImageListText(int(std::lround(scale * 100)), int(pad.size()));
  return description.substr(0, lineStart) + lists + description.substr(end);
}

}  // namespace skin
