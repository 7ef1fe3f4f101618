// Composition allocates nothing once a population has been painted: every scratch image is kept.
// Counts the global allocations made between the container's BeforePaint and AfterPaint.
#include <gtest/gtest.h>

#include "DIB/Source/cDIBImage.h"
#include "DIB/Source/cDIBPanel.h"
#include "tests/dib/DIBFixture.h"
#include "tests/support/CountingNew.h"

namespace {

using testalloc::allocations;
using testalloc::counting;

class AllocTest : public dibtest::DIBFixture {};

TEST_F(AllocTest, RepaintsAfterTheFirstAllocateNothing) {
  std::string text =
      "object F: TForm\n ClientWidth = 415\n ClientHeight = 218\n"
      "object Images: TDIBImageList\n DIBImages = <\n" +
      dibtest::PictureItem(415, 200, [](int x, int y) { return dibtest::Rgb(x, y, 7); }) +
      dibtest::PictureItem(20, 154, [](int x, int y) { return dibtest::Rgb(x * 9, y, 70); }) +
      dibtest::PictureItem(80, 30, [](int x, int y) { return dibtest::Rgb(x * 3, y * 8, 200); }) +
      ">\nend\nobject C: TDIBContainer\n Width = 415\n Height = 200\n"
      " object Back: TDIBImage\n DIBImageList = Images\n IndexMain.DIBIndex = 0\n AutoSize = True\n end\n";
  for (int i = 0; i < 9; ++i)
    text += " object S" + std::to_string(i) + ": TDIBImage\n Left = " + std::to_string(10 + 44 * i) +
            "\n Top = 20\n Width = 20\n Height = 154\n Opacity = 200\n DIBImageList = Images\n"
            " IndexMain.DIBIndex = 1\n end\n";
  for (int i = 0; i < 2; ++i)
    text += " object B" + std::to_string(i) + ": TDIBImage\n Left = " + std::to_string(10 + 310 * i) +
            "\n Top = 170\n Width = 80\n Height = 30\n DIBImageList = Images\n IndexMain.DIBIndex = 2\n end\n";
  text += "end\nend\n";
  LoadForm(text);
  auto* c = Find<TDIBContainer>("C");
  int painted = 0;
  c->BeforePaint = TNotifyEvent([&](TPersistent*) { counting = painted > 0; });
  c->AfterPaint = TNotifyEvent([&](TPersistent*) {
    counting = false;
    ++painted;
  });
  for (int i = 0; i < 3; ++i) {
    c->Invalidate();
    Pump();
    Find<TDIBImage>("S4")->Invalidate();
    Pump();
  }
  EXPECT_EQ(painted, 6);
  EXPECT_EQ(allocations.load(), 0);
}

}  // namespace
