#include "plugin/uDelay4p.h"

#include <algorithm>

Tdelay4p::Tdelay4p(std::int32_t length)
    : Length(std::max<std::int32_t>(length, 4)),
      Owned(std::make_unique<double[]>(static_cast<std::size_t>(Length))),
      Samples(Owned.get()) {}

Tdelay4p::Tdelay4p(double* samples, std::int32_t length, std::int32_t stride)
    : Length(std::max<std::int32_t>(length, 4)), Stride(std::max<std::int32_t>(stride, 1)), Samples(samples) {}
