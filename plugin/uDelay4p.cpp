#include "plugin/uDelay4p.h"

#include <algorithm>

Tdelay4p::Tdelay4p(std::int32_t length)
    : Length(std::max<std::int32_t>(length, 4)), Buffer(std::make_unique<float[]>(static_cast<std::size_t>(Length))) {}
