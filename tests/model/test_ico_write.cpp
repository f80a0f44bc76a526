// Writing cursor files: layout and sizes, exact round trips, colours outside
// the palette, and saves that must fail without harm.
#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <filesystem>

#include "FileTrouble.h"
#include "model/IcoIO.h"
#include "platform/FileIO.h"
#include "platform/FileWriter.h"
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

fs::path TempDir(const char* name) {
    const fs::path dir = fs::temp_directory_path() / (name + std::to_string(::getpid()));
    fs::create_directories(dir);
    return dir;
}

}  // namespace

TEST(IcoWrite, DirectoryLayoutAndSizes) {
    TmyIcon doc;  // an icon: written as a cursor all the same
    for (auto [w, h, bits] : {std::array{32, 32, 32}, {32, 32, 8}, {16, 16, 1}, {256, 256, 32}, {5, 3, 4}})
        doc.AddImage({w, h}, bits);
    const Bytes f = Save(doc);
    ASSERT_EQ(U32(f, 0), 0x20000u);
    ASSERT_EQ(U16(f, 4), 5);
    // Ascending depth, then descending width and height; sizes with palette, padded rows and mask.
    const int want[5][4] = {{16, 16, 1, 176}, {5, 3, 4, 40 + 64 + 12 + 12}, {32, 32, 8, 2216}, {256, 256, 32, 270376},
                            {32, 32, 32, 40 + 4096 + 128}};
    std::uint32_t offset = 6 + 5 * 16;
    for (std::size_t i = 0; i < 5; ++i) {
        const auto [w, h, bits, size] = want[i];
        const std::size_t e = 6 + 16 * i;
        EXPECT_EQ(f[e] + 256 * f[e + 1], w % 256 + 256 * (h % 256)) << i;
        EXPECT_EQ(U32(f, e + 8), static_cast<std::uint32_t>(size)) << i;
        EXPECT_EQ(U32(f, e + 12), offset) << i;
        EXPECT_EQ(U16(f, offset + 14), bits) << i;
        offset += static_cast<std::uint32_t>(size);
    }
    EXPECT_EQ(f.size(), offset);
}

TEST(IcoWrite, RoundTripIsExactLeavesTheDocumentAloneAndPngIsMeasuredInMemory) {
    // In an empty working directory: the PNG entry must leave no file behind.
    const fs::path dir = TempDir("velto-icopng-"), old = fs::current_path();
    fs::current_path(dir);
    for (bool png : {false, true}) {
        TmyIcon doc;
        doc.IsCursor = true;
        int seed = 0;
        for (const ImageSize s : {ImageSize{5, 3}, {17, 9}, {16, 12}, {1, 1}, {256, 256}})
            for (int bits : {1, 4, 8, 24, 32}) {
                doc.AddImage(s, bits);
                Paint(doc.CurrentImage(), ++seed);
                doc.CurrentImage().SetHotSpotX(seed);
                doc.CurrentImage().SetHotSpotY(seed / 2);
            }
        doc.SetItemIndex(7);
        const TmyImagePal* seventh = &doc.Image(7);
        const Bytes f = Save(doc, png);
        EXPECT_EQ(&doc.Image(7), seventh);
        EXPECT_EQ(doc.ItemIndex(), 7);

        TmyIcon back;
        ByteReader reader(f);
        ASSERT_TRUE(TmyIcoIO(false).LoadFromStream(back, reader));
        ASSERT_EQ(back.Count(), doc.Count());
        TmyIcon sorted(doc);
        sorted.SortImages();
        for (int i = 0; i < back.Count(); ++i) {
            const TmyImagePal &a = sorted.Image(i), &b = back.Image(i);
            EXPECT_TRUE(a.Equals(b) && a.BitCount == b.BitCount && a.HotSpotX() == b.HotSpotX() &&
                        a.HotSpotY() == b.HotSpotY())
                << "png " << png << " image " << i;
        }
        // Only the 256x256 image of 32 bits (entry 20) becomes a PNG, of the
        // measured size: at lower depths (entry 10 is 256x256x8) a PNG would
        // come back as 32 bits.
        EXPECT_EQ(f[U32(f, 6 + 16 * 20 + 12)] == 0x89, png);
        EXPECT_EQ(f[U32(f, 6 + 16 * 10 + 12)], 40);
        if (png) { EXPECT_EQ(U32(f, 6 + 16 * 20 + 8), TmyIcoIO::PNGDataSize(doc.Image(24))); }
    }
    fs::current_path(old);
    EXPECT_TRUE(fs::is_empty(dir));
    fs::remove_all(dir);
}

TEST(IcoWrite, IndexedPixelsNeverBecomeAWrongIndexAndMissingBlackWarnsOncePerImage) {
    // No black in the palette: transparent pixels take entry 0 (white here),
    // not the colour nearest to black.
    for (int bits : {4, 8}) {
        SCOPED_TRACE(bits);
        TmyIcon doc;
        doc.AddImage({4, 1}, bits);
        doc.AddImage({3, 1}, bits);
        for (int k = 0; k < 2; ++k) {
            TmyPalette& pal = *doc.Image(k).Palette;
            for (int i = 0; i < pal.Count(); ++i) pal[i] = TmyPixel::CreateRGBA(static_cast<std::uint8_t>(16 * i), 1, 1, 255);
            pal[0] = TmyPixel::CreateRGBA(255, 255, 255, 255);
        }
        doc.AddImage({2, 1}, 8);  // the default table has black: no warning
        TmyImagePal& img = doc.Image(0);
        img.At(0, 0) = TmyPixel::CreateRGBA(50, 1, 1, 255);  // not in the palette: nearest is 48, entry 3
        img.At(1, 0) = TmyPixel::CreateRGBA(32, 1, 1, 9);    // entry 2's colour with partial alpha
        img.At(2, 0) = (*img.Palette)[5];
        img.At(3, 0) = TmyPixel::Create();
        MessageLog log;
        const Bytes f = Save(doc, false, true);
        ASSERT_EQ(log.shown.size(), 2u);
        EXPECT_TRUE(log.shown[0].text == "The palette does not include the color Black." && log.shown[0].kind == mkWarning);
        const std::size_t pixels = U32(f, 6 + 12) + 40 + 4 * static_cast<std::size_t>(img.Palette->Count());
        const Bytes want = bits == 8 ? Bytes{3, 2, 5, 0} : Bytes{0x32, 0x50};
        EXPECT_EQ(Bytes(f.begin() + pixels, f.begin() + pixels + want.size()), want);
        log.shown.clear();
        Save(doc, false, false);
        EXPECT_TRUE(log.shown.empty());
    }
}

TEST(IcoWrite, TransparentPixelsAreThePalettesBlackUnderTheMask) {
    // The screen shows a masked pixel as the screen XOR its colour: any colour
    // but black would show through, wherever black sits in the palette.
    for (int bits : {1, 4, 8, 24}) {
        SCOPED_TRACE(bits);
        TmyIcon doc;
        doc.AddImage({8, 2}, bits);
        TmyImagePal& img = doc.Image(0);
        int black = 0;
        if (img.Palette) {
            TmyPalette& pal = *img.Palette;
            for (int i = 0; i < pal.Count(); ++i) pal[i] = TmyPixel::CreateRGBA(255, static_cast<std::uint8_t>(i), 255, 255);
            black = pal.Count() - 1;
            pal[black] = TmyPixel::CreateRGBA(0, 0, 0, 255);
        }
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 8; ++x)
                img.At(x, y) = x % 3 == 1 ? TmyPixel::Create() : TmyPixel::CreateRGBA(255, 0, 255, 255);
        const Bytes f = Save(doc);
        const std::size_t colours = img.Palette ? static_cast<std::size_t>(img.Palette->Count()) : 0;
        const std::size_t pixels = U32(f, 6 + 12) + 40 + 4 * colours;
        const std::size_t rowBytes = (8 * static_cast<std::size_t>(bits) + 31) / 32 * 4;
        const std::size_t mask = pixels + 2 * rowBytes;
        for (int row = 0; row < 2; ++row)
            for (int x = 0; x < 8; ++x) {
                SCOPED_TRACE(x);
                const bool masked = f[mask + 4 * static_cast<std::size_t>(row)] >> (7 - x) & 1;
                ASSERT_EQ(masked, x % 3 == 1);
                const std::uint8_t* p = &f[pixels + static_cast<std::size_t>(row) * rowBytes];
                if (bits == 24) {
                    if (masked) {
                        EXPECT_EQ(p[3 * x] | p[3 * x + 1] | p[3 * x + 2], 0);
                    }
                    continue;
                }
                const int perByte = 8 / bits;
                const int index = p[x / perByte] >> (8 - bits * (x % perByte + 1)) & ((1 << bits) - 1);
                EXPECT_EQ(index, masked ? black : 0);
            }
    }
}

TEST(IcoWrite, FailedSavesReportFalseAndKeepTheOldFile) {
    const fs::path dir = TempDir("velto-icosave-");
    const std::string target = (dir / "a.cur").string();
    const Bytes old = {1, 2, 3};
    ASSERT_TRUE(WriteWholeFile(target, old));
    TmyIcon empty, sixteen, huge, good;
    sixteen.AddImage({2, 2}, 16);
    huge.AddImage({300, 2}, 32);
    good.AddImage({2, 2}, 32);
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
    EXPECT_FALSE(io.SaveToFile(good, (dir / "missing" / "a.cur").string(), false));
    EXPECT_TRUE(io.SaveToFile(good, target, false));
    TmyIcon back;
    EXPECT_TRUE(io.LoadFromFile(back, target));
    fs::remove_all(dir);
}

// A save the system refuses says why, for cursors and icons alike; a
// document the format cannot hold says that instead.
TEST(IcoWrite, RefusedSavesCarryTheSystemsReason) {
    TmyIcon cursor, icon;
    cursor.IsCursor = true;
    for (TmyIcon* doc : {&cursor, &icon}) {
        doc->AddImage({48, 48}, 32);
        Paint(doc->CurrentImage(), 3);
    }
    for (const TmyIcon* doc : {&cursor, &icon}) {
        SCOPED_TRACE(doc->IsCursor ? "cursor" : "icon");
        VELTO_EXPECT_TROUBLES_REPORTED(doc->IsCursor ? "a.cur" : "a.ico", [&](const std::string& path) {
            FileError error;
            return TmyIcoIO(false).SaveToFile(*doc, path, false, &error) ? std::string("saved")
                                                                          : FileErrorText(error);
        });
    }
    TmyIcon huge;
    huge.AddImage({300, 2}, 32);
    const fs::path dir = TempDir("velto-icoreason-");
    FileError error;
    EXPECT_FALSE(TmyIcoIO(false).SaveToFile(huge, (dir / "a.cur").string(), false, &error));
    EXPECT_EQ(error, FileError::Unsupported);
    // Reading tells a missing file from one that is no icon.
    TmyIcon back;
    EXPECT_FALSE(TmyIcoIO(false).LoadFromFile(back, (dir / "none.cur").string(), &error));
    EXPECT_EQ(error, FileError::NotFound);
    ASSERT_TRUE(WriteWholeFile((dir / "text.cur").string(), Bytes{'h', 'i', '!', '!', '!', '!'}));
    EXPECT_FALSE(TmyIcoIO(false).LoadFromFile(back, (dir / "text.cur").string(), &error));
    EXPECT_EQ(error, FileError::Unsupported);
    fs::remove_all(dir);
}
