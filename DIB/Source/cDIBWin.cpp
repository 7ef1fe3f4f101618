// The parts of the image library that reach the platform: the window kind's surfaces, picture
// files, regions and 8-bit output.
#include <cstring>

#include "DIB/Source/cDIB.h"
#include "platform/DrawContext.h"
#include "platform/Picture.h"
#include "platform/Platform.h"
#include "ui/TypeInfo.h"

namespace {

// Regions are built from this many rectangles at a time and united.
constexpr std::size_t kRegionBatch = 400;

plat::Region RunsToRegion(const std::vector<TDIBRect>& runs)
{
    plat::Region result;
    std::vector<plat::Rect> batch;
    batch.reserve(kRegionBatch);
    auto flush = [&] {
        if (!batch.empty())
            result.Union(plat::Region::FromRects(batch.data(), batch.size()));
        batch.clear();
    };
    for (const TDIBRect& r : runs) {
        batch.push_back(plat::Rect{r.Left, r.Top, r.Right, r.Bottom});
        if (batch.size() == kRegionBatch)
            flush();
    }
    flush();
    return result;
}

// Loads a picture file into a memory image of its size.
bool LoadPictureFile(const std::string& fileName, TMemoryDIB& into)
{
    plat::Picture picture;
    const plat::Status status = plat::LoadPicture(fileName, &picture);
    if (status != plat::Status::Ok)
        throw EDIBError("Cannot load the picture \"" + fileName + "\": " + plat::StatusText(status));
    into.SetSize(picture.width, picture.height);
    if (picture.pixels.size() != static_cast<std::size_t>(into.Width()) * into.Height() * 4)
        throw EDIBError("Cannot load the picture \"" + fileName + "\": size mismatch");
    std::memcpy(into.Bits(), picture.pixels.data(), picture.pixels.size());
    return picture.hasAlpha;
}

}  // namespace

plat::Region TAbstractSuperDIB::AlphaRegion(std::uint8_t threshold) const
{
    return RunsToRegion(AlphaRuns(threshold));
}

plat::Region TAbstractSuperDIB::ColorRegion(TDIBColor color) const
{
    return RunsToRegion(ColorRuns(color));
}

void TAbstractSuperDIB::ImportPicture(const std::string& fileName)
{
    TMemoryDIB picture;
    const bool hasAlpha = LoadPictureFile(fileName, picture);
    BeginUpdate();
    try {
        CopyPixelsFrom(picture);
        if (hasAlpha)
            SetMasked(true);
        else
            SetAlpha(255);
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
    Changed();
}

void TAbstractSuperDIB::ImportMask(const std::string& fileName)
{
    if (Width() == 0 || Height() == 0 || !Bits())
        throw EDIBError("You cannot import a mask until you have an image.");
    TMemoryDIB picture;
    LoadPictureFile(fileName, picture);
    TMemoryDIB mask(Width(), Height());
    mask.StretchFrom(picture);
    const std::size_t count = static_cast<std::size_t>(Width()) * Height();
    for (std::size_t i = 0; i < count; ++i)
        FBits[i * 4 + 3] = mask.Bits()[i * 4];
    BeginUpdate();
    SetMasked(true);
    EndUpdate();
    Changed();
}

void TAbstractSuperDIB::Render8Bit(plat::DrawContext& context, int /*x*/, int /*y*/, const TDIBPalette& palette,
                                   int /*sourceX*/, int /*sourceY*/, int /*width*/, int /*height*/) const
{
    if (palette.LookupTable.size() < 64u * 64u * 64u)
        throw EDIBError("Render8Bit can only be used with a palette containing a lookup table");
    if (context.BitsPerPixel() != 8)
        throw EDIBError("Render8Bit can only be used to blit to an 8 bit DC");
    // No backend offers a transfer of palette indices yet.
    throw EDIBError("Render8Bit: this platform has no 8-bit transfer");
}

// ---- window kind ------------------------------------------------------------------------------

TCustomWinDIB::TCustomWinDIB() = default;

TCustomWinDIB::TCustomWinDIB(int width, int height)
{
    SetSize(width, height);
    SetClipRect(TDIBRect{0, 0, Width() - 1, Height() - 1});
}

TCustomWinDIB::TCustomWinDIB(const TAbstractSuperDIB* source)
{
    if (source)
        ShareBitsOf(*source);
}

TCustomWinDIB::~TCustomWinDIB()
{
    if (FOwnsBits && FBits)
        TCustomWinDIB::FreeBits();
}

void TCustomWinDIB::AllocBits()
{
    std::unique_ptr<plat::Surface> surface;
    const plat::Status status = plat::Platform().CreateSurface(Width(), Height(), &surface);
    if (status != plat::Status::Ok || !surface)
        throw std::runtime_error("Windows error (" + std::to_string(static_cast<int>(status)) + ") " +
                                 plat::StatusText(status));
    FSurface = std::move(surface);
    FBits = FSurface->Bits();
}

void TCustomWinDIB::FreeBits()
{
    if (FSurface)
        FSurface->Flush();
    FSurface.reset();
    FBits = nullptr;
}

plat::DrawContext* TCustomWinDIB::Handle() const
{
    return FSurface && FOwnsBits ? &FSurface->Context() : nullptr;
}

const TClassInfo& TCustomWinDIB::StaticClass()
{
    static const TClassInfo info =
        TClassBuilder<TCustomWinDIB>("TCustomWinDIB", &TAbstractSuperDIB::StaticClass()).Build();
    return info;
}

const TClassInfo& TWinDIB::StaticClass()
{
    static const TClassInfo info = TClassBuilder<TWinDIB>("TWinDIB", &TCustomWinDIB::StaticClass()).Build();
    return info;
}
