// The "Data" writer and reader of an image, and the settings component that picks the codec.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "DIB/Source/DIBErrors.h"
#include "DIB/Source/DIBStream.h"
#include "DIB/Source/cDIB.h"
#include "DIB/Source/cDIBCompressor.h"
#include "DIB/Source/cDIBSettings.h"
#include "platform/Picture.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

const std::string kRLE = "{CABA9056-7349-43A4-B010-3764FBFAC230}";
const std::string kLZH = "{BC0C10FC-E045-41E7-A37C-B86AF21320B8}";

class ImageData : public ::testing::Test {
 protected:
  void TearDown() override { SetActiveCompressor(nullptr); }
};

void Paint(TMemoryDIB& dib) {
  std::uint8_t* p = dib.Bits();
  for (int y = 0; y < dib.Height(); ++y)
    for (int x = 0; x < dib.Width(); ++x, p += 4) {
      p[0] = static_cast<std::uint8_t>(x * 3);
      p[1] = static_cast<std::uint8_t>(y < dib.Height() / 2 ? 0x30 : y);
      p[2] = static_cast<std::uint8_t>((x ^ y) & 0xF0);
      p[3] = static_cast<std::uint8_t>(x < 5 ? 0 : 255);
    }
}

Bytes Save(const TMemoryDIB& dib) {
  TDIBMemoryStream out;
  DIBSaveData(dib, out);
  return out.TakeBytes();
}

void LoadInto(TMemoryDIB& dib, const Bytes& data) {
  TDIBMemoryStream in(data.data(), data.size());
  DIBLoadData(dib, in);
}

Bytes PixelsOf(const TMemoryDIB& dib) {
  return Bytes(dib.Bits(), dib.Bits() + std::size_t(dib.Width()) * dib.Height() * 4);
}

}  // namespace

TEST_F(ImageData, SettingsChooseTheCodec) {
  TComponent owner(nullptr);
  auto* settings = new TDIBSettings(&owner);
  EXPECT_EQ(settings->GetDIBCompressor(), "");
  settings->SetDIBCompressor(kLZH);
  EXPECT_EQ(settings->GetDIBCompressor(), kLZH);
  EXPECT_EQ(ActiveCompressor(), FindCompressor(kLZH));
  settings->SetDIBCompressor("{bc0c10fc-e045-41e7-a37c-b86af21320b8}");  // no codec: none active
  EXPECT_EQ(settings->GetDIBCompressor(), "");
  EXPECT_EQ(ActiveCompressor(), nullptr);
  settings->SetDIBCompressor(kRLE);
  EXPECT_EQ(TDIBSettings::StaticClass().FindProp("DIBCompressor")->GetString(*settings), kRLE);
  TComponent::Free(settings);
  EXPECT_EQ(ActiveCompressor(), nullptr);
}

TEST_F(ImageData, RoundTripsThroughEveryCodec) {
  for (const std::string& guid : {std::string(), kRLE, kLZH}) {
    SetActiveCompressor(FindCompressor(guid));
    for (const auto& [w, h] : {std::pair{1, 1}, std::pair{16, 30}, std::pair{415, 200}}) {
      TMemoryDIB source(w, h);
      Paint(source);
      const Bytes data = Save(source);
      const std::uint32_t payload = 4u + 4u * w * h;  // 1 x 1: 8 bytes
      if (guid.empty()) {
        ASSERT_EQ(data.size(), payload);  // bare payload
        EXPECT_EQ(data[0] | data[1] << 8, w);
        EXPECT_EQ(data[2] | data[3] << 8, h);
      } else if (w > 1 || data.size() != payload) {
        // Even 8 bytes go into a container when the codec's output is no longer than them.
        ASSERT_GT(data.size(), 26u);
        EXPECT_EQ(std::memcmp(data.data(), "DIBCMP", 6), 0);
        EXPECT_EQ(data[22] | data[23] << 8 | data[24] << 16, static_cast<int>(payload));
      }
      TMemoryDIB loaded;
      int changes = 0;
      loaded.OnChange = [&](TAbstractSuperDIB*) { ++changes; };
      LoadInto(loaded, data);
      EXPECT_EQ(loaded.Width(), w);
      EXPECT_EQ(loaded.Height(), h);
      EXPECT_EQ(PixelsOf(loaded), PixelsOf(source)) << guid << " " << w << "x" << h;
      EXPECT_EQ(changes, 1);
    }
  }
}

TEST_F(ImageData, WritesNothingWithoutPixelsOrWhenNotStored) {
  TMemoryDIB empty;
  EXPECT_TRUE(Save(empty).empty());
  TMemoryDIB kept(4, 4);
  kept.StoreData = false;
  EXPECT_TRUE(Save(kept).empty());
  // An empty block leaves the image as it was.
  TMemoryDIB target(3, 2);
  LoadInto(target, {});
  EXPECT_EQ(target.Width(), 3);
}

TEST_F(ImageData, ShortOrHugeDeclarationsAreErrors) {
  TMemoryDIB target(3, 2);
  Paint(target);
  const Bytes before = PixelsOf(target);
  const Bytes cases[] = {
      {0x05},                                // shorter than the size fields
      {0x02, 0x00, 0x02, 0x00, 1, 2, 3, 4},  // 2 x 2 declared, one pixel given
      {0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0},  // 65535 x 65535 declared
  };
  for (const Bytes& data : cases) {
    EXPECT_THROW(LoadInto(target, data), EDIBError);
    EXPECT_EQ(target.Width(), 3);  // untouched
    EXPECT_EQ(PixelsOf(target), before);
  }
  // A zero side becomes 1 and needs no pixel bytes.
  LoadInto(target, {0x00, 0x00, 0x05, 0x00});
  EXPECT_EQ(target.Width(), 1);
  EXPECT_EQ(target.Height(), 5);
}

TEST_F(ImageData, PictureThroughStoredLZHKeepsEveryPixel) {
  TMemoryDIB original(160, 30);
  Paint(original);
  Bytes png;
  ASSERT_EQ(plat::EncodePng(original.Bits(), 160, 30, true, &png), plat::Status::Ok);
  plat::Picture picture;
  ASSERT_EQ(plat::LoadPictureFromMemory(png.data(), png.size(), &picture), plat::Status::Ok);
  TMemoryDIB imported(picture.width, picture.height);
  std::memcpy(imported.Bits(), picture.pixels.data(), picture.pixels.size());

  SetActiveCompressor(FindCompressor(kLZH));
  const Bytes data = Save(imported);
  ASSERT_EQ(std::memcmp(data.data(), "DIBCMP", 6), 0);
  TMemoryDIB loaded;
  LoadInto(loaded, data);
  EXPECT_EQ(PixelsOf(loaded), PixelsOf(original));
}
