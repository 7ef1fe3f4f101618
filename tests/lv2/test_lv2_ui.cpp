// The LV2 UI in a host's X window, for what jalv does not show: it needs the parent window and the
// write function, a drag is bracketed by the touch feature, and the host's port events move the
// control (bad ones harmlessly) without being written back.
#include <gtest/gtest.h>

#include <chrono>
#include <limits>
#include <thread>
#include <vector>

#include "lv2/Lv2Bundle.h"
#include "lv2/Lv2Ui.h"
#include "tests/x11/TestHost.h"
#include "tests/x11/XvfbServer.h"

namespace {

// What the host hears from the UI.
struct Heard {
  std::vector<std::pair<std::uint32_t, float>> writes;
  std::vector<std::pair<std::uint32_t, bool>> touches;

  static void write(LV2UI_Controller c, uint32_t port, uint32_t size, uint32_t format, const void* buffer) {
    if (size == sizeof(float) && format == 0)
      static_cast<Heard*>(c)->writes.emplace_back(port, *static_cast<const float*>(buffer));
  }
  static void touch(LV2UI_Feature_Handle h, uint32_t port, bool grabbed) {
    static_cast<Heard*>(h)->touches.emplace_back(port, grabbed);
  }
};

class Lv2Ui : public kestrune::test::XvfbTest {};

}  // namespace

TEST_F(Lv2Ui, NeedsParentAndWriterAndTalksToTheHostAsTheEditorToAVstHost) {
  ASSERT_TRUE(ServerError().empty()) << ServerError();
  kestrune::test::TestHost host;
  ASSERT_TRUE(host.Open(415, 218));
  Heard heard;
  LV2UI_Touch touch{&heard, &Heard::touch};
  const LV2_Feature parent{LV2_UI__parent, reinterpret_cast<void*>(host.Window())}, touching{LV2_UI__touch, &touch};
  const LV2_Feature* none[] = {nullptr};
  const LV2_Feature* features[] = {&parent, &touching, nullptr};
  LV2UI_Widget widget = nullptr;
  EXPECT_EQ(TLv2Ui::create(&Heard::write, &heard, &widget, none), nullptr);
  EXPECT_EQ(TLv2Ui::create(&Heard::write, &heard, &widget, nullptr), nullptr);
  EXPECT_EQ(TLv2Ui::create(nullptr, &heard, &widget, features), nullptr);
  std::unique_ptr<TLv2Ui> ui(TLv2Ui::create(&Heard::write, &heard, &widget, features));
  ASSERT_NE(ui, nullptr);

  // Runs the editor as a host's idle calls would.
  const auto pump = [&](int ms) {
    for (const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
         std::chrono::steady_clock::now() < end; std::this_thread::sleep_for(std::chrono::milliseconds(5))) {
      ASSERT_EQ(ui->idle(), 0);
      host.Sync();
    }
  };
  const auto master = [&](float value) {
    ui->portEvent(APlugin::kMaster, sizeof value, 0, &value);
    pump(40);
    return host.Picture(reinterpret_cast<unsigned long>(widget), 415, 218);
  };
  const std::vector<plat::Color> top = master(1.0f);  // the knob at the top of its slider
  const struct {
    float value;
    bool atTop;  // values beyond 1 are clamped, NaN stored as 0
  } events[] = {{0.5f, false},
                {7.0f, true},
                {std::numeric_limits<float>::infinity(), true},
                {std::numeric_limits<float>::quiet_NaN(), false},
                {1.0f, true}};
  for (const auto& e : events) EXPECT_EQ(master(e.value) == top, e.atTop) << e.value;
  const float zero = 0.0f;
  ui->portEvent(lv2bundle::kAudioIn, sizeof zero, 0, &zero);
  ui->portEvent(lv2bundle::kNumPorts + 5, sizeof zero, 0, &zero);
  ui->portEvent(APlugin::kSpeed, 2, 0, "ab");
  EXPECT_EQ(master(1.0f), top);
  EXPECT_TRUE(heard.writes.empty());

  // Master's knob taken and moved 40 pixels down.
  constexpr int kX = 288, kTop = 27;
  host.Button(kX, kTop, true);
  for (int y = kTop; y <= kTop + 40; y += 10) {
    host.Move(kX, y);
    pump(30);
  }
  host.Button(kX, kTop + 40, false);
  pump(60);
  ASSERT_FALSE(heard.writes.empty());
  for (const auto& [port, value] : heard.writes) EXPECT_EQ(port, std::uint32_t{APlugin::kMaster});
  EXPECT_FLOAT_EQ(heard.writes.back().second, 0.69f);
  const std::vector<std::pair<std::uint32_t, bool>> bracket = {{APlugin::kMaster, true}, {APlugin::kMaster, false}};
  EXPECT_EQ(heard.touches, bracket);
}
