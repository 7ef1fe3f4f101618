#include "lv2/Lv2Dsp.h"

#include <lv2/atom/atom.h>
#include <lv2/atom/util.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/options/options.h>
#include <lv2/time/time.h>

#include <algorithm>
#include <bit>
#include <cstring>
#include <memory>

#include "lv2/Lv2Features.h"
#include "plugin/KestruneEn.h"
#include "plugin/uPlugin.h"

namespace {

// Without the host's bound, blocks are handed on in pieces of this many frames.
constexpr std::uint32_t kDefaultPiece = 8192;

bool sameBits(float a, float b) { return std::bit_cast<std::uint32_t>(a) == std::bit_cast<std::uint32_t>(b); }

}  // namespace

TLv2Dsp* TLv2Dsp::create(double sampleRate, const LV2_Feature* const* features) noexcept {
  try {
    const auto rate = static_cast<float>(sampleRate);
    if (APlugin::acceptedSampleRate(rate) == 0) return nullptr;
    // Owned here until it is handed over: nothing is left behind by a failure on the way.
    std::unique_ptr<TLv2Dsp> self(new TLv2Dsp());
    const auto* map = static_cast<const LV2_URID_Map*>(lv2bundle::findFeature(features, LV2_URID__map));
    if (map != nullptr && map->map != nullptr) self->mapUris(map);
    const auto* options =
        static_cast<const LV2_Options_Option*>(lv2bundle::findFeature(features, LV2_OPTIONS__options));
    if (options != nullptr && map != nullptr && map->map != nullptr) {
      const LV2_URID maxBlock = map->map(map->handle, LV2_BUF_SIZE__maxBlockLength);
      if (const void* value = lv2bundle::findOption(options, maxBlock, self->uris_.atomInt, sizeof(std::int32_t))) {
        std::int32_t n;
        std::memcpy(&n, value, sizeof n);
        if (n > 0) self->maxBlock_ = static_cast<std::uint32_t>(n);
      }
    }
    self->effect_ = createKestruneEn(&TLv2Dsp::hostCallback, nullptr);
    if (self->effect_ == nullptr) return nullptr;
    self->effect_->user = self.get();
    self->effect_->dispatcher(self->effect_, effOpen, 0, 0, nullptr, 0.0f);
    self->effect_->dispatcher(self->effect_, effSetSampleRate, 0, 0, nullptr, rate);
    return self.release();
  } catch (...) {
    return nullptr;
  }
}

TLv2Dsp::~TLv2Dsp() {
  if (effect_ == nullptr) return;
  if (active_) effect_->dispatcher(effect_, effMainsChanged, 0, 0, nullptr, 0.0f);
  effect_->dispatcher(effect_, effClose, 0, 0, nullptr, 0.0f);
}

void TLv2Dsp::mapUris(const LV2_URID_Map* map) {
  const auto m = [map](const char* uri) { return map->map(map->handle, uri); };
  uris_.atomBlank = m(LV2_ATOM__Blank);
  uris_.atomObject = m(LV2_ATOM__Object);
  uris_.atomFloat = m(LV2_ATOM__Float);
  uris_.atomDouble = m(LV2_ATOM__Double);
  uris_.atomInt = m(LV2_ATOM__Int);
  uris_.atomLong = m(LV2_ATOM__Long);
  uris_.timePosition = m(LV2_TIME__Position);
  uris_.timeBeatsPerMinute = m(LV2_TIME__beatsPerMinute);
}

VstIntPtr VSTCALLBACK TLv2Dsp::hostCallback(AEffect* effect, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
  if (opcode == audioMasterVersion) return 2400;
  auto* self = effect != nullptr ? static_cast<TLv2Dsp*>(effect->user) : nullptr;
  if (self == nullptr) return 0;
  // No tempo map: the effect then takes the tempo of the time information.
  if (opcode == audioMasterGetTime && (self->timeInfo_.flags & kVstTempoValid) != 0)
    return reinterpret_cast<VstIntPtr>(&self->timeInfo_);
  return 0;
}

void TLv2Dsp::connect(std::uint32_t port, void* data) noexcept {
  if (port < lv2bundle::kNumControls)
    controls_[port] = static_cast<const float*>(data);
  else if (port < lv2bundle::kAudioIn + 2)
    in_[port - lv2bundle::kAudioIn] = static_cast<const float*>(data);
  else if (port < lv2bundle::kAudioOut + 2)
    out_[port - lv2bundle::kAudioOut] = static_cast<float*>(data);
  else if (port == lv2bundle::kTimeIn)
    timeIn_ = data;
}

void TLv2Dsp::activate() noexcept {
  // The work buffers grow here, off the audio thread, to the longest piece run will hand on.
  const std::uint32_t piece = std::min<std::uint32_t>(maxBlock_ != 0 ? maxBlock_ : kDefaultPiece,
                                                      static_cast<std::uint32_t>(APlugin::kMaxWorkFrames));
  pieceFrames_ = static_cast<VstInt32>(piece);
  effect_->dispatcher(effect_, effSetBlockSize, 0, pieceFrames_, nullptr, 0.0f);
  effect_->dispatcher(effect_, effMainsChanged, 0, 1, nullptr, 0.0f);
  active_ = true;
}

void TLv2Dsp::deactivate() noexcept {
  if (!active_) return;
  effect_->dispatcher(effect_, effMainsChanged, 0, 0, nullptr, 0.0f);
  active_ = false;
}

void TLv2Dsp::readTimeInput() {
  if (timeIn_ == nullptr || uris_.timePosition == 0) return;
  const auto* sequence = static_cast<const LV2_Atom_Sequence*>(timeIn_);
  LV2_ATOM_SEQUENCE_FOREACH(sequence, event) {
    const LV2_Atom& atom = event->body;
    if (atom.type != uris_.atomObject && atom.type != uris_.atomBlank) continue;
    const auto* object = reinterpret_cast<const LV2_Atom_Object*>(&atom);
    if (object->body.otype != uris_.timePosition) continue;
    const LV2_Atom* bpm = nullptr;
    lv2_atom_object_get(object, uris_.timeBeatsPerMinute, &bpm, 0);
    if (bpm == nullptr) continue;
    // Whatever the number, the effect judges it as it judges a VST host's tempo.
    double tempo = 0.0;
    if (bpm->type == uris_.atomFloat && bpm->size >= sizeof(float))
      tempo = reinterpret_cast<const LV2_Atom_Float*>(bpm)->body;
    else if (bpm->type == uris_.atomDouble && bpm->size >= sizeof(double))
      tempo = reinterpret_cast<const LV2_Atom_Double*>(bpm)->body;
    else if (bpm->type == uris_.atomInt && bpm->size >= sizeof(std::int32_t))
      tempo = reinterpret_cast<const LV2_Atom_Int*>(bpm)->body;
    else if (bpm->type == uris_.atomLong && bpm->size >= sizeof(std::int64_t))
      tempo = static_cast<double>(reinterpret_cast<const LV2_Atom_Long*>(bpm)->body);
    else
      continue;
    timeInfo_.tempo = tempo;
    timeInfo_.flags |= kVstTempoValid;
  }
}

void TLv2Dsp::run(std::uint32_t frames) noexcept {
  // A host must activate first; one that does not gets silence rather than a block that allocates.
  if (!active_) {
    for (float* out : out_)
      if (out != nullptr) std::fill_n(out, frames, 0.0f);
    return;
  }
  readTimeInput();
  for (std::uint32_t i = 0; i < lv2bundle::kNumControls; ++i) {
    if (controls_[i] == nullptr) continue;
    const float value = *controls_[i];
    if (sentAll_ && sameBits(value, last_[i])) continue;
    last_[i] = value;
    effect_->setParameter(effect_, static_cast<VstInt32>(i), value);
  }
  sentAll_ = true;
  if (out_[0] == nullptr || out_[1] == nullptr) return;

  for (std::uint32_t done = 0; done < frames;) {
    const auto n = std::min<std::uint32_t>(frames - done, static_cast<std::uint32_t>(pieceFrames_));
    // The effect reads inputs before it writes outputs, so in-place buffers are fine.
    float* ins[2] = {in_[0] != nullptr ? const_cast<float*>(in_[0]) + done : nullptr,
                     in_[1] != nullptr ? const_cast<float*>(in_[1]) + done : nullptr};
    float* outs[2] = {out_[0] + done, out_[1] + done};
    effect_->processReplacing(effect_, ins, outs, static_cast<VstInt32>(n));
    done += n;
  }
}
