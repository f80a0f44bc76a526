#include "model/Detect.h"

#include "Corpus.h"
#include "platform/FileWriter.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace velto;

namespace {

using Bytes = std::vector<std::uint8_t>;

class DetectFiles : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("velto-detect-" + std::to_string(::getpid()));
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    FileTypeResult detect(const Bytes& bytes) {
        const std::string path = (dir_ / "f").string();
        EXPECT_TRUE(WriteWholeFile(path, bytes));
        return DetectFileType(path);
    }

    fs::path dir_;
};

// `size` bytes of zeros with `sig` at offset `at`.
Bytes withAt(std::size_t size, std::size_t at, const Bytes& sig) {
    Bytes b(size, 0);
    std::copy(sig.begin(), sig.end(), b.begin() + static_cast<std::ptrdiff_t>(at));
    return b;
}

// The literal's bytes, embedded zeros included.
template <std::size_t N>
Bytes text(const char (&s)[N]) {
    return Bytes(s, s + N - 1);
}

// A resource-fork header (data offset, map offset, data length, map length) in `size` bytes.
Bytes forkHeader(std::uint32_t d0, std::uint32_t d1, std::uint32_t d2, std::uint32_t d3, std::size_t size) {
    Bytes b(size, 0);
    const std::uint32_t w[] = {d0, d1, d2, d3};
    for (std::size_t i = 0; i < 16; ++i) b[i] = static_cast<std::uint8_t>(w[i / 4] >> (24 - 8 * (i % 4)));
    return b;
}

}  // namespace

TEST(Detect, SampleFilesOfEveryKindFoundInTheCorpus) {
    VELTO_NEED_CORPUS();
    const struct {
        const char* file;
        std::uint8_t type, category;
    } cases[] = {
        {"pillow/hopper.ico", ftIcon, fcDocument},
        {"pillow/deerstalker.cur", ftCursor, fcDocument},
        {"ani-fixtures/piano.ani", ftAnimatedCursor, fcDocument},
        {"ani-fixtures/Super_Mario_Amp_2/close.cur", ftAnimatedCursor, fcDocument},  // the content decides
        {"pillow/hopper.bmp", ftBmp, fcImage},
        {"pillow/hopper.jpg", ftJpeg, fcImage},
        {"pngsuite/basn0g01.png", ftPng, fcImage},
        {"pillow/hopper.gif", ftGif, fcImage},
        {"pillow/hopper.dds", ftUnknown, fcExtract},
        {"pillow/pillow.icns", ftIcns, fcAppleIcon},
        {"pillow/zero_dpi.jp2", ftJp2, fcImage},
        {"pillow/9bit.j2k", ftJ2k, fcImage},
        {"pillow/crash-4fb027452e6988530aa5dabee76eecacb3b79f8a.j2k", ftJp2, fcImage},
    };
    for (const auto& c : cases) {
        const FileTypeResult r = DetectFileType(test::Corpus(c.file));
        ASSERT_TRUE(r.ok()) << c.file << ": " << FileErrorText(r.error);
        EXPECT_EQ(r.type, c.type) << c.file;
        EXPECT_EQ(FileCategory(test::Corpus(c.file)).category, c.category) << c.file;
    }
    for (std::uint8_t code : {ftMacBinary, ftAppleSingle, ftAppleDouble, ftResourceFork})
        EXPECT_EQ(FileCategoryOf(code), fcMacContainer) << int(code);
}

TEST_F(DetectFiles, CraftedSignatures) {
    Bytes jp2 = withAt(40, 0, {0x00, 0x00, 0x00, 0x0C});
    std::copy_n("jP  ", 4, jp2.begin() + 4);
    Bytes jp2NoBrand = jp2;
    jp2NoBrand[6] = 'X';

    const struct {
        const char* what;
        Bytes bytes;
        std::uint8_t type;
    } cases[] = {
        {"icon", withAt(22, 0, {0, 0, 1, 0}), ftIcon},
        {"cursor", withAt(22, 0, {0, 0, 2, 0}), ftCursor},
        {"RIFF ACON", text("RIFF\x04\x00\x00\x00" "ACONanih"), ftAnimatedCursor},
        {"RIFF of another form", text("RIFF\x04\x00\x00\x00" "WAVEfmt "), ftUnknown},
        {"BMP, 2 bytes only", text("BM"), ftBmp},
        {"JPEG", withAt(20, 0, {0xFF, 0xD8, 0xFF, 0xE0}), ftJpeg},
        {"PNG", withAt(20, 0, {0x89, 'P', 'N', 'G', 0x0D, 0x0A}), ftPng},
        {"GIF", text("GIF89a"), ftGif},
        {"JP2", jp2, ftJp2},
        {"JP2 length box without the brand", jp2NoBrand, ftUnknown},
        {"J2K", withAt(40, 0, {0xFF, 0x4F, 0xFF, 0x51, 0x00}), ftJ2k},
        {"J2K with a non-zero fifth byte", withAt(40, 0, {0xFF, 0x4F, 0xFF, 0x51, 0x01}), ftUnknown},
        {"icns", text("icns\x00\x00\x00\x30"), ftIcns},
        {"AppleSingle", withAt(26, 0, {0x00, 0x05, 0x16, 0x00, 0x00, 0x02}), ftAppleSingle},
        {"AppleDouble", withAt(26, 0, {0x00, 0x05, 0x16, 0x07, 0x00, 0x02}), ftAppleDouble},
        {"MacBinary III signature at 102", withAt(129, 102, text("mBIN")), ftMacBinary},
        {"MacBinary signature at 65", withAt(129, 65, text("mBIN")), ftMacBinary},
        {"MacBinary of 128 bytes", withAt(128, 102, text("mBIN")), ftUnknown},
        // The fork test comes first: a data offset of 256 also reads as the icon signature.
        {"resource fork", forkHeader(256, 300, 44, 100, 400), ftResourceFork},
        {"fork one byte too long", forkHeader(256, 300, 44, 100, 401), ftIcon},
        {"fork adding up only after 32-bit wrap", forkHeader(0xFFFFFF00u, 300, 0x22C, 100, 400), ftUnknown},
        {"16 zero bytes", Bytes(16, 0), ftUnknown},
        {"8 zero bytes", Bytes(8, 0), ftUnknown},
        {"empty file (0 + 0 = 0 = size, yet no fork)", Bytes(), ftUnknown},
    };
    for (const auto& c : cases) {
        const FileTypeResult r = detect(c.bytes);
        ASSERT_TRUE(r.ok()) << c.what;
        EXPECT_EQ(r.type, c.type) << c.what;
    }
}

TEST(Detect, HeadAndSizeThatDisagree) {
    // Bytes beyond the file's size do not count; bytes beyond the head are not read.
    EXPECT_EQ(DetectFileType(text("GIF89a"), 2), ftUnknown);
    EXPECT_EQ(DetectFileType(withAt(kDetectHeadSize, 102, text("mBIN")), 129), ftMacBinary);
    EXPECT_EQ(DetectFileType(withAt(104, 100, text("mBIN")), 129), ftUnknown);
}

TEST_F(DetectFiles, UnreadableFilesAreErrorsNotUnknown) {
    const FileTypeResult missing = DetectFileType((dir_ / "missing.ico").string());
    EXPECT_FALSE(missing.ok());
    EXPECT_EQ(missing.error, FileError::NotFound);

    EXPECT_EQ(DetectFileType(dir_.string()).error, FileError::NotRegular);

    // Opening a FIFO for reading would wait for a writer; it must be refused at once.
    const std::string fifo = (dir_ / "fifo").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(DetectFileType(fifo).error, FileError::NotRegular);
}
