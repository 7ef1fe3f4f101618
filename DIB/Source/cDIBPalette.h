// TDIBPaletteComponent: the palette a form uses on 8-bit displays. It holds up to 256 colours and
// the colour lookup table that Render8Bit reads: for every 6-bit blue, green and red triple, the
// number of the nearest colour. Only the first kDIBSectionColors colours reach the display in
// Render8Bit's section, so the table names only those (ties go to the lower number). Setting the
// colours rebuilds the table at once (about a quarter of a million cells), never while drawing.
#pragma once

#include <vector>

#include "DIB/Source/cDIB.h"
#include "ui/Component.h"

class TDIBPaletteComponent : public TComponent {
 public:
  explicit TDIBPaletteComponent(TComponent* owner);

  static const TClassInfo& StaticClass();
  const TClassInfo& ClassInfo() const override { return StaticClass(); }

  // Platform colours (system-colour references are resolved when the table is built). More than
  // 256 colours is an EDIBError that leaves the palette as it was; none clears the lookup table.
  void SetEntries(const std::vector<TDIBColor>& entries);
  const std::vector<TDIBColor>& Entries() const { return palette_.Entries; }
  bool HasLookupTable() const { return !palette_.LookupTable.empty(); }
  // What Render8Bit takes.
  const TDIBPalette& Palette() const { return palette_; }

  // Draws the block of image through this palette onto an 8-bit context (see Render8Bit).
  void Render(const TAbstractSuperDIB& image, plat::DrawContext& context, int x, int y, int sourceX, int sourceY,
              int width, int height) const;

 private:
  TDIBPalette palette_;
};
