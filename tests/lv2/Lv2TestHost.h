// The LV2 instance as a host drives it: a URID map, the control ports, a time position per block.
#pragma once

#include <lv2/atom/forge.h>
#include <lv2/time/time.h>

#include <memory>
#include <optional>

#include "lv2/Lv2Dsp.h"
#include "tests/lv2/UridMap.h"

struct TestLv2Host {
  TestUridMap urids;
  float controls[lv2bundle::kNumControls] = {};
  alignas(8) std::uint8_t time[256] = {};
  std::unique_ptr<TLv2Dsp> dsp;

  // Without the map the instance cannot read the time input.
  TestLv2Host(double rate, bool withMap) {
    const LV2_Feature* features[] = {&urids.feature, nullptr};
    dsp.reset(TLv2Dsp::create(rate, withMap ? features : nullptr));
    if (!dsp) return;
    for (std::uint32_t i = 0; i < lv2bundle::kNumControls; ++i) dsp->connect(i, &controls[i]);
    dsp->connect(lv2bundle::kTimeIn, time);
    setTempo(std::nullopt);
    dsp->activate();
  }
  // The time input for the next blocks: one position with this tempo, or an empty sequence.
  void setTempo(std::optional<float> bpm) {
    LV2_Atom_Forge forge;
    LV2_Atom_Forge_Frame sequence, position;
    lv2_atom_forge_init(&forge, &urids.map);
    lv2_atom_forge_set_buffer(&forge, time, sizeof time);
    lv2_atom_forge_sequence_head(&forge, &sequence, 0);
    if (bpm) {
      lv2_atom_forge_frame_time(&forge, 0);
      lv2_atom_forge_object(&forge, &position, 0, urids(LV2_TIME__Position));
      lv2_atom_forge_key(&forge, urids(LV2_TIME__beatsPerMinute));
      lv2_atom_forge_float(&forge, *bpm);
      lv2_atom_forge_pop(&forge, &position);
    }
    lv2_atom_forge_pop(&forge, &sequence);
  }
  void run(const float* inL, const float* inR, float* outL, float* outR, std::uint32_t frames) {
    dsp->connect(lv2bundle::kAudioIn, const_cast<float*>(inL));
    dsp->connect(lv2bundle::kAudioIn + 1, const_cast<float*>(inR));
    dsp->connect(lv2bundle::kAudioOut, outL);
    dsp->connect(lv2bundle::kAudioOut + 1, outR);
    dsp->run(frames);
  }
};
