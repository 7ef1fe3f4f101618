#include "vst/DVstParameterProperty.h"

#include <cmath>
#include <cstdio>

#include "vst/DVstText.h"

namespace {

bool usableFactor(std::uint8_t curve, float factor) {
  if (!std::isfinite(factor) || factor <= -1.0f) return false;
  if (curve == TVstParameterProperty::kLogarithmic) return factor != 0.0f;
  return factor != 0.0f || curve == TVstParameterProperty::kLinear;
}

}  // namespace

TVstParameterProperty::TVstParameterProperty(VstInt32 index) {
  std::snprintf(name, sizeof name, "Parameter %d", static_cast<int>(index));
}

void TVstParameterProperty::setName(const char* text) { vsttext::copy(name, text, sizeof name); }
void TVstParameterProperty::setLabel(const char* text) { vsttext::copy(label, text, sizeof label); }

float TVstParameterProperty::shape(float v) const {
  if (curve == kLinear || !usableFactor(curve, curveFactor)) return v;
  const double lnRange = std::log(static_cast<double>(curveFactor) + 1.0);
  if (curve == kExponential) return static_cast<float>(std::exp(v * lnRange) - 1.0);
  if (curve == kLogarithmic) {
    const double arg = static_cast<double>(curveFactor) * v + 1.0;
    if (!(arg > 0.0)) return 0.0f;
    return static_cast<float>(std::log(arg) / lnRange);
  }
  return v;
}

float TVstParameterProperty::displayValue(float v) {
  const float shaped = shape(v);
  const float x =
      static_cast<float>(static_cast<double>(minValue) + (static_cast<double>(maxValue) - minValue) * shaped);
  smoothState1 = static_cast<float>(smoothState1 + (static_cast<double>(x) - smoothState1) * smoothing);
  smoothState2 = static_cast<float>(smoothState2 + (static_cast<double>(smoothState1) - smoothState2) * smoothing);
  return smoothState2;
}

float TVstParameterProperty::normalisedFrom(float shown) const {
  const double range = static_cast<double>(maxValue) - minValue;
  double v = range != 0.0 ? (shown - static_cast<double>(minValue)) / range : 0.0;
  if (!(v > 0.0)) v = 0.0;  // also NaN
  if (v > 1.0) v = 1.0;
  if (curve != kLinear && usableFactor(curve, curveFactor)) {
    const double lnRange = std::log(static_cast<double>(curveFactor) + 1.0);
    if (curve == kExponential) v = std::log(v + 1.0) / lnRange;
    if (curve == kLogarithmic) v = (std::exp(v * lnRange) - 1.0) / curveFactor;
  }
  if (!(v > 0.0)) v = 0.0;
  if (v > 1.0) v = 1.0;
  return static_cast<float>(v);
}
