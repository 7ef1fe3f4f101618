#include "ui/StatusBar.h"

#include "ui/TypeInfo.h"

const TClassInfo& TStatusPanel::StaticClass() {
  static const TClassInfo info = TClassBuilder<TStatusPanel>("TStatusPanel", &TCollectionItem::StaticClass())
                                     .Item()
                                     .String("Text", &TStatusPanel::Text, &TStatusPanel::SetText)
                                     .Int("Width", &TStatusPanel::Width, &TStatusPanel::SetWidth)
                                     .Build();
  return info;
}

TStatusPanel::TStatusPanel(TCollection* collection) : TCollectionItem(collection) {}

void TStatusPanel::SetText(const std::string& v) {
  if (v == text_) return;
  text_ = v;
  Changed();
}

void TStatusPanel::SetWidth(int v) {
  if (v == width_) return;
  width_ = v;
  Changed();
}

void TStatusPanel::Assign(const TPersistent& source) {
  auto* p = dynamic_cast<const TStatusPanel*>(&source);
  if (!p) return TCollectionItem::Assign(source);
  text_ = p->text_;
  width_ = p->width_;
  Changed();
}

TStatusPanels::TStatusPanels(TStatusBar* bar) : TCollection(bar, TStatusPanel::StaticClass()), bar_(bar) {
  SetPropName("Panels");
}

void TStatusPanels::Update(TCollectionItem*) {
  if (bar_) bar_->UpdatePanels();
}
void TStatusPanels::Notify(TCollectionItem*, bool) {
  if (bar_) bar_->UpdatePanels();
}
void TStatusPanels::Moved(int, int) {
  if (bar_) bar_->UpdatePanels();
}

const TClassInfo& TStatusBar::StaticClass() {
  static const TClassInfo info = TClassBuilder<TStatusBar>("TStatusBar", &TWinControl::StaticClass())
                                     .Component()
                                     .Collection("Panels", [](const TStatusBar& b) { return &b.Panels(); })
                                     .Bool("SizeGrip", &TStatusBar::SizeGrip, &TStatusBar::SetSizeGrip, true)
                                     .Build();
  return info;
}

TStatusBar::TStatusBar(TComponent* owner) : TWinControl(owner), panels_(this) {
  width_ = 150;
  height_ = 19;
}

TStatusBar::~TStatusBar() {
  MarkDestroying();
  DestroyHandle();
  panels_.Clear();
}

plat::Status TStatusBar::CreateWindowHandle(const plat::WindowDesc& desc, plat::WindowHandle* out) {
  plat::Backend& b = plat::Platform();
  plat::Status st = b.CreateStatusBar(desc.parent, desc.bounds, out);
  if (st != plat::Status::Ok) return st;
  b.SetStatusColor(*out, ColorToRGB(Color()));
  b.SetStatusFont(*out, Font().PlatformFont());
  b.Show(*out, desc.visible);
  return st;
}

void TStatusBar::CreateHandle() {
  TWinControl::CreateHandle();
  UpdatePanels();
}

void TStatusBar::Changed(std::uint32_t cm) {
  TWinControl::Changed(cm);
  if (!WindowHandle()) return;
  plat::Backend& b = plat::Platform();
  if (cm == kCmColorChanged) b.SetStatusColor(WindowHandle(), ColorToRGB(Color()));
  if (cm == kCmFontChanged) b.SetStatusFont(WindowHandle(), Font().PlatformFont());
}

void TStatusBar::UpdatePanels() {
  plat::WindowHandle h = WindowHandle();
  if (Destroying() || !h) return;
  plat::Backend& b = plat::Platform();
  std::vector<std::int32_t> widths;
  for (int i = 0; i < panels_.Count(); ++i) widths.push_back(panels_.Panel(i)->Width());
  b.SetStatusPanels(h, widths);
  for (int i = 0; i < panels_.Count(); ++i) b.SetStatusText(h, i, panels_.Panel(i)->Text());
}

std::string TStatusBar::ShownText(int index) const {
  std::string s;
  if (WindowHandle()) plat::Platform().GetStatusText(WindowHandle(), index, &s);
  return s;
}
