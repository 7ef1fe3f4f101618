// The host's features as both LV2 libraries read them.
#pragma once

#include <lv2/core/lv2.h>

#include <cstring>

namespace lv2bundle {

// The data of the feature named `uri`, or null when the host does not offer it. Unlike the LV2
// headers' own lookup, a list that is null or holds a feature without a URI is taken as it comes.
inline const void* findFeature(const LV2_Feature* const* features, const char* uri) {
  if (features == nullptr) return nullptr;
  for (const LV2_Feature* const* f = features; *f != nullptr; ++f)
    if ((*f)->URI != nullptr && std::strcmp((*f)->URI, uri) == 0) return (*f)->data;
  return nullptr;
}

}  // namespace lv2bundle
