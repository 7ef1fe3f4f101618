// The effect template: construction, parameters and programs, texts towards the host, can-do table,
// pin properties, events and the shown-value mapping.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "tests/vst/FakeHost.h"
#include "tests/vst/TestTemplate.h"
#include "vst/DVstText.h"

namespace {

VstIntPtr dispatch(TVstTemplate& fx, VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr,
                   float opt = 0.0f) {
  AEffect* e = fx.getAeffect();
  return e->dispatcher(e, opcode, index, value, ptr, opt);
}

std::string text(TVstTemplate& fx, VstInt32 opcode, VstInt32 index = 0) {
  char buffer[128];
  std::memset(buffer, '#', sizeof buffer);
  dispatch(fx, opcode, index, 0, buffer);
  return buffer;
}

constexpr VstInt32 kMaxIndex = std::numeric_limits<VstInt32>::max();

TForm* noForm(TComponent*) { return nullptr; }
const TFormClassInfo kFormClass{"TTestForm", 415, 218, &noForm};

struct Reader : AEffEditor {
  using AEffEditor::AEffEditor;
  ~Reader() override { lastSeen = effect->getParameter(1); }
  static inline float lastSeen = -1.0f;
};

}  // namespace

TEST(Template, ConstructionPublishesIdentityFlagsAndDefaults) {
  TTestTemplate fx(nullptr, &kFormClass);
  const AEffect* e = fx.getAeffect();
  EXPECT_EQ(e->numInputs, 2);
  EXPECT_EQ(e->numOutputs, 2);
  EXPECT_EQ(e->numPrograms, 4);
  EXPECT_EQ(e->numParams, 11);
  EXPECT_EQ(e->flags, effFlagsHasEditor | effFlagsCanMono | effFlagsCanReplacing);
  EXPECT_EQ(e->uniqueID, fourCharToLong('Q', 'X', '0', '9'));
  EXPECT_NE(fx.getEditor(), nullptr);
  EXPECT_TRUE(fx.isChanged());
  EXPECT_EQ(fx.getProgram(), 0);
  EXPECT_EQ(fx.getBufferLength(), 2048);
  ASSERT_EQ(fx.inputs().size(), 2u);
  EXPECT_EQ(fx.inputs()[0].size(), 2048u);
  for (VstInt32 p = 0; p < 4; ++p) {
    char name[32];
    EXPECT_EQ(dispatch(fx, effGetProgramNameIndexed, p, 0, name), 1);
    EXPECT_STREQ(name, "Init");
  }
  EXPECT_EQ(text(fx, effGetParamName, 0), "Parameter 0");
  EXPECT_EQ(text(fx, effGetParamName, 10), "Parameter 10");
  EXPECT_EQ(text(fx, effGetEffectName), "Effect");
  EXPECT_EQ(text(fx, effGetVendorString), "Vendor");
  EXPECT_EQ(text(fx, effGetProductString), "Product");
  EXPECT_EQ(dispatch(fx, effGetVendorVersion), 1100);

  TTestTemplate shortId(nullptr, nullptr, [] {
    auto id = testIdentity();
    id.uniqueIdString = "Q";
    return id;
  }());
  EXPECT_EQ(shortId.getAeffect()->uniqueID, fourCharToLong('Q', ' ', ' ', ' '));
  EXPECT_EQ(shortId.getAeffect()->flags & effFlagsHasEditor, 0);
}

TEST(Template, EachFlagBitDrivesItsRecordFlag) {
  const std::pair<std::uint16_t, VstInt32> rows[] = {
      {TVstTemplate::kFlagIsSynth, effFlagsIsSynth},
      {TVstTemplate::kFlagHasVu, effFlagsHasVu},
      {TVstTemplate::kFlagHasClip, effFlagsHasClip},
      {TVstTemplate::kFlagCanMono, effFlagsCanMono},
      {TVstTemplate::kFlagCanReplacing, effFlagsCanReplacing},
      {TVstTemplate::kFlagProgramChunks, effFlagsProgramChunks},
      {TVstTemplate::kFlagNoTail, effFlagsNoSoundInStop},
      {TVstTemplate::kFlagAsync, effFlagsExtIsAsync},
      {TVstTemplate::kFlagExternalBuffer, effFlagsExtHasBuffer},
  };
  for (auto [bit, flag] : rows) {
    TTestTemplate fx(nullptr, nullptr, testIdentity(bit));
    EXPECT_EQ(fx.getAeffect()->flags, flag) << bit;
  }
}

TEST(Template, SetParameterClampsStoresMarksAndNotifies) {
  TTestTemplate fx;
  AEffect* e = fx.getAeffect();
  const float inf = std::numeric_limits<float>::infinity();
  const std::pair<float, float> values[] = {{0.25f, 0.25f}, {1.5f, 1.0f}, {-0.2f, 0.0f}, {std::nanf(""), 0.0f},
                                            {inf, 1.0f},    {-inf, 0.0f}, {1.0f, 1.0f},  {-0.0f, 0.0f}};
  for (auto [in, stored] : values) {
    fx.clearChanged();
    fx.changes.clear();
    e->setParameter(e, 3, in);
    EXPECT_EQ(e->getParameter(e, 3), stored) << in;
    EXPECT_TRUE(fx.isChanged());
    EXPECT_EQ(fx.changes, std::vector<VstInt32>{3});
  }
  fx.clearChanged();
  fx.changes.clear();
  for (VstInt32 bad : {11, -1, kMaxIndex, std::numeric_limits<VstInt32>::min()}) {
    e->setParameter(e, bad, 0.5f);
    EXPECT_EQ(e->getParameter(e, bad), 0.0f);
  }
  EXPECT_FALSE(fx.isChanged());
  EXPECT_TRUE(fx.changes.empty());
}

TEST(Template, ProgramsHoldTheirOwnValues) {
  TTestTemplate fx;
  AEffect* e = fx.getAeffect();
  dispatch(fx, effSetProgram, 0, 1);
  e->setParameter(e, 3, 0.75f);
  dispatch(fx, effSetProgram, 0, 0);
  EXPECT_EQ(e->getParameter(e, 3), 0.0f);
  dispatch(fx, effSetProgram, 0, 1);
  EXPECT_EQ(e->getParameter(e, 3), 0.75f);

  fx.changes.clear();
  fx.clearChanged();
  dispatch(fx, effSetProgram, 0, 2);
  EXPECT_EQ(fx.changes, (std::vector<VstInt32>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
  EXPECT_TRUE(fx.isChanged());

  fx.changes.clear();
  fx.clearChanged();
  fx.setProgram(-1);
  fx.setProgram(4);
  fx.setProgram(kMaxIndex);
  EXPECT_EQ(fx.getProgram(), 2);
  EXPECT_TRUE(fx.changes.empty());
  EXPECT_FALSE(fx.isChanged());
}

TEST(Template, TextsAreBoundedAndAnswerUndefinedOutOfRange) {
  TTestTemplate fx;
  for (VstInt32 opcode : {effGetParamName, effGetParamLabel, effGetParamDisplay})
    for (VstInt32 bad : {11, -1, kMaxIndex}) EXPECT_EQ(text(fx, opcode, bad), "undefined") << opcode << " " << bad;
  EXPECT_EQ(text(fx, effGetParamLabel, 0), "");

  AEffect* e = fx.getAeffect();
  for (auto [value, shown] : {std::pair{0.1f, "0.10"}, {0.05f, "0.05"}, {1.0f, "1.00"}, {0.0f, "0.00"}}) {
    e->setParameter(e, 1, value);
    EXPECT_EQ(text(fx, effGetParamDisplay, 1), shown);
  }

  // A long program name is cut to the program's buffer when stored, and to the host limit when read.
  std::string longName(80, 'n');
  fx.clearChanged();
  dispatch(fx, effSetProgramName, 0, 0, longName.data());
  EXPECT_TRUE(fx.isChanged());
  EXPECT_EQ(std::string(fx.getProgramAt(0)->getName()), std::string(51, 'n'));
  EXPECT_EQ(text(fx, effGetProgramName), std::string(vsttext::kProgramNameOut - 1, 'n'));
  char indexed[64];
  std::memset(indexed, '#', sizeof indexed);
  EXPECT_EQ(dispatch(fx, effGetProgramNameIndexed, 0, 0, indexed), 1);
  EXPECT_EQ(std::strlen(indexed), vsttext::kProgramNameOut - 1);
  EXPECT_EQ(indexed[vsttext::kProgramNameOut], '#');  // nothing written past the limit
  for (VstInt32 bad : {4, -1, kMaxIndex}) EXPECT_EQ(dispatch(fx, effGetProgramNameIndexed, bad, 0, indexed), 0);

  fx.getParameterProperty(2)->setName(std::string(60, 'p').c_str());
  EXPECT_EQ(text(fx, effGetParamName, 2), std::string(30, 'p'));
}

TEST(Template, BoundedCopyKeepsInsideTheLimit) {
  char buffer[8];
  std::memset(buffer, '#', sizeof buffer);
  EXPECT_TRUE(vsttext::copy(buffer, "abcdefghij", 4));
  EXPECT_STREQ(buffer, "abc");
  EXPECT_EQ(buffer[4], '#');
  EXPECT_TRUE(vsttext::copy(buffer, nullptr, 4));
  EXPECT_STREQ(buffer, "");
  EXPECT_FALSE(vsttext::copy(buffer, "x", 0));
  EXPECT_FALSE(vsttext::copy(nullptr, "x", 4));
  const char unterminated[3] = {'a', 'b', 'c'};  // read no further than the limit allows
  EXPECT_TRUE(vsttext::copy(buffer, unterminated, 3));
  EXPECT_STREQ(buffer, "ab");
}

TEST(Template, CanDoAnswersFromItsTable) {
  TTestTemplate fx;
  const std::pair<const char*, VstIntPtr> rows[] = {
      {"sendVstEvents", 1},       {"sendVstMidiEvent", 1},   {"sendVstTimeInfo", 0}, {"receiveVstEvents", 1},
      {"receiveVstMidiEvent", 1}, {"receiveVstTimeInfo", 0}, {"2in2out", 0},         {"bypass", 0},
      {"ReceiveVstEvents", -1},   {"receiveVstEventsX", -1}, {"receiveVst", -1},     {"", -1},
  };
  for (auto [query, answer] : rows) EXPECT_EQ(dispatch(fx, effCanDo, 0, 0, const_cast<char*>(query)), answer) << query;
  fx.canDoBits() = 1u << 25;
  EXPECT_EQ(dispatch(fx, effCanDo, 0, 0, const_cast<char*>("bypass")), 1);
  EXPECT_EQ(dispatch(fx, effCanDo, 0, 0, const_cast<char*>("sendVstEvents")), 0);
}

TEST(Template, PinPropertiesForExistingChannelsOnly) {
  TTestTemplate fx;
  VstPinProperties pin;
  std::memset(&pin, 0x5A, sizeof pin);
  EXPECT_EQ(dispatch(fx, effGetInputProperties, 0, 0, &pin), 1);
  EXPECT_STREQ(pin.label, "Input #1");
  EXPECT_EQ(pin.flags, kVstPinIsActive | kVstPinIsStereo);
  EXPECT_EQ(pin.shortLabel[0], 0x5A);  // left alone
  EXPECT_EQ(dispatch(fx, effGetOutputProperties, 1, 0, &pin), 1);
  EXPECT_STREQ(pin.label, "Output #2");

  std::memset(&pin, 0x5A, sizeof pin);
  for (VstInt32 bad : {2, -1, kMaxIndex}) {
    EXPECT_EQ(dispatch(fx, effGetInputProperties, bad, 0, &pin), 0);
    EXPECT_EQ(dispatch(fx, effGetOutputProperties, bad, 0, &pin), 0);
  }
  EXPECT_EQ(pin.label[0], 0x5A);
}

TEST(Template, MidiEventsReachTheEffectInOrder) {
  TTestTemplate fx;
  VstEvent a{kVstMidiType, 32, 0, 0, {}}, sysex{6, 32, 0, 0, {}}, b{kVstMidiType, 32, 5, 0, {}};
  struct {
    VstInt32 numEvents;
    VstIntPtr reserved;
    VstEvent* events[4];
  } block{4, 0, {&a, &sysex, nullptr, &b}};
  EXPECT_EQ(dispatch(fx, effProcessEvents, 0, 0, &block), 1);
  EXPECT_EQ(fx.midi, (std::vector<VstEvent*>{&a, &b}));
  block.numEvents = -3;
  EXPECT_EQ(dispatch(fx, effProcessEvents, 0, 0, &block), 1);
  EXPECT_EQ(fx.midi.size(), 2u);
}

TEST(Template, ShownValueFollowsCurveRangeAndSmoother) {
  TTestTemplate fx;
  AEffect* e = fx.getAeffect();
  e->setParameter(e, 0, 0.5f);
  TVstParameterProperty* p = fx.getParameterProperty(0);
  EXPECT_EQ(fx.getParameterValue(0), 0.5f);

  p->curve = TVstParameterProperty::kExponential;
  p->curveFactor = 3.0f;  // (3 + 1)^0.5 - 1 = 1
  p->minValue = 10.0f;
  p->maxValue = 20.0f;
  EXPECT_FLOAT_EQ(fx.getParameterValue(0), 20.0f);
  EXPECT_NEAR(p->normalisedFrom(20.0f), 0.5f, 1e-6f);

  p->curve = TVstParameterProperty::kLogarithmic;  // ln(3 * 0.5 + 1) / ln 4
  EXPECT_FLOAT_EQ(fx.getParameterValue(0), 10.0f + 10.0f * static_cast<float>(std::log(2.5) / std::log(4.0)));
  EXPECT_NEAR(p->normalisedFrom(fx.getParameterValue(0)), 0.5f, 1e-6f);
  p->curveFactor = 0.0f;  // undefined curve counts as linear instead of dividing by zero
  EXPECT_FLOAT_EQ(fx.getParameterValue(0), 15.0f);

  p->curve = TVstParameterProperty::kLinear;
  p->minValue = 0.0f;
  p->maxValue = 1.0f;
  p->smoothing = 0.5f;
  p->smoothState1 = p->smoothState2 = 0.0f;
  e->setParameter(e, 0, 1.0f);
  EXPECT_EQ(fx.getParameterValue(0), 0.25f);  // s1 = 0.5, s2 = 0.25
  EXPECT_EQ(fx.getParameterValue(0), 0.5f);   // s1 = 0.75, s2 = 0.5
  EXPECT_EQ(fx.getParameterValue(kMaxIndex), 0.0f);
}

TEST(Template, SetParameterValueMapsBackAndAutomates) {
  FakeHost host;
  TTestTemplate fx(&FakeHost::callback);
  TVstParameterProperty* p = fx.getParameterProperty(4);
  p->minValue = -12.0f;
  p->maxValue = 12.0f;
  fx.setParameterValue(4, 6.0f);
  EXPECT_EQ(fx.getParameter(4), 0.75f);
  EXPECT_EQ(fx.changes.back(), 4);
  ASSERT_EQ(host.count(audioMasterAutomate), 1u);
  EXPECT_EQ(host.calls.back().opt, 0.75f);
  fx.setParameterValue(4, 100.0f);
  EXPECT_EQ(fx.getParameter(4), 1.0f);
  p->maxValue = p->minValue;  // empty range: 0, not a division by zero
  fx.setParameterValue(4, 3.0f);
  EXPECT_EQ(fx.getParameter(4), 0.0f);
}

TEST(Template, ResumeAsksForEventsAndGrowsTheBuffersToTheBlockSize) {
  FakeHost host;
  TTestTemplate fx(&FakeHost::callback);
  dispatch(fx, effSetBlockSize, 0, 4096);
  dispatch(fx, effMainsChanged, 0, 1);
  EXPECT_EQ(host.count(audioMasterWantMidi), 1u);
  EXPECT_EQ(host.calls.back().value, 1);
  EXPECT_EQ(fx.getBufferLength(), 4096);
  dispatch(fx, effSetBlockSize, 0, kMaxIndex);
  dispatch(fx, effMainsChanged, 0, 1);
  EXPECT_EQ(fx.getBufferLength(), TVstTemplate::kMaxWorkFrames);
}

TEST(Template, AnEffectWithoutProgramsStillKeepsItsValues) {
  TTestTemplate fx(nullptr, nullptr, testIdentity(), 0, 3);
  fx.setParameter(2, 0.5f);
  EXPECT_EQ(fx.getParameter(2), 0.5f);
  char name[32] = "x";
  EXPECT_EQ(dispatch(fx, effGetProgramNameIndexed, 0, 0, name), 0);
}

TEST(Template, TheEditorGoesBeforeTheProgramsItMightRead) {
  auto* fx = new TTestTemplate;
  fx->setParameter(1, 0.5f);
  fx->setEditor(new Reader(fx));
  AEffect* e = fx->getAeffect();
  EXPECT_EQ(e->dispatcher(e, effClose, 0, 0, nullptr, 0.0f), 1);
  EXPECT_EQ(Reader::lastSeen, 0.5f);
}
