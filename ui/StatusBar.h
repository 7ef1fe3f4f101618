// The status bar: the platform's own status-bar control with a row of text panels.
#pragma once

#include <string>

#include "ui/Collection.h"
#include "ui/WinControl.h"

class TStatusBar;

class TStatusPanel : public TCollectionItem {
 public:
  explicit TStatusPanel(TCollection* collection);
  static const TClassInfo& StaticClass();
  const TClassInfo& ClassInfo() const override { return StaticClass(); }

  const std::string& Text() const { return text_; }
  void SetText(const std::string& v);
  int Width() const { return width_; }
  void SetWidth(int v);
  std::string DisplayName() const override { return text_.empty() ? TCollectionItem::DisplayName() : text_; }
  void Assign(const TPersistent& source) override;

 private:
  std::string text_;
  int width_ = 50;
};

class TStatusPanels : public TCollection {
 public:
  explicit TStatusPanels(TStatusBar* bar);
  TStatusPanel* Panel(int i) const { return static_cast<TStatusPanel*>(Item(i)); }
  TStatusPanel* AddPanel() { return static_cast<TStatusPanel*>(Add()); }

 protected:
  void Update(TCollectionItem* item) override;
  void Notify(TCollectionItem* item, bool added) override;
  void Moved(int from, int to) override;

 private:
  TStatusBar* bar_;
};

class TStatusBar : public TWinControl {
 public:
  explicit TStatusBar(TComponent* owner);
  ~TStatusBar() override;
  static const TClassInfo& StaticClass();
  const TClassInfo& ClassInfo() const override { return StaticClass(); }

  TStatusPanels& Panels() { return panels_; }
  const TStatusPanels& Panels() const { return panels_; }
  bool SizeGrip() const { return sizeGrip_; }
  void SetSizeGrip(bool v) { sizeGrip_ = v; }
  // The text the platform control shows in panel `index` (what the user sees).
  std::string ShownText(int index) const;

 protected:
  friend class TStatusPanels;
  plat::Status CreateWindowHandle(const plat::WindowDesc& desc, plat::WindowHandle* out) override;
  void CreateHandle() override;
  void Changed(std::uint32_t cm) override;
  // Pushes panel widths and texts to the platform control.
  void UpdatePanels();

 private:
  TStatusPanels panels_;
  bool sizeGrip_ = true;
};
