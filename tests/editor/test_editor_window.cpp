// The editor window end to end: opened through the dispatcher in a headless host window, driven
// with injected mouse input at screen positions, read back as the host's screen.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "DIB/Source/cDIBGlyphButton.h"
#include "DIB/Source/cDIBSlider.h"
#include "tests/editor/EditorFixture.h"

namespace {

constexpr VstInt32 kAutomate = audioMasterAutomate, kBegin = audioMasterBeginEdit, kEnd = audioMasterEndEdit;

int Count(VstInt32 opcode) {
  int n = 0;
  for (const HostCall& c : EditorTest::calls) n += c.opcode == opcode;
  return n;
}

TEST_F(EditorTest, OpensAtItsSizeAndShowsTheEffectsValues) {
  ERect* r = nullptr;
  ASSERT_EQ(Dispatch(effEditGetRect, 0, 0, &r), 1);
  EXPECT_EQ(r->right - r->left, 415);
  EXPECT_EQ(r->bottom - r->top, 218);
  EXPECT_EQ(record->flags & effFlagsHasEditor, effFlagsHasEditor);
  Open();
  ASSERT_NE(Window(), nullptr);
  EXPECT_EQ(Window()->Effect(), effect);
  // Program 0: Speed 0.1 -> position 90, Master 1 -> 0, TrajControl2 0.8 -> 20; buttons up.
  EXPECT_EQ(Control<TDIBSlider>("p0")->Position(), 90);
  EXPECT_EQ(Control<TDIBSlider>("p4")->Position(), 20);
  EXPECT_EQ(Control<TDIBSlider>("p8")->Position(), 0);
  EXPECT_FALSE(Control<TDIBGlyphButton>("p9")->Down());
  EXPECT_EQ(Panel(1), "Info");
  EXPECT_FALSE(effect->isChanged());
  EXPECT_TRUE(calls.empty());  // a refresh writes nothing back
  ExpectGolden("initial");
}

TEST_F(EditorTest, DraggingASliderWritesItsParameterInOneGesture) {
  Open();
  // p3 starts at 80 (TrajControl1 0.2); the track is 154 - 30 pixels long.
  Drag("p3", -200);
  EXPECT_EQ(Control<TDIBSlider>("p3")->Position(), 0);
  ASSERT_FALSE(calls.empty());
  EXPECT_EQ(calls.front(), (HostCall{kBegin, 3, 0.0f}));
  EXPECT_EQ(calls.back(), (HostCall{kEnd, 3, 0.0f}));
  EXPECT_EQ(Count(kBegin), 1);
  EXPECT_EQ(Count(kEnd), 1);
  EXPECT_EQ(calls[calls.size() - 2], (HostCall{kAutomate, 3, 1.0f}));
  EXPECT_EQ(effect->getParameter(3), 1.0f);
  EXPECT_EQ(Panel(0), "100");
  EXPECT_EQ(Panel(1), "First trajectory control (panning)");

  calls.clear();
  Drag("p3", 200);
  EXPECT_EQ(effect->getParameter(3), 0.0f);
  EXPECT_EQ(Panel(0), "0");
  EXPECT_EQ(Count(kBegin), 1);
  EXPECT_EQ(Count(kEnd), 1);
  // Every write in between is a step of 0.01 towards the bottom.
  float last = 1.0f;
  for (const HostCall& c : calls)
    if (c.opcode == kAutomate) {
      EXPECT_EQ(c.index, 3);
      EXPECT_LT(c.value, last);
      last = c.value;
    }
  Wait(30);  // the refresh after the user's own writes changes nothing
  EXPECT_EQ(Control<TDIBSlider>("p3")->Position(), 100);

  // Master starts at the top (1.0): taken 40 pixels down.
  Drag("p8", 40);
  Wait(30);
  EXPECT_LT(effect->getParameter(8), 0.75f);
  ExpectGolden("slider-dragged");
}

TEST_F(EditorTest, HostChangesMoveTheControlsWithoutWritingBack) {
  Open();
  effect->setParameter(0, 0.537f);
  Wait(15);
  EXPECT_EQ(Control<TDIBSlider>("p0")->Position(), 46);
  EXPECT_EQ(Panel(0), "54");
  EXPECT_EQ(effect->getParameter(0), 0.537f);
  // Ties go to the even neighbour: 0.125 -> 12; 0.135 (a little above as a float) -> 14.
  effect->setParameter(1, 0.125f);
  effect->setParameter(2, 0.135f);
  Wait(15);
  EXPECT_EQ(Control<TDIBSlider>("p1")->Position(), 88);
  EXPECT_EQ(Control<TDIBSlider>("p2")->Position(), 86);
  // A program change reaches every control.
  effect->setProgram(2);
  Wait(15);
  EXPECT_EQ(Control<TDIBSlider>("p3")->Position(), 20);
  EXPECT_EQ(Control<TDIBSlider>("p7")->Position(), 20);
  EXPECT_TRUE(calls.empty());

  // Buttons: above one half down, below up, exactly one half keeps the state.
  effect->setParameter(9, 0.75f);
  Wait(15);
  EXPECT_TRUE(Control<TDIBGlyphButton>("p9")->Down());
  effect->setParameter(9, 0.5f);
  Wait(15);
  EXPECT_TRUE(Control<TDIBGlyphButton>("p9")->Down());
  effect->setParameter(9, 0.25f);
  effect->setParameter(10, 0.5f);
  Wait(15);
  EXPECT_FALSE(Control<TDIBGlyphButton>("p9")->Down());
  EXPECT_FALSE(Control<TDIBGlyphButton>("p10")->Down());
  EXPECT_TRUE(calls.empty());
}

TEST_F(EditorTest, ButtonsAndTheirCaptionsToggleTheirParameters) {
  Open();
  Click("p9");
  EXPECT_EQ(calls, (std::vector<HostCall>{{kBegin, 9, 0}, {kAutomate, 9, 1.0f}, {kEnd, 9, 0}}));
  EXPECT_TRUE(Control<TDIBGlyphButton>("p9")->Down());
  Wait(30);
  EXPECT_TRUE(Control<TDIBGlyphButton>("p9")->Down());
  ExpectGolden("button-down");

  // The caption writes from the button's state; the button follows at the next refresh.
  calls.clear();
  Click("DIBFadeLabel10");
  EXPECT_EQ(calls, (std::vector<HostCall>{{kBegin, 9, 0}, {kAutomate, 9, 0.0f}, {kEnd, 9, 0}}));
  EXPECT_TRUE(Control<TDIBGlyphButton>("p9")->Down());
  Wait(15);
  EXPECT_FALSE(Control<TDIBGlyphButton>("p9")->Down());

  calls.clear();
  Click("DIBFadeLabel11");
  EXPECT_EQ(calls, (std::vector<HostCall>{{kBegin, 10, 0}, {kAutomate, 10, 1.0f}, {kEnd, 10, 0}}));
  Wait(15);
  EXPECT_TRUE(Control<TDIBGlyphButton>("p10")->Down());
  EXPECT_EQ(effect->getParameter(10), 1.0f);

  // Merge inputs' own button writes only its own parameter.
  calls.clear();
  Click("p10");
  EXPECT_EQ(calls, (std::vector<HostCall>{{kBegin, 10, 0}, {kAutomate, 10, 0.0f}, {kEnd, 10, 0}}));
  EXPECT_FALSE(Control<TDIBGlyphButton>("p10")->Down());
  EXPECT_EQ(effect->getParameter(9), 0.0f);
}

// The sliders: names, hints and drags in designed pixels; each one's index is its Tag and parameter.
constexpr struct {
  const char* name;
  const char* hint;
  int drag;
} kSliders[] = {{"p0", "Doppler/Panner/Damping speed control", 37},
                {"p1", "Doppler effect amount (pitch)", 13},
                {"p2", "Damp modulation amount", 61},
                {"p3", "First trajectory control (panning)", 200},
                {"p4", "Second trajectory control (panning)", 31},
                {"p5", "Feedback amount (flanger)", 7},
                {"p6", "Left amplitude modulation", 124},
                {"p7", "Right modulation amount", 3},
                {"p8", "Master volume", 40}};

// At every scale (a request snaps to the nearest, a tie to the smaller) each slider shows its own
// hint and writes only its own parameter, the same fraction of its track giving the same value;
// a host write moves it alone.
TEST_F(EditorTest, EverySliderWritesShowsAndFollowsOnlyItsOwnParameterAtEveryScale) {
  const struct {
    float asked, scale;
    int width, height;
  } scales[] = {{1.25f, 1.0f, 415, 218}, {1.7f, 1.5f, 623, 327}, {2.0f, 2.0f, 830, 436}, {7.5f, 3.0f, 1245, 654}};
  auto positions = [&] {
    std::vector<int> v;
    for (const auto& row : kSliders) v.push_back(Control<TDIBSlider>(row.name)->Position());
    return v;
  };
  std::vector<float> start, first;
  for (VstInt32 i = 0; i < 9; ++i) start.push_back(effect->getParameter(i));
  for (const auto& s : scales) {
    SCOPED_TRACE(s.asked);
    for (VstInt32 i = 0; i < 9; ++i) effect->setParameter(i, start[size_t(i)]);
    OpenAt(s.asked);
    EXPECT_EQ(ClientSize(), (plat::Size{s.width, s.height}));
    std::vector<float> dragged;
    for (VstInt32 index = 0; index < 9; ++index) {
      const auto& row = kSliders[index];
      SCOPED_TRACE(row.name);
      auto* slider = Control<TDIBSlider>(row.name);
      EXPECT_EQ(slider->Tag(), index);
      Hover(row.name);
      EXPECT_EQ(Panel(1), row.hint);
      calls.clear();
      const int away = slider->Position() < 50 ? 1 : -1;  // from the nearer end
      Drag(row.name, away * int(std::lround(row.drag * s.scale)));
      ASSERT_GE(calls.size(), 3u);
      for (const HostCall& c : calls) EXPECT_EQ(c.index, index);
      dragged.push_back(effect->getParameter(index));
      Wait(15);
      std::vector<int> expected = positions();
      const int percent = 10 + 9 * index;  // a little above a step, never a tie
      expected[size_t(index)] = 100 - percent;
      effect->setParameter(index, float(percent) / 100.0f + 0.003f);
      Wait(15);
      EXPECT_EQ(positions(), expected);
    }
    if (first.empty()) first = dragged;
    EXPECT_EQ(dragged, first);
    Dispatch(effEditClose);
  }
}

// A host write shows at the updater's next tick: 15 ms after the one before, never sooner.
TEST_F(EditorTest, TheUpdaterLooksAtTheEffectEvery15Milliseconds) {
  Open();
  auto msUntilShown = [&](float value) {
    effect->setParameter(0, value);
    int waited = 0;
    for (; Control<TDIBSlider>("p0")->Position() != int(100 - value * 100) && waited < 100; ++waited) Wait(1);
    return waited;
  };
  EXPECT_LE(msUntilShown(0.5f), 15);   // wherever the clock stands between two ticks
  EXPECT_EQ(msUntilShown(0.25f), 15);  // written right after a tick: shown at the next one
}

TEST_F(EditorTest, BeforeTheEffectArrivesNothingIsWritten) {
  // A window whose attach message has not come yet (made here as the template editor makes it,
  // without the message), over an effect whose changed flag an earlier window has cleared.
  effect->clearChanged();
  std::unique_ptr<TForm> form(kPluginEditorwindowClass.Create(nullptr));
  auto* window = static_cast<TPluginEditorwindow*>(form.get());
  form->SetParentWindow(host);
  form->Show();
  hl->Pump();
  auto* p9 = static_cast<TDIBGlyphButton*>(form->FindComponent("p9"));
  auto* p0 = static_cast<TDIBSlider*>(form->FindComponent("p0"));
  EXPECT_EQ(p0->Position(), 20);  // the description's positions
  EXPECT_EQ(window->Effect(), nullptr);
  // The button toggles its own look and the timer ticks, but nothing reaches the effect.
  plat::Point grab{};
  ASSERT_EQ(hl->SendMessage(form->Handle(), kMsgControlGrabPoint, reinterpret_cast<std::uintptr_t>(p9),
                            reinterpret_cast<std::intptr_t>(&grab)),
            1);
  const plat::Point at = p9->ClientToScreen(grab);
  ASSERT_EQ(hl->InjectClick(at), plat::Status::Ok);
  Wait(50);
  EXPECT_TRUE(p9->Down());
  EXPECT_TRUE(calls.empty());
  EXPECT_EQ(effect->getParameter(9), 0.0f);
  // On arrival the window takes the effect's values at once, flag or not.
  hl->SendMessage(form->Handle(), kMsgEffectAttach, reinterpret_cast<std::uintptr_t>(static_cast<AudioEffect*>(effect)),
                  0);
  EXPECT_EQ(window->Effect(), effect);
  EXPECT_FALSE(p9->Down());
  EXPECT_EQ(p0->Position(), 90);
  EXPECT_TRUE(calls.empty());
}

TEST_F(EditorTest, TheInfoPanelFollowsTheHintsAndLabelsFade) {
  Open();
  Hover("DIBImage1");
  EXPECT_EQ(Panel(1), "KestruneEnhanced by QX Audio");
  Hover("p5");
  EXPECT_EQ(Panel(1), "Feedback amount (flanger)");
  Hover("p7");
  EXPECT_EQ(Panel(1), "Right modulation amount");
  Hover("DIBFadeLabel3");  // captions have no hint handler: the text stays
  EXPECT_EQ(Panel(1), "Right modulation amount");
  Hover("p9");
  EXPECT_EQ(Panel(1), "Speed mode free (Hz) or host synced");
  Hover("p10");
  EXPECT_EQ(Panel(1), "Merge inputs before processing");
  // Leave a caption and catch it half-way back from silver to black.
  Wait(600);
  Hover("DIBFadeLabel9");
  Wait(20);
  Hover("p8");
  Wait(260);
  ExpectGolden("label-fading");
}

TEST_F(EditorTest, AReopenedWindowShowsTheEffectsValues) {
  Open();
  effect->setParameter(5, 0.3f);
  Wait(15);
  EXPECT_FALSE(effect->isChanged());
  Dispatch(effEditClose);
  EXPECT_EQ(Window(), nullptr);
  Open();
  EXPECT_EQ(Control<TDIBSlider>("p5")->Position(), 70);
  // A window closed in the middle of a drag still ends the gesture for the host.
  const KestruneControl c = Locate("p1");
  Mouse(c.grabX, c.grabY, kMouseMove);
  Mouse(c.grabX, c.grabY, kMouseDown);
  Mouse(c.grabX, c.grabY - 10, kMouseMove);
  Dispatch(effEditClose);
  EXPECT_EQ(Count(kBegin), 1);
  EXPECT_EQ(Count(kEnd), 1);
}

}  // namespace
