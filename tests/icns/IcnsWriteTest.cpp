// Writing Apple icon files: run-length packing, the elements a document
// gives, the preparation done on a copy, and round trips through the reader.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "FileTrouble.h"
#include "IcnsTestUtil.h"
#include "icns/MacIcoIO.h"
#include "platform/FileIO.h"
#include "platform/FileWriter.h"

using namespace velto;
using namespace icnstest;
namespace fs = std::filesystem;

namespace {

const std::string kNoImg = "The icon contains no images!";
const std::string kDelImg = "The icon contains images that are not compatible";

// Every transparent pixel as (0, 0, 0, 0): what a mask element can say.
std::vector<TmyPixel> Visible(const TmyImage& image) {
    std::vector<TmyPixel> out(image.Pixels().begin(), image.Pixels().end());
    for (TmyPixel& p : out)
        if (p.A == 0) p = TmyPixel::Create();
    return out;
}

// An indexed image over its Macintosh table, every fifth pixel transparent.
TmyImagePal IndexedImage(ImageSize size, int bits) {
    const TmyPalette table = MacPalette(bits);
    TmyImagePal image = MakeImage(size, bits, [&](int x, int y) {
        return (x + y) % 5 == 0 ? TmyPixel::Create() : table[(x * 3 + y) % table.Count()];
    });
    image.Palette = table;
    return image;
}

TmyImagePal TrueColour(ImageSize size) {
    return MakeImage(size, 32, [](int x, int y) {
        const std::uint8_t alpha = (x + y) % 7 == 0 ? 0 : (x % 3 == 0 ? 128 : 255);
        return Pattern(x, y, alpha);
    });
}

class IcnsWrite : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("velto-icns-write-" + std::to_string(::getpid()));
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    std::string Path(const std::string& name) const { return (dir_ / name).string(); }
    static Bytes Read(const std::string& path) {
        Bytes data;
        ReadWholeFile(path, data);
        return data;
    }

    fs::path dir_;
};

TEST(IcnsPack, PlanesPackAsRunsAndLiterals) {
    struct Row {
        const char* name;
        Bytes plane, packed;
    } rows[] = {
        {"empty", {}, {}},
        {"128-equal", Bytes(128, 9), {253, 9}},
        {"129-equal", Bytes(129, 9), {253, 9, 0, 9}},
        {"3-equal", Bytes(3, 4), {128, 4}},
        {"2-equal-are-a-literal", Bytes(2, 4), {1, 4, 4}},
        {"1-2-3", {1, 2, 3}, {2, 1, 2, 3}},
        {"literal-stops-before-three-equal", {1, 2, 5, 5, 5, 5}, {1, 1, 2, 129, 5}},
        {"pair-at-end-stays-literal", {1, 7, 7}, {2, 1, 7, 7}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ByteWriter w;
        TmyMacIcoIO::PackPlane(row.plane, w);
        EXPECT_EQ(w.buffer(), row.packed);
    }
    // 130 distinct values: a literal of 128, then one of 2.
    Bytes distinct(130);
    for (std::size_t i = 0; i < distinct.size(); ++i) distinct[i] = static_cast<std::uint8_t>(i);
    ByteWriter w;
    TmyMacIcoIO::PackPlane(distinct, w);
    ASSERT_EQ(w.size(), 1u + 128 + 1 + 2);
    EXPECT_EQ(w.buffer()[0], 127);
    EXPECT_EQ(w.buffer()[129], 1);
}

// Which elements a document gives, in which order.
TEST_F(IcnsWrite, DocumentsGiveTheirElements) {
    struct Row {
        const char* name;
        std::vector<TmyImagePal> images;
        std::vector<std::string> types;
    } rows[] = {
        {"8bit-sizes-get-1bit-images",
         {IndexedImage({32, 32}, 8), IndexedImage({16, 16}, 8)},
         {"icl8", "ics8", "ICN#", "ics#"}},
        {"4bit-16x12", {IndexedImage({16, 12}, 4)}, {"icm4", "icm#"}},
        {"1bit-alone", {IndexedImage({48, 48}, 1)}, {"ich#"}},
        {"true-colour-set",
         {TrueColour({16, 16}), TrueColour({256, 256}), TrueColour({32, 32}), TrueColour({128, 128}), TrueColour({48, 48})},
         {"ic08", "it32", "ih32", "il32", "is32", "t8mk", "h8mk", "l8mk", "s8mk"}},
    };
    for (Row& row : rows) {
        SCOPED_TRACE(row.name);
        TmyIcon doc;
        for (const TmyImagePal& image : row.images) AddImage(doc, image);
        doc.SortImages();
        TmyMacIcoIO io(false);
        const std::string path = Path(std::string(row.name) + ".icns");
        ASSERT_TRUE(io.SaveToFile(doc, path, false));
        const Bytes file = Read(path);
        EXPECT_EQ(Types(file), row.types);
        // The header's length is the file's.
        ASSERT_GE(file.size(), 8u);
        EXPECT_EQ(std::uint32_t(file[4]) << 24 | std::uint32_t(file[5]) << 16 | std::uint32_t(file[6]) << 8 | file[7],
                  file.size());
        // The document given stays as it was.
        EXPECT_EQ(doc.Count(), static_cast<int>(row.images.size()));
    }
}

// What the save keeps and asks, and that a failed save changes nothing.
TEST_F(IcnsWrite, FailedSavesChangeNothing) {
    struct Row {
        const char* name;
        std::vector<TmyImagePal> images;
        bool messages;
        int answer;
        bool ok;
        int questions, noImg;
        int countAfter;  // images of the document after the save
    } rows[] = {
        {"only-24bit", {TmyImagePal({32, 32}, 24)}, true, idYes, false, 0, 1, 1},
        {"only-24bit-silent", {TmyImagePal({32, 32}, 24)}, false, idYes, false, 0, 0, 1},
        {"empty", {}, true, idYes, false, 0, 1, 0},
        {"mixed-declined", {TmyImagePal({32, 32}, 24), TrueColour({32, 32})}, true, idNo, false, 1, 0, 2},
        {"mixed-closed", {TmyImagePal({32, 32}, 24), TrueColour({32, 32})}, true, mrNone, false, 1, 0, 2},
        {"mixed-accepted", {TmyImagePal({32, 32}, 24), TrueColour({32, 32})}, true, idYes, true, 1, 0, 1},
        {"mixed-silent", {TmyImagePal({64, 64}, 32), TrueColour({16, 16})}, false, idYes, true, 0, 0, 1},
        {"16x12-32bit-dropped", {TmyImagePal({16, 12}, 32), IndexedImage({16, 12}, 8)}, true, idYes, true, 1, 0, 2},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TmyIcon doc;
        for (const TmyImagePal& image : row.images) AddImage(doc, image);
        const TmyIcon before(doc);
        const std::string path = Path(std::string(row.name) + ".icns");
        MessageLog log(row.answer);
        TmyMacIcoIO io(row.messages);
        FileError error = FileError::IoError;
        EXPECT_EQ(io.SaveDocument(doc, path, &error), row.ok);
        EXPECT_EQ(error, FileError::None);
        EXPECT_EQ(log.Count(kDelImg), row.questions);
        EXPECT_EQ(log.Count(kNoImg), row.noImg);
        EXPECT_EQ(FileExists(path), row.ok);
        EXPECT_EQ(doc.Count(), row.countAfter);
        if (!row.ok) {
            for (int i = 0; i < doc.Count(); ++i) {
                EXPECT_EQ(doc.Image(i).BitCount, before.Image(i).BitCount);
                EXPECT_TRUE(doc.Image(i).Equals(before.Image(i)));
            }
        }
        for (int i = 0; row.ok && i < doc.Count(); ++i)
            EXPECT_FALSE(TmyMacIcoIO::ElementTypeFor(doc.Image(i).Width(), doc.Image(i).Height(), doc.Image(i).BitCount).empty());
    }
}

// A file that cannot be written is a failure, and the document stays.
TEST_F(IcnsWrite, UnwritableTargetFailsAndKeepsTheDocument) {
    ASSERT_TRUE(WriteWholeFile(Path("file"), Bytes{1}));
    TmyIcon doc;
    AddImage(doc, IndexedImage({32, 32}, 8));
    TmyMacIcoIO io(false);
    FileError error = FileError::None;
    EXPECT_FALSE(io.SaveDocument(doc, Path("file") + "/x.icns", &error));
    EXPECT_NE(error, FileError::None);
    EXPECT_FALSE(io.SaveToFile(doc, Path("missing") + "/x.icns", false));
    EXPECT_EQ(doc.Count(), 1);
    EXPECT_EQ(Read(Path("file")), Bytes{1});
}

// A file the system refuses says why, through the editor's save and the
// plain one, and the document stays as it was.
TEST_F(IcnsWrite, RefusedSavesCarryTheSystemsReason) {
    TmyIcon doc;
    AddImage(doc, IndexedImage({32, 32}, 8));
    AddImage(doc, TrueColour({32, 32}));
    for (const bool editorSave : {true, false}) {
        SCOPED_TRACE(editorSave ? "SaveDocument" : "SaveToFile");
        VELTO_EXPECT_TROUBLES_REPORTED("x.icns", [&](const std::string& path) {
            TmyIcon copy(doc);
            TmyMacIcoIO io(false);
            FileError error;
            const bool ok = editorSave ? io.SaveDocument(copy, path, &error) : io.SaveToFile(copy, path, false, &error);
            if (ok) return std::string("saved");
            if (copy.Count() != doc.Count()) return std::string("the document changed");
            return FileErrorText(error);
        });
    }
}

// A successful save leaves the document as written, the same image current.
TEST_F(IcnsWrite, SavedDocumentIsWhatWasWritten) {
    TmyIcon doc;
    AddImage(doc, IndexedImage({16, 16}, 4));
    AddImage(doc, TmyImagePal({32, 32}, 24));
    AddImage(doc, IndexedImage({32, 32}, 8));
    doc.SortImages();
    const TmyImagePal* current = &doc.CurrentImage();
    ASSERT_EQ(current->BitCount, 8);
    TmyMacIcoIO io(false);
    const std::string path = Path("saved.icns");
    ASSERT_TRUE(io.SaveDocument(doc, path));
    ASSERT_EQ(doc.Count(), 4);  // icl8, ics4, ICN#, ics#
    EXPECT_EQ(doc.CurrentImage().BitCount, 8);
    EXPECT_EQ(doc.CurrentImage().Width(), 32);

    TmyIcon read;
    ASSERT_TRUE(io.LoadFromBytes(read, Read(path)));
    ASSERT_EQ(read.Count(), doc.Count());
    for (int i = 0; i < doc.Count(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(read.Image(i).BitCount, doc.Image(i).BitCount);
        EXPECT_EQ(Visible(read.Image(i)), Visible(doc.Image(i)));
    }
    // The 1-bit images share the transparency of their size.
    for (int i = 0; i < 32 * 32; ++i)
        EXPECT_EQ(doc.Image(2).Pixels()[i].A != 0, doc.Image(0).Pixels()[i].A != 0);
}

// Every kind written and read back gives the pixels of the prepared document.
TEST_F(IcnsWrite, EveryKindRoundTrips) {
    TmyIcon doc;
    for (const ImageSize size : {ImageSize{16, 12}, ImageSize{16, 16}, ImageSize{32, 32}, ImageSize{48, 48}}) {
        AddImage(doc, IndexedImage(size, 8));
        AddImage(doc, IndexedImage(size, 4));
    }
    for (const int side : {16, 32, 48, 128, 256}) AddImage(doc, TrueColour({side, side}));
    doc.SortImages();
    TmyMacIcoIO io(false);
    TmyIcon prepared;
    ASSERT_TRUE(io.PrepareDocument(doc, prepared));
    Bytes file;
    ASSERT_TRUE(io.WriteIcns(prepared, file));
    TmyIcon read;
    ASSERT_TRUE(io.LoadFromBytes(read, file));
    ASSERT_EQ(read.Count(), prepared.Count());
    ASSERT_EQ(read.Count(), 17);
    for (int i = 0; i < read.Count(); ++i) {
        const TmyImagePal& a = prepared.Image(i);
        const TmyImagePal& b = read.Image(i);
        SCOPED_TRACE(std::to_string(a.Width()) + "x" + std::to_string(a.Height()) + "x" + std::to_string(a.BitCount));
        EXPECT_EQ(b.Size(), a.Size());
        EXPECT_EQ(b.BitCount, a.BitCount);
        EXPECT_EQ(Visible(b), Visible(a));
    }
}

// Pixels whose colour is missing from the table take the exact entry, else
// the one of equal R, G, B, else the nearest; never an index out of range.
TEST(IcnsWriteData, IndexedPixelsOutsideTheTableTakeTheNearestEntry) {
    TmyIcon doc;
    TmyImagePal four({16, 16}, 4);
    four.At(0, 0) = {250, 250, 250, 255};  // nearest: white, entry 0
    four.At(1, 0) = {0, 0, 212, 255};      // entry 6
    four.At(2, 0) = TmyPixel::Create();    // black, entry 15
    four.At(3, 0) = {0, 0, 212, 0};        // R, G, B of entry 6
    TmyImagePal one({16, 16}, 1);
    one.At(0, 0) = {100, 100, 100, 255};  // nearest: black
    one.At(1, 0) = {200, 200, 200, 255};  // nearest: white
    TmyImagePal eight({32, 32}, 8);
    eight.At(0, 0) = TmyPixel::Create();   // transparent: 255
    eight.At(1, 0) = {255, 255, 254, 255};  // nearest: entry 0, white
    AddImage(doc, four);
    AddImage(doc, one);
    AddImage(doc, eight);
    Bytes file;
    ASSERT_TRUE(TmyMacIcoIO(false).WriteIcns(doc, file));
    const auto elements = Elements(file);
    ASSERT_EQ(elements.size(), 3u);
    EXPECT_EQ(elements[0].second[0], 0x06);
    EXPECT_EQ(elements[0].second[1], 0xF6);
    EXPECT_EQ(elements[1].first, "ics#");
    EXPECT_EQ(elements[1].second[0], 0xBF);  // pixels left transparent black are black
    EXPECT_EQ(elements[1].second[32], 0xC0);  // mask: pixels 0 and 1 visible
    EXPECT_EQ(elements[2].second[0], 255);
    EXPECT_EQ(elements[2].second[1], 0);
    // A document holding an image no element takes is not written.
    TmyIcon bad;
    bad.AddImage({32, 32}, 24);
    EXPECT_FALSE(TmyMacIcoIO(false).WriteIcns(bad, file));
    EXPECT_TRUE(file.empty());
}

// Indexed images are refitted to the Macintosh tables, dithered or not as set.
TEST(IcnsWriteData, IndexedImagesAreRefittedToTheMacTables) {
    for (const TDither dither : {TDither::Off, TDither::On}) {
        SCOPED_TRACE(dither == TDither::On ? "dithered" : "nearest");
        TmyIcon doc;
        TmyImagePal image({32, 32}, 8);  // the default 256-colour table
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 32; ++x) image.At(x, y) = (*image.Palette)[(x * 32 + y) % 256];
        AddImage(doc, image);
        TmyMacIcoIO io(false);
        io.Dithering = dither;
        TmyIcon prepared;
        ASSERT_TRUE(io.PrepareDocument(doc, prepared));
        const TmyPalette mac = MacPalette(8);
        const TmyImagePal& refit = prepared.Image(0);
        ASSERT_TRUE(refit.Palette && refit.Palette->Equals(mac));
        int differ = 0;
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 32; ++x) {
                EXPECT_GE(mac.IndexOf(refit.At(x, y)), 0);
                differ += refit.At(x, y) == mac.NearestColor(image.At(x, y)) ? 0 : 1;
            }
        if (dither == TDither::Off) EXPECT_EQ(differ, 0);
        else EXPECT_GT(differ, 0);
    }
}

}  // namespace
