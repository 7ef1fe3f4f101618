// The generic effect this project's effects derive from: parameter descriptions, programs holding
// complete sets of normalised values, identity strings, a can-do table, effect flags, work buffers
// for the audio, the host tempo per block, and two events.
//
// A concrete effect passes its identity and flags to the constructor and overrides initialize()
// (name the parameters, fill the programs) and processAudio(). C++ does not let the template's
// constructor reach an override, so the concrete constructor calls initialize() itself, first thing:
//
//   APlugin::APlugin(audioMasterCallback host)
//       : TVstTemplate(host, 4, 11, formClass, identity()) {
//     initialize();
//     OnParameterChange = TVstEvent<VstInt32>::bind<&APlugin::parameterChanged>(this);
//     ...
//   }
//
// Threads: setParameter and getParameter may run on any thread, processing on the audio thread,
// everything else on the host's user-interface thread. Shared values are relaxed atomics.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "ui/FormClass.h"
#include "vst/DAudioEffectX.h"
#include "vst/DVstEvent.h"
#include "vst/DVstParameterProperty.h"
#include "vst/DVstProgram.h"
#include "vst/DVstUtils.h"

// What a concrete effect tells the template before construction.
struct TVstTemplateIdentity {
  std::string uniqueIdString;  // four characters; shorter ones are padded with spaces
  VstInt32 vendorVersion = 0;
  std::string effectName;
  std::string vendorName;
  std::string productName;
  VstInt32 numInputs = 2;
  VstInt32 numOutputs = 2;
  VstInt32 initialDelay = 0;
  std::uint32_t canDoSet = 0;       // bit numbers of TVstTemplate::kCanDoTexts
  std::uint16_t effectFlagSet = 0;  // bits of TVstTemplate::EffectFlagBit
  VstInt32 bufferLength = 0;        // initial work-buffer length; 0 means 2048
};

class TVstTemplate : public AudioEffectX {
 public:
  enum EffectFlagBit : std::uint16_t {
    kFlagIsSynth = 1 << 0,
    kFlagHasVu = 1 << 1,
    kFlagHasClip = 1 << 2,
    kFlagCanMono = 1 << 3,
    kFlagCanReplacing = 1 << 4,
    kFlagProgramChunks = 1 << 5,
    kFlagNoTail = 1 << 6,
    kFlagAsync = 1 << 7,
    kFlagExternalBuffer = 1 << 8,
  };
  static constexpr int kNumCanDoTexts = kNumPlugCanDos;
  static constexpr const char* const* kCanDoTexts = kPlugCanDos;  // bit n answers kCanDoTexts[n]

  // Longest block handed to processAudio; longer host blocks are processed in pieces of this size
  // so that no host block size can make the audio thread allocate without bound.
  static constexpr VstInt32 kMaxWorkFrames = 65536;
  static constexpr VstInt32 kDefaultBufferLength = 2048;

  // editorFormClass may be null (no editor). Runs every construction step except initialize().
  TVstTemplate(audioMasterCallback audioMaster, VstInt32 numPrograms, VstInt32 numParams, TFormClass editorFormClass,
               const TVstTemplateIdentity& identity);
  // Destroys the editor (and an open form) first, then programs, then parameter descriptions.
  ~TVstTemplate() override;

  // NaN stores 0, values are clamped to 0..1; an index outside 0..numParams-1 is ignored.
  // Sets `changed` and fires OnParameterChange.
  void setParameter(VstInt32 index, float value) override;
  float getParameter(VstInt32 index) override;  // 0 outside the range
  void process(float** inputs, float** outputs, VstInt32 sampleFrames) override;
  void processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames) override;
  // Ignores a program outside 0..numPrograms-1; otherwise re-stores every value of the program
  // through setParameter (OnParameterChange fires once per parameter, in index order), then asks
  // the host to read the parameters again (audioMasterUpdateDisplay): at once, or from the audio
  // thread at the next dispatcher call made on another thread.
  void setProgram(VstInt32 program) override;
  void setProgramName(char* name) override;  // cut to 51 characters
  void getProgramName(char* name) override;
  void getParameterLabel(VstInt32 index, char* label) override;
  void getParameterDisplay(VstInt32 index, char* text) override;
  void getParameterName(VstInt32 index, char* text) override;
  void suspend() override;
  void resume() override;  // asks for events and makes the work buffers fit the block size
  VstInt32 processEvents(VstEvents* events) override;
  bool getProgramNameIndexed(VstInt32 category, VstInt32 index, char* text) override;
  bool getInputProperties(VstInt32 index, VstPinProperties* properties) override;
  bool getOutputProperties(VstInt32 index, VstPinProperties* properties) override;
  bool getEffectName(char* name) override;
  bool getVendorString(char* text) override;
  bool getProductString(char* text) override;
  VstInt32 getVendorVersion() override;
  VstInt32 canDo(char* text) override;
  // Delivers a display update that a program change on the audio thread left waiting, then
  // dispatches as AudioEffectX does.
  VstIntPtr dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) override;
  // Our own requests (kKestruneRequest) and the host's content scale (kVendorContentScale) when the
  // effect has an editor; 0 for everything else.
  VstIntPtr vendorSpecific(VstInt32 lArg, VstIntPtr lArg2, void* ptrArg, float floatArg) override;

  // Sets parameter index from a value in its property's shown range (inverse of the display
  // mapping), with host automation.
  virtual void setParameterValue(VstInt32 index, float value);
  virtual void initialize();
  // One block of audio: inputs and outputs hold numInputs and numOutputs channels of at least
  // sampleFrames samples; outputs arrive zeroed. sampleFrames is 1..kMaxWorkFrames.
  virtual void processAudio(TArrayOfSingleArray& inputs, TArrayOfSingleArray& outputs, VstInt32 sampleFrames);
  // The same block straight between the host's buffers, for the replacing entry when every channel
  // is there: no copies in and out. inputs and outputs hold numInputs and numOutputs channels of
  // sampleFrames (1..kMaxWorkFrames) samples; an output may be the very buffer of an input, and
  // outputs arrive as the host left them. Returns false, having done nothing, for an effect that
  // processes only through processAudio (the default).
  virtual bool processDirect(const float* const* inputs, float* const* outputs, VstInt32 sampleFrames);
  virtual void processMidi(VstEvent* event);

  // The value shown for parameter index (curve, range, smoother); advances the smoother.
  float getParameterValue(VstInt32 index);

  // Change the channel counts or latency after construction (user-interface thread, while
  // suspended): store the field, write the record, tell the host.
  void changeNumInputs(VstInt32 n);
  void changeNumOutputs(VstInt32 n);
  void changeInitialDelay(VstInt32 n);
  // Resizes the work buffers to the channel counts x length (user-interface thread). The length
  // is limited to 1..kMaxWorkFrames.
  void setBufferLength(VstInt32 length);

  TVstParameterProperty* getParameterProperty(VstInt32 index);  // null outside the range
  TVstProgram* getProgramAt(VstInt32 index);                    // null outside the range

  float getTempo() const { return tempo.load(std::memory_order_relaxed); }
  bool isChanged() const { return changed.load(std::memory_order_relaxed); }
  void clearChanged() { changed.store(false, std::memory_order_relaxed); }
  void markChanged() { changed.store(true, std::memory_order_relaxed); }

  VstInt32 getNumInputs() const { return numInputs; }
  VstInt32 getNumOutputs() const { return numOutputs; }
  VstInt32 getBufferLength() const { return bufferLength; }

  TVstEvent<TForm*> OnEditorIdle;
  TVstEvent<VstInt32> OnParameterChange;

 protected:
  // Host tempo for this block: tempoAt(0) / 10000, or, when that is 0, the tempo of the host's
  // time information when flagged valid; negative or not finite counts as 0. At most two host calls.
  float readHostTempo();

  TArrayOfSingleArray inBuffers;
  TArrayOfSingleArray outBuffers;
  std::atomic<float> tempo{0.0f};  // beats per minute, refreshed at the start of every block
  std::uint32_t canDoSet;
  VstInt32 numInputs;
  VstInt32 numOutputs;
  std::string uniqueIdString;
  VstInt32 vendorVersion;
  std::string effectName;
  std::string vendorName;
  std::string productName;
  VstInt32 initialDelay;
  std::uint16_t effectFlagSet;
  std::atomic<bool> changed{false};  // set on any change, cleared by the editor window
  VstInt32 bufferLength = 0;

 private:
  void runBlock(float** inputs, float** outputs, VstInt32 sampleFrames, bool accumulate);
  void fitWorkBuffers(VstInt32 frames, bool inputsFirst);
  TVstProgram* currentProgram() const;
  bool pinProperties(const char* prefix, VstInt32 count, VstInt32 index, VstPinProperties* properties);

  // Program changes and the host's copy of the parameters. The host hears of them from its first
  // dispatcher call on (before it, it does not know the record), and never on its audio thread:
  // the thread of the latest processing call, while it processes or unless it also built the
  // effect (a host that does everything on one thread).
  void announceProgramChange();
  bool onAudioThread() const;
  // Marks the calling thread as the audio thread for one processing call. Only calls on the
  // thread that built the effect are counted: only for that thread does onAudioThread ask whether
  // it is processing, and a count that one thread alone writes needs no locked instruction, which
  // would hold up the block's memory traffic (about 50 cycles a block).
  struct ProcessingCall {
    explicit ProcessingCall(TVstTemplate& effect)
        : effect(effect), counted(std::this_thread::get_id() == effect.builderThread) {
      effect.audioThread.store(std::this_thread::get_id(), std::memory_order_relaxed);
      if (counted) count(+1);
    }
    ~ProcessingCall() {
      if (counted) count(-1);
    }
    void count(int step) {
      effect.processing.store(effect.processing.load(std::memory_order_relaxed) + step, std::memory_order_relaxed);
    }
    ProcessingCall(const ProcessingCall&) = delete;
    ProcessingCall& operator=(const ProcessingCall&) = delete;
    TVstTemplate& effect;
    const bool counted;
  };

  std::vector<std::unique_ptr<TVstParameterProperty>> parameters;
  std::vector<std::unique_ptr<TVstProgram>> programs;
  const std::thread::id builderThread = std::this_thread::get_id();
  std::atomic<std::thread::id> audioThread{};
  std::atomic<int> processing{0};  // processing calls running on builderThread, which alone writes it
  std::atomic<bool> hostHasRecord{false};
  std::atomic<bool> displayUpdatePending{false};
};
