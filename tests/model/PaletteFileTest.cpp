#include "model/PaletteFile.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "shell/core/MessageBox.h"

namespace fs = std::filesystem;
using namespace velto;

namespace {

using Bytes = std::vector<std::uint8_t>;

struct Shown {
    std::string text;
    int kind;
    std::uint16_t buttons;
};

class PaletteFiles : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("velto-palfile-" + std::to_string(::getpid()));
        fs::create_directories(dir_);
        old_ = SetMessageSink([this](const MessageRequest& r) {
            shown_.push_back({r.text, r.kind, r.buttons});
            return answer_;
        });
    }
    void TearDown() override {
        SetMessageSink(std::move(old_));
        fs::remove_all(dir_);
    }

    std::string path(const std::string& name) const { return (dir_ / name).string(); }
    std::string write(const std::string& name, const Bytes& bytes) {
        std::ofstream(path(name), std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        return path(name);
    }
    Bytes read(const std::string& name) const {
        std::ifstream in(path(name), std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(in), {});
    }

    // Loads and expects exactly one message with that text and kind.
    void expectOneMessage(const std::string& text, int kind) {
        ASSERT_EQ(shown_.size(), 1u);
        EXPECT_EQ(shown_[0].text, text);
        EXPECT_EQ(shown_[0].kind, kind);
        shown_.clear();
    }

    fs::path dir_;
    MessageSink old_;
    std::vector<Shown> shown_;
    int answer_ = idYes;
};

std::uint32_t u32le(const Bytes& b, std::size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}

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

}  // namespace

TEST_F(PaletteFiles, SavedBytesOfBothFormats) {
    TmyPalette p(16);
    ASSERT_TRUE(p.SaveToFile(path("w.pal")));
    const Bytes pal = read("w.pal");
    ASSERT_EQ(pal.size(), 88u);
    EXPECT_EQ(Bytes(pal.begin(), pal.begin() + 4), Bytes({'R', 'I', 'F', 'F'}));
    EXPECT_EQ(u32le(pal, 4), 80u);
    EXPECT_EQ(Bytes(pal.begin() + 8, pal.begin() + 16), Bytes({'P', 'A', 'L', ' ', 'd', 'a', 't', 'a'}));
    EXPECT_EQ(u32le(pal, 16), 68u);
    EXPECT_EQ(Bytes(pal.begin() + 20, pal.begin() + 24), Bytes({0x00, 0x03, 16, 0}));
    // Windows table entry 1 is dark red; records carry a zero byte, not the alpha.
    EXPECT_EQ(Bytes(pal.begin() + 28, pal.begin() + 32), Bytes({128, 0, 0, 0}));

    ASSERT_TRUE(p.SaveToFile(path("w.act")));
    const Bytes act = read("w.act");
    ASSERT_EQ(act.size(), 768u);
    EXPECT_EQ(Bytes(act.begin() + 45, act.begin() + 48), Bytes({255, 255, 255}));  // entry 15, white
    EXPECT_EQ(Bytes(act.begin() + 27, act.begin() + 30), Bytes({255, 0, 0}));      // entry 9, red
    EXPECT_TRUE(std::all_of(act.begin() + 48, act.end(), [](std::uint8_t v) { return v == 255; }));
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
    EXPECT_EQ(target.Count(), 256);
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
    ASSERT_TRUE(big.LoadFromFile(path("t.act")));
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
    const struct {
        const char* name;
        Bytes bytes;
    } bad[] = {
        {"tag.pal", wrongTag},
        {"records.pal", shortRecords},
        {"header.pal", shortHeader},
        {"empty.pal", {}},
        {"769.act", actFile(769)},
        {"767.act", actFile(767)},
    };
    for (const auto& c : bad) {
        TmyPalette p(16);
        const TmyPalette before = p;
        write(c.name, c.bytes);
        EXPECT_FALSE(p.LoadFromFile(path(c.name))) << c.name;
        EXPECT_EQ(p, before) << c.name;
        expectOneMessage("Invalid palette file!", mkWarning);
    }

    // The trailer of a 772-byte table is ignored.
    write("772.act", actFile(772));
    TmyPalette p(256);
    EXPECT_TRUE(p.LoadFromFile(path("772.act")));
    EXPECT_TRUE(shown_.empty());
    EXPECT_TRUE(p[0].EqualsRGB(TmyPixel::CreateRGBA(255, 0, 7, 0)));
}

TEST_F(PaletteFiles, ExtensionsAndOverwriting) {
    TmyPalette p(16);
    EXPECT_FALSE(p.LoadFromFile(path("x.txt")));
    expectOneMessage("Unknown file extension: .txt", mkWarning);
    EXPECT_FALSE(p.SaveToFile(path("noext")));
    expectOneMessage("Unknown file extension: ", mkWarning);

    // An existing file is asked about first, whatever its extension.
    write("x.txt", {'k', 'e', 'e', 'p'});
    answer_ = idNo;
    EXPECT_FALSE(p.SaveToFile(path("x.txt")));
    ASSERT_EQ(shown_.size(), 1u);
    EXPECT_EQ(shown_[0].text, "x.txt already exists! Overwrite?");
    EXPECT_EQ(shown_[0].kind, mkConfirm);
    EXPECT_EQ(shown_[0].buttons, mbYes | mbNo);
    shown_.clear();
    answer_ = idYes;
    EXPECT_FALSE(p.SaveToFile(path("x.txt")));
    ASSERT_EQ(shown_.size(), 2u);
    EXPECT_EQ(shown_[1].text, "Unknown file extension: .txt");
    EXPECT_EQ(read("x.txt"), Bytes({'k', 'e', 'e', 'p'}));
    shown_.clear();

    write("old.act", {'o', 'l', 'd'});
    answer_ = idNo;
    EXPECT_FALSE(p.SaveToFile(path("old.act")));
    EXPECT_EQ(read("old.act").size(), 3u);
    answer_ = idYes;
    EXPECT_TRUE(p.SaveToFile(path("old.act")));
    EXPECT_EQ(read("old.act").size(), 768u);
}

TEST_F(PaletteFiles, UnreadableOrUnwritableIsAFalseResult) {
    TmyPalette p(16);
    const TmyPalette before = p;
    EXPECT_FALSE(p.LoadFromFile(path("missing.pal")));
    EXPECT_FALSE(p.SaveToFile(path("no/such/folder/x.pal")));
    EXPECT_TRUE(shown_.empty());
    EXPECT_EQ(p, before);
}

TEST(PaletteBytes, ParserIsBoundedByTheData) {
    // The in-memory entry point, as the fuzzer drives it: silent, never past the data.
    TmyPalette p(256);
    const TmyPalette before = p;
    Bytes huge = palFile(4, 0xFFFF);
    EXPECT_FALSE(LoadPaletteFromBytes(p, huge, PaletteFileKind::Pal, false));
    EXPECT_EQ(p, before);
    Bytes none = palFile(4, 0);
    EXPECT_TRUE(LoadPaletteFromBytes(p, none, PaletteFileKind::Pal, false));
    EXPECT_EQ(p, before);
}
