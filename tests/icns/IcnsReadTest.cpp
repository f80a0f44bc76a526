// Reading Apple icon files: the element table, every decoder, and hostile
// element lists, short data and oversized pictures.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <new>

#include "ChildCost.h"
#include "CostlyFiles.h"
#include "Corpus.h"
#include "IcnsTestUtil.h"
#include "Jpeg2000Rows.h"
#include "Sanitizer.h"
#include "icns/MacIcoIO.h"
#include "imaging/Classes.h"
#include "model/IcoIO.h"
#include "platform/FileIO.h"
#include "platform/FileWriter.h"

using namespace velto;
using namespace icnstest;

namespace {

const std::string kNoImage = "Invalid image inside the icon.";
const std::string kEntryLimit = "Too many entries in the icon.";
const std::string kUnknown = "The following unknown images were found inside the icon: ";

// A plane of n values v packed as runs.
Bytes Runs(std::size_t n, std::uint8_t v) {
    Bytes plane(n, v);
    ByteWriter w;
    TmyMacIcoIO::PackPlane(plane, w);
    return w.take();
}

Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

Bytes Is32(std::uint8_t r, std::uint8_t g, std::uint8_t b) { return Concat({Runs(256, r), Runs(256, g), Runs(256, b)}); }

Bytes PngOf(int width, int height) {
    return TmyIcoIO::EncodePNG(MakeImage({width, height}, 32, [](int x, int y) { return Pattern(x, y, 200); }));
}

struct LoadResult {
    bool ok = false;
    TmyIcon doc;
};

LoadResult Load(const Bytes& file, bool messages = true) {
    LoadResult r;
    TmyMacIcoIO io(messages);
    r.ok = io.LoadFromBytes(r.doc, file);
    return r;
}

TEST(IcnsTable, LookupsFollowTheTable) {
    struct Row {
        const char* name;
        int width, height, bits;
        std::string_view written, mask;  // the mask: that of the size, whatever the depth
    } rows[] = {
        {"sicn-as-ics#", 16, 16, 1, "ics#", "s8mk"},
        {"icon-as-ICN#", 32, 32, 1, "ICN#", "l8mk"},
        {"icm-8bit", 16, 12, 8, "icm8", ""},
        {"ich-4bit", 48, 48, 4, "ich4", "h8mk"},
        {"it32", 128, 128, 32, "it32", "t8mk"},
        {"ic08-no-mask", 256, 256, 32, "ic08", ""},
        {"icm-32bit-none", 16, 12, 32, "", ""},
        {"24bit-none", 32, 32, 24, "", "l8mk"},
        {"64-none", 64, 64, 32, "", ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(TmyMacIcoIO::ElementTypeFor(row.width, row.height, row.bits), row.written);
        EXPECT_EQ(TmyMacIcoIO::MaskTypeFor(row.width, row.height, 8), row.mask);
    }
    EXPECT_EQ(TmyMacIcoIO::FindElement("SICN").Width, 16);
    EXPECT_EQ(TmyMacIcoIO::FindElement("icm4").MaskName, "icm#");
    EXPECT_EQ(TmyMacIcoIO::FindElement("it32").MaskName, "t8mk");
    EXPECT_TRUE(TmyMacIcoIO::FindElement("ic09").Name.empty());
    EXPECT_TRUE(TmyMacIcoIO::FindElement("ics").Name.empty());
}

// Each decoder on known data: sizes, palettes, bit and nibble order, masks.
TEST(IcnsRead, DecodersGiveThePixelsOfTheirKind) {
    Bytes bits1(64, 0);
    bits1[0] = 0x80;  // pixel 0 black, the rest white
    bits1[32] = 0xC0;  // pixels 0 and 1 visible
    Bytes nibbles(128, 0);
    nibbles[0] = 0x1F;  // pixel 0: entry 1, pixel 1: entry 15
    Bytes indices(192);
    for (std::size_t i = 0; i < indices.size(); ++i) indices[i] = static_cast<std::uint8_t>(i);
    Bytes mask8(1024, 255);
    mask8[0] = 0;
    mask8[1] = 77;
    const Bytes il32 = Concat({Runs(1024, 10), Runs(1024, 20), Runs(1024, 30)});
    const Bytes it32 = Concat({Bytes(4, 0), Runs(16384, 1), Runs(16384, 2), Runs(16384, 3)});

    struct Row {
        const char* name;
        std::vector<Element> elements;
        int width, height, bits;
        std::vector<std::pair<int, TmyPixel>> pixels;  // (n, pixel n)
        int count = 1;  // images read: a "#" element is an image too
    } rows[] = {
        {"ics#-with-its-mask", {{"ics#", bits1}}, 16, 16, 1,
         {{0, {0, 0, 0, 255}}, {1, {255, 255, 255, 255}}, {2, {0, 0, 0, 0}}}},
        {"SICN-opaque", {{"SICN", Bytes(bits1.begin(), bits1.begin() + 32)}}, 16, 16, 1,
         {{0, {0, 0, 0, 255}}, {255, {255, 255, 255, 255}}}},
        {"ics4-without-mask-is-opaque", {{"ics4", nibbles}}, 16, 16, 4,
         {{0, MacPalette(4)[1]}, {1, MacPalette(4)[15]}, {2, MacPalette(4)[0]}}},
        {"ics4-takes-the-ics#-mask", {{"ics4", nibbles}, {"ics#", bits1}}, 16, 16, 4,
         {{0, MacPalette(4)[1]}, {1, MacPalette(4)[15]}, {2, {0, 0, 0, 0}}}, 2},
        {"icm8-is-16-wide-12-high", {{"icm8", indices}}, 16, 12, 8,
         {{0, MacPalette(8)[0]}, {17, MacPalette(8)[17]}, {191, MacPalette(8)[191]}}},
        {"il32-with-l8mk", {{"l8mk", mask8}, {"il32", il32}}, 32, 32, 32,
         {{0, {0, 0, 0, 0}}, {1, {10, 20, 30, 77}}, {1023, {10, 20, 30, 255}}}},
        {"il32-without-mask", {{"il32", il32}}, 32, 32, 32, {{0, {10, 20, 30, 255}}}},
        {"it32-after-four-zero-bytes", {{"it32", it32}}, 128, 128, 32, {{0, {1, 2, 3, 255}}, {16383, {1, 2, 3, 255}}}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        MessageLog log;
        LoadResult r = Load(IcnsFile(row.elements));
        ASSERT_TRUE(r.ok);
        ASSERT_EQ(r.doc.Count(), row.count);
        const TmyImagePal& image = r.doc.Image(0);  // the deepest
        EXPECT_EQ(image.Width(), row.width);
        EXPECT_EQ(image.Height(), row.height);
        EXPECT_EQ(image.BitCount, row.bits);
        if (row.bits <= 8) {
            ASSERT_TRUE(image.Palette);
            EXPECT_TRUE(image.Palette->Equals(MacPalette(row.bits)));
        }
        for (const auto& [n, pixel] : row.pixels) {
            SCOPED_TRACE(n);
            EXPECT_EQ(image.Pixels()[static_cast<std::size_t>(n)], pixel);
        }
        EXPECT_TRUE(log.shown.empty());
    }
}

// The 256x256 element: PNG and JPEG 2000 pictures, smaller ones top-left,
// grey ones opaque.
TEST(IcnsRead, PictureElementTakesPngAndJpeg2000) {
    MessageLog log;
    LoadResult png = Load(IcnsFile({{"ic08", PngOf(100, 50)}}));
    ASSERT_TRUE(png.ok);
    const TmyImagePal& image = png.doc.Image(0);
    EXPECT_EQ(image.Width(), 256);
    EXPECT_EQ(image.BitCount, 32);
    EXPECT_EQ(image.At(99, 49), Pattern(99, 49, 200));
    EXPECT_EQ(image.At(0, 0), Pattern(0, 0, 200));
    EXPECT_EQ(image.At(100, 0), TmyPixel::Create());
    EXPECT_EQ(image.At(0, 50), TmyPixel::Create());

    TSingleImage grey(8, 4, ifGray8);
    for (int i = 0; i < 32; ++i) grey.Bits()[i] = static_cast<std::uint8_t>(i * 8);
    TMemoryStream stream;
    grey.SaveToStream("jp2", stream);
    LoadResult jp2 = Load(IcnsFile({{"ic08", stream.Data()}}));
    ASSERT_TRUE(jp2.ok);
    EXPECT_EQ(jp2.doc.Image(0).At(3, 1), TmyPixel::CreateRGBA(88, 88, 88, 255));
    EXPECT_EQ(jp2.doc.Image(0).At(8, 0), TmyPixel::Create());
    EXPECT_TRUE(log.shown.empty());
}

struct HostileRow {
    const char* name;
    Bytes file;
    bool ok;
    int images;
    int noImage = 0, entryLimit = 0, unknown = 0;
};

std::vector<HostileRow> HostileRows() {
    const Bytes ics8(256, 5);
    const Bytes png = PngOf(16, 16);
    // A real picture one pixel wider than the element: it would decode.
    TSingleImage wide(257, 2, ifA8R8G8B8);
    TMemoryStream wideJp2;
    wide.SaveToStream("jp2", wideJp2);
    std::vector<Element> many(31, Element{"ics8", ics8});
    std::vector<HostileRow> rows = {
        {"not-icns", Concat({Bytes{'i', 'c', 'n', 'X'}, IcnsFile({{"ics8", ics8}})}), false, 0},
        {"header-only", IcnsFile({}), false, 0},
        {"header-cut", Bytes{'i', 'c', 'n', 's', 0, 0}, false, 0},
        // An element too short to hold its own header stops the list.
        {"length-7-alone", IcnsFile({{"ic08", Bytes(16, 0), 7}}), false, 0},
        {"length-0-after-image", IcnsFile({{"ics8", ics8}, {"ics4", Bytes(128, 0), 0}}), true, 1},
        // Lengths past the end of the file stop it, without allocating.
        {"length-4g", IcnsFile({{"ics8", ics8}, {"ic08", Bytes(16, 0), 0xFFFFFFF0}}), true, 1},
        {"length-one-past-end", IcnsFile({{"ics8", ics8}, {"ics4", Bytes(128, 0), 137}}), true, 1},
        // The first element is read whatever the header's length says.
        {"total-8", IcnsFile({{"ics8", ics8}, {"ich8", Bytes(48 * 48, 0)}}, 8), true, 1},
        {"total-ends-after-first", IcnsFile({{"ics8", ics8}, {"ich8", Bytes(48 * 48, 0)}}, 8 + 264), true, 1},
        {"total-past-file", IcnsFile({{"ics8", ics8}}, 1 << 30), true, 1},
        {"element-header-cut", Concat({IcnsFile({{"ics8", ics8}}), Bytes{'i', 'c', 's'}}), true, 1},
        // Data shorter than the kind needs: skipped with a message.
        {"short-1bit", IcnsFile({{"ICN#", Bytes(127, 0)}}), false, 0, 1},
        {"short-4bit", IcnsFile({{"icl4", Bytes(511, 0)}}), false, 0, 1},
        {"short-8bit", IcnsFile({{"ich8", Bytes(2303, 0)}}), false, 0, 1},
        {"short-it32-prefix", IcnsFile({{"it32", Bytes(3, 0)}}), false, 0, 1},
        // A short mask leaves the image opaque.
        {"ics#-without-mask-half", IcnsFile({{"ics#", Bytes(32, 0)}}), true, 1},
        {"short-l8mk", IcnsFile({{"il32", Concat({Runs(1024, 1), Runs(1024, 2), Runs(1024, 3)})}, {"l8mk", Bytes(1000, 0)}}), true, 1},
        // Run-length data: one message per damaged plane, the image kept.
        {"rle-input-ends", IcnsFile({{"is32", Bytes{0x00, 0x05}}}), true, 1, 3},
        {"rle-literal-cut", IcnsFile({{"is32", Concat({Bytes{0x7F, 1, 2, 3}})}}), true, 1, 3},
        {"rle-run-past-plane", IcnsFile({{"is32", Concat({Bytes{0xFF, 1, 0xFF, 1}, Runs(256, 2), Runs(256, 3)})}}), true, 1, 1},
        {"rle-literal-past-plane", IcnsFile({{"is32", Concat({Runs(250, 1), Bytes{9}, Bytes(10, 4), Runs(256, 2), Runs(256, 3)})}}), true, 1, 1},
        // Pictures checked by their header before decoding.
        {"ic08-jp2-512", IcnsFile({{"ic08", J2kHeader(512, 512, 4)}}), false, 0, 1},
        {"ic08-jp2-257-wide", IcnsFile({{"ic08", J2kHeader(257, 1, 4)}}), false, 0, 1},
        {"ic08-jp2-257-wide-decodable", IcnsFile({{"ic08", wideJp2.Data()}}), false, 0, 1},
        {"ic08-jp2-subsampled", IcnsFile({{"ic08", J2kHeader(256, 256, 3, 2, 2)}}), false, 0, 1},
        {"ic08-jp2-tiny-tiles", IcnsFile({{"ic08", J2kHeader(256, 256, 4, 1, 1, 1)}}), false, 0, 1},
        {"ic08-jp2-header-only", IcnsFile({{"ic08", J2kHeader(256, 256, 4)}}), false, 0, 1},
        {"ic08-png-300-wide", IcnsFile({{"ic08", PngOf(300, 2)}}), false, 0, 1},
        {"ic08-png-cut", IcnsFile({{"ic08", Bytes(png.begin(), png.begin() + 40)}}), false, 0, 1},
        {"ic08-other-data", IcnsFile({{"ic08", Bytes{'B', 'M', 1, 2, 3, 4, 5, 6, 7, 8}}}), false, 0, 1},
        // Unknown elements: the warning, then no document.
        {"only-unknown", IcnsFile({{"TOC ", Bytes(8, 0)}, {"ic09", Bytes(4, 0)}, {"icnV", Bytes(4, 0)}}), false, 0, 0, 0, 1},
        {"unknown-beside-image", IcnsFile({{"ic07", Bytes(4, 0)}, {"ics8", ics8}}), true, 1, 0, 0, 1},
        // More than 30 elements: the first 30 are decoded; duplicates are kept.
        {"31-elements", IcnsFile(many), true, 30, 0, 1},
        {"duplicate-il32", IcnsFile({{"is32", Is32(1, 2, 3)}, {"is32", Is32(4, 5, 6)}}), true, 2},
    };
    return rows;
}

TEST(IcnsRead, HostileFilesAreBoundedAndReported) {
    for (const HostileRow& row : HostileRows()) {
        SCOPED_TRACE(row.name);
        MessageLog log;
        LoadResult r = Load(row.file);
        EXPECT_EQ(r.ok, row.ok);
        EXPECT_EQ(r.doc.Count(), row.images);
        EXPECT_EQ(log.Count(kNoImage), row.noImage);
        EXPECT_EQ(log.Count(kEntryLimit), row.entryLimit);
        EXPECT_EQ(log.Count(kUnknown), row.unknown);
        // Without messages the same result and nothing shown.
        MessageLog quiet;
        LoadResult silent = Load(row.file, false);
        EXPECT_EQ(silent.ok, row.ok);
        EXPECT_EQ(silent.doc.Count(), row.images);
        EXPECT_TRUE(quiet.shown.empty());
    }
}

// What damaged run-length planes leave: the pixels decoded, the rest untouched.
TEST(IcnsRead, DamagedPlanesKeepWhatWasDecoded) {
    MessageLog log;
    LoadResult cut = Load(IcnsFile({{"is32", Bytes{0x00, 0x05}}}));
    ASSERT_EQ(cut.doc.Count(), 1);
    EXPECT_EQ(cut.doc.Image(0).At(0, 0), TmyPixel::CreateRGBA(5, 0, 0, 255));
    EXPECT_EQ(cut.doc.Image(0).At(1, 0), TmyPixel::Create());

    LoadResult past = Load(IcnsFile({{"is32", Concat({Bytes{0xFF, 1, 0xFF, 1}, Runs(256, 2), Runs(256, 3)})}}));
    ASSERT_EQ(past.doc.Count(), 1);
    EXPECT_EQ(past.doc.Image(0).At(15, 15), TmyPixel::CreateRGBA(1, 2, 3, 255));
    for (const auto& r : log.shown) EXPECT_EQ(r.kind, mkError);
}

TEST(IcnsRead, UnknownTypesAreListedPrintably) {
    MessageLog log;
    Load(IcnsFile({{"TOC ", {}}, {"ic09", {}}, {std::string("\x01" "b\n\xE9", 4), {}}, {"ics8", Bytes(256, 0)}}));
    ASSERT_EQ(log.Count(kUnknown), 1);
    const MessageRequest& shown = log.shown.back();
    EXPECT_EQ(shown.kind, mkWarning);
    EXPECT_EQ(shown.text, kUnknown + "TOC , 512x512, \\x01b\\x0A\\xE9. If you save the icon this images will be lost!");
}

// Images are added only when the whole file was read, and sorted.
TEST(IcnsRead, DocumentGetsSortedImagesOnlyOnSuccess) {
    MessageLog log;
    TmyIcon doc;
    TmyMacIcoIO io(true);
    ASSERT_TRUE(io.LoadFromBytes(doc, IcnsFile({{"ics8", Bytes(256, 0)}, {"il32", Concat({Runs(1024, 1), Runs(1024, 2), Runs(1024, 3)})}, {"ics4", Bytes(128, 0)}})));
    ASSERT_EQ(doc.Count(), 3);
    EXPECT_EQ(doc.Image(0).BitCount, 32);
    EXPECT_EQ(doc.Image(1).BitCount, 8);
    EXPECT_EQ(doc.Image(2).BitCount, 4);
    TmyIcon untouched;
    EXPECT_FALSE(io.LoadFromBytes(untouched, IcnsFile({{"ic08", J2kHeader(512, 512, 4)}})));
    EXPECT_EQ(untouched.Count(), 0);
}

// Files are recognised by content: an icon file is refused without a message.
TEST(IcnsRead, LoadFromFileTakesOnlyAppleIcons) {
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / ("velto-icns-read-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const Bytes good = IcnsFile({{"ics8", Bytes(256, 0)}});
    const std::string icns = (dir / "a.png").string(), ico = (dir / "b.icns").string();
    ASSERT_TRUE(WriteWholeFile(icns, good));
    TmyIcon cursor;
    cursor.AddImage({16, 16}, 32);
    ASSERT_TRUE(TmyIcoIO(false).SaveToFile(cursor, ico, false));
    MessageLog log;
    TmyMacIcoIO io(true);
    TmyIcon a, b, c;
    EXPECT_TRUE(io.LoadFromFile(a, icns));
    EXPECT_FALSE(io.LoadFromFile(b, ico));
    EXPECT_FALSE(io.LoadFromFile(c, (dir / "missing.icns").string()));
    EXPECT_TRUE(log.shown.empty());
    std::filesystem::remove_all(dir);
}

// The hostile sample (a picture whose box header claims a height of 10^9,
// then an element of 2.4 GB in a file of 240 KB) is refused in a child
// process that may allocate no more than 64 MiB beyond what it has.
TEST(IcnsRead, HostileSampleIsRefusedWithoutLargeAllocations) {
    VELTO_NEED_CORPUS();
    const std::string file = velto::test::Corpus("pillow/oom-8ed3316a4109213ca96fb8a256a0bfefdece1461.icns");
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::size_t pages = 0;
        std::ifstream("/proc/self/statm") >> pages;
        const rlim_t cap = static_cast<rlim_t>(pages) * static_cast<rlim_t>(::sysconf(_SC_PAGESIZE)) + (64u << 20);
        const rlimit limit{cap, cap};
        ::setrlimit(RLIMIT_AS, &limit);
        std::set_new_handler([] { ::_exit(3); });
        TmyIcon doc;
        const bool ok = TmyMacIcoIO(false).LoadFromFile(doc, file);
        ::_exit(ok ? 1 : 0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

// Pictures whose headers no walk may follow for ever are refused at once by the whole reader and the first-image one.
TEST(IcnsRead, PictureHeadersThatWouldNeverEndAreRefusedAtOnce) {
    const std::vector<Bytes> pictures = velto::test::costly::J2kNeverEnding();
    for (std::size_t i = 0; i < pictures.size(); ++i) {
        const Bytes file = IcnsFile({{"ic08", pictures[i]}});
        const velto::test::ChildCost cost = velto::test::RunInChild([&] {
            velto::test::LimitProcessorSeconds(20);
            TmyIcon whole, first;
            return TmyMacIcoIO(false).LoadFromBytes(whole, file) || TmyMacIcoIO(false).LoadFirstImage(first, file);
        });
        EXPECT_TRUE(cost.exitCode == 0 && (velto::test::kUnderSanitizer || cost.cpuSeconds < 0.5))
            << i << ": exit " << cost.exitCode << " (-1: ended by the system, 1: read), " << cost.cpuSeconds << " s";
    }
}

// Pictures of 256 x 256 in three components whose one-sample code blocks only a walk reading markers as the codec
// does finds, or whose headers it cannot read, are refused by both readers within bounds; the palette one loads.
TEST(IcnsRead, CraftedPictureHeadersAreRefusedWithinBounds) {
    velto::test::costly::J2kStyle ones;
    ones.precincts = {0x00, 0x11, 0x11, 0x11, 0x11, 0x11};
    for (const auto& row : velto::test::costly::J2kCraftedRows(256, 3, ones)) {
        const Bytes file = IcnsFile({{"ic08", row.file}});
        const velto::test::ChildCost cost = velto::test::RunInChild([&] {
            velto::test::LimitProcessorSeconds(20);
            TmyIcon whole, first;
            return TmyMacIcoIO(false).LoadFromBytes(whole, file) + 2 * TmyMacIcoIO(false).LoadFirstImage(first, file);
        });
        EXPECT_EQ(cost.exitCode, row.name.starts_with("a palette") ? 3 : 0) << row.name << " (1: read whole, 2: first)";
        EXPECT_TRUE(velto::test::kUnderSanitizer || (cost.GrownKiB() < 64 << 10 && cost.cpuSeconds < 0.5)) << row.name;
    }
}

}  // namespace

// The one image a tile shows is the one the whole reader puts first, found
// without decoding the others: a damaged best element gives way to the next
// as in the whole reader, equal kinds keep the file's order, masks apply.
TEST(IcnsRead, FirstImageIsTheWholeReadersFirst) {
    const Bytes il32 = Concat({Runs(1024, 1), Runs(1024, 2), Runs(1024, 3)});
    const Bytes mask(1024, 0x80);
    const std::vector<std::vector<Element>> files = {
        {{"ics8", Bytes(256, 7)}, {"il32", il32}, {"l8mk", mask}, {"ics4", Bytes(128, 0x12)}},
        {{"ic08", J2kHeader(512, 512, 4)}, {"is32", Is32(9, 8, 7)}, {"ICN#", Bytes(256, 0xF0)}},  // picture refused
        {{"is32", Is32(1, 1, 1)}, {"is32", Is32(2, 2, 2)}},                                     // equals: the first
        {{"ich8", Bytes(100, 0)}, {"icl8", Bytes(1024, 40)}},                                   // short data: the next
        {{"ich8", Bytes(100, 0)}, {"TOC ", {}}},                                                // nothing decodes
        {{"s8mk", Bytes(256, 0)}},
    };
    for (std::size_t i = 0; i < files.size(); ++i) {
        SCOPED_TRACE(i);
        const Bytes file = IcnsFile(files[i]);
        MessageLog log;
        TmyIcon whole, first;
        const bool wholeOk = TmyMacIcoIO(false).LoadFromBytes(whole, file);
        ASSERT_EQ(TmyMacIcoIO(true).LoadFirstImage(first, file), wholeOk);
        EXPECT_TRUE(log.shown.empty());
        if (!wholeOk) {
            EXPECT_EQ(first.Count(), 0);
            continue;
        }
        ASSERT_EQ(first.Count(), 1);
        EXPECT_EQ(first.CurrentImage().BitCount, whole.Image(0).BitCount);
        EXPECT_TRUE(first.CurrentImage().Equals(whole.Image(0)));
    }
    TmyIcon none;
    EXPECT_FALSE(TmyMacIcoIO(false).LoadFirstImage(none, Bytes{'i', 'c', 'n'}));
}
