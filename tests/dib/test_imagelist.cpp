// Image lists and links: notifications, index bookkeeping, the hand-out image, file-based
// pictures and the round trip through window descriptions.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "DIB/Source/DIBRegister.h"
#include "DIB/Source/cDIBImageList.h"
#include "platform/Picture.h"
#include "ui/Description.h"

namespace {

struct Heard {
  int index;
  int kind;
  bool operator==(const Heard&) const = default;
};

// A link that records what it hears.
struct Probe {
  TDIBImageLink link{nullptr};
  std::vector<Heard> heard;
  explicit Probe(TCustomDIBImageList* list, int index) {
    link.OnChange = [this](TDIBImageLink*, int i, TDIBImageChange k) { heard.push_back({i, k}); };
    link.SetDIBIndex(index);
    link.SetDIBImageList(list);
    heard.clear();
  }
};

TDIBImagesItem* AddImage(TCustomDIBImageList& list, int width, int height, std::uint8_t fill) {
  auto* item = static_cast<TDIBImagesItem*>(list.DIBImages()->Add());
  TMemoryDIB* dib = item->DIB();
  dib->SetSize(width, height);
  std::memset(dib->Bits(), fill, std::size_t(width) * height * 4);
  return item;
}

std::string TempPath(const std::string& name) {
  return (std::filesystem::temp_directory_path() / ("kestrune_imagelist_" + name)).string();
}

}  // namespace

TEST(DIBImageLink, NewLinkAndIndexChanges) {
  TDIBImageList list(nullptr);
  AddImage(list, 2, 2, 1);
  TDIBImageLink link(nullptr);
  TAbstractSuperDIB* image = nullptr;
  EXPECT_EQ(link.DIBIndex(), -1);
  EXPECT_FALSE(link.GetImage(image));
  EXPECT_FALSE(link.IsValid());

  std::vector<Heard> heard;
  link.OnChange = [&](TDIBImageLink* l, int i, TDIBImageChange k) {
    EXPECT_EQ(l, &link);
    heard.push_back({i, k});
  };
  link.SetDIBIndex(-1);  // unchanged: nothing
  link.SetDIBIndex(7);   // changed, even out of range: one change
  EXPECT_EQ(heard, (std::vector<Heard>{{7, dicChanged}}));
  heard.clear();
  // Attaching hears once about the link's own image, and only when it exists.
  link.SetDIBImageList(&list);
  EXPECT_TRUE(heard.empty());
  link.SetDIBIndex(0);
  link.SetDIBImageList(&list);  // the same list again re-registers and tells again
  EXPECT_EQ(heard, (std::vector<Heard>{{0, dicChanged}, {0, dicChanged}}));
  EXPECT_EQ(list.Links().size(), 1u);
  EXPECT_TRUE(link.IsValid());
  ASSERT_TRUE(link.GetImage(image));
  EXPECT_EQ(image->Width(), 2);

  // Images and links do not mix.
  try {
    image->CopySettingsTo(&link);
    FAIL();
  } catch (const EDIBError& e) {
    EXPECT_STREQ(e.what(), "Cannot assign a TAbstractDIB to a TDIBImageLink");
  }
  EXPECT_ANY_THROW(link.Assign(*image));

  // Assignment copies the index first, then the list.
  TDIBImageLink copy(nullptr);
  copy.Assign(link);
  EXPECT_EQ(copy.DIBIndex(), 0);
  EXPECT_EQ(copy.DIBImageList(), &list);
  EXPECT_EQ(list.Links().size(), 2u);
}

TEST(DIBImageLink, RemovingAndMovingImagesKeepsLinksOnTheirPictures) {
  TDIBImageList list(nullptr);
  for (int i = 0; i < 3; ++i) AddImage(list, 1, 1, std::uint8_t(i));
  Probe at0(&list, 0), at1(&list, 1), at2(&list, 2);

  delete list.DIBImages()->Item(1);
  EXPECT_EQ(at0.link.DIBIndex(), 0);
  EXPECT_TRUE(at0.heard.empty());
  EXPECT_EQ(at1.heard, (std::vector<Heard>{{1, dicRemoved}}));
  EXPECT_EQ(at1.link.DIBIndex(), -1);
  EXPECT_EQ(at2.link.DIBIndex(), 1);
  EXPECT_TRUE(at2.heard.empty());

  AddImage(list, 1, 1, 9);
  Probe b0(&list, 0), b1(&list, 1), b2(&list, 2);
  list.DIBImages()->Item(0)->SetIndex(2);
  EXPECT_EQ(b0.link.DIBIndex(), 2);
  EXPECT_EQ(b1.link.DIBIndex(), 0);
  EXPECT_EQ(b2.link.DIBIndex(), 1);
  EXPECT_TRUE(b0.heard.empty() && b1.heard.empty() && b2.heard.empty());
  list.DIBImages()->Item(2)->SetIndex(0);  // and back
  EXPECT_EQ(b0.link.DIBIndex(), 0);
  EXPECT_EQ(b1.link.DIBIndex(), 1);
  EXPECT_EQ(b2.link.DIBIndex(), 2);

  // A picture change reaches the links on that picture only.
  list.DIBImages()->Items(1)->DIB()->SetOpacity(3);
  EXPECT_EQ(b1.heard, (std::vector<Heard>{{1, dicChanged}}));
  EXPECT_TRUE(b0.heard.empty() && b2.heard.empty());
}

TEST(DIBImageLink, HandlersDroppingLinksDuringANotification) {
  TDIBImageList list(nullptr);
  AddImage(list, 1, 1, 0);
  Probe first(&list, 0), second(&list, 0), third(&list, 0), fourth(&list, 0);
  // The first drops itself, the second drops the fourth before its turn.
  first.link.OnChange = [&](TDIBImageLink* link, int i, TDIBImageChange k) {
    first.heard.push_back({i, k});
    link->SetDIBImageList(nullptr);
  };
  second.link.OnChange = [&](TDIBImageLink*, int i, TDIBImageChange k) {
    second.heard.push_back({i, k});
    fourth.link.SetDIBImageList(nullptr);
  };
  list.DIBImages()->Items(0)->DIB()->SetOpacity(9);
  const std::vector<Heard> once = {{0, dicChanged}};
  EXPECT_EQ(first.heard, once);
  EXPECT_EQ(second.heard, once);
  EXPECT_EQ(third.heard, once) << "skipped after the first link left";
  EXPECT_TRUE(fourth.heard.empty());
  EXPECT_EQ(list.Links().size(), 2u);
}

TEST(DIBImageLink, OwnerBeingDestroyedAndListGoingAway) {
  TComponent owner(nullptr);
  auto list = std::make_unique<TDIBImageList>(nullptr);
  AddImage(*list, 1, 1, 0);
  AddImage(*list, 1, 1, 0);
  TDIBImageLink link(&owner);
  int calls = 0;
  link.OnChange = [&](TDIBImageLink*, int, TDIBImageChange) { ++calls; };
  link.SetDIBIndex(1);
  link.SetDIBImageList(list.get());
  calls = 0;
  owner.MarkDestroying();
  delete list->DIBImages()->Item(0);  // would move the link, but its owner is on the way out
  EXPECT_EQ(link.DIBIndex(), 1);
  EXPECT_EQ(calls, 0);

  TDIBImageLink other(nullptr);
  other.SetDIBImageList(list.get());
  list.reset();  // detaches every link
  EXPECT_EQ(link.DIBImageList(), nullptr);
  EXPECT_EQ(other.DIBImageList(), nullptr);
  TAbstractSuperDIB* image = nullptr;
  EXPECT_FALSE(other.GetImage(image));
}

TEST(DIBImageList, HandOutImageIsSharedAndReused) {
  TDIBImageList list(nullptr);
  AddImage(list, 2, 1, 0x11);
  TDIBImagesItem* second = AddImage(list, 3, 1, 0x22);
  second->DIB()->SetOpacity(100);

  TAbstractSuperDIB* a = nullptr;
  TAbstractSuperDIB* b = nullptr;
  ASSERT_TRUE(list.GetImage(0, a));
  ASSERT_TRUE(list.GetImage(1, b));
  EXPECT_EQ(a, b);
  EXPECT_EQ(b->Width(), 3);
  EXPECT_EQ(b->Bits(), second->DIB()->Bits());
  EXPECT_EQ(b->DrawRoutineOwner(), second->DIB());  // draws with the stored picture's settings
  b->SetOpacity(50);                                // affects the hand-out only
  EXPECT_EQ(second->DIB()->Opacity(), 100);
  EXPECT_FALSE(list.GetImage(2, a));
  EXPECT_FALSE(list.GetImage(-1, a));

  // A resize gives the picture new pixels; the hand-out follows them instead of the freed ones.
  TMemoryDIB target(4, 1);
  second->SetDIB(TMemoryDIB(4, 1));
  EXPECT_EQ(b->Bits(), second->DIB()->Bits());
  EXPECT_EQ(b->Width(), 4);
  b->Draw(0, 0, 4, 1, &target);

  // SetSize raises no change, yet the hand-out must not keep the pixels it freed.
  ASSERT_TRUE(list.GetImage(1, b));
  second->DIB()->SetSize(6, 2);
  EXPECT_EQ(b->Bits(), second->DIB()->Bits());
  EXPECT_EQ(b->Width(), 6);
  EXPECT_EQ(b->Height(), 2);
  b->Draw(0, 0, 6, 2, &target);

  // Once its picture is gone the hand-out no longer points at freed pixels.
  delete second;
  b->Draw(0, 0, 4, 1, &target);
  EXPECT_EQ(b->Width(), 1);
}

TEST(DIBImageList, TemplatesAndPaths) {
  TDIBImageList list(nullptr);
  TDIBImagesItem* first = list.FindOrAddTemplateImage("{G}", 1);
  EXPECT_EQ(first->TemplateFilename, "{G}:1");
  EXPECT_EQ(list.FindOrAddTemplateImage("{G}", 1), first);
  EXPECT_NE(list.FindOrAddTemplateImage("{G}", 2), first);
  EXPECT_EQ(list.DIBImages()->Count(), 2);

  TDIBImagesItem* item = first;
  EXPECT_EQ(item->TranslatePath("a\\b\\c.png"), "a\\b\\c.png");  // no handler: unchanged
  std::string seen;
  std::string replacement;
  item->OnTranslateImagePath = [&](TDIBImagesItem*, std::string& folder) {
    seen = folder;
    folder = replacement;
  };
  const char sep =
#ifdef _WIN32
      '\\';
#else
      '/';
#endif
  struct Case {
    const char* path;
    const char* folder;
    std::string want;
    const char* seenFolder;
  } cases[] = {
      {"", "x", "", ""},
      {"c:\\skins\\knob.png", "d:\\new", std::string("d:\\new") + sep + "knob.png", "c:\\skins\\"},
      {"skins/knob.png", "/opt/s/", "/opt/s/knob.png", "skins/"},
      {"skins/knob.png", "", "knob.png", "skins/"},
      {"knob.png", "lib\\", "lib\\knob.png", ""},
  };
  for (const auto& c : cases) {
    seen = "?";
    replacement = c.folder;
    EXPECT_EQ(item->TranslatePath(c.path), c.want) << c.path;
    if (*c.path) {
      EXPECT_EQ(seen, c.seenFolder) << c.path;
    }
  }
}

TEST(DIBImageList, FileBasedPicturesLoadOnStartOrOnDemand) {
  // A 2 x 1 picture with alpha and a 1 x 1 mask whose blue byte is 0x40.
  const std::string image = TempPath("image.png"), mask = TempPath("mask.png");
  const std::uint8_t pixels[8] = {1, 2, 3, 200, 4, 5, 6, 100};
  const std::uint8_t maskPixel[4] = {0x40, 0, 0, 255};
  ASSERT_EQ(plat::SavePng(image, pixels, 2, 1, true), plat::Status::Ok);
  ASSERT_EQ(plat::SavePng(mask, maskPixel, 1, 1, false), plat::Status::Ok);

  TDIBImageList list(nullptr);
  auto* empty = static_cast<TDIBImagesItem*>(list.DIBImages()->Add());
  empty->SetImageRetrieval(irLoadOnDemand);
  EXPECT_FALSE(empty->StoredDIB()->StoreData);
  TAbstractSuperDIB* out = nullptr;
  ASSERT_TRUE(list.GetImage(0, out));  // no file: the 1 x 1 placeholder, still not loaded
  EXPECT_EQ(out->Width(), 1);
  EXPECT_FALSE(empty->Loaded());

  auto* onDemand = static_cast<TDIBImagesItem*>(list.DIBImages()->Add());
  onDemand->SetImageRetrieval(irLoadOnDemand);
  onDemand->StoredDIB()->ImageFilename = "elsewhere/" + std::filesystem::path(image).filename().string();
  onDemand->StoredDIB()->MaskFilename = mask;
  const std::string folder = std::filesystem::path(image).parent_path().string();
  onDemand->OnTranslateImagePath = [&](TDIBImagesItem*, std::string& f) {
    if (f == "elsewhere/") f = folder;
  };
  Probe probe(&list, 1);
  ASSERT_TRUE(list.GetImage(1, out));
  EXPECT_TRUE(onDemand->Loaded());
  EXPECT_EQ(out->Width(), 2);
  EXPECT_TRUE(out->Masked());
  EXPECT_EQ(out->ScanLine(0)[0], 1);
  EXPECT_EQ(out->ScanLine(0)[3], 0x40);  // alpha from the mask's blue byte
  EXPECT_EQ(out->ScanLine(0)[7], 0x40);
  EXPECT_EQ(onDemand->StoredDIB()->ImageFilename.rfind("elsewhere/", 0), 0u);  // designer's name kept
  EXPECT_EQ(probe.heard, (std::vector<Heard>{{1, dicChanged}}));               // one change for the load

  // Load on start happens when the list has been read.
  auto* onStart = static_cast<TDIBImagesItem*>(list.DIBImages()->Add());
  onStart->SetImageRetrieval(irLoadOnStart);
  onStart->StoredDIB()->ImageFilename = image;
  list.Loaded();
  EXPECT_TRUE(onStart->Loaded());
  EXPECT_EQ(onStart->StoredDIB()->Width(), 2);

  // A missing file is an image error and leaves the item unloaded.
  auto* missing = static_cast<TDIBImagesItem*>(list.DIBImages()->Add());
  missing->SetImageRetrieval(irLoadOnDemand);
  missing->StoredDIB()->ImageFilename = TempPath("does-not-exist.png");
  EXPECT_THROW(missing->EnsureLoaded(), EDIBError);
  EXPECT_FALSE(missing->Loaded());
  std::filesystem::remove(image);
  std::filesystem::remove(mask);
}

TEST(DIBImageList, DescriptionRoundTrip) {
  RegisterDIBClasses();
  TDIBImageList list(nullptr);
  list.SetName("Images");
  TDIBImagesItem* a = AddImage(list, 3, 2, 0);
  for (int i = 0; i < 3 * 2 * 4; ++i) a->DIB()->Bits()[i] = std::uint8_t(i * 7);
  a->DIB()->SetMasked(true);
  a->DIB()->SetOpacity(200);
  a->DIB()->SetAngle(90);
  a->SetDisplayName("Background");
  TDIBImagesItem* b = AddImage(list, 1, 1, 0x5A);
  b->DIB()->SetTransparentMode(tmFixed);
  b->DIB()->SetTransparentColor(0x00FF00FF);
  b->DIB()->SetTransparent(true);
  b->DIB()->SetScale(150);
  b->TemplateFilename = "{X}:3";
  TDIBImagesItem* c = AddImage(list, 2, 2, 0);  // auto key: reports its bottom-left pixel
  std::memcpy(c->DIB()->Bits(), "\x10\x20\x30\x00", 4);
  TDIBImagesItem* file = AddImage(list, 4, 4, 0);
  file->SetImageRetrieval(irLoadOnDemand);
  file->StoredDIB()->ImageFilename = "skin.png";

  const std::string text = WriteDescription(list);
  EXPECT_NE(text.find("DIB.Data"), std::string::npos);
  EXPECT_NE(text.find("irLoadOnDemand"), std::string::npos);
  EXPECT_LT(text.find("DIB.AutoSize"), text.find("DIB.Height"));
  EXPECT_LT(text.find("DIB.Width"), text.find("DIB.Data"));
  EXPECT_LT(text.find("DIB.Data"), text.find("DisplayName"));

  std::unique_ptr<TComponent> root(ReadDescriptionRoot(text, nullptr));
  auto* back = dynamic_cast<TDIBImageList*>(root.get());
  ASSERT_NE(back, nullptr);
  ASSERT_EQ(back->DIBImages()->Count(), 4);
  TMemoryDIB* a2 = back->DIBImages()->Items(0)->StoredDIB();
  EXPECT_EQ(a2->Width(), 3);
  EXPECT_EQ(a2->Height(), 2);
  EXPECT_EQ(std::memcmp(a2->Bits(), a->DIB()->Bits(), 24), 0);
  EXPECT_TRUE(a2->Masked());
  EXPECT_EQ(a2->Opacity(), 200);
  EXPECT_EQ(a2->Angle(), 90);
  EXPECT_EQ(back->DIBImages()->Items(0)->DisplayName(), "Background");
  TMemoryDIB* b2 = back->DIBImages()->Items(1)->StoredDIB();
  EXPECT_TRUE(b2->Transparent());
  EXPECT_EQ(b2->StoredTransparentColor(), 0x00FF00FFu);
  EXPECT_EQ(b2->Scale(), 150);
  EXPECT_EQ(back->DIBImages()->Items(1)->TemplateFilename, "{X}:3");
  // The reported auto key was written and has become the stored key.
  EXPECT_EQ(back->DIBImages()->Items(2)->StoredDIB()->StoredTransparentColor(), 0x00302010u);
  // A file-based picture keeps its file name and size but not its pixels.
  TDIBImagesItem* file2 = back->DIBImages()->Items(3);
  EXPECT_EQ(file2->ImageRetrieval(), irLoadOnDemand);
  EXPECT_EQ(file2->StoredDIB()->ImageFilename, "skin.png");
  EXPECT_EQ(file2->StoredDIB()->Width(), 4);
  EXPECT_EQ(WriteDescription(*back), text);
}
