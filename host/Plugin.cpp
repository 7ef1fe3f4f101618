#include "host/Plugin.h"

#include <array>
#include <cstring>

#include "host/HostError.h"

namespace kestrune {

Plugin::Plugin(std::unique_ptr<SharedLibrary> library, HostState& host)
    : library_(std::move(library)), host_(host), binding_(std::make_unique<HostBinding>(host)) {}

Plugin::~Plugin() {
  try {
    if (effect_ != nullptr && !closed_) close();
  } catch (...) {
    // A plug-in that throws while closing must not take the host down with it.
  }
  binding_.reset();
  // library_ unloads last, after the plug-in destroyed itself.
}

std::unique_ptr<Plugin> Plugin::load(const std::string& path, HostState& host) {
  auto library = SharedLibrary::open(path);
  auto entry = reinterpret_cast<VstPluginMainProc>(library->findSymbol("VSTPluginMain"));
  if (entry == nullptr) entry = reinterpret_cast<VstPluginMainProc>(library->findSymbol("main"));
  if (entry == nullptr)
    throw HostError("'" + path + "' is not a VST 2 plug-in: it exports neither VSTPluginMain nor main");

  std::unique_ptr<Plugin> plugin(new Plugin(std::move(library), host));
  AEffect* effect = entry(HostState::callback());
  if (effect == nullptr) throw HostError("'" + path + "' refused to start: its entry returned no effect");
  if (effect->magic != kEffectMagic) throw HostError("'" + path + "' returned a record without the plug-in magic");
  if (effect->dispatcher == nullptr) throw HostError("'" + path + "' returned a record without a dispatcher");
  plugin->effect_ = effect;
  plugin->binding_->attach(effect);
  host.setCurrentId(effect->uniqueID);
  plugin->checkCounts("after loading");
  return plugin;
}

void Plugin::checkCounts(const char* when) {
  const struct {
    const char* what;
    VstInt32 value;
    VstInt32 cap;
  } counts[] = {{"inputs", effect_->numInputs, kMaxChannels},
                {"outputs", effect_->numOutputs, kMaxChannels},
                {"parameters", effect_->numParams, kMaxParams},
                {"programs", effect_->numPrograms, kMaxPrograms}};
  for (const auto& c : counts) {
    if (c.value < 0 || c.value > c.cap)
      throw HostError("'" + path() + "' reports " + std::to_string(c.value) + " " + c.what + " " + when +
                      " (accepted: 0 to " + std::to_string(c.cap) + ")");
  }
  numInputs_ = effect_->numInputs;
  numOutputs_ = effect_->numOutputs;
  numParams_ = effect_->numParams;
  numPrograms_ = effect_->numPrograms;
}

bool Plugin::canReplace() const {
  return effect_->processReplacing != nullptr && (effect_->flags & effFlagsCanReplacing) != 0;
}

VstIntPtr Plugin::dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) {
  if (effect_ == nullptr || closed_) return 0;
  return effect_->dispatcher(effect_, opcode, index, value, ptr, opt);
}

PluginText Plugin::text(VstInt32 opcode, VstInt32 index, VstIntPtr value) {
  std::array<char, kTextBufferSize> buffer{};
  PluginText out;
  out.result = dispatch(opcode, index, value, buffer.data());
  const std::size_t length = strnlen(buffer.data(), kTextReadLimit);
  out.terminated = length < kTextReadLimit;
  for (std::size_t i = kTextReadLimit; i < buffer.size(); ++i) {
    if (buffer[i] != '\0') {
      out.overran = true;
      break;
    }
  }
  out.text.assign(buffer.data(), length);
  for (char& c : out.text)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = '?';
  return out;
}

void Plugin::open() {
  dispatch(effOpen);
  checkCounts("after opening");
}

void Plugin::resume() {
  if (effect_ == nullptr || closed_) return;
  dispatch(effMainsChanged, 0, 1);
  if (effect_->numInputs != numInputs_ || effect_->numOutputs != numOutputs_)
    throw HostError("'" + path() + "' changed its channels when resumed (from " + std::to_string(numInputs_) + " in, " +
                    std::to_string(numOutputs_) + " out to " + std::to_string(effect_->numInputs) + " in, " +
                    std::to_string(effect_->numOutputs) + " out)");
}

void Plugin::close() {
  if (effect_ == nullptr || closed_) return;
  closed_ = true;
  effect_->dispatcher(effect_, effClose, 0, 0, nullptr, 0.0f);
}

void Plugin::setSampleRate(float rate) {
  host_.setSampleRate(rate);
  dispatch(effSetSampleRate, 0, 0, nullptr, rate);
}

void Plugin::setBlockSize(int frames) {
  host_.setBlockSize(frames);
  dispatch(effSetBlockSize, 0, frames);
}

float Plugin::getParameter(int index) {
  if (closed_ || effect_->getParameter == nullptr || index < 0 || index >= numParams_) return 0.0f;
  return effect_->getParameter(effect_, index);
}

void Plugin::setParameter(int index, float value) {
  if (closed_ || effect_->setParameter == nullptr || index < 0 || index >= numParams_) return;
  effect_->setParameter(effect_, index, value);
}

int Plugin::currentProgram() { return static_cast<int>(dispatch(effGetProgram)); }

void Plugin::setProgram(int index) {
  if (index < 0 || index >= numPrograms_) return;
  dispatch(effSetProgram, 0, index);
}

std::string Plugin::programName(int index) {
  PluginText indexed = text(effGetProgramNameIndexed, index, -1);
  if (indexed.result != 0) return indexed.text;
  const int current = currentProgram();
  setProgram(index);
  std::string name = text(effGetProgramName).text;
  setProgram(current);
  return name;
}

VstIntPtr Plugin::canDo(const char* query) {
  // Some plug-ins write into the query buffer; give them a private copy.
  std::array<char, kTextBufferSize> buffer{};
  std::strncpy(buffer.data(), query, kTextReadLimit - 1);
  return dispatch(effCanDo, 0, 0, buffer.data());
}

void Plugin::process(float** inputs, float** outputs, int frames) {
  if (closed_ || frames <= 0) return;
  if (canReplace()) {
    effect_->processReplacing(effect_, inputs, outputs, frames);
  } else if (effect_->process != nullptr) {
    for (int c = 0; c < numOutputs_; ++c) std::memset(outputs[c], 0, sizeof(float) * static_cast<std::size_t>(frames));
    effect_->process(effect_, inputs, outputs, frames);
  } else if (effect_->processReplacing != nullptr) {
    effect_->processReplacing(effect_, inputs, outputs, frames);
  } else {
    throw HostError("'" + path() + "' offers no processing entry");
  }
}

}  // namespace kestrune
