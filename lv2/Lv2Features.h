// The host's features as both LV2 libraries read them.
#pragma once

#include <lv2/core/lv2.h>
#include <lv2/options/options.h>

#include <cstdint>
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

// Whether `o` is the option that ends a host's list: key 0 and no value.
inline bool endsOptions(const LV2_Options_Option& o) { return o.key == 0 && o.value == nullptr; }

// The value of the option `key` of `type` and `size` bytes in the host's list (ended by an option
// with key 0 and no value), or null when the list has none such.
inline const void* findOption(const LV2_Options_Option* options, LV2_URID key, LV2_URID type, std::uint32_t size) {
  if (options == nullptr || key == 0) return nullptr;
  for (const LV2_Options_Option* o = options; !endsOptions(*o); ++o)
    if (o->key == key && o->type == type && o->size == size && o->value != nullptr) return o->value;
  return nullptr;
}

}  // namespace lv2bundle
