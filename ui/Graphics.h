// Fonts and colour resolution.
#pragma once

#include <cstdint>
#include <string>

#include "platform/DrawContext.h"
#include "ui/Colors.h"
#include "ui/Events.h"
#include "ui/Persistent.h"

using TFontStyles = std::uint32_t;
inline constexpr TFontStyles fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8;

class TFont : public TPersistent {
 public:
  TFont() = default;
  static const TClassInfo& StaticClass();
  const TClassInfo& ClassInfo() const override { return StaticClass(); }

  const std::string& Name() const { return name_; }
  void SetName(const std::string& v);
  // Character height in pixels (what descriptions store; the designs are made at 96 pixels per inch).
  std::int32_t Height() const { return height_; }
  void SetHeight(std::int32_t v);
  TColor Color() const { return color_; }
  void SetColor(TColor v);
  TFontStyles Style() const { return style_; }
  void SetStyle(TFontStyles v);
  std::int32_t Charset() const { return charset_; }
  void SetCharset(std::int32_t v);

  void Assign(const TPersistent& source) override;
  bool operator==(const TFont& o) const;
  plat::FontSpec PlatformFont() const;

  TNotifyEvent OnChange;  // raised after any change

 private:
  void Changed();
  std::string name_ = "Tahoma";
  std::int32_t height_ = 11;
  TColor color_ = clWindowText;
  TFontStyles style_ = 0;
  std::int32_t charset_ = 1;
};

// The colour to draw with: system colours resolved by the platform; clNone and clDefault give black.
plat::Color ColorToRGB(TColor c);
