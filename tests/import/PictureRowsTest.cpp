// Pictures the loaders read row by row from their decoder's pixels (PNG
// rows, image-library images of any format, converted a row at a time) end
// as the same picture held whole would: under every policy, for pictures
// larger and smaller than the target, with transparent holes, and one
// transparent throughout (which arrives opaque black).
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "ImportTestUtil.h"
#include "imaging/FileFormat.h"
#include "imaging/Imaging.h"
#include "import/MyImport.h"

namespace velto {
namespace {

using test::ScratchDir;
using test::TestService;

// An A8R8G8B8 picture of a pattern: alpha 0 (colour 0) where hole(x, y).
void Pattern(TImageData& image, int w, int h, const std::function<bool(int, int)>& hole) {
    ASSERT_TRUE(NewImage(w, h, ifA8R8G8B8, image));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            std::uint8_t* p = image.Bits + (static_cast<std::size_t>(y) * w + x) * 4;
            const bool clear = hole(x, y);
            p[0] = clear ? 0 : static_cast<std::uint8_t>(x * 11 + y);
            p[1] = clear ? 0 : static_cast<std::uint8_t>(y * 7);
            p[2] = clear ? 0 : static_cast<std::uint8_t>(200 - x);
            p[3] = clear ? 0 : static_cast<std::uint8_t>(128 + (x * y) % 128);
        }
}

// The file as the image library reads it, held whole as a 32-bit bitmap.
TBitmap Held(const std::string& file) {
    TImageData image;
    InitImage(image);
    TBitmap bitmap;
    if (LoadImageFromFile(file, image) && ConvertImage(image, ifA8R8G8B8) &&
        bitmap.Allocate(image.Width, image.Height, pf32bit))
        for (int y = 0; y < image.Height; ++y)
            std::copy_n(image.Bits + static_cast<std::size_t>(y) * image.Width * 4, image.Width * 4, bitmap.ScanLine(y));
    FreeImage(image);
    return bitmap;
}

TEST(PictureRows, FitAsTheHeldPictureDoes) {
    ScratchDir dir;
    struct Source {
        const char* name;
        int w, h;
        TImageFormat format;  // converted to before saving
        std::function<bool(int, int)> hole;
    };
    const Source sources[] = {
        {"rgba.png", 70, 45, ifA8R8G8B8, [](int x, int y) { return (x + 2 * y) % 9 == 0; }},
        {"tall.png", 9, 300, ifA8R8G8B8, [](int x, int y) { return x == y % 9; }},
        {"clear.png", 40, 40, ifA8R8G8B8, [](int, int) { return true; }},
        {"small.png", 20, 10, ifA8R8G8B8, [](int x, int) { return x == 3; }},
        {"rgba.bmp", 70, 45, ifA8R8G8B8, [](int x, int y) { return (x * y) % 7 == 1; }},
        {"grey16.pgm", 70, 45, ifGray16, [](int, int) { return false; }},
        {"rgb16.ppm", 45, 70, ifR16G16B16, [](int, int) { return false; }},
        {"rgb.tga", 33, 50, ifR8G8B8, [](int, int) { return false; }},
    };
    for (const Source& src : sources) {
        SCOPED_TRACE(src.name);
        TImageData image;
        InitImage(image);
        Pattern(image, src.w, src.h, src.hole);
        ASSERT_TRUE(ConvertImage(image, src.format));
        const std::string file = dir.File(src.name);
        ASSERT_TRUE(SaveImageToFile(file, image));
        FreeImage(image);
        for (const std::uint8_t policy : {fpResize, fpCrop, fpAdvanced})
            for (const bool keepAspect : {true, false})
                for (const ImageSize size : {ImageSize{32, 32}, ImageSize{48, 20}, ImageSize{1, 1}}) {
                    SCOPED_TRACE(testing::Message() << "policy " << int(policy) << (keepAspect ? " kept" : " stretched")
                                                    << " into " << size.Width << "x" << size.Height);
                    TestService rows, held;
                    TBitmap seenByRows, seenByHeld;
                    for (TestService* s : {&rows, &held}) {
                        s->settings.ImportAction = policy;
                        s->settings.KeepAspectRatio = keepAspect;
                        TBitmap& seen = s == &rows ? seenByRows : seenByHeld;
                        s->service.Hooks.AdvancedImport = [&seen](TBitmap& source, TmyImagePal& work) {
                            seen = source;
                            for (TmyPixel& p : work.Pixels()) p = {1, 2, 3, 255};
                            return true;
                        };
                    }
                    TmyImagePal byRows(size, 32), byHeld(size, 32);
                    ASSERT_TRUE(rows.service.LoadImageFile(byRows, file, false, false).Ok);
                    TBitmap bitmap = Held(file);
                    ASSERT_FALSE(bitmap.Empty());
                    ASSERT_TRUE(held.service.BitmapToImage(bitmap, byHeld, size, false, true));
                    EXPECT_EQ(byRows.Size(), byHeld.Size());
                    EXPECT_TRUE(byRows.Equals(byHeld));
                    ASSERT_EQ(seenByRows.Empty(), seenByHeld.Empty());
                    if (!seenByRows.Empty()) {
                        ASSERT_EQ(seenByRows.Height(), seenByHeld.Height());
                        for (int y = 0; y < seenByRows.Height(); ++y)
                            ASSERT_TRUE(std::equal(seenByRows.ScanLine(y), seenByRows.ScanLine(y) + seenByRows.Width() * 4,
                                                   seenByHeld.ScanLine(y)))
                                << "the advanced dialog's picture, row " << y;
                    }
                }
    }
}

}  // namespace
}  // namespace velto
