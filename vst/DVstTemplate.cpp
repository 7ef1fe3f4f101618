#include "vst/DVstTemplate.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "vst/DDenormalGuard.h"
#include "vst/DVstHeadlessRequests.h"
#include "vst/DVstTemplateEditor.h"
#include "vst/DVstText.h"

namespace {

VstInt32 nonNegative(VstInt32 n) { return n > 0 ? n : 0; }

// The audio thread stores its identity with every block: that must not take a lock.
static_assert(std::atomic<std::thread::id>::is_always_lock_free);

}  // namespace

TVstTemplate::TVstTemplate(audioMasterCallback audioMaster, VstInt32 numPrograms, VstInt32 numParams,
                           TFormClass editorFormClass, const TVstTemplateIdentity& identity)
    : AudioEffectX(audioMaster, nonNegative(numPrograms), nonNegative(numParams)),
      canDoSet(identity.canDoSet),
      numInputs(nonNegative(identity.numInputs)),
      numOutputs(nonNegative(identity.numOutputs)),
      uniqueIdString(identity.uniqueIdString),
      vendorVersion(identity.vendorVersion),
      effectName(identity.effectName),
      vendorName(identity.vendorName),
      productName(identity.productName),
      initialDelay(identity.initialDelay),
      effectFlagSet(identity.effectFlagSet) {
  setBufferLength(identity.bufferLength > 0 ? identity.bufferLength : kDefaultBufferLength);

  // Programs are created from the last down to the first. An effect without programs still gets
  // one internal program, so that its parameter values have somewhere to live.
  const VstInt32 programSlots = std::max<VstInt32>(this->numPrograms, 1);
  programs.resize(static_cast<std::size_t>(programSlots));
  for (VstInt32 i = programSlots - 1; i >= 0; --i)
    programs[static_cast<std::size_t>(i)] = std::make_unique<TVstProgram>(this->numParams, "Init");
  parameters.reserve(static_cast<std::size_t>(this->numParams));
  for (VstInt32 i = 0; i < this->numParams; ++i) parameters.push_back(std::make_unique<TVstParameterProperty>(i));

  if (editorFormClass != nullptr) setEditor(new TVstTemplateEditor(this, editorFormClass));

  suspend();

  std::string id = uniqueIdString;
  while (id.size() < 4) id += ' ';
  setUniqueID(fourCharToLong(id[0], id[1], id[2], id[3]));

  hasVu((effectFlagSet & kFlagHasVu) != 0);
  isSynth((effectFlagSet & kFlagIsSynth) != 0);
  hasClip((effectFlagSet & kFlagHasClip) != 0);
  canMono((effectFlagSet & kFlagCanMono) != 0);
  canProcessReplacing((effectFlagSet & kFlagCanReplacing) != 0);
  programsAreChunks((effectFlagSet & kFlagProgramChunks) != 0);
  hasExternalBuffer((effectFlagSet & kFlagExternalBuffer) != 0);
  wantAsyncOperation((effectFlagSet & kFlagAsync) != 0);
  noTail((effectFlagSet & kFlagNoTail) != 0);

  setNumInputs(numInputs);
  setNumOutputs(numOutputs);
  setInitialDelay(initialDelay);

  setProgram(0);
  markChanged();
}

TVstTemplate::~TVstTemplate() {
  // The editor goes first: an open form must not outlive the values it shows.
  setEditor(nullptr);
  programs.clear();
  parameters.clear();
}

// ---- parameters and programs ------------------------------------------------------------------

TVstProgram* TVstTemplate::currentProgram() const {
  const VstInt32 p = curProgram.load(std::memory_order_relaxed);
  if (p < 0 || p >= static_cast<VstInt32>(programs.size())) return nullptr;
  return programs[static_cast<std::size_t>(p)].get();
}

TVstParameterProperty* TVstTemplate::getParameterProperty(VstInt32 index) {
  if (index < 0 || index >= static_cast<VstInt32>(parameters.size())) return nullptr;
  return parameters[static_cast<std::size_t>(index)].get();
}

TVstProgram* TVstTemplate::getProgramAt(VstInt32 index) {
  if (index < 0 || index >= numPrograms) return nullptr;
  return programs[static_cast<std::size_t>(index)].get();
}

void TVstTemplate::setParameter(VstInt32 index, float value) {
  value = clampNormalised(value);
  if (index < 0 || index >= numParams) return;
  TVstProgram* program = currentProgram();
  if (program == nullptr) return;
  program->setValue(index, value);
  markChanged();
  OnParameterChange(index);
}

float TVstTemplate::getParameter(VstInt32 index) {
  if (index < 0 || index >= numParams) return 0.0f;
  const TVstProgram* program = currentProgram();
  return program != nullptr ? program->value(index) : 0.0f;
}

void TVstTemplate::setProgram(VstInt32 program) {
  if (program < 0 || program >= numPrograms) return;
  curProgram.store(program, std::memory_order_relaxed);
  const TVstProgram* selected = programs[static_cast<std::size_t>(program)].get();
  for (VstInt32 i = 0; i < numParams; ++i) setParameter(i, selected->value(i));
  markChanged();
  announceProgramChange();
}

bool TVstTemplate::onAudioThread() const {
  const std::thread::id self = std::this_thread::get_id();
  return self == audioThread.load(std::memory_order_relaxed) &&
         (processing.load(std::memory_order_relaxed) > 0 || self != builderThread);
}

void TVstTemplate::announceProgramChange() {
  // Hosts keep their own copy of every value (generic controls, automation passes): without this
  // they would go on showing and writing the previous program's values.
  if (!hostHasRecord.load(std::memory_order_relaxed)) return;
  if (onAudioThread()) {
    displayUpdatePending.store(true, std::memory_order_relaxed);
    return;
  }
  displayUpdatePending.store(false, std::memory_order_relaxed);
  updateDisplay();
}

VstIntPtr TVstTemplate::dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) {
  hostHasRecord.store(true, std::memory_order_relaxed);
  if (displayUpdatePending.load(std::memory_order_relaxed) && !onAudioThread() &&
      displayUpdatePending.exchange(false, std::memory_order_relaxed))
    updateDisplay();
  return AudioEffectX::dispatcher(opcode, index, value, ptr, opt);
}

void TVstTemplate::setProgramName(char* name) {
  TVstProgram* program = currentProgram();
  if (program == nullptr || name == nullptr) return;
  program->setName(name);
  markChanged();
}

void TVstTemplate::getProgramName(char* name) {
  const TVstProgram* program = currentProgram();
  vsttext::copy(name, program != nullptr ? program->getName() : "", vsttext::kProgramNameOut);
}

bool TVstTemplate::getProgramNameIndexed(VstInt32, VstInt32 index, char* text) {
  if (index < 0 || index >= numPrograms || text == nullptr) return false;
  return vsttext::copy(text, programs[static_cast<std::size_t>(index)]->getName(), vsttext::kProgramNameOut);
}

void TVstTemplate::getParameterLabel(VstInt32 index, char* label) {
  const TVstParameterProperty* property = getParameterProperty(index);
  vsttext::copy(label, property != nullptr ? property->label : "undefined", vsttext::kParamLabel);
}

void TVstTemplate::getParameterName(VstInt32 index, char* text) {
  const TVstParameterProperty* property = getParameterProperty(index);
  vsttext::copy(text, property != nullptr ? property->name : "undefined", vsttext::kParamName);
}

void TVstTemplate::getParameterDisplay(VstInt32 index, char* text) {
  if (text == nullptr) return;
  if (getParameterProperty(index) == nullptr) {
    vsttext::copy(text, "undefined", vsttext::kParamDisplay);
    return;
  }
  floatToDisplay(text, vsttext::kParamDisplay, getParameterValue(index));
}

float TVstTemplate::getParameterValue(VstInt32 index) {
  TVstParameterProperty* property = getParameterProperty(index);
  if (property == nullptr) return 0.0f;
  return property->displayValue(getParameter(index));
}

void TVstTemplate::setParameterValue(VstInt32 index, float value) {
  const TVstParameterProperty* property = getParameterProperty(index);
  if (property == nullptr) return;
  setParameterAutomated(index, property->normalisedFrom(value));
}

// ---- identity and capabilities ----------------------------------------------------------------

bool TVstTemplate::getEffectName(char* name) { return vsttext::copy(name, effectName.c_str(), vsttext::kEffectName); }
bool TVstTemplate::getVendorString(char* text) { return vsttext::copy(text, vendorName.c_str(), vsttext::kVendor); }
bool TVstTemplate::getProductString(char* text) { return vsttext::copy(text, productName.c_str(), vsttext::kProduct); }
VstInt32 TVstTemplate::getVendorVersion() { return vendorVersion; }

VstInt32 TVstTemplate::canDo(char* text) {
  if (text == nullptr) return -1;
  for (int bit = 0; bit < kNumCanDoTexts; ++bit) {
    const char* entry = kCanDoTexts[bit];
    // Bounded by the entry: the host's text is read no further than one byte past its length.
    if (std::strncmp(text, entry, std::strlen(entry) + 1) == 0) return ((canDoSet >> bit) & 1u) != 0 ? 1 : 0;
  }
  return -1;
}

bool TVstTemplate::pinProperties(const char* prefix, VstInt32 count, VstInt32 index, VstPinProperties* properties) {
  if (properties == nullptr || index < 0 || index >= count) return false;
  char label[kVstMaxLabelLen];
  std::snprintf(label, sizeof label, "%s%ld", prefix, static_cast<long>(index) + 1);
  vsttext::copy(properties->label, label, vsttext::kPinLabel);
  properties->flags = kVstPinIsActive | kVstPinIsStereo;
  return true;
}

bool TVstTemplate::getInputProperties(VstInt32 index, VstPinProperties* properties) {
  return pinProperties("Input #", numInputs, index, properties);
}

bool TVstTemplate::getOutputProperties(VstInt32 index, VstPinProperties* properties) {
  return pinProperties("Output #", numOutputs, index, properties);
}

// ---- lifecycle, channels, events --------------------------------------------------------------

void TVstTemplate::suspend() {}

void TVstTemplate::resume() {
  wantEvents(1);
  // Processing is stopped while the host resumes: grow the buffers here rather than in the first block.
  const VstInt32 wanted = std::min(getBlockSize(), kMaxWorkFrames);
  if (wanted > bufferLength) setBufferLength(wanted);
}

VstInt32 TVstTemplate::processEvents(VstEvents* events) {
  if (events == nullptr) return 1;
  const ProcessingCall call(*this);
  VstEvent* const* list = events->events;  // numEvents entries follow, beyond the declared two
  for (VstInt32 i = 0; i < events->numEvents; ++i) {
    VstEvent* event = list[i];
    if (event != nullptr && event->type == kVstMidiType) processMidi(event);
  }
  return 1;
}

void TVstTemplate::initialize() {}
void TVstTemplate::processAudio(TArrayOfSingleArray&, TArrayOfSingleArray&, VstInt32) {}
bool TVstTemplate::processDirect(const float* const*, float* const*, VstInt32) { return false; }
void TVstTemplate::processMidi(VstEvent*) {}

void TVstTemplate::changeNumInputs(VstInt32 n) {
  numInputs = nonNegative(n);
  inBuffers.resize(static_cast<std::size_t>(numInputs), TSingleArray(static_cast<std::size_t>(bufferLength)));
  setNumInputs(numInputs);
  ioChanged();
}

void TVstTemplate::changeNumOutputs(VstInt32 n) {
  numOutputs = nonNegative(n);
  outBuffers.resize(static_cast<std::size_t>(numOutputs), TSingleArray(static_cast<std::size_t>(bufferLength)));
  setNumOutputs(numOutputs);
  ioChanged();
}

void TVstTemplate::changeInitialDelay(VstInt32 n) {
  initialDelay = n;
  setInitialDelay(n);
  ioChanged();
}

void TVstTemplate::setBufferLength(VstInt32 length) {
  bufferLength = std::clamp<VstInt32>(length, 1, kMaxWorkFrames);
  const auto size = static_cast<std::size_t>(bufferLength);
  inBuffers.resize(static_cast<std::size_t>(numInputs));
  outBuffers.resize(static_cast<std::size_t>(numOutputs));
  for (TSingleArray& channel : inBuffers) channel.resize(size, 0.0f);
  for (TSingleArray& channel : outBuffers) channel.resize(size, 0.0f);
}

// ---- processing -------------------------------------------------------------------------------

float TVstTemplate::readHostTempo() {
  const VstInt32 answer = tempoAt(0);
  float bpm = answer > 0 ? static_cast<float>(answer / 10000.0) : 0.0f;
  if (bpm == 0.0f) {
    const VstTimeInfo* info = getTimeInfo(kVstTempoValid);
    // Range-check the double before narrowing it: a float conversion of 1e300 is undefined.
    if (info != nullptr && (info->flags & kVstTempoValid) != 0 && std::isfinite(info->tempo) && info->tempo > 0.0 &&
        info->tempo < 1.0e6)
      bpm = static_cast<float>(info->tempo);
  }
  return std::isfinite(bpm) && bpm > 0.0f ? bpm : 0.0f;
}

void TVstTemplate::fitWorkBuffers(VstInt32 frames, bool inputsFirst) {
  // Shrinking keeps the capacity, so a steady block size never allocates; only a block longer
  // than any before grows the buffers.
  const auto size = static_cast<std::size_t>(frames);
  if (inputsFirst)
    for (TSingleArray& channel : inBuffers) channel.resize(size, 0.0f);
  for (TSingleArray& channel : outBuffers) channel.resize(size, 0.0f);
  if (!inputsFirst)
    for (TSingleArray& channel : inBuffers) channel.resize(size, 0.0f);
}

void TVstTemplate::runBlock(float** inputs, float** outputs, VstInt32 sampleFrames, bool accumulate) {
  if (sampleFrames <= 0 || outputs == nullptr) return;
  const ProcessingCall call(*this);
  tempo.store(readHostTempo(), std::memory_order_relaxed);  // the host's code runs in its own FP mode
  TDenormalGuard denormals;

  // The replacing entry hands the host's buffers over as they are where every channel is there
  // (and there are few enough to list here).
  constexpr VstInt32 kMaxDirectChannels = 8;
  const float* directIn[kMaxDirectChannels];
  float* directOut[kMaxDirectChannels];
  bool direct = !accumulate && inputs != nullptr && numInputs <= kMaxDirectChannels &&
                numOutputs <= kMaxDirectChannels && static_cast<VstInt32>(inBuffers.size()) == numInputs &&
                static_cast<VstInt32>(outBuffers.size()) == numOutputs;
  for (VstInt32 k = 0; direct && k < numInputs; ++k) direct = inputs[k] != nullptr;
  for (VstInt32 k = 0; direct && k < numOutputs; ++k) direct = outputs[k] != nullptr;

  for (VstInt32 done = 0; done < sampleFrames;) {
    const VstInt32 frames = std::min(sampleFrames - done, kMaxWorkFrames);
    const auto n = static_cast<std::size_t>(frames);
    if (direct) {
      for (VstInt32 k = 0; k < numInputs; ++k) directIn[k] = inputs[k] + done;
      for (VstInt32 k = 0; k < numOutputs; ++k) directOut[k] = outputs[k] + done;
      if (processDirect(directIn, directOut, frames)) {
        done += frames;
        continue;
      }
      direct = false;  // the effect works on the work buffers only
    }
    fitWorkBuffers(frames, !accumulate);

    for (TSingleArray& channel : outBuffers) std::fill_n(channel.begin(), n, 0.0f);
    for (std::size_t k = 0; k < inBuffers.size(); ++k) {
      const float* source = inputs != nullptr ? inputs[k] : nullptr;
      if (source != nullptr)
        std::copy_n(source + done, n, inBuffers[k].begin());
      else
        std::fill_n(inBuffers[k].begin(), n, 0.0f);  // a missing input is silence
    }

    processAudio(inBuffers, outBuffers, frames);

    for (std::size_t k = 0; k < outBuffers.size(); ++k) {
      float* target = outputs[k];
      if (target == nullptr) continue;
      target += done;
      const TSingleArray& result = outBuffers[k];
      if (accumulate)
        for (std::size_t i = 0; i < n; ++i) target[i] += result[i];
      else
        std::copy_n(result.begin(), n, target);
    }
    done += frames;
  }
}

void TVstTemplate::process(float** inputs, float** outputs, VstInt32 sampleFrames) {
  runBlock(inputs, outputs, sampleFrames, true);
}

void TVstTemplate::processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames) {
  runBlock(inputs, outputs, sampleFrames, false);
}

VstIntPtr TVstTemplate::vendorSpecific(VstInt32 lArg, VstIntPtr lArg2, void* ptrArg, float floatArg) {
  auto* templateEditor = dynamic_cast<TVstTemplateEditor*>(getEditor());
  if (!templateEditor) return 0;
  if (lArg == kVendorContentScale && lArg2 == kContentScaleValue)
    return templateEditor->setContentScale(floatArg) ? 1 : 0;
  if (lArg != kKestruneRequest) return 0;
  if (lArg2 == kRequestProbe) return 1;
  return answerHeadlessRequest(*templateEditor, lArg2, ptrArg);
}
