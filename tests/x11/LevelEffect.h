// A one-parameter effect with a small editor, for the X11 tests: a level bar that a press or a
// drag sets from the mouse's height (1 - y / (height - 1)), writing the parameter back as an
// automated one, and a status bar that the editor's 15 ms timer refreshes from the effect. Used in
// process and as the plug-in library kestrune_x11fx.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "ui/Form.h"
#include "vst/DVstTemplate.h"

namespace leveltest {

// Events the editor sees ("attach"), recorded while set.
extern std::vector<std::string>* gTrace;

inline constexpr plat::Color kFormColor = plat::MakeColor(0x10, 0x30, 0x50);
inline constexpr plat::Color kLevelColor = plat::MakeColor(240, 150, 20);
inline constexpr plat::Color kTrackColor = plat::MakeColor(40, 40, 48);

class TLevelBar : public TControl {
 public:
  explicit TLevelBar(TComponent* owner);
  static const TClassInfo& StaticClass();
  const TClassInfo& ClassInfo() const override { return StaticClass(); }
  void SetLevel(float v);
  void Paint(plat::DrawContext& ctx) override;

  std::function<void(float)> onChange;
  int shiftedMoves = 0;  // moves that came with Shift held

 protected:
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseMove(TShiftState shift, int x, int y) override;

 private:
  void Drag(int y);
  float level = 0;
};

class TLevelEditor : public TForm {
 public:
  explicit TLevelEditor(TComponent* owner);
  ~TLevelEditor() override;
  static const TClassInfo& StaticClass();
  const TClassInfo& ClassInfo() const override { return StaticClass(); }
  void WndProc(TMessage& m) override;

 protected:
  void CreateHandle() override;

 private:
  TVstTemplate* effect = nullptr;
  TLevelBar* bar = nullptr;
};

class TLevelEffect : public TVstTemplate {
 public:
  explicit TLevelEffect(audioMasterCallback host = nullptr);
};

}  // namespace leveltest
