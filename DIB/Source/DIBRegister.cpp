#include "DIB/Source/DIBRegister.h"

#include "DIB/Source/cDIBAnimMgr.h"
#include "DIB/Source/cDIBBorder.h"
#include "DIB/Source/cDIBFadeLabel.h"
#include "DIB/Source/cDIBGlyphButton.h"
#include "DIB/Source/cDIBImage.h"
#include "DIB/Source/cDIBImageList.h"
#include "DIB/Source/cDIBPalette.h"
#include "DIB/Source/cDIBPanel.h"
#include "DIB/Source/cDIBSettings.h"
#include "DIB/Source/cDIBSlider.h"
#include "DIB/Source/cDIBStandardFeatures.h"
#include "DIB/Source/cDIBTimer.h"
#include "ui/ClassRegistry.h"

void RegisterDIBClasses() {
  RegisterClasses({
      &TDIBImageList::StaticClass(),
      &TDIBTimer::StaticClass(),
      &TDIBSettings::StaticClass(),
      &TDIBContainer::StaticClass(),
      &TDIBBorder::StaticClass(),
      &TDIBImage::StaticClass(),
      &TDIBSlider::StaticClass(),
      &TDIBGlyphButton::StaticClass(),
      &TDIBFadeLabel::StaticClass(),
      &TDIBAnimation::StaticClass(),
      &TDIBPaletteComponent::StaticClass(),
  });
  RegisterStandardFeatures();
}
