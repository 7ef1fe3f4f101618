// The binary interface between a VST 2.x host and an effect: the effect record, the opcode and
// flag numbers, the host callback and the small records exchanged through `ptr`.
// Written from the published layouts; this header is shared by the effect and by our host and
// must stay free of anything else of the project.
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(_WIN32) && !defined(_WIN64)
#define VSTCALLBACK __cdecl
#else
#define VSTCALLBACK
#endif

using VstInt16 = std::int16_t;
using VstInt32 = std::int32_t;
using VstIntPtr = std::intptr_t;

struct AEffect;

using audioMasterCallback = VstIntPtr(VSTCALLBACK*)(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                                                    void* ptr, float opt);
using AEffectDispatcherProc = VstIntPtr(VSTCALLBACK*)(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                                                      void* ptr, float opt);
using AEffectProcessProc = void(VSTCALLBACK*)(AEffect* effect, float** inputs, float** outputs, VstInt32 sampleFrames);
using AEffectSetParameterProc = void(VSTCALLBACK*)(AEffect* effect, VstInt32 index, float value);
using AEffectGetParameterProc = float(VSTCALLBACK*)(AEffect* effect, VstInt32 index);

// The signature of the exported entry (`VSTPluginMain`, and `main` for older hosts).
using VstPluginMainProc = AEffect*(VSTCALLBACK*)(audioMasterCallback host);

constexpr VstInt32 kEffectMagic = 0x56737450;  // "VstP"

struct AEffect {
  VstInt32 magic;
  AEffectDispatcherProc dispatcher;
  AEffectProcessProc process;  // accumulating
  AEffectSetParameterProc setParameter;
  AEffectGetParameterProc getParameter;
  VstInt32 numPrograms;
  VstInt32 numParams;
  VstInt32 numInputs;
  VstInt32 numOutputs;
  VstInt32 flags;
  VstIntPtr resvd1;
  VstIntPtr resvd2;
  VstInt32 initialDelay;
  VstInt32 realQualities;
  VstInt32 offQualities;
  float ioRatio;
  void* object;  // leads from the record back to the effect object
  void* user;
  VstInt32 uniqueID;
  VstInt32 version;
  AEffectProcessProc processReplacing;
  void* processDoubleReplacing;  // never offered; stays null
  char future[56];
};

// Every record is made of fixed-size integers, pointers and VstIntPtr only: `long` is 4 bytes on 64-bit
// Windows and 8 on 64-bit Linux, so it would give the two 64-bit builds different layouts.
constexpr bool kVst32 = sizeof(void*) == 4;
static_assert(sizeof(void*) == 4 || sizeof(void*) == 8, "only 32- and 64-bit layouts are defined");
static_assert(sizeof(VstIntPtr) == sizeof(void*));
static_assert(offsetof(AEffect, magic) == 0);
static_assert(offsetof(AEffect, dispatcher) == (kVst32 ? 4 : 8));
static_assert(offsetof(AEffect, process) == (kVst32 ? 8 : 16));
static_assert(offsetof(AEffect, setParameter) == (kVst32 ? 12 : 24));
static_assert(offsetof(AEffect, getParameter) == (kVst32 ? 16 : 32));
static_assert(offsetof(AEffect, numPrograms) == (kVst32 ? 20 : 40));
static_assert(offsetof(AEffect, numParams) == (kVst32 ? 24 : 44));
static_assert(offsetof(AEffect, numInputs) == (kVst32 ? 28 : 48));
static_assert(offsetof(AEffect, numOutputs) == (kVst32 ? 32 : 52));
static_assert(offsetof(AEffect, flags) == (kVst32 ? 36 : 56));
static_assert(offsetof(AEffect, resvd1) == (kVst32 ? 40 : 64));
static_assert(offsetof(AEffect, resvd2) == (kVst32 ? 44 : 72));
static_assert(offsetof(AEffect, initialDelay) == (kVst32 ? 48 : 80));
static_assert(offsetof(AEffect, realQualities) == (kVst32 ? 52 : 84));
static_assert(offsetof(AEffect, offQualities) == (kVst32 ? 56 : 88));
static_assert(offsetof(AEffect, ioRatio) == (kVst32 ? 60 : 92));
static_assert(offsetof(AEffect, object) == (kVst32 ? 64 : 96));
static_assert(offsetof(AEffect, user) == (kVst32 ? 68 : 104));
static_assert(offsetof(AEffect, uniqueID) == (kVst32 ? 72 : 112));
static_assert(offsetof(AEffect, version) == (kVst32 ? 76 : 116));
static_assert(offsetof(AEffect, processReplacing) == (kVst32 ? 80 : 120));
static_assert(offsetof(AEffect, processDoubleReplacing) == (kVst32 ? 84 : 128));
static_assert(offsetof(AEffect, future) == (kVst32 ? 88 : 136));
static_assert(sizeof(AEffect) == (kVst32 ? 144 : 192));

// Effect flags (AEffect::flags).
enum : VstInt32 {
  effFlagsHasEditor = 1,
  effFlagsHasClip = 2,
  effFlagsHasVu = 4,
  effFlagsCanMono = 8,
  effFlagsCanReplacing = 16,
  effFlagsProgramChunks = 32,
  effFlagsIsSynth = 256,
  effFlagsNoSoundInStop = 512,
  effFlagsExtIsAsync = 1024,
  effFlagsExtHasBuffer = 2048,
};

// Opcodes the host sends through the dispatcher.
enum : VstInt32 {
  effOpen = 0,
  effClose,
  effSetProgram,
  effGetProgram,
  effSetProgramName,
  effGetProgramName,
  effGetParamLabel,
  effGetParamDisplay,
  effGetParamName,
  effGetVu,
  effSetSampleRate,  // 10
  effSetBlockSize,
  effMainsChanged,
  effEditGetRect,
  effEditOpen,
  effEditClose,
  effEditDraw,
  effEditMouse,
  effEditKey,
  effEditIdle,
  effEditTop,  // 20
  effEditSleep,
  effIdentify,
  effGetChunk,
  effSetChunk,
  effProcessEvents,  // 25
  effCanBeAutomated,
  effString2Parameter,
  effGetNumProgramCategories,
  effGetProgramNameIndexed,
  effCopyProgram,  // 30
  effConnectInput,
  effConnectOutput,
  effGetInputProperties,
  effGetOutputProperties,
  effGetPlugCategory,
  effGetCurrentPosition,
  effGetDestinationBuffer,
  effOfflineNotify,
  effOfflinePrepare,
  effOfflineRun,  // 40
  effProcessVarIo,
  effSetSpeakerArrangement,
  effSetBlockSizeAndSampleRate,
  effSetBypass,
  effGetEffectName,
  effGetErrorText,
  effGetVendorString,
  effGetProductString,
  effGetVendorVersion,
  effVendorSpecific,  // 50
  effCanDo,
  effGetTailSize,
  effIdle,
  effGetIcon,
  effSetViewPosition,
  effGetParameterProperties,
  effKeysRequired,
  effGetVstVersion,
  effEditKeyDown,
  effEditKeyUp,  // 60
  effSetEditKnobMode,
  effGetMidiProgramName,
  effGetCurrentMidiProgram,
  effGetMidiProgramCategory,
  effHasMidiProgramsChanged,
  effGetMidiKeyName,
  effBeginSetProgram,
  effEndSetProgram,
  effGetSpeakerArrangement,
  effShellGetNextPlugin,  // 70
  effStartProcess,
  effStopProcess,
  effSetTotalSampleToProcess,
  effSetPanLaw,
  effBeginLoadBank,
  effBeginLoadProgram,  // 76
};
static_assert(effSetSampleRate == 10 && effProcessEvents == 25 && effGetVstVersion == 58);
static_assert(effEditKeyDown == 59 && effBeginLoadProgram == 76);

// Opcodes the effect sends to the host callback.
enum : VstInt32 {
  audioMasterAutomate = 0,
  audioMasterVersion,
  audioMasterCurrentId,
  audioMasterIdle,
  audioMasterPinConnected,
  audioMasterWantMidi = 6,
  audioMasterGetTime,
  audioMasterProcessEvents,
  audioMasterSetTime,
  audioMasterTempoAt,  // 10
  audioMasterGetNumAutomatableParameters,
  audioMasterGetParameterQuantization,
  audioMasterIOChanged,
  audioMasterNeedIdle,
  audioMasterSizeWindow,
  audioMasterGetSampleRate,
  audioMasterGetBlockSize,
  audioMasterGetInputLatency,
  audioMasterGetOutputLatency,
  audioMasterGetPreviousPlug,  // 20
  audioMasterGetNextPlug,
  audioMasterWillReplaceOrAccumulate,
  audioMasterGetCurrentProcessLevel,
  audioMasterGetAutomationState,
  audioMasterOfflineStart,
  audioMasterOfflineRead,
  audioMasterOfflineWrite,
  audioMasterOfflineGetCurrentPass,
  audioMasterOfflineGetCurrentMetaPass,
  audioMasterSetOutputSampleRate,  // 30
  audioMasterGetOutputSpeakerArrangement,
  audioMasterGetVendorString,
  audioMasterGetProductString,
  audioMasterGetVendorVersion,
  audioMasterVendorSpecific,
  audioMasterSetIcon,
  audioMasterCanDo,
  audioMasterGetLanguage,
  audioMasterOpenWindow,
  audioMasterCloseWindow,  // 40
  audioMasterGetDirectory,
  audioMasterUpdateDisplay,
  audioMasterBeginEdit,
  audioMasterEndEdit,
  audioMasterOpenFileSelector,
  audioMasterCloseFileSelector,
  audioMasterEditFile,
  audioMasterGetChunkFile,
  audioMasterGetInputSpeakerArrangement,  // 49
};
static_assert(audioMasterTempoAt == 10 && audioMasterBeginEdit == 43 && audioMasterGetInputSpeakerArrangement == 49);

// Editor rectangle (effEditGetRect).
struct ERect {
  VstInt16 top;
  VstInt16 left;
  VstInt16 bottom;
  VstInt16 right;
};
static_assert(sizeof(ERect) == 8);

// Key code handed to the editor (effEditKeyDown / effEditKeyUp).
struct VstKeyCode {
  VstInt32 character;
  unsigned char virt;
  unsigned char modifier;
};
static_assert(offsetof(VstKeyCode, virt) == 4 && offsetof(VstKeyCode, modifier) == 5 && sizeof(VstKeyCode) == 8);

// Pin properties (effGetInputProperties / effGetOutputProperties).
constexpr int kVstMaxLabelLen = 64;
constexpr int kVstMaxShortLabelLen = 8;
enum : VstInt32 { kVstPinIsActive = 1, kVstPinIsStereo = 2, kVstPinUseSpeaker = 4 };
struct VstPinProperties {
  char label[kVstMaxLabelLen];
  VstInt32 flags;
  VstInt32 arrangementType;
  char shortLabel[kVstMaxShortLabelLen];
  char future[48];
};
static_assert(offsetof(VstPinProperties, flags) == 64 && offsetof(VstPinProperties, arrangementType) == 68);
static_assert(offsetof(VstPinProperties, shortLabel) == 72 && sizeof(VstPinProperties) == 128);

// Events (effProcessEvents / audioMasterProcessEvents).
enum : VstInt32 { kVstMidiType = 1 };
struct VstEvent {
  VstInt32 type;
  VstInt32 byteSize;
  VstInt32 deltaFrames;
  VstInt32 flags;
  char data[16];
};
static_assert(sizeof(VstEvent) == 32);
struct VstEvents {
  VstInt32 numEvents;
  VstIntPtr reserved;
  VstEvent* events[2];  // numEvents entries in practice
};
static_assert(offsetof(VstEvents, reserved) == (kVst32 ? 4 : 8));
static_assert(offsetof(VstEvents, events) == (kVst32 ? 8 : 16));

// Time information (audioMasterGetTime).
enum : VstInt32 { kVstTransportPlaying = 1 << 1, kVstTempoValid = 1 << 10 };
struct VstTimeInfo {
  double samplePos;
  double sampleRate;
  double nanoSeconds;
  double ppqPos;
  double tempo;  // beats per minute
  double barStartPos;
  double cycleStartPos;
  double cycleEndPos;
  VstInt32 timeSigNumerator;
  VstInt32 timeSigDenominator;
  VstInt32 smpteOffset;
  VstInt32 smpteFrameRate;
  VstInt32 samplesToNextClock;
  VstInt32 flags;
};
static_assert(offsetof(VstTimeInfo, tempo) == 32 && offsetof(VstTimeInfo, flags) == 84 && sizeof(VstTimeInfo) == 88);

// Plug-in categories (effGetPlugCategory).
enum : VstInt32 { kPlugCategUnknown = 0, kPlugCategEffect = 1, kPlugCategSynth = 2 };

// Text buffer sizes hosts provide for the corresponding opcodes; copies stay inside them.
constexpr int kVstMaxProgNameLen = 24;
constexpr int kVstMaxParamStrLen = 8;
constexpr int kVstMaxVendorStrLen = 64;
constexpr int kVstMaxProductStrLen = 64;
constexpr int kVstMaxEffectNameLen = 32;

// The texts a host asks a plug-in about with effCanDo, numbered as the bits of a can-do set.
inline constexpr int kNumPlugCanDos = 26;
inline constexpr const char* kPlugCanDos[kNumPlugCanDos] = {
    "sendVstEvents",
    "sendVstMidiEvent",
    "sendVstTimeInfo",
    "receiveVstEvents",
    "receiveVstMidiEvent",
    "receiveVstTimeInfo",
    "offline",
    "plugAsChannelInsert",
    "plugAsSend",
    "mixDryWet",
    "noRealTime",
    "multipass",
    "metapass",
    "1in1out",
    "1in2out",
    "2in1out",
    "2in2out",
    "2in4out",
    "4in2out",
    "4in4out",
    "4in8out",
    "8in4out",
    "8in8out",
    "midiProgramNames",
    "conformsToWindowRules",
    "bypass",
};

// --- The content-scale request that several hosts send on effVendorSpecific ------------------------
// index = kVendorContentScale, value = kContentScaleValue, opt = the factor (2 for 200 %). A plug-in
// that scales its editor answers 1; factors that are zero, negative, not finite or absurd are
// ignored (answer 0).
constexpr VstInt32 kVendorContentScale = ('P' << 24) | ('r' << 16) | ('e' << 8) | 'S';
constexpr VstIntPtr kContentScaleValue = ('A' << 24) | ('e' << 16) | ('C' << 8) | 's';

// --- Our own requests on effVendorSpecific (not part of the published interface) ----------------
// They let a host that links nothing of ours draw our editor offline: index = kKestruneRequest,
// value = a KestruneRequest code, ptr = that request's record. Our plug-ins answer them only while
// they draw on the headless platform (no display server; locating a control works on every
// platform) and only when they have an editor;
// otherwise, and for a bad record, the answer is 0 as for any unknown vendor request. Every call
// happens on the thread that opens the editor. Coordinates are screen pixels; the host window's
// client area starts at its (left, top).
constexpr VstInt32 kKestruneRequest = ('K' << 24) | ('s' << 16) | ('E' << 8) | 'd';
enum KestruneRequest : VstIntPtr {
  kRequestProbe = 0,              // ptr: null; answers 1 from our plug-ins with an editor, headless or not
  kRequestCreateHostWindow = 1,   // ptr: KestruneHostWindow*; fills `window`; answers 1
  kRequestDestroyHostWindow = 2,  // ptr: a window kRequestCreateHostWindow made; answers 1 (0 for any other)
  kRequestMouse = 3,              // ptr: KestruneMouse*; delivers what it causes; answers 1
  kRequestAdvance = 4,            // ptr: KestruneAdvance*; runs the timers due; answers 1
  kRequestReadPixels = 5,         // ptr: KestrunePixels*; answers 1 when the size matched
  kRequestLocateControl = 6,      // ptr: KestruneControl*; answers 1 when the open editor has it
};
struct KestruneHostWindow {
  VstInt32 left, top, width, height;  // in: 1 to 4096 each side
  void* window;                       // out: pass it to effEditOpen
};
enum : VstInt32 { kMouseMove = 0, kMouseDown = 1, kMouseUp = 2 };
struct KestruneMouse {
  VstInt32 x, y;    // screen position; the mouse moves there first
  VstInt32 action;  // kMouseMove, kMouseDown or kMouseUp
  VstInt32 button;  // 0 left, 1 right, 2 middle
};
struct KestruneAdvance {
  VstInt32 milliseconds;  // 0 to 600000
};
struct KestruneControl {
  const char* name;                   // in: a component name of the editor's description
  VstInt32 left, top, width, height;  // out: its bounds on the screen
  VstInt32 grabX, grabY;              // out: where to take it with the mouse (a slider's knob)
};
struct KestrunePixels {
  void* window;            // a host window made by kRequestCreateHostWindow
  VstInt32 width, height;  // must be its client size
  unsigned char* pixels;   // width * height * 4 bytes: rows from the top, red, green, blue, 255
};
static_assert(offsetof(KestruneHostWindow, window) == 16 && sizeof(KestruneHostWindow) == (kVst32 ? 20 : 24));
static_assert(sizeof(KestruneMouse) == 16 && sizeof(KestruneAdvance) == 4);
static_assert(offsetof(KestruneControl, left) == (kVst32 ? 4 : 8) && sizeof(KestruneControl) == (kVst32 ? 28 : 32));
static_assert(offsetof(KestrunePixels, width) == (kVst32 ? 4 : 8) &&
              offsetof(KestrunePixels, pixels) == (kVst32 ? 12 : 16));
static_assert(sizeof(KestrunePixels) == (kVst32 ? 16 : 24));
