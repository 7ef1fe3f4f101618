// Animation frames: what listeners hear when pictures change or go and when frames are removed,
// the list pointed into by every frame, and the round trip through a window description.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "DIB/Source/cDIBAnimMgr.h"
#include "ui/ClassRegistry.h"
#include "ui/Description.h"
#include "ui/Form.h"

namespace {

struct Heard {
  int index;
  int kind;
  bool operator==(const Heard&) const = default;
};

TDIBImagesItem* AddImage(TCustomDIBImageList& list, int width, int height, std::uint8_t fill) {
  auto* item = static_cast<TDIBImagesItem*>(list.DIBImages()->Add());
  TMemoryDIB* dib = item->DIB();
  dib->SetSize(width, height);
  std::memset(dib->Bits(), fill, std::size_t(width) * height * 4);
  return item;
}

TDIBFrameItem* AddFrame(TDIBAnimation& animation, int image) {
  auto* frame = static_cast<TDIBFrameItem*>(animation.Frames()->Add());
  frame->IndexImage()->SetDIBIndex(image);
  return frame;
}

}  // namespace

TEST(DIBAnimation, ListenersHearFrameImageChangesAndRemovals) {
  TForm form(nullptr);
  auto* list = new TDIBImageList(&form);
  for (int i = 0; i < 3; ++i) AddImage(*list, 2, 2, std::uint8_t(i));
  auto* animation = new TDIBAnimation(&form);
  // Frames made before the list is set: setting it points every frame at it.
  AddFrame(*animation, 0);
  AddFrame(*animation, 2);
  animation->SetDIBImageList(list);
  // A frame added later joins the list at once.
  AddFrame(*animation, 1);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(animation->Frames()->Items(i)->IndexImage()->DIBImageList(), list);
  EXPECT_EQ(animation->Frames()->Items(1)->DisplayName(), "Frame 2");

  std::vector<Heard> heard;
  const int id = animation->AddListener([&](int i, TDIBImageChange k) { heard.push_back({i, k}); });

  // Picture 2 changes: frame 1 (which shows it) hears, nobody else.
  list->DIBImages()->Items(2)->DIB()->Fill(0x123456);
  EXPECT_EQ(heard, (std::vector<Heard>{{1, dicChanged}}));
  heard.clear();

  // Picture 0 goes: frame 0 hears the removal and shows nothing; the others follow their pictures.
  list->DIBImages()->Delete(0);
  EXPECT_EQ(heard, (std::vector<Heard>{{0, dicRemoved}}));
  EXPECT_EQ(animation->Frames()->Items(0)->IndexImage()->DIBIndex(), -1);
  EXPECT_EQ(animation->Frames()->Items(1)->IndexImage()->DIBIndex(), 1);
  EXPECT_EQ(animation->Frames()->Items(2)->IndexImage()->DIBIndex(), 0);
  heard.clear();

  // A frame removed: its index, as a removal; the frame after it then moves up.
  animation->Frames()->Delete(1);
  EXPECT_EQ(heard, (std::vector<Heard>{{1, dicRemoved}}));
  heard.clear();
  list->DIBImages()->Items(0)->DIB()->Fill(0x654321);
  EXPECT_EQ(heard, (std::vector<Heard>{{1, dicChanged}}));

  // A removed listener hears nothing more; freeing the list leaves the frames pointing nowhere.
  animation->RemoveListener(id);
  heard.clear();
  list->DIBImages()->Items(0)->DIB()->Fill(0x111111);
  EXPECT_TRUE(heard.empty());

  // A listener removed by an earlier one of the same notification is not called.
  int second = 0, secondCalls = 0;
  const int first = animation->AddListener([&](int, TDIBImageChange) { animation->RemoveListener(second); });
  second = animation->AddListener([&](int, TDIBImageChange) { ++secondCalls; });
  list->DIBImages()->Items(0)->DIB()->Fill(0x222222);
  EXPECT_EQ(secondCalls, 0);
  animation->RemoveListener(first);
  TComponent::Free(list);
  EXPECT_EQ(animation->DIBImageList(), nullptr);
  EXPECT_EQ(animation->Frames()->Items(0)->IndexImage()->DIBImageList(), nullptr);
}

TEST(DIBAnimation, DescriptionRoundTripAndAssign) {
  RegisterClasses({&TDIBImageList::StaticClass(), &TDIBAnimation::StaticClass()});
  TForm form(nullptr);
  form.SetName("Form1");
  auto* list = new TDIBImageList(&form);
  list->SetName("Images");
  AddImage(*list, 3, 2, 7);
  AddImage(*list, 1, 1, 9);
  auto* animation = new TDIBAnimation(&form);
  animation->SetName("Anim");
  animation->SetDIBImageList(list);
  TDIBFrameItem* f = AddFrame(*animation, 1);
  f->SetAutoSize(true);
  f->SetAngle(90);
  f->SetOpacity(128);
  f->SetScale(50);
  AddFrame(*animation, 0);
  const std::string text = WriteDescription(form);
  EXPECT_NE(text.find("Opacity = 128"), std::string::npos) << text;

  TForm back(nullptr);
  ReadDescription(back, text);
  auto* anim2 = dynamic_cast<TDIBAnimation*>(back.FindComponent("Anim"));
  ASSERT_NE(anim2, nullptr);
  ASSERT_EQ(anim2->Frames()->Count(), 2);
  const TDIBFrameItem* g = anim2->Frames()->Items(0);
  EXPECT_EQ(g->IndexImage()->DIBIndex(), 1);
  EXPECT_EQ(g->IndexImage()->DIBImageList(), back.FindComponent("Images"));
  EXPECT_TRUE(g->AutoSize());
  EXPECT_EQ(g->Angle(), 90);
  EXPECT_EQ(g->Scale(), 50);
  EXPECT_EQ(WriteDescription(back), text);

  // Assigning frames copies the link and the settings.
  TDIBAnimation copy(nullptr);
  copy.Frames()->Assign(*animation->Frames());
  ASSERT_EQ(copy.Frames()->Count(), 2);
  EXPECT_EQ(copy.Frames()->Items(0)->Opacity(), 128);
  EXPECT_EQ(copy.Frames()->Items(0)->IndexImage()->DIBIndex(), 1);
  EXPECT_EQ(copy.Frames()->Items(0)->IndexImage()->DIBImageList(), list);
}
