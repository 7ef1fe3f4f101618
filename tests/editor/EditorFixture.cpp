#include "tests/editor/EditorFixture.h"

#include <cstdlib>
#include <cstring>
#include <memory>

#include "platform/Picture.h"

void EditorTest::ExpectGolden(const std::string& name) {
  const std::string path = std::string(KESTRUNE_EDITOR_GOLDEN) + "/" + name + ".png";
  if (std::getenv("KESTRUNE_UPDATE_GOLDEN")) {
    ASSERT_EQ(hl->SaveScreenPng(host, path), plat::Status::Ok) << path;
    return;
  }
  std::unique_ptr<plat::Surface> screen;
  ASSERT_EQ(hl->ReadScreen(host, &screen), plat::Status::Ok);
  plat::Picture golden;
  ASSERT_EQ(plat::LoadPicture(path, &golden), plat::Status::Ok) << path;
  ASSERT_EQ(golden.width, screen->Width());
  ASSERT_EQ(golden.height, screen->Height());
  int differing = 0;
  for (int i = 0; i < golden.width * golden.height; ++i)
    differing += std::memcmp(&golden.pixels[std::size_t(i) * 4], screen->Bits() + std::size_t(i) * 4, 3) != 0;
  if (differing) {
    const std::string seen = ::testing::TempDir() + name + "-seen.png";
    hl->SaveScreenPng(host, seen);
    ADD_FAILURE() << differing << " pixels differ from " << path << " (this run's picture: " << seen << ")";
  }
}
