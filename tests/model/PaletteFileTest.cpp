#include "model/PaletteFile.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "FileTrouble.h"
#include "platform/FileIO.h"
#include "platform/FileWriter.h"
#include "core/MessageBox.h"

namespace fs = std::filesystem;
using namespace velto;

namespace {

using Bytes = std::vector<std::uint8_t>;

class PaletteFiles : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("velto-palfile-" + std::to_string(::getpid()));
        fs::create_directories(dir_);
        old_ = SetMessageSink([this](const MessageRequest& r) {
            shown_.push_back(r);
            return answer_;
        });
    }
    void TearDown() override {
        SetMessageSink(std::move(old_));
        fs::remove_all(dir_);
    }

    std::string path(const std::string& name) const { return (dir_ / name).string(); }
    void write(const std::string& name, const Bytes& bytes) { ASSERT_TRUE(WriteWholeFile(path(name), bytes)); }
    Bytes read(const std::string& name) const {
        Bytes b;
        ReadWholeFile(path(name), b);
        return b;
    }
    void expectOneMessage(const std::string& text, int kind) {
        ASSERT_EQ(shown_.size(), 1u);
        EXPECT_EQ(shown_[0].text, text);
        EXPECT_EQ(shown_[0].kind, kind);
        shown_.clear();
    }

    fs::path dir_;
    MessageSink old_;
    std::vector<MessageRequest> shown_;
    int answer_ = idYes;
};

// A ".pal" of n entries (i, 2i, 3i) that declares `declared` records.
Bytes palFile(int n, int declared) {
    TmyPalette p(n);
    for (int i = 0; i < n; ++i)
        p[i].SetRGB(static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(2 * i), static_cast<std::uint8_t>(3 * i));
    Bytes b = PaletteFileBytes(p, PaletteFileKind::Pal);
    b[22] = static_cast<std::uint8_t>(declared);
    b[23] = static_cast<std::uint8_t>(declared >> 8);
    return b;
}

// An ".act" of `size` bytes whose triple i is (255 - i, i, 7).
Bytes actFile(std::size_t size) {
    Bytes b(size, 0);
    for (std::size_t i = 0; i + 2 < size && i < 768; i += 3) {
        b[i] = static_cast<std::uint8_t>(255 - i / 3);
        b[i + 1] = static_cast<std::uint8_t>(i / 3);
        b[i + 2] = 7;
    }
    return b;
}

// A palette file the system refuses says why (the overwrite question of an
// existing one answered Yes); a declined question or an unknown extension
// are no failure of the file.
TEST_F(PaletteFiles, RefusedSavesCarryTheSystemsReason) {
    TmyPalette p(256);
    answer_ = idYes;
    VELTO_EXPECT_TROUBLES_REPORTED("x.act", [&](const std::string& path) {
        FileError error;
        return p.SaveToFile(path, &error) ? std::string("saved") : FileErrorText(error);
    });
    FileError error = FileError::IoError;
    write("old.pal", {'o'});
    answer_ = idNo;
    EXPECT_FALSE(p.SaveToFile(path("old.pal"), &error));
    EXPECT_TRUE(error.ok());
    EXPECT_FALSE(p.SaveToFile(path("x.txt"), &error));
    EXPECT_EQ(error, FileError::Unsupported);
    EXPECT_FALSE(p.LoadFromFile(path("none.pal"), &error));
    EXPECT_EQ(FileErrorText(error), "No such file or directory");
}

}  // namespace

TEST_F(PaletteFiles, SavedBytesOfBothFormats) {
    TmyPalette p(16);
    ASSERT_TRUE(p.SaveToFile(path("w.pal")));
    const Bytes pal = read("w.pal");
    ASSERT_EQ(pal.size(), 88u);
    // RIFF, size 80, "PAL data", chunk size 68, version 0x0300, 16 entries; entry 1 dark red, flags 0.
    const Bytes head = {'R', 'I', 'F', 'F', 80, 0, 0, 0, 'P', 'A', 'L', ' ', 'd', 'a', 't', 'a',
                        68,  0,   0,   0,   0,  3, 16, 0, 0,   0,   0,   0,   128, 0,   0,   0};
    EXPECT_EQ(Bytes(pal.begin(), pal.begin() + 32), head);

    ASSERT_TRUE(p.SaveToFile(path("w.act")));
    const Bytes act = read("w.act");
    ASSERT_EQ(act.size(), 768u);
    EXPECT_EQ(Bytes(act.begin() + 27, act.begin() + 30), Bytes({255, 0, 0}));  // entry 9, red
    EXPECT_TRUE(std::all_of(act.begin() + 45, act.end(), [](std::uint8_t v) { return v == 255; }));
    EXPECT_TRUE(shown_.empty());
}

TEST_F(PaletteFiles, RoundTripKeepsAlphaAndCount) {
    TmyPalette source(256);
    source.SetMac256();
    ASSERT_TRUE(source.SaveToFile(path("Palette.PAL")));  // upper-case extension counts
    TmyPalette target(256);
    target[3].A = 9;
    ASSERT_TRUE(target.LoadFromFile(path("Palette.PAL")));
    EXPECT_TRUE(shown_.empty());
    for (int i = 0; i < 256; ++i) EXPECT_TRUE(target[i].EqualsRGB(source[i])) << i;
    EXPECT_EQ(target[3].A, 9);
}

TEST_F(PaletteFiles, CountMismatchesAreToldAndTheLoadGoesOn) {
    write("big.pal", palFile(256, 256));
    TmyPalette small(16);
    ASSERT_TRUE(small.LoadFromFile(path("big.pal")));
    expectOneMessage("16 colors read, rest of the palette was ignored.", mkInformation);
    EXPECT_EQ(small.Count(), 16);
    EXPECT_TRUE(small[15].EqualsRGB(TmyPixel::CreateRGBA(15, 30, 45, 0)));

    write("small.pal", palFile(16, 16));
    TmyPalette big(256);
    const TmyPalette before = big;
    ASSERT_TRUE(big.LoadFromFile(path("small.pal")));
    expectOneMessage("The palette was containing only 16 colors.", mkInformation);
    EXPECT_TRUE(big[15].EqualsRGB(TmyPixel::CreateRGBA(15, 30, 45, 0)));
    for (int i = 16; i < 256; ++i) EXPECT_EQ(big[i], before[i]) << i;

    write("t.act", actFile(768));
    TmyPalette two(2);
    ASSERT_TRUE(two.LoadFromFile(path("t.act")));
    expectOneMessage("2 colors read, rest of the palette was ignored.", mkInformation);
    EXPECT_TRUE(two[1].EqualsRGB(TmyPixel::CreateRGBA(254, 1, 7, 0)));
    write("772.act", actFile(772));  // a trailer after the table is ignored
    ASSERT_TRUE(big.LoadFromFile(path("772.act")));
    EXPECT_TRUE(shown_.empty());
    EXPECT_TRUE(big[255].EqualsRGB(TmyPixel::CreateRGBA(0, 255, 7, 0)));
}

TEST_F(PaletteFiles, InvalidFilesLeaveThePaletteUnchanged) {
    Bytes wrongTag = palFile(16, 16);
    wrongTag[12] = 'D';
    Bytes shortHeader = palFile(4, 4);
    shortHeader.resize(20);
    Bytes shortRecords = palFile(16, 16);
    shortRecords.resize(24 + 4 * 10);  // declares 16 records, holds 10
    const std::pair<const char*, Bytes> bad[] = {
        {"tag.pal", wrongTag}, {"records.pal", shortRecords}, {"header.pal", shortHeader},
        {"empty.pal", {}},     {"769.act", actFile(769)},    {"767.act", actFile(767)},
    };
    for (const auto& [name, bytes] : bad) {
        TmyPalette p(16);
        const TmyPalette before = p;
        write(name, bytes);
        EXPECT_FALSE(p.LoadFromFile(path(name))) << name;
        EXPECT_EQ(p, before) << name;
        expectOneMessage("Invalid palette file!", mkWarning);
    }
    // The in-memory reader, as the fuzzer drives it: silent, bounded by the data.
    TmyPalette p(256);
    const TmyPalette before = p;
    EXPECT_FALSE(LoadPaletteFromBytes(p, palFile(4, 0xFFFF), PaletteFileKind::Pal, false));
    EXPECT_TRUE(LoadPaletteFromBytes(p, palFile(4, 0), PaletteFileKind::Pal, false));
    EXPECT_EQ(p, before);
    EXPECT_TRUE(shown_.empty());
}

TEST_F(PaletteFiles, ExtensionsOverwritingAndFailures) {
    TmyPalette p(16);
    const TmyPalette before = p;
    EXPECT_FALSE(p.LoadFromFile(path("x.txt")));
    expectOneMessage("Unknown file extension: .txt", mkWarning);
    EXPECT_FALSE(p.LoadFromFile(path("missing.pal")));
    EXPECT_FALSE(p.SaveToFile(path("no/such/folder/x.pal")));
    EXPECT_TRUE(shown_.empty());
    EXPECT_EQ(p, before);

    // An existing file is asked about first, whatever its extension.
    write("x.txt", {'k'});
    write("old.act", {'o'});
    answer_ = idNo;
    EXPECT_FALSE(p.SaveToFile(path("old.act")));
    ASSERT_EQ(shown_.size(), 1u);
    EXPECT_EQ(shown_[0].text, "old.act already exists! Overwrite?");
    EXPECT_EQ(shown_[0].kind, mkConfirm);
    EXPECT_EQ(shown_[0].buttons, mbYes | mbNo);
    EXPECT_EQ(read("old.act").size(), 1u);
    answer_ = idYes;
    EXPECT_FALSE(p.SaveToFile(path("x.txt")));
    ASSERT_EQ(shown_.size(), 3u);
    EXPECT_EQ(shown_[2].text, "Unknown file extension: .txt");
    EXPECT_EQ(read("x.txt").size(), 1u);
    EXPECT_TRUE(p.SaveToFile(path("old.act")));
    EXPECT_EQ(read("old.act").size(), 768u);
}
