#include "DIB/Source/cDIBPalette.h"

#include <algorithm>
#include <cstdint>
#include <limits>

#include "ui/TypeInfo.h"

namespace {

// A 6-bit cell coordinate spread over 0..255, so that cell 63 stands for full intensity.
int CellLevel(int cell) { return (cell << 2) | (cell >> 4); }

}  // namespace

TDIBPaletteComponent::TDIBPaletteComponent(TComponent* owner) : TComponent(owner) {}

void TDIBPaletteComponent::SetEntries(const std::vector<TDIBColor>& entries) {
  if (entries.size() > 256)
    throw EDIBError("A palette holds at most 256 colours, not " + std::to_string(entries.size()));
  TDIBPalette palette;
  palette.Entries = entries;
  const std::size_t used = std::min(entries.size(), kDIBSectionColors);
  if (used > 0) {
    std::vector<int> red(used), green(used), blue(used);
    for (std::size_t i = 0; i < used; ++i) {
      const std::uint32_t pixel = DIBColorToPixel(entries[i]);  // 0x00RRGGBB
      red[i] = static_cast<int>(pixel >> 16 & 0xFF);
      green[i] = static_cast<int>(pixel >> 8 & 0xFF);
      blue[i] = static_cast<int>(pixel & 0xFF);
    }
    palette.LookupTable.resize(kDIBLookupSize);
    std::vector<int> redGreen(used);
    for (int r = 0; r < 64; ++r)
      for (int g = 0; g < 64; ++g) {
        const int rl = CellLevel(r), gl = CellLevel(g);
        for (std::size_t i = 0; i < used; ++i)
          redGreen[i] = (red[i] - rl) * (red[i] - rl) + (green[i] - gl) * (green[i] - gl);
        for (int b = 0; b < 64; ++b) {
          const int bl = CellLevel(b);
          int best = std::numeric_limits<int>::max();
          std::size_t bestIndex = 0;
          for (std::size_t i = 0; i < used; ++i) {
            const int d = redGreen[i] + (blue[i] - bl) * (blue[i] - bl);
            if (d < best) {
              best = d;
              bestIndex = i;
            }
          }
          palette.LookupTable[static_cast<std::size_t>(b) + static_cast<std::size_t>(g) * 64 +
                              static_cast<std::size_t>(r) * 4096] = static_cast<std::uint8_t>(bestIndex);
        }
      }
  }
  palette_ = std::move(palette);
}

void TDIBPaletteComponent::Render(const TAbstractSuperDIB& image, plat::DrawContext& context, int x, int y, int sourceX,
                                  int sourceY, int width, int height) const {
  image.Render8Bit(context, x, y, palette_, sourceX, sourceY, width, height);
}

const TClassInfo& TDIBPaletteComponent::StaticClass() {
  static const TClassInfo info =
      TClassBuilder<TDIBPaletteComponent>("TDIBPaletteComponent", &TComponent::StaticClass()).Component().Build();
  return info;
}
