#include "host/HostState.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <string_view>
#include <vector>

namespace kestrune {
namespace {

// Time-information flags beyond the two the record header names.
constexpr VstInt32 kVstPpqPosValid = 1 << 9;
constexpr VstInt32 kVstTimeSigValid = 1 << 13;

struct Route {
  HostState* state;
  AEffect* effect;  // null until attached
};

std::mutex routesMutex;
std::vector<Route> routes;  // newest last

HostState* routeFor(AEffect* effect) {
  std::lock_guard lock(routesMutex);
  if (effect != nullptr) {
    for (const Route& r : routes)
      if (r.effect == effect) return r.state;
  }
  // Calls during construction come with a null or not yet known record.
  for (auto it = routes.rbegin(); it != routes.rend(); ++it)
    if (it->effect == nullptr) return it->state;
  return routes.empty() ? nullptr : routes.back().state;
}

VstIntPtr VSTCALLBACK hostCallback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                   float opt) {
  if (HostState* state = routeFor(effect)) return state->answer(effect, opcode, index, value, ptr, opt);
  return opcode == audioMasterVersion ? HostState::kHostVersion : 0;
}

// A text the plug-in passed, read up to its terminator but never further than `limit` bytes.
std::string_view boundedText(const void* ptr, std::size_t limit = 256) {
  if (ptr == nullptr) return {};
  const char* text = static_cast<const char*>(ptr);
  return {text, strnlen(text, limit)};
}

// 1 for what this host does, -1 for what it knowingly does not, 0 for texts it does not know.
VstIntPtr hostCanDo(std::string_view text) {
  static constexpr std::string_view yes[] = {"sendVstTimeInfo"};
  static constexpr std::string_view no[] = {
      "sendVstEvents",   "sendVstMidiEvent", "receiveVstEvents", "receiveVstMidiEvent", "reportConnectionChanges",
      "acceptIOChanges", "sizeWindow",       "offline",          "openFileSelector",    "closeFileSelector",
      "supplyIdle",      "supportShell",     "shellCategory",    "startStopProcess",    "editFile"};
  if (std::find(std::begin(yes), std::end(yes), text) != std::end(yes)) return 1;
  if (std::find(std::begin(no), std::end(no), text) != std::end(no)) return -1;
  return 0;
}

void copyText(void* ptr, const char* text, std::size_t capacity) {
  if (ptr == nullptr) return;
  char* out = static_cast<char*>(ptr);
  const std::size_t n = std::min(std::strlen(text), capacity - 1);
  std::memcpy(out, text, n);
  out[n] = '\0';
}

}  // namespace

audioMasterCallback HostState::callback() { return &hostCallback; }

VstIntPtr HostState::answer(AEffect*, VstInt32 opcode, VstInt32 index, VstIntPtr, void* ptr, float opt) {
  switch (opcode) {
    case audioMasterAutomate:
      automation_.automateCount.fetch_add(1, std::memory_order_relaxed);
      automation_.lastIndex.store(index, std::memory_order_relaxed);
      automation_.lastValue.store(opt, std::memory_order_relaxed);
      return 0;
    case audioMasterBeginEdit: automation_.beginEditCount.fetch_add(1, std::memory_order_relaxed); return 1;
    case audioMasterEndEdit: automation_.endEditCount.fetch_add(1, std::memory_order_relaxed); return 1;
    case audioMasterVersion: return kHostVersion;
    case audioMasterCurrentId: return currentId_;
    case audioMasterTempoAt: return tempo_ ? static_cast<VstIntPtr>(*tempo_ * 10000.0 + 0.5) : 0;
    case audioMasterGetTime: {
      const double bpm = tempo_.value_or(120.0);
      timeInfo_ = VstTimeInfo{};
      timeInfo_.samplePos = samplePosition_;
      timeInfo_.sampleRate = sampleRate_;
      timeInfo_.tempo = bpm;
      timeInfo_.ppqPos = samplePosition_ / sampleRate_ * bpm / 60.0;
      timeInfo_.timeSigNumerator = 4;
      timeInfo_.timeSigDenominator = 4;
      timeInfo_.flags = kVstTransportPlaying | kVstPpqPosValid | kVstTimeSigValid | (tempo_ ? kVstTempoValid : 0);
      return reinterpret_cast<VstIntPtr>(&timeInfo_);
    }
    case audioMasterGetSampleRate: return static_cast<VstIntPtr>(sampleRate_);
    case audioMasterGetBlockSize: return blockSize_;
    case audioMasterCanDo: return hostCanDo(boundedText(ptr));
    case audioMasterGetVendorString: copyText(ptr, "Kestrune", kVstMaxVendorStrLen); return 1;
    case audioMasterGetProductString: copyText(ptr, "kestrune command-line host", kVstMaxProductStrLen); return 1;
    case audioMasterGetVendorVersion: return 1000;
    default: return 0;
  }
}

HostBinding::HostBinding(HostState& state) : state_(state) {
  std::lock_guard lock(routesMutex);
  routes.push_back({&state_, nullptr});
}

HostBinding::~HostBinding() {
  std::lock_guard lock(routesMutex);
  for (auto it = routes.rbegin(); it != routes.rend(); ++it) {
    if (it->state == &state_) {
      routes.erase(std::next(it).base());
      break;
    }
  }
}

void HostBinding::attach(AEffect* effect) {
  std::lock_guard lock(routesMutex);
  for (Route& r : routes)
    if (r.state == &state_) r.effect = effect;
}

}  // namespace kestrune
