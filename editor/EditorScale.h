// The editor window's description at a scale: the same description with every position, size,
// font height and knob offset multiplied, and the image list drawn for that scale in place of the
// designed one. The controls then work in the larger pixels exactly as at the designed size; they
// never learn about the scale.
#pragma once

#include <string>
#include <string_view>

// `description` made for `scale` (one of kFormScales):
// - integer Left, Top, ClientWidth, ClientHeight, PointerOffset, panel widths and font heights
//   ("Font.Height", "FontDisabled.Height", ...) become round(value * scale); Width and Height
//   become the distance between the scaled edges (round((Left + Width) * scale) - round(Left * scale)),
//   so neighbours stay neighbours; PixelsPerInch becomes round(96 * scale); properties of stored
//   images ("DIB.Width", ...) stay;
// - of the image lists "DIBImageList1" (designed) and "DIBImageList1At<percent>" the one for the
//   scale stays, named "DIBImageList1", the others are left out.
// Throws EDescriptionError when the description holds no image list for the scale.
std::string ScaleEditorDescription(std::string_view description, double scale);
