#include "DIB/Source/DIBRegister.h"

#include "DIB/Source/cDIBAnimMgr.h"
#include "DIB/Source/cDIBBorder.h"
#include "DIB/Source/cDIBImage.h"
#include "DIB/Source/cDIBImageList.h"
#include "DIB/Source/cDIBPalette.h"
#include "DIB/Source/cDIBPanel.h"
#include "DIB/Source/cDIBSettings.h"
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
      &TDIBAnimation::StaticClass(),
      &TDIBPaletteComponent::StaticClass(),
  });
  RegisterStandardFeatures();
}
