#include "model/Detect.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace velto;

namespace {

using Bytes = std::vector<std::uint8_t>;

std::string corpus(const std::string& rel) { return std::string(VELTO_CORPUS_DIR) + "/" + rel; }

class DetectFiles : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("velto-detect-" + std::to_string(::getpid()));
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string write(const std::string& name, const Bytes& bytes) {
        const fs::path p = dir_ / name;
        std::ofstream(p, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                 static_cast<std::streamsize>(bytes.size()));
        return p.string();
    }
    FileTypeResult detect(const Bytes& bytes) { return DetectFileType(write("f", bytes)); }

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

void putBE(Bytes& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (24 - 8 * i));
}

}  // namespace

TEST(Detect, SampleFilesOfEveryKindFoundInTheCorpus) {
    const struct {
        const char* file;
        std::uint8_t type;
    } cases[] = {
        {"pillow/hopper.ico", ftIcon},
        {"pillow/deerstalker.cur", ftCursor},
        {"ani-fixtures/piano.ani", ftAnimatedCursor},
        // Named ".cur" but an animated cursor: the content decides.
        {"ani-fixtures/Super_Mario_Amp_2/close.cur", ftAnimatedCursor},
        {"pillow/hopper.bmp", ftBmp},
        {"pillow/hopper.jpg", ftJpeg},
        {"pngsuite/basn0g01.png", ftPng},
        {"pillow/hopper.gif", ftGif},
        {"pillow/hopper.dds", ftUnknown},
        {"pillow/hopper.ppm", ftUnknown},
        {"pillow/pillow.icns", ftIcns},
        {"pillow/zero_dpi.jp2", ftJp2},
        {"pillow/balloon.jpf", ftJp2},
        {"pillow/9bit.j2k", ftJ2k},
        // Named ".j2k" but a JP2 file.
        {"pillow/crash-4fb027452e6988530aa5dabee76eecacb3b79f8a.j2k", ftJp2},
    };
    for (const auto& c : cases) {
        const FileTypeResult r = DetectFileType(corpus(c.file));
        ASSERT_TRUE(r.ok()) << c.file << ": " << FileErrorText(r.error);
        EXPECT_EQ(r.type, c.type) << c.file;
    }
    const FileCategoryResult cat = FileCategory(corpus("pillow/pillow.icns"));
    EXPECT_TRUE(cat.ok());
    EXPECT_EQ(cat.category, fcAppleIcon);
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
        {"16 zero bytes", Bytes(16, 0), ftUnknown},
        {"empty file", Bytes(), ftUnknown},
        {"1 byte", Bytes{0}, ftUnknown},
    };
    for (const auto& c : cases) {
        const FileTypeResult r = detect(c.bytes);
        ASSERT_TRUE(r.ok()) << c.what;
        EXPECT_EQ(r.type, c.type) << c.what;
    }
}

TEST_F(DetectFiles, ResourceForkTestComesFirstAndNeedsItsWholeHeader) {
    // Data at 256 (44 bytes), map at 300 (100 bytes) in a 400-byte file. D0 = 256
    // also reads as the icon signature 00 00 01 00: the fork test wins.
    Bytes fork(400, 0);
    putBE(fork, 0, 256);
    putBE(fork, 4, 300);
    putBE(fork, 8, 44);
    putBE(fork, 12, 100);
    EXPECT_EQ(detect(fork).type, ftResourceFork);
    EXPECT_EQ(FileCategory(write("fork", fork)).category, fcMacContainer);

    Bytes longer = fork;
    longer.push_back(0);
    EXPECT_EQ(detect(longer).type, ftIcon);

    // D0 + D2 = D1 only after 32-bit wrap-around: not a fork.
    Bytes wrapped(400, 0);
    putBE(wrapped, 0, 0xFFFFFF00u);
    putBE(wrapped, 4, 300);
    putBE(wrapped, 8, 300 + 0x100);
    putBE(wrapped, 12, 100);
    EXPECT_EQ(detect(wrapped).type, ftUnknown);

    // Shorter than the 16-byte header, missing words never match (an empty
    // file would otherwise satisfy 0 + 0 = 0 = size).
    EXPECT_EQ(DetectFileType(std::span<const std::uint8_t>(), 0), ftUnknown);
    const Bytes eight(8, 0);
    EXPECT_EQ(DetectFileType(eight, 8), ftUnknown);
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

    const FileTypeResult folder = DetectFileType(dir_.string());
    EXPECT_EQ(folder.error, FileError::NotRegular);

    // Opening a FIFO for reading would wait for a writer; it must be refused at once.
    const std::string fifo = (dir_ / "fifo").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(DetectFileType(fifo).error, FileError::NotRegular);
    const FileCategoryResult cat = FileCategory(fifo);
    EXPECT_FALSE(cat.ok());
    EXPECT_EQ(cat.error, FileError::NotRegular);
}

TEST(Detect, EveryCodeHasItsRoad) {
    const std::uint8_t expected[15] = {fcDocument,  fcDocument,     fcDocument,     fcImage,        fcImage,
                                       fcImage,     fcImage,        fcExtract,      fcMacContainer, fcAppleIcon,
                                       fcMacContainer, fcMacContainer, fcMacContainer, fcImage,     fcImage};
    for (std::uint8_t code = 0; code < 15; ++code) EXPECT_EQ(FileCategoryOf(code), expected[code]) << int(code);
}
