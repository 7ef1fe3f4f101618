// The description of one parameter: name, unit label, the mapping from the normalised value to the
// value shown, and a two-stage smoother for the shown value. Used on the user-interface thread.
#pragma once

#include <cstdint>

#include "vst/DAEffect.h"

class TVstParameterProperty {
 public:
  enum : std::uint8_t { kLinear = 0, kExponential = 1, kLogarithmic = 2 };

  explicit TVstParameterProperty(VstInt32 index);  // named "Parameter <index>"

  float smoothState1 = 0.0f;
  float smoothState2 = 0.0f;
  float minValue = 0.0f;
  float maxValue = 1.0f;
  std::uint8_t curve = kLinear;
  float curveFactor = 1.0f;
  char name[31] = {};
  char label[9] = {};
  float smoothing = 1.0f;  // 1 means no smoothing

  // Store the text, cut to the buffer (30 and 8 characters).
  void setName(const char* text);
  void setLabel(const char* text);

  // The shown value for normalised v: shaped by the curve, mapped to minValue..maxValue, then
  // one step of the smoother. Every call advances the smoother.
  float displayValue(float v);

  // The normalised value whose shown value (before smoothing) is `shown`, clamped to 0..1.
  float normalisedFrom(float shown) const;

  // The curve alone (float result). A curve whose factor makes it undefined (factor <= -1 or 0
  // for the logarithmic curve, or not finite) counts as linear.
  float shape(float v) const;
};
