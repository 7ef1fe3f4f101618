#include "ui/Graphics.h"

#include "platform/Platform.h"
#include "ui/TypeInfo.h"

const TClassInfo& TFont::StaticClass() {
  static const TClassInfo info =
      TClassBuilder<TFont>("TFont", &TPersistent::StaticClass())
          .Int("Charset", &TFont::Charset, &TFont::SetCharset, 1)
          .Color("Color", &TFont::Color, &TFont::SetColor, clWindowText)
          .Int("Height", &TFont::Height, &TFont::SetHeight)
          .String("Name", &TFont::Name, &TFont::SetName)
          .Set("Style", {"fsBold", "fsItalic", "fsUnderline", "fsStrikeOut"}, &TFont::Style, &TFont::SetStyle, 0)
          .Build();
  return info;
}

void TFont::Changed() { OnChange(this); }

void TFont::SetName(const std::string& v) {
  if (v == name_) return;
  name_ = v;
  Changed();
}
void TFont::SetHeight(std::int32_t v) {
  if (v == height_) return;
  height_ = v;
  Changed();
}
void TFont::SetColor(TColor v) {
  if (v == color_) return;
  color_ = v;
  Changed();
}
void TFont::SetStyle(TFontStyles v) {
  if (v == style_) return;
  style_ = v;
  Changed();
}
void TFont::SetCharset(std::int32_t v) {
  if (v == charset_) return;
  charset_ = v;
  Changed();
}

void TFont::Assign(const TPersistent& source) {
  auto* f = dynamic_cast<const TFont*>(&source);
  if (!f) return TPersistent::Assign(source);
  if (*f == *this) return;
  name_ = f->name_;
  height_ = f->height_;
  color_ = f->color_;
  style_ = f->style_;
  charset_ = f->charset_;
  Changed();
}

bool TFont::operator==(const TFont& o) const {
  return name_ == o.name_ && height_ == o.height_ && color_ == o.color_ && style_ == o.style_ && charset_ == o.charset_;
}

plat::FontSpec TFont::PlatformFont() const {
  plat::FontSpec s;
  s.name = name_;
  s.height = height_ < 0 ? -height_ : height_;
  s.bold = style_ & fsBold;
  s.italic = style_ & fsItalic;
  s.underline = style_ & fsUnderline;
  s.strikeOut = style_ & fsStrikeOut;
  return s;
}

plat::Color ColorToRGB(TColor c) {
  if (c == clNone || c == clDefault) return 0;
  return plat::ResolveColor(static_cast<std::uint32_t>(c));
}
