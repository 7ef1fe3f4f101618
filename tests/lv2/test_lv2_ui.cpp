// The LV2 UI in a host's X window under a virtual X server: it needs the parent window, shows the
// editor at its designed size, and talks to the host as the editor talks to a VST host: a real
// pointer drag on a slider is the host's write function for that port, bracketed by the touch
// feature; a port event from the host moves the control through the editor's refresh.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

#include "lv2/Lv2Bundle.h"
#include "lv2/Lv2Ui.h"
#include "tests/x11/TestHost.h"
#include "tests/x11/XvfbServer.h"

namespace {

using kestrune::test::TestHost;
using kestrune::test::XvfbTest;

// What the host hears from the UI, in order.
struct Heard {
  struct Write {
    std::uint32_t port;
    float value;
  };
  std::vector<Write> writes;
  std::vector<std::pair<std::uint32_t, bool>> touches;
  int width = 0, height = 0;

  static void write(LV2UI_Controller c, uint32_t port, uint32_t size, uint32_t format, const void* buffer) {
    if (size == sizeof(float) && format == 0)
      static_cast<Heard*>(c)->writes.push_back({port, *static_cast<const float*>(buffer)});
  }
  static void touch(LV2UI_Feature_Handle h, uint32_t port, bool grabbed) {
    static_cast<Heard*>(h)->touches.emplace_back(port, grabbed);
  }
  static int resize(LV2UI_Feature_Handle h, int width, int height) {
    static_cast<Heard*>(h)->width = width;
    static_cast<Heard*>(h)->height = height;
    return 0;
  }
};

class Lv2UiTest : public XvfbTest {
 protected:
  void SetUp() override {
    ASSERT_TRUE(ServerError().empty()) << ServerError();
    ASSERT_TRUE(host.Open(415, 218));
  }
  void TearDown() override { delete ui; }

  bool instantiate(bool withTouch) {
    parent = LV2_Feature{LV2_UI__parent, reinterpret_cast<void*>(host.Window())};
    touch = LV2UI_Touch{&heard, &Heard::touch};
    resize = LV2UI_Resize{&heard, &Heard::resize};
    touchFeature = LV2_Feature{LV2_UI__touch, &touch};
    resizeFeature = LV2_Feature{LV2_UI__resize, &resize};
    const LV2_Feature* features[] = {&parent, &resizeFeature, withTouch ? &touchFeature : nullptr, nullptr};
    ui = TLv2Ui::create(&Heard::write, &heard, &widget, features);
    return ui != nullptr;
  }
  // Lets the editor run as a host's idle calls would, for `ms` milliseconds.
  void pump(int ms) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < end) {
      ASSERT_EQ(ui->idle(), 0);
      host.Sync();
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }
  std::vector<plat::Color> picture() { return host.Picture(reinterpret_cast<unsigned long>(widget), 415, 218); }
  void portEvent(std::uint32_t port, float value) { ui->portEvent(port, sizeof value, 0, &value); }

  TestHost host;
  Heard heard;
  LV2_Feature parent{}, touchFeature{}, resizeFeature{};
  LV2UI_Touch touch{};
  LV2UI_Resize resize{};
  LV2UI_Widget widget = nullptr;
  TLv2Ui* ui = nullptr;
};

// Master's knob sits at the top of its slider while Master is 1.
constexpr int kMasterX = 288, kMasterTop = 27;

}  // namespace

TEST_F(Lv2UiTest, WithoutAParentWindowOrAWriteFunctionThereIsNoUi) {
  const LV2_Feature* none[] = {nullptr};
  EXPECT_EQ(TLv2Ui::create(&Heard::write, &heard, &widget, none), nullptr);
  EXPECT_EQ(TLv2Ui::create(&Heard::write, &heard, &widget, nullptr), nullptr);
  parent = LV2_Feature{LV2_UI__parent, reinterpret_cast<void*>(host.Window())};
  const LV2_Feature* onlyParent[] = {&parent, nullptr};
  EXPECT_EQ(TLv2Ui::create(nullptr, &heard, &widget, onlyParent), nullptr);
}

TEST_F(Lv2UiTest, ADragIsTheHostsWriteBracketedByTouchAndPortEventsMoveTheControl) {
  ASSERT_TRUE(instantiate(true));
  EXPECT_NE(widget, nullptr);
  EXPECT_EQ(heard.width, 415);
  EXPECT_EQ(heard.height, 218);
  portEvent(APlugin::kMaster, 1.0f);
  pump(100);
  const std::vector<plat::Color> top = picture();

  // The host moves Master to the middle: the knob moves; back to 1: the picture is as it was. The
  // UI writes nothing back for what the host sent.
  portEvent(APlugin::kMaster, 0.5f);
  pump(60);
  EXPECT_NE(picture(), top);
  portEvent(APlugin::kMaster, 1.0f);
  pump(60);
  EXPECT_EQ(picture(), top);
  EXPECT_TRUE(heard.writes.empty());

  host.Move(kMasterX, kMasterTop);
  pump(30);
  host.Button(kMasterX, kMasterTop, true);
  pump(30);
  for (int y = kMasterTop; y <= kMasterTop + 40; y += 10) {
    host.Move(kMasterX, y);
    pump(30);
  }
  host.Button(kMasterX, kMasterTop + 40, false);
  pump(60);

  ASSERT_FALSE(heard.writes.empty());
  for (const Heard::Write& w : heard.writes) EXPECT_EQ(w.port, static_cast<std::uint32_t>(APlugin::kMaster));
  EXPECT_FLOAT_EQ(heard.writes.back().value, 0.69f);  // as `kestrune editor --drag p8:-40` shows
  ASSERT_EQ(heard.touches.size(), 2u);
  EXPECT_EQ(heard.touches.front(), std::make_pair(static_cast<std::uint32_t>(APlugin::kMaster), true));
  EXPECT_EQ(heard.touches.back(), std::make_pair(static_cast<std::uint32_t>(APlugin::kMaster), false));
}

TEST_F(Lv2UiTest, WithoutTouchTheWritesStillReachTheHostAndBadValuesAreClamped) {
  ASSERT_TRUE(instantiate(false));
  portEvent(APlugin::kMaster, 1.0f);
  pump(60);
  const std::vector<plat::Color> top = picture();
  // Values out of range, not a number or for ports that are no control change nothing harmful.
  for (float bad : {7.0f, std::numeric_limits<float>::infinity()}) {
    portEvent(APlugin::kMaster, bad);
    pump(30);
    EXPECT_EQ(picture(), top);
  }
  portEvent(APlugin::kMaster, std::numeric_limits<float>::quiet_NaN());  // stored as 0: the knob at the bottom
  pump(30);
  EXPECT_NE(picture(), top);
  portEvent(lv2bundle::kAudioIn, 0.0f);
  portEvent(lv2bundle::kNumPorts + 5, 0.0f);
  ui->portEvent(APlugin::kSpeed, 2, 0, "ab");
  portEvent(APlugin::kMaster, 1.0f);
  pump(30);
  EXPECT_EQ(picture(), top);

  host.Move(kMasterX, kMasterTop);
  pump(30);
  host.Button(kMasterX, kMasterTop, true);
  pump(30);
  host.Move(kMasterX, kMasterTop + 20);
  pump(30);
  host.Button(kMasterX, kMasterTop + 20, false);
  pump(30);
  ASSERT_FALSE(heard.writes.empty());
  EXPECT_FLOAT_EQ(heard.writes.back().value, 0.85f);
  EXPECT_TRUE(heard.touches.empty());
}
