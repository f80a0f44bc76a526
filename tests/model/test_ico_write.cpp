// Writing cursor files: layout and sizes, exact round trips, colours outside
// the palette, and saves that must fail without harm.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "model/IcoIO.h"
#include "platform/FileIO.h"
#include "test_ico_support.h"

namespace fs = std::filesystem;
using namespace velto;
using namespace icotest;

namespace {

std::uint32_t U32(const Bytes& b, std::size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}
std::uint16_t U16(const Bytes& b, std::size_t at) { return static_cast<std::uint16_t>(b[at] | b[at + 1] << 8); }

Bytes Save(const TmyIcon& doc, bool png = false, bool show = false) {
    ByteWriter w;
    EXPECT_TRUE(TmyIcoIO(show).SaveToStream(doc, w, png));
    return w.take();
}

// Pixels of every kind an image of the depth can hold: opaque palette colours
// (or any colour above 8 bits), transparent pixels, partial alpha at 32 bits.
void Paint(TmyImagePal& img, int seed) {
    for (int y = 0; y < img.Height(); ++y)
        for (int x = 0; x < img.Width(); ++x) {
            const int v = x * 7 + y * 13 + seed;
            TmyPixel p;
            if (img.Palette) p = (*img.Palette)[v % img.Palette->Count()];
            else p = TmyPixel::CreateRGBA(static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v * 3),
                                          static_cast<std::uint8_t>(255 - v),
                                          img.BitCount == 32 ? static_cast<std::uint8_t>(1 + v * 5 % 255) : 255);
            if (v % 5 == 0) p = TmyPixel::Create();
            img.At(x, y) = p;
        }
}

}  // namespace

TEST(IcoWrite, DirectoryLayoutAndSizes) {
    TmyIcon doc;  // an icon: written as a cursor all the same
    doc.AddImage({32, 32}, 32);
    doc.AddImage({32, 32}, 8);
    doc.Image(1).SetHotSpotX(3);
    doc.Image(1).SetHotSpotY(4);
    doc.AddImage({16, 16}, 1);
    doc.AddImage({256, 256}, 32);
    doc.AddImage({5, 3}, 4);
    const Bytes f = Save(doc);
    EXPECT_EQ(U16(f, 0), 0);
    EXPECT_EQ(U16(f, 2), 2);
    ASSERT_EQ(U16(f, 4), 5);
    // Ascending depth, then descending width and height.
    struct Want {
        int w, h, bits, hx, hy;
        std::uint32_t size;
    } want[] = {{16, 16, 1, 0, 0, 176}, {5, 3, 4, 0, 0, 40 + 12 + 64 + 12}, {32, 32, 8, 3, 4, 2216},
                {256, 256, 32, 0, 0, 270376}, {32, 32, 32, 0, 0, 40 + 4096 + 128}};
    std::uint32_t offset = 6 + 5 * 16;
    for (int i = 0; i < 5; ++i) {
        SCOPED_TRACE(i);
        const std::size_t e = 6 + 16 * static_cast<std::size_t>(i);
        EXPECT_EQ(f[e], want[i].w % 256);
        EXPECT_EQ(f[e + 1], want[i].h % 256);
        EXPECT_EQ(U16(f, e + 4), want[i].hx);
        EXPECT_EQ(U16(f, e + 6), want[i].hy);
        EXPECT_EQ(U32(f, e + 8), want[i].size);
        EXPECT_EQ(U32(f, e + 12), offset);
        EXPECT_EQ(U32(f, offset + 4), static_cast<std::uint32_t>(want[i].w));
        EXPECT_EQ(U32(f, offset + 8), static_cast<std::uint32_t>(2 * want[i].h));
        EXPECT_EQ(U16(f, offset + 14), want[i].bits);
        EXPECT_EQ(static_cast<std::int64_t>(want[i].size),
                  40 + TmyIcoIO::ImageDataSize(want[i].h, want[i].w, want[i].bits) + TmyIcoIO::MaskDataSize(want[i].h, want[i].w));
        offset += want[i].size;
    }
    EXPECT_EQ(f.size(), offset);
}

TEST(IcoWrite, RoundTripIsExactAndLeavesTheDocumentAlone) {
    const ImageSize sizes[] = {{5, 3}, {17, 9}, {16, 12}, {1, 1}, {256, 256}};
    for (bool png : {false, true}) {
        TmyIcon doc;
        doc.IsCursor = true;
        int seed = 0;
        for (const ImageSize s : sizes)
            for (int bits : {1, 4, 8, 24, 32}) {
                doc.AddImage(s, bits);
                Paint(doc.CurrentImage(), ++seed);
                doc.CurrentImage().SetHotSpotX(seed);
                doc.CurrentImage().SetHotSpotY(seed / 2);
            }
        doc.SetItemIndex(7);
        std::vector<const TmyImagePal*> before;
        for (int i = 0; i < doc.Count(); ++i) before.push_back(&doc.Image(i));

        const Bytes f = Save(doc, png);
        for (int i = 0; i < doc.Count(); ++i) EXPECT_EQ(&doc.Image(i), before[static_cast<std::size_t>(i)]);
        EXPECT_EQ(doc.ItemIndex(), 7);

        TmyIcon back;
        ByteReader reader(f);
        ASSERT_TRUE(TmyIcoIO(false).LoadFromStream(back, reader));
        ASSERT_EQ(back.Count(), doc.Count());
        TmyIcon sorted(doc);
        sorted.SortImages();
        for (int i = 0; i < back.Count(); ++i) {
            SCOPED_TRACE(testing::Message() << "png " << png << " image " << i);
            const TmyImagePal& a = sorted.Image(i);
            const TmyImagePal& b = back.Image(i);
            EXPECT_EQ(a.BitCount, b.BitCount);
            EXPECT_EQ(a.HotSpotX(), b.HotSpotX());
            EXPECT_EQ(a.HotSpotY(), b.HotSpotY());
            EXPECT_TRUE(a.Equals(b));
        }
        // Only the 256x256 image of 32 bits (entry 20) becomes a PNG: at lower
        // depths (entry 10 is 256x256x8) a PNG would come back as 32 bits.
        EXPECT_EQ(f[U32(f, 6 + 16 * 20 + 12)] == 0x89, png);
        EXPECT_EQ(f[U32(f, 6 + 16 * 10 + 12)], 40);
    }
}

TEST(IcoWrite, PngEntriesAreMeasuredInMemory) {
    const fs::path dir = fs::temp_directory_path() / ("velto-icopng-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const fs::path old = fs::current_path();
    fs::current_path(dir);
    TmyImagePal img({256, 256}, 32);
    Paint(img, 3);
    const std::int64_t size = TmyIcoIO::PNGDataSize(img);
    TmyIcon doc;
    doc.AppendImage(std::make_unique<TmyImagePal>(img));
    const Bytes f = Save(doc, true);
    fs::current_path(old);
    EXPECT_GT(size, 0);
    EXPECT_EQ(U32(f, 6 + 8), static_cast<std::uint32_t>(size));
    EXPECT_EQ(f.size(), 6 + 16 + static_cast<std::size_t>(size));
    EXPECT_TRUE(fs::is_empty(dir));  // no temporary file left behind, none overwritten
    fs::remove_all(dir);
}

TEST(IcoWrite, ColoursOutsideThePaletteNeverBecomeAWrongIndex) {
    for (int bits : {4, 8}) {
        SCOPED_TRACE(bits);
        TmyIcon doc;
        doc.AddImage({4, 1}, bits);
        TmyImagePal& img = doc.CurrentImage();
        TmyPalette& pal = *img.Palette;
        for (int i = 0; i < pal.Count(); ++i) pal[i] = TmyPixel::CreateRGBA(static_cast<std::uint8_t>(16 * i), 1, 1, 255);
        img.At(0, 0) = TmyPixel::CreateRGBA(50, 1, 1, 255);  // not in the palette: nearest is 48, entry 3
        img.At(1, 0) = TmyPixel::CreateRGBA(32, 1, 1, 9);    // entry 2's colour with partial alpha
        img.At(2, 0) = pal[5];
        img.At(3, 0) = TmyPixel::Create();                   // transparent: black, which entry 0 is not
        const Bytes f = Save(doc);
        const std::size_t pixels = 6 + 16 + 40 + 4 * static_cast<std::size_t>(pal.Count());
        if (bits == 8) {
            EXPECT_EQ(Bytes(f.begin() + pixels, f.begin() + pixels + 4), (Bytes{3, 2, 5, 0}));
        } else {
            EXPECT_EQ(f[pixels], 0x32);
            EXPECT_EQ(f[pixels + 1], 0x50);
        }
    }
}

TEST(IcoWrite, PaletteWithoutBlackWarnsOncePerImage) {
    TmyIcon doc;
    for (int w : {3, 2}) {
        doc.AddImage({w, 1}, 1);
        (*doc.CurrentImage().Palette)[0] = TmyPixel::CreateRGBA(255, 0, 0, 255);
        doc.CurrentImage().At(0, 0) = TmyPixel::Create();
    }
    doc.AddImage({2, 1}, 8);  // default table: has black
    MessageLog log;
    Save(doc, false, true);
    ASSERT_EQ(log.shown.size(), 2u);
    EXPECT_EQ(log.shown[0].text, "The palette does not include the color Black.");
    EXPECT_EQ(log.shown[0].kind, mkWarning);
    log.shown.clear();
    const Bytes f = Save(doc, false, false);
    EXPECT_TRUE(log.shown.empty());
    EXPECT_EQ(f[U32(f, 6 + 12) + 48] & 0x80, 0);  // transparent pixel took index 0
}

TEST(IcoWrite, FailedSavesReportFalseAndKeepTheOldFile) {
    const fs::path dir = fs::temp_directory_path() / ("velto-icosave-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const std::string target = (dir / "a.cur").string();
    const Bytes old = {1, 2, 3};
    ASSERT_TRUE(SaveFileAtomic(target, old));

    TmyIcon empty;
    TmyIcon sixteen;
    sixteen.AddImage({2, 2}, 16);
    TmyIcon huge;
    huge.AddImage({300, 2}, 32);
    TmyIcoIO io(true);
    for (const TmyIcon* doc : {&empty, &sixteen, &huge}) {
        ByteWriter w;
        w.u8(9);
        EXPECT_FALSE(io.SaveToStream(*doc, w, false));
        EXPECT_EQ(w.size(), 1u);
        EXPECT_FALSE(io.SaveToFile(*doc, target, false));
    }
    Bytes now;
    ASSERT_TRUE(ReadWholeFile(target, now));
    EXPECT_EQ(now, old);

    TmyIcon good;
    good.AddImage({2, 2}, 32);
    EXPECT_FALSE(io.SaveToFile(good, (dir / "missing" / "a.cur").string(), false));
    EXPECT_TRUE(io.SaveToFile(good, target, false));
    TmyIcon back;
    EXPECT_TRUE(io.LoadFromFile(back, target));
    fs::remove_all(dir);
}
