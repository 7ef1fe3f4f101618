// What an LV2 host hands a plug-in in these tests: a URID map and a time position as an atom
// sequence.
#pragma once

#include <lv2/atom/forge.h>
#include <lv2/core/lv2.h>
#include <lv2/time/time.h>
#include <lv2/urid/urid.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

struct TestUridMap {
  std::vector<std::string> uris;
  LV2_URID_Map map{this, &TestUridMap::mapUri};
  LV2_Feature feature{LV2_URID__map, &map};

  static LV2_URID mapUri(LV2_URID_Map_Handle handle, const char* uri) {
    auto* self = static_cast<TestUridMap*>(handle);
    for (std::size_t i = 0; i < self->uris.size(); ++i)
      if (self->uris[i] == uri) return static_cast<LV2_URID>(i + 1);
    self->uris.emplace_back(uri);
    return static_cast<LV2_URID>(self->uris.size());
  }
};

// An atom sequence buffer; position() writes one time position carrying a tempo.
struct TestTimeSequence {
  alignas(8) std::uint8_t buffer[1024] = {};
  LV2_Atom_Forge forge{};
  LV2_Atom_Forge_Frame frame{};

  explicit TestTimeSequence(LV2_URID_Map* map) { lv2_atom_forge_init(&forge, map); }

  void clear() {
    lv2_atom_forge_set_buffer(&forge, buffer, sizeof buffer);
    lv2_atom_forge_sequence_head(&forge, &frame, 0);
  }
  void position(LV2_URID_Map* map, float bpm) {
    LV2_Atom_Forge_Frame object;
    lv2_atom_forge_frame_time(&forge, 0);
    lv2_atom_forge_object(&forge, &object, 0, map->map(map->handle, LV2_TIME__Position));
    lv2_atom_forge_key(&forge, map->map(map->handle, LV2_TIME__beatsPerMinute));
    lv2_atom_forge_float(&forge, bpm);
    lv2_atom_forge_pop(&forge, &object);
  }
  void finish() { lv2_atom_forge_pop(&forge, &frame); }
};
