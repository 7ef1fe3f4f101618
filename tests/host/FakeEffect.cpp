// A tiny VST 2 effect built from the record header alone, for testing the host. Its behaviour is
// chosen when the entry runs, from the environment variable KESTRUNE_FAKE_MODE:
//   good (default)    2 in, 2 out, parameters "Gain", "Mix", "Tone Colour", programs "Soft", "Loud";
//                     processReplacing writes input x (2 x Gain)
//   null-record       the entry returns null
//   bad-magic         the record lacks the magic
//   null-dispatcher   the record has no dispatcher
//   huge-params       numParams is 2^30
//   negative-inputs   numInputs is -1
//   outputs-on-open   effOpen raises numOutputs to 100000
//   outputs-on-resume resuming raises numOutputs to 16
//   long-texts        names without terminator (256 bytes), an effect name of 400 bytes, a vendor
//                     with control characters
//   accumulate-only   no processReplacing and no replacing flag; process adds input x (2 x Gain)
//   no-process        neither processing entry
//   throw-in-process  processReplacing throws a C++ exception
//   nan               processReplacing writes NaN into the first sample of every block
//   no-indexed-names  effGetProgramNameIndexed answers 0 (names through set/get program)
// The build decides which entries are exported (FAKE_EXPORTS: 0 both, 1 main only, 2 none).
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include "vst/DAEffect.h"

#define FAKE_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

struct Fake {
  AEffect record{};
  audioMasterCallback host = nullptr;
  std::string mode;
  float params[3] = {0.5f, 1.0f, 0.25f};
  int program = 0;
  std::string programNames[2] = {"Soft", "Loud"};
};

// What the host did, for tests that load the library in-process (read through fakeLog()).
std::string callLog;
std::vector<double> blockPositions;
// Records the host must refuse without closing them live here rather than on the heap.
Fake refusedEffect;

const char* const kParamNames[3] = {"Gain", "Mix", "Tone Colour"};

Fake* self(AEffect* e) { return static_cast<Fake*>(e->object); }

void fill(void* ptr, const char* text) { std::strcpy(static_cast<char*>(ptr), text); }

void log(const std::string& entry) { callLog += entry + ";"; }

VstIntPtr dispatcher(AEffect* e, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) {
  Fake* f = self(e);
  const bool longTexts = f->mode == "long-texts";
  switch (opcode) {
    case effOpen:
      log("open");
      if (f->mode == "outputs-on-open") e->numOutputs = 100000;
      return 0;
    case effClose:
      log("close");
      if (f != &refusedEffect) delete f;
      return 1;
    case effSetSampleRate: log("rate " + std::to_string(static_cast<int>(opt))); return 0;
    case effSetBlockSize: log("block " + std::to_string(value)); return 0;
    case effMainsChanged:
      log("mains " + std::to_string(value));
      if (f->mode == "outputs-on-resume" && value != 0) e->numOutputs = 16;
      return 0;
    case effSetProgram:
      if (value >= 0 && value < 2) f->program = static_cast<int>(value);
      log("program " + std::to_string(value));
      return 0;
    case effGetProgram: return f->program;
    case effGetProgramName: fill(ptr, f->programNames[f->program].c_str()); return 0;
    case effGetProgramNameIndexed:
      if (f->mode == "no-indexed-names" || index < 0 || index >= 2) return 0;
      fill(ptr, f->programNames[index].c_str());
      return 1;
    case effGetParamName:
      if (index < 0 || index >= 3) return 0;
      if (longTexts)
        std::memset(ptr, 'A', 256);
      else
        fill(ptr, kParamNames[index]);
      return 0;
    case effGetParamLabel: fill(ptr, index == 0 ? "dB" : ""); return 0;
    case effGetParamDisplay:
      if (index >= 0 && index < 3) fill(ptr, std::to_string(static_cast<int>(f->params[index] * 100)).c_str());
      return 0;
    case effGetEffectName:
      if (longTexts)
        std::memset(ptr, 'B', 400);
      else
        fill(ptr, "FakeEffect");
      return 1;
    case effGetVendorString: fill(ptr, longTexts ? "Bad\tVendor\x01" : "Test Bench"); return 1;
    case effGetProductString: fill(ptr, "Fake"); return 1;
    case effGetVendorVersion: return 42;
    case effCanDo: return ptr != nullptr && std::strcmp(static_cast<const char*>(ptr), "bypass") == 0 ? 1 : -1;
    default: return 0;
  }
}

void gainBlock(AEffect* e, float** in, float** out, VstInt32 frames, bool add) {
  Fake* f = self(e);
  if (f->host != nullptr) {
    auto* time = reinterpret_cast<VstTimeInfo*>(f->host(e, audioMasterGetTime, 0, 0, nullptr, 0.0f));
    blockPositions.push_back(time != nullptr ? time->samplePos : -1.0);
  }
  const float gain = 2.0f * f->params[0];
  for (int c = 0; c < 2; ++c)
    for (VstInt32 i = 0; i < frames; ++i) out[c][i] = (add ? out[c][i] : 0.0f) + in[c][i] * gain;
}

void processReplacing(AEffect* e, float** in, float** out, VstInt32 frames) {
  const std::string& mode = self(e)->mode;
  if (mode == "throw-in-process") throw std::runtime_error("fake failure inside processing");
  gainBlock(e, in, out, frames, false);
  if (mode == "nan") out[0][0] = std::nanf("");
}

void process(AEffect* e, float** in, float** out, VstInt32 frames) { gainBlock(e, in, out, frames, true); }

void setParameter(AEffect* e, VstInt32 index, float value) {
  if (index >= 0 && index < 3) self(e)->params[index] = value;
}

float getParameter(AEffect* e, VstInt32 index) { return index >= 0 && index < 3 ? self(e)->params[index] : 0.0f; }

[[maybe_unused]] AEffect* entry(audioMasterCallback host, const char* name) {
  const char* env = std::getenv("KESTRUNE_FAKE_MODE");
  const std::string mode = env != nullptr ? env : "good";
  if (mode == "null-record") return nullptr;
  if (host == nullptr || host(nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f) == 0) return nullptr;

  Fake* f = &refusedEffect;
  if (mode == "bad-magic" || mode == "null-dispatcher")
    refusedEffect = Fake{};
  else
    f = new Fake;
  f->host = host;
  f->mode = mode;
  AEffect& r = f->record;
  r.magic = mode == "bad-magic" ? 0x12345678 : kEffectMagic;
  r.dispatcher = mode == "null-dispatcher" ? nullptr : dispatcher;
  r.process = mode == "no-process" ? nullptr : process;
  r.processReplacing = (mode == "no-process" || mode == "accumulate-only") ? nullptr : processReplacing;
  r.setParameter = setParameter;
  r.getParameter = getParameter;
  r.numPrograms = 2;
  r.numParams = mode == "huge-params" ? (1 << 30) : 3;
  r.numInputs = mode == "negative-inputs" ? -1 : 2;
  r.numOutputs = 2;
  r.flags = (mode == "accumulate-only" || mode == "no-process") ? 0 : effFlagsCanReplacing;
  r.ioRatio = 1.0f;
  r.object = f;
  r.uniqueID = 0x46616B65;  // "Fake"
  r.version = 1;
  callLog.clear();
  blockPositions.clear();
  log(std::string("entry ") + name);
  return &r;
}

}  // namespace

FAKE_EXPORT const char* fakeLog() { return callLog.c_str(); }
FAKE_EXPORT const double* fakeBlockPositions(int* count) {
  *count = static_cast<int>(blockPositions.size());
  return blockPositions.data();
}

#if FAKE_EXPORTS == 0
FAKE_EXPORT AEffect* VSTPluginMain(audioMasterCallback host) { return entry(host, "VSTPluginMain"); }
#endif
#if FAKE_EXPORTS <= 1
// `main` cannot be declared with this signature in C++, so the symbol is named at assembly level.
FAKE_EXPORT AEffect* fakeMainEntry(audioMasterCallback host) __asm__("main");
AEffect* fakeMainEntry(audioMasterCallback host) { return entry(host, "main"); }
#endif
