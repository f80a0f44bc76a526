// The pictures of folder tiles: a GIF as a player shows its first frame over
// white, a JPEG decoded at the tile's scale, and the one image of an icon or
// cursor file that the tile shows, read without the others.
#include <gtest/gtest.h>

#include <QImage>

#include <array>
#include <cmath>
#include <filesystem>

#include "../model/test_ico_support.h"
#include "../resources/PeTestImage.h"
#include "Corpus.h"
#include "browse/TileSources.h"
#include "gif/GifCompose.h"
#include "icns/MacIcoIO.h"
#include "imaging/FileFormat.h"
#include "imaging/Imaging.h"
#include "model/AniIO.h"
#include "model/Detect.h"
#include "model/IcoIO.h"
#include "model/Icon.h"
#include "platform/ByteReader.h"
#include "platform/ByteWriter.h"
#include "platform/FileIO.h"

using namespace velto;
using namespace velto::test;
using restest::Bytes;
using restest::TempDir;

namespace {

// Written by Pillow: 8 x 8 of one colour (red) and of two (red left, blue
// right), each with a 4-entry table and a code size of 8 for its LZW data.
const Bytes kPillowOneColour = {
    0x47, 0x49, 0x46, 0x38, 0x37, 0x61, 0x08, 0x00, 0x08, 0x00, 0x81, 0x00, 0x00, 0xff, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x2c, 0x00, 0x00, 0x00, 0x00, 0x08, 0x00, 0x08, 0x00, 0x00, 0x08,
    0x0f, 0x00, 0x01, 0x08, 0x1c, 0x48, 0xb0, 0xa0, 0xc1, 0x83, 0x08, 0x13, 0x2a, 0x4c, 0x18, 0x10, 0x00, 0x3b};
const Bytes kPillowTwoColours = {
    0x47, 0x49, 0x46, 0x38, 0x37, 0x61, 0x08, 0x00, 0x08, 0x00, 0x81, 0x00, 0x00, 0xff, 0x00, 0x00, 0x00,
    0x00, 0xff, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x2c, 0x00, 0x00, 0x00, 0x00, 0x08, 0x00, 0x08, 0x00,
    0x00, 0x08, 0x1b, 0x00, 0x01, 0x08, 0x04, 0x10, 0xa0, 0x60, 0x80, 0x81, 0x04, 0x0d, 0x22, 0x34, 0x78,
    0x70, 0x20, 0xc3, 0x85, 0x0a, 0x1d, 0x46, 0x14, 0xf8, 0x50, 0x62, 0xc1, 0x80, 0x00, 0x3b};
// Also Pillow's: a 4 x 2 frame whose left half is the transparent index 0
// (green, also the screen's background) and right half blue; placed here
// at x = 2 of a screen 6 wide, so that columns 0 and 1 are no frame's.
const Bytes kOffsetTransparentFrame = {
    0x47, 0x49, 0x46, 0x38, 0x39, 0x61, 0x06, 0x00, 0x02, 0x00, 0x81, 0x00, 0x00, 0x00, 0xff, 0x00, 0x00,
    0x00, 0xff, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x21, 0xf9, 0x04, 0x01, 0x00, 0x00, 0x00, 0x00, 0x2c,
    0x02, 0x00, 0x00, 0x00, 0x04, 0x00, 0x02, 0x00, 0x00, 0x08, 0x09, 0x00, 0x01, 0x00, 0x08, 0x10, 0x40,
    0x20, 0xc1, 0x80, 0x00, 0x3b};

// Each pixel of the picture's column range x0..x1-1 is the colour (within tolerance).
void ExpectColumns(const QImage& picture, int x0, int x1, QRgb colour, int tolerance = 0) {
    for (int y = 0; y < picture.height(); ++y)
        for (int x = x0; x < x1; ++x) {
            const QRgb p = picture.pixel(x, y);
            ASSERT_NEAR(qRed(p), qRed(colour), tolerance) << x << "," << y;
            ASSERT_NEAR(qGreen(p), qGreen(colour), tolerance) << x << "," << y;
            ASSERT_NEAR(qBlue(p), qBlue(colour), tolerance) << x << "," << y;
        }
}

// A w x h picture file of the image library: the left half red, the right half blue.
void WriteHalves(const std::string& file, int w, int h) {
    TImageData image;
    ASSERT_TRUE(NewImage(w, h, ifA8R8G8B8, image));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) SetPixel32(image, x, y, x < w / 2 ? 0xFFFF0000u : 0xFF0000FFu);
    ASSERT_TRUE(SaveImageToFile(file, image));
    FreeImage(image);
}

// A cursor file of the document's images, as this program writes it.
Bytes CursorBytesOf(const TmyIcon& doc) {
    ByteWriter out;
    EXPECT_TRUE(TmyIcoIO(false).SaveToStream(doc, out, true));
    return out.take();
}

void FillImage(TmyImagePal& img, std::uint8_t seed) {
    for (int y = 0; y < img.Height(); ++y)
        for (int x = 0; x < img.Width(); ++x)
            img.At(x, y) = img.Palette ? (*img.Palette)[(x + y + seed) % img.Palette->Count()]
                                       : TmyPixel{static_cast<std::uint8_t>(x * 5 + seed),
                                                  static_cast<std::uint8_t>(y * 3), seed,
                                                  static_cast<std::uint8_t>(img.BitCount == 32 ? 200 : 255)};
}

// What the whole reader puts first, and what the one-image reader gives:
// the same size, depth, hotspot and pixels, or both nothing.
void ExpectSameFirstImage(const Bytes& file) {
    TmyIcon whole, first;
    ByteReader a(file), b(file);
    const bool wholeOk = TmyIcoIO(false).LoadFromStream(whole, a);
    ASSERT_EQ(TmyIcoIO(false).LoadFirstImage(first, b), wholeOk);
    if (!wholeOk) return;
    ASSERT_EQ(first.Count(), 1);
    const TmyImagePal& x = whole.Image(0);
    const TmyImagePal& y = first.CurrentImage();
    EXPECT_EQ(y.BitCount, x.BitCount);
    EXPECT_EQ(y.Width(), x.Width());
    EXPECT_EQ(y.Height(), x.Height());
    EXPECT_EQ(y.HotSpotX(), x.HotSpotX());
    EXPECT_EQ(y.HotSpotY(), x.HotSpotY());
    EXPECT_TRUE(y.Equals(x));
    EXPECT_EQ(first.IsCursor, whole.IsCursor);
}

// The tile made from what the whole reader reads (every image or frame),
// through the same picture path as the tile's own road; none where the whole
// reader refuses the file.
TTilePicture WholeReadersTile(const std::string& file, std::uint8_t type) {
    try {
        if (type == ftGif) {
            TGIFImage gif;
            if (!gif.LoadFromFile(file) || gif.Images().Count() == 0 || gif.Width() <= 0 || gif.Height() <= 0)
                return {};
            const TGIFCanvas screen = ComposeGIFFrame(gif, 0);
            const QImage view(reinterpret_cast<const uchar*>(screen.Pixels.data()), screen.Width, screen.Height,
                              screen.Width * 4, QImage::Format_RGBA8888);
            return PictureOfBitmap(view, view.size(), 100);
        }
        TmyANI ani;
        TmyIcon icon;
        const bool ok = type == ftAnimatedCursor ? TmyANIIO(false).LoadFromFile(ani, file)
                                                 : TmyMacIcoIO(false).LoadFromFile(icon, file);
        if (!ok) return {};
        return PictureOfImage(type == ftAnimatedCursor ? ani.Image(0) : icon.Image(0), 100);
    } catch (...) {
        return {};
    }
}

void ExpectSameTile(const TTilePicture& tile, const TTilePicture& expected) {
    ASSERT_EQ(tile.Ok, expected.Ok);
    EXPECT_EQ(tile.Source, expected.Source);
    EXPECT_TRUE(tile.Bitmap == expected.Bitmap);
}

}  // namespace

TEST(TilePictures, AGifShowsItsFirstFrameAsAPlayerShowsItOverWhite) {
    TempDir dir;
    const struct {
        const char* name;
        const Bytes& bytes;
        QSize size;
        // Columns [0, split) show `left`, the rest `right`.
        int split;
        QRgb left, right;
    } cases[] = {
        {"one.gif", kPillowOneColour, {8, 8}, 8, qRgb(255, 0, 0), 0},
        {"two.gif", kPillowTwoColours, {8, 8}, 4, qRgb(255, 0, 0), qRgb(0, 0, 255)},
        // Neither the background colour nor the transparent index's colour
        // shows: white where no opaque frame pixel is.
        {"offset.gif", kOffsetTransparentFrame, {6, 2}, 4, qRgb(255, 255, 255), qRgb(0, 0, 255)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string file = dir.File(c.name);
        restest::WriteFile(file, c.bytes);
        ASSERT_EQ(DetectFileType(file).type, ftGif);
        const TTilePicture pic = PictureOfFile(file, ftGif, 100);
        ASSERT_TRUE(pic.Ok);
        EXPECT_EQ(pic.Source, c.size);
        ASSERT_EQ(pic.Bitmap.size(), c.size);
        ExpectColumns(pic.Bitmap, 0, c.split, c.left);
        ExpectColumns(pic.Bitmap, c.split, c.size.width(), c.right);
    }
    // A GIF without a frame has no picture.
    Bytes frameless(kPillowOneColour.begin(), kPillowOneColour.begin() + 25);
    frameless.push_back(0x3b);
    restest::WriteFile(dir.File("none.gif"), frameless);
    EXPECT_FALSE(PictureOfFile(dir.File("none.gif"), ftGif, 100).Ok);
}

TEST(TilePictures, AJpegIsDecodedAtTheScaleOfTheTile) {
    TempDir dir;
    // 2001 x 1500 in a tile of 100: at 1/8, 251 x 188, recorded as 2008 x 1504.
    const std::string large = dir.File("large.jpg");
    WriteHalves(large, 2001, 1500);
    const TTilePicture pic = PictureOfFile(large, ftJpeg, 100);
    ASSERT_TRUE(pic.Ok);
    // No picture of the full size was made on the way.
    EXPECT_LE(DecodeBudgetLargestRequest(), 251ull * 188 * 3);
    EXPECT_EQ(pic.Source, QSize(2008, 1504));
    ASSERT_EQ(pic.Bitmap.size(), QSize(90, 67));
    ExpectColumns(pic.Bitmap, 0, 43, qRgb(255, 0, 0), 40);
    ExpectColumns(pic.Bitmap, 47, 90, qRgb(0, 0, 255), 40);
    // Narrower than two tiles: decoded whole.
    const std::string small = dir.File("small.jpg");
    WriteHalves(small, 199, 120);
    const TTilePicture whole = PictureOfFile(small, ftJpeg, 100);
    ASSERT_TRUE(whole.Ok);
    EXPECT_EQ(whole.Source, QSize(199, 120));
    EXPECT_GE(DecodeBudgetLargestRequest(), 199ull * 120 * 3);
    // A damaged JPEG has no picture.
    std::vector<std::uint8_t> bytes;
    ASSERT_TRUE(ReadWholeFile(large, bytes));
    bytes.resize(40);
    restest::WriteFile(dir.File("cut.jpg"), Bytes(bytes.begin(), bytes.end()));
    EXPECT_FALSE(PictureOfFile(dir.File("cut.jpg"), ftJpeg, 100).Ok);
}

TEST(TilePictures, AnIconOrCursorFileShowsTheImageTheWholeReaderPutsFirst) {
    // Depths and sizes mixed; the writer stores them shallowest first.
    TmyIcon doc;
    doc.IsCursor = true;
    const std::vector<std::pair<int, int>> formats = {{16, 32}, {48, 8}, {256, 32}, {32, 32}, {48, 4}, {24, 1}};
    for (const auto& [side, depth] : formats) {
        TmyImagePal& img = doc.Image(doc.AddImage({side, side}, depth));
        FillImage(img, static_cast<std::uint8_t>(side + depth));
        img.SetHotSpotX(side / 2);
        img.SetHotSpotY(side / 3);
    }
    const Bytes mixed = CursorBytesOf(doc);  // the 256 x 256 image as a PNG entry
    ExpectSameFirstImage(mixed);
    TmyIcon first;
    ByteReader r(mixed);
    ASSERT_TRUE(TmyIcoIO(false).LoadFirstImage(first, r));
    EXPECT_EQ(first.CurrentImage().Width(), 256);

    // Entries as other programs order them, equal ones, damaged ones: the
    // reader of one image follows the whole reader's choice.
    const Bytes a = restest::CursorImageBytes(32, 32, 1), b = restest::CursorImageBytes(32, 32, 2);
    const Bytes big = restest::CursorImageBytes(48, 48, 3);
    Bytes cutBig = big;
    cutBig.resize(200);  // header whole, pixels cut: the entry fails
    const std::vector<std::vector<restest::CurImage>> files = {
        {{32, 32, 1, 1, a}, {48, 48, 2, 2, big}, {16, 16, 3, 3, {}, 4}},
        {{32, 32, 1, 1, a}, {32, 32, 5, 5, b}},  // equals: the first in the file
        {{32, 32, 5, 5, b}, {32, 32, 1, 1, a}},
        {{32, 32, 1, 1, a}, {48, 48, 2, 2, cutBig}},  // the best one broken: the next
        {{48, 48, 2, 2, cutBig}},                      // nothing readable
    };
    for (std::size_t i = 0; i < files.size(); ++i) {
        SCOPED_TRACE(i);
        ExpectSameFirstImage(restest::CursorFile(files[i]));
    }
    // An icon file (type 1) and cut directories.
    Bytes icon = restest::CursorFile(files[0]);
    icon[2] = 1;
    ExpectSameFirstImage(icon);
    for (const std::size_t cut : {std::size_t{3}, std::size_t{10}, mixed.size() / 2}) {
        SCOPED_TRACE(cut);
        ExpectSameFirstImage(Bytes(mixed.begin(), mixed.begin() + static_cast<std::ptrdiff_t>(cut)));
    }

    // And every icon and cursor file of the samples.
    if (!HaveCorpus()) return;
    int read = 0;
    for (const auto& e : std::filesystem::recursive_directory_iterator(CorpusDir())) {
        if (!e.is_regular_file() || e.file_size() > (4u << 20)) continue;
        const FileTypeResult t = DetectFileType(e.path().string());
        if (!t.ok() || (t.type != ftIcon && t.type != ftCursor)) continue;
        SCOPED_TRACE(e.path().string());
        std::vector<std::uint8_t> bytes;
        ASSERT_TRUE(ReadWholeFile(e.path().string(), bytes));
        ExpectSameFirstImage(Bytes(bytes.begin(), bytes.end()));
        ++read;
    }
    EXPECT_GT(read, 0);
}

// Icon and cursor files with a 16-bit bitmap entry or a palette PNG entry
// (tRNS on-off or partial): the tile shows the whole reader's first image,
// also when one competes, in either order, with a 24-bit bitmap (a 16-bit
// one counts as 24 bits, a palette PNG without partial alpha as 8).
TEST(TilePictures, SixteenBitAndPalettePngEntriesShowTheWholeReadersFirstImage) {
    // A 32-bit entry relabelled 16 or 24 bits: pixels (bit 15 set on some), then a mask.
    const auto bits = [](int w, int h, std::uint8_t depth) { Bytes d = restest::CursorImageBytes(w, h, 7); d[14] = depth; return d; };
    const auto palettePng = [](int w, int h, const Bytes& alphas) {
        return icotest::PngFile(w, h, 8, 3, std::vector<Bytes>(h, restest::Pattern(1, w)), restest::Pattern(9, 768), alphas);
    };
    const icotest::Entry bits16{bits(48, 48, 16), 3, 4}, bits24{bits(32, 32, 24), 1, 2};
    const icotest::Entry palette{palettePng(48, 48, {}), 5, 6};
    const Bytes files[] = {icotest::IcoFile(2, {{bits(200, 120, 16), 3, 4}}),  // reduced to the tile
                           icotest::IcoFile(1, {{palettePng(48, 40, {0, 255, 255, 0}), 1, 8}}),
                           icotest::IcoFile(2, {bits16, {palettePng(48, 40, {0, 128}), 5, 6}}),
                           icotest::IcoFile(2, {bits16, bits24}), icotest::IcoFile(2, {bits24, bits16}),
                           icotest::IcoFile(2, {palette, bits24}), icotest::IcoFile(2, {bits24, palette})};
    for (const Bytes& file : files) {
        SCOPED_TRACE(&file - files);
        TmyIcon whole;
        ByteReader in(file);
        ASSERT_TRUE(TmyIcoIO(false).LoadFromStream(whole, in));
        ExpectSameTile(PictureOfIconBytes(file, 100), PictureOfImage(whole.Image(0), 100));
    }
}

// Animated cursors, Apple icons and GIFs: the tile decodes only the image it
// shows, and shows what the whole reader's first image gives; damage or
// excess after that image no longer blanks it.
TEST(TilePictures, AnimationsAndAppleIconsShowTheWholeReadersFirstImage) {
    TempDir dir;
    // An animated cursor whose last frame is damaged: the whole reader drops it.
    TmyANI ani;
    for (int i = 0; i < 3; ++i) FillImage(ani.Image(ani.AddImage({32, 32}, 32)), static_cast<std::uint8_t>(40 * i));
    std::vector<std::uint8_t> aniBytes;
    ASSERT_TRUE(TmyANIIO(false).SaveToBytes(ani, aniBytes));
    const std::string icon = "icon";
    const auto last = std::find_end(aniBytes.begin(), aniBytes.end(), icon.begin(), icon.end());
    ASSERT_NE(last, aniBytes.end());
    *(last + 8 + 6 + 16) = 0xFF;  // after the chunk header, the directory: the bitmap header's size
    // An Apple icon of several elements, as this program writes it.
    TmyIcon mac;
    for (const int side : {16, 48, 128, 32})
        FillImage(mac.Image(mac.AddImage({side, side}, 32)), static_cast<std::uint8_t>(side));
    ASSERT_TRUE(TmyMacIcoIO(false).SaveToFile(mac, dir.File("several.icns"), false));
    restest::WriteFile(dir.File("damaged.ani"), Bytes(aniBytes.begin(), aniBytes.end()));
    for (const auto& [name, type] : {std::pair{"damaged.ani", ftAnimatedCursor}, {"several.icns", ftIcns}}) {
        SCOPED_TRACE(name);
        const TTilePicture tile = PictureOfFile(dir.File(name), type, 100);
        ASSERT_TRUE(tile.Ok);
        ExpectSameTile(tile, WholeReadersTile(dir.File(name), type));
    }
    EXPECT_EQ(PictureOfFile(dir.File("several.icns"), ftIcns, 100).Source, QSize(128, 128));

    // A GIF whose second frame declares 65535 x 65535 (refused before any
    // pixel is decoded) or is cut short: the whole reader raises; the tile
    // is that of the first frame alone, which was read without the second.
    Bytes huge(kPillowTwoColours.begin(), kPillowTwoColours.end() - 1);
    Bytes cut = huge;
    cut.insert(cut.end(), {0x2c, 0x00, 0x00});
    huge.insert(huge.end(), {0x2c, 0, 0, 0, 0, 0xff, 0xff, 0xff, 0xff, 0x00, 0x08, 0x02, 0x00, 0x00, 0x00, 0x3b});
    restest::WriteFile(dir.File("first.gif"), kPillowTwoColours);
    const TTilePicture alone = PictureOfFile(dir.File("first.gif"), ftGif, 100);
    ASSERT_TRUE(alone.Ok);
    for (const auto& [name, bytes] : {std::pair{"huge.gif", huge}, {"cut.gif", cut}}) {
        SCOPED_TRACE(name);
        restest::WriteFile(dir.File(name), bytes);
        EXPECT_FALSE(WholeReadersTile(dir.File(name), ftGif).Ok);
        ExpectSameTile(PictureOfFile(dir.File(name), ftGif, 100), alone);
        TGIFImage gif;
        ByteReader r(bytes);
        gif.LoadFirstFrame(r);
        EXPECT_EQ(gif.Images().Count(), 1);
    }

    // Every sample the whole reader reads gives the same tile.
    if (!HaveCorpus()) GTEST_SKIP() << "the sample files at " << CorpusDir().string() << " are absent";
    int compared = 0;
    for (const auto& e : std::filesystem::recursive_directory_iterator(CorpusDir())) {
        if (!e.is_regular_file()) continue;
        const FileTypeResult t = DetectFileType(e.path().string());
        if (!t.ok() || (t.type != ftAnimatedCursor && t.type != ftIcns && t.type != ftGif)) continue;
        SCOPED_TRACE(e.path().string());
        const TTilePicture expected = WholeReadersTile(e.path().string(), t.type);
        if (!expected.Ok) continue;
        ExpectSameTile(PictureOfFile(e.path().string(), t.type, 100), expected);
        ++compared;
    }
    EXPECT_GT(compared, 0);
}

// A tile shows an image's pixels as the canvas does, over white: a 32-bit
// pixel blended by its alpha (rounded to the nearest level), any other
// depth's pixel as it is unless transparent (alpha 0: white). Reduced by
// half, a picture pixel is the mean (rounded down) of its 2 x 2 block.
TEST(TilePictures, AnImageIsShownOverWhiteAndAveragedWhenReduced) {
    const auto overWhite = [](int c, int a) { return static_cast<int>(std::lround((255.0 * (255 - a) + c * a) / 255.0)); };
    const auto shown = [&](const TmyPixel& p, int depth) {
        const int a = depth >= 32 ? p.A : p.A == 0 ? 0 : 255;
        return std::array<int, 3>{overWhite(p.R, a), overWhite(p.G, a), overWhite(p.B, a)};
    };
    // Every level of every channel under every alpha, shown at its size
    // (rows of a width that no word or vector size divides).
    for (const int depth : {32, 24}) {
        SCOPED_TRACE(depth);
        TmyImagePal img({259, 256}, depth);
        for (int y = 0; y < 256; ++y)
            for (int x = 0; x < 259; ++x)
                img.At(x, y) = TmyPixel{static_cast<std::uint8_t>(x), static_cast<std::uint8_t>(255 - x),
                                        static_cast<std::uint8_t>(x ^ y), static_cast<std::uint8_t>(y)};
        const TTilePicture pic = PictureOfImage(img, 269);
        ASSERT_TRUE(pic.Ok);
        ASSERT_EQ(pic.Bitmap.size(), QSize(259, 256));
        for (int y = 0; y < 256; ++y)
            for (int x = 0; x < 259; ++x) {
                const auto want = shown(img.At(x, y), depth);
                const QRgb got = pic.Bitmap.pixel(x, y);
                ASSERT_EQ(qRed(got), want[0]) << x << "," << y;
                ASSERT_EQ(qGreen(got), want[1]) << x << "," << y;
                ASSERT_EQ(qBlue(got), want[2]) << x << "," << y;
            }
    }
    // 178 x 180 in a tile of 100 (pictures up to 90): halved exactly, to an
    // odd width.
    for (const int depth : {32, 8}) {
        SCOPED_TRACE(depth);
        TmyImagePal img({178, 180}, depth);
        std::uint32_t s = 7;
        for (int y = 0; y < 180; ++y)
            for (int x = 0; x < 178; ++x) {
                s = s * 1103515245u + 12345u;
                img.At(x, y) = TmyPixel{static_cast<std::uint8_t>(s >> 24), static_cast<std::uint8_t>(s >> 16),
                                        static_cast<std::uint8_t>(s >> 8),
                                        static_cast<std::uint8_t>((s >> 4) % 5 == 0 ? 0 : s >> 3)};
            }
        const TTilePicture pic = PictureOfImage(img, 100);
        ASSERT_TRUE(pic.Ok);
        EXPECT_EQ(pic.Source, QSize(178, 180));
        ASSERT_EQ(pic.Bitmap.size(), QSize(89, 90));
        for (int y = 0; y < 90; ++y)
            for (int x = 0; x < 89; ++x) {
                std::array<int, 3> sum{};
                for (int k = 0; k < 4; ++k) {
                    const auto c = shown(img.At(2 * x + k % 2, 2 * y + k / 2), depth);
                    for (int ch = 0; ch < 3; ++ch) sum[static_cast<std::size_t>(ch)] += c[static_cast<std::size_t>(ch)];
                }
                const QRgb got = pic.Bitmap.pixel(x, y);
                ASSERT_EQ(qRed(got), sum[0] / 4) << x << "," << y;
                ASSERT_EQ(qGreen(got), sum[1] / 4) << x << "," << y;
                ASSERT_EQ(qBlue(got), sum[2] / 4) << x << "," << y;
            }
    }
}
