// A host's URID map for the tests: each URI its number, from 1 in the order first asked.
#pragma once

#include <lv2/urid/urid.h>

#include <string>
#include <vector>

struct TestUridMap {
  std::vector<std::string> uris;
  LV2_URID_Map map{this, &mapUri};
  LV2_Feature feature{LV2_URID__map, &map};

  TestUridMap() = default;
  TestUridMap(const TestUridMap&) = delete;  // the map points at this one
  TestUridMap& operator=(const TestUridMap&) = delete;

  LV2_URID operator()(const char* uri) { return mapUri(this, uri); }
  static LV2_URID mapUri(LV2_URID_Map_Handle handle, const char* uri) {
    auto& uris = static_cast<TestUridMap*>(handle)->uris;
    for (std::size_t i = 0; i < uris.size(); ++i)
      if (uris[i] == uri) return static_cast<LV2_URID>(i + 1);
    uris.emplace_back(uri);
    return static_cast<LV2_URID>(uris.size());
  }
};
