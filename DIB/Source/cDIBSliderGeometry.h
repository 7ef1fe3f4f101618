// The arithmetic of a skinned slider, apart from the control: where its five pictures go, how a
// knob offset (pixels from the start of the track) and a position convert into each other, the
// smallest size that holds its pictures, and which keys step it.
//
// Rectangles are in the slider's own pixels with inclusive right and bottom edges; a rectangle of
// (-1, -1, -1, -1) stands for an absent picture. Integer division truncates towards zero. All
// products are formed in 64 bits, so no range of 32-bit positions overflows.
#pragma once

#include <cstdint>

#include "DIB/Source/cDIB.h"

enum TSliderType : std::uint8_t { stHorizontal = 0, stVertical = 1 };

// A picture's size, or absent.
struct TSliderPicture {
  bool Present = false;
  int Width = 0;
  int Height = 0;
};

struct TSliderLayoutInput {
  int Width = 0, Height = 0;  // the control's
  TSliderType SliderType = stHorizontal;
  TSliderPicture End1, End2, Main, Pointer;
  int KnobOffset = 0;
  int PointerOffset = 0;
  int OverlayBorderX = 0, OverlayBorderY = 0;
};

struct TSliderLayout {
  TDIBRect End1{-1, -1, -1, -1};
  TDIBRect End2{-1, -1, -1, -1};
  TDIBRect Main{-1, -1, -1, -1};
  TDIBRect Overlay{-1, -1, -1, -1};
  TDIBRect Knob{-1, -1, -1, -1};
};

// The five rectangles. Sizes and PointerOffset are limited to 2^24 pixels (more is taken as that), so
// hostile values cannot overflow. Without end pictures the main rectangle runs one pixel beyond the control
// at each end of the axis; the far end picture stops one pixel short of the far edge.
TSliderLayout LayoutSlider(const TSliderLayoutInput& in);

// Extent of an inclusive rectangle along the slider's axis / across it.
int ExtentAlong(const TDIBRect& r, TSliderType type);
int ExtentAcross(const TDIBRect& r, TSliderType type);

// The knob's room to move: main extent along the axis minus the knob's (an absent knob counts 1).
int SliderTrackLength(const TSliderLayout& layout, TSliderType type);

// Position -> knob offset, clamped to 0 ... trackLength. With min == max the range counts as 1.
int SliderPositionToPixel(std::int64_t position, int min, int max, int trackLength);
// Knob offset -> position: min + range * pixel / trackLength, clamped to min ... max. A track
// length of 0 or less gives min (callers do not drag on such a track).
int SliderPixelToPosition(std::int64_t pixel, int min, int max, int trackLength);
// A distance in pixels as a number of positions (range * distance / trackLength, no min added),
// at most the range; with no track to measure on, the whole range.
std::int64_t SliderDistanceToStep(std::int64_t distance, int min, int max, int trackLength);

// Width and height: 2 plus the sizes of the present end and main pictures along the axis, 2 across.
void SliderMinimumSize(TSliderType type, const TSliderPicture& end1, const TSliderPicture& main,
                       const TSliderPicture& end2, int& width, int& height);

// The change a key-down makes: -1 / +1 times SmallChange or PageSize for the keys of this
// orientation, 0 for any other key. `handled` says whether the key belongs to the slider.
int SliderKeyStep(std::uint32_t virtualKey, TSliderType type, int smallChange, int pageSize, bool& handled);
