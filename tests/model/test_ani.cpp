// Animated cursors: steps, delays, texts, hostile files and exact round trips.
#include "model/AniIO.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <limits>
#include <map>

#include "ChildCost.h"
#include "FileTrouble.h"
#include "Sanitizer.h"
#include "platform/FileIO.h"
#include "test_ico_support.h"

namespace velto {
namespace {

using Bytes = std::vector<std::uint8_t>;
using U32s = std::vector<std::uint32_t>;

Bytes operator+(Bytes a, const Bytes& b) { return a.insert(a.end(), b.begin(), b.end()), a; }
Bytes Str(const std::string& s) { return Bytes(s.begin(), s.end()); }
Bytes Le(const U32s& values) {
    ByteWriter w;
    for (std::uint32_t v : values) w.u32le(v);
    return w.take();
}
Bytes Ck(const char* id, const Bytes& data) {
    return Str(id) + Le({static_cast<std::uint32_t>(data.size())}) + data + Bytes(data.size() % 2, 0);
}
Bytes Lst(const char* type, const Bytes& subs) { return Ck("LIST", Str(type) + subs); }
Bytes Riff(const Bytes& body) { return Str("RIFF") + Le({static_cast<std::uint32_t>(body.size() + 4)}) + Str("ACON") + body; }
Bytes Anih(std::uint32_t displayRate) { return Ck("anih", Le({36, 0, 0, 0, 0, 0, 0, displayRate, 1})); }
// A cursor file of one 32-bit w x w image, every pixel (red, 0, 0, 255).
Bytes Cur(std::uint32_t w, std::uint8_t red, std::uint8_t hotX = 0) {
    const std::uint32_t maskRow = (w + 31) / 32 * 4;
    Bytes out = Bytes{0, 0, 2, 0, 1, 0, static_cast<std::uint8_t>(w), static_cast<std::uint8_t>(w), 0, 0, hotX, 0, 0, 0} +
                Le({40 + 4 * w * w + maskRow * w, 22, 40, w, 2 * w, 1 | 32 << 16, 0, 0, 0, 0, 0, 0});
    for (std::uint32_t i = 0; i < w * w; ++i) out.insert(out.end(), {0, 0, red, 255});
    return out + Bytes(maskRow * w, 0);
}
Bytes Fram(const std::vector<Bytes>& icons) {
    Bytes subs = Str("fram");
    for (const Bytes& icon : icons) subs = subs + Ck("icon", icon);
    return Ck("LIST", subs);
}

// (red of pixel (1, 1), delay in jiffies) of every frame.
using FrameList = std::vector<std::pair<int, long>>;
FrameList Frames(const TmyANI& doc) {
    FrameList out;
    for (int i = 0; i < doc.Count(); ++i) out.emplace_back(doc.Image(i).At(1, 1).R, std::lround(doc.Image(i).Rate() * 60));
    return out;
}

// The chunks of a file we wrote by path: "anih", "INFO/INAM", "fram/icon".
std::map<std::string, Bytes> Chunks(std::span<const std::uint8_t> data, const std::string& prefix = "") {
    std::map<std::string, Bytes> out;
    ByteReader r(data);
    char id[5] = {};
    std::uint32_t size = 0;
    std::span<const std::uint8_t> body;
    while (r.bytes(id, 4) && r.u32le(size) && r.view(size, body) && (size % 2 == 0 || r.skip(1))) {
        if (std::string(id) == "LIST") out.merge(Chunks(body.subspan(4), std::string(body.begin(), body.begin() + 4) + "/"));
        else out.emplace(prefix + id, Bytes(body.begin(), body.end()));
    }
    return out;
}

TEST(AniJiffies, RoundHalvesToEvenInExtendedPrecisionAndSaturate) {
    const std::pair<double, std::uint32_t> cases[] = {
        {0.1, 6}, {0.025, 2}, {0.0417, 3}, {0.001, 0}, {0.125, 8},
        {0.375, 22},    // 22.5: the even neighbour, not away from zero
        {6.5 / 60, 7},  // the product rounded to double first would be 6.5 and give 6
        {-1.0, 0}, {std::numeric_limits<double>::quiet_NaN(), 0}, {TmyImage::MaxRate, 0xFFFFFFFFu}, {1e300, 0xFFFFFFFFu},
    };
    for (const auto& [seconds, jiffies] : cases) EXPECT_EQ(SecondsToJiffies(seconds), jiffies) << seconds;
    EXPECT_DOUBLE_EQ(static_cast<double>(JiffiesToSeconds(12)), 0.2);
}

TEST(AniRead, StepsRatesFramesAndTexts) {
    const Bytes a = Cur(2, 10, 1), b = Cur(2, 20), bad(30, 7);
    const struct {
        const char* name;
        Bytes body;
        FrameList frames;
    } rows[] = {
        {"steps name stored frames", Anih(6) + Ck("seq ", Le({1, 0, 1})) + Fram({a, b}), {{20, 6}, {10, 6}, {20, 6}}},
        {"delays of their own, one too many", Anih(10) + Ck("rate", Le({6, 12, 3})) + Fram({a, b}), {{10, 6}, {20, 12}}},
        {"missing delays take the display rate", Anih(10) + Ck("rate", Le({3})) + Fram({a, b}), {{10, 3}, {20, 10}}},
        {"empty steps and delays", Anih(5) + Ck("seq ", {}) + Ck("rate", {}) + Fram({a, b}), {{10, 5}, {20, 5}}},
        {"a partial step value is ignored", Anih(5) + Ck("seq ", Le({1}) + Bytes{0, 0}) + Fram({a, b}), {{20, 5}}},
        {"no display rate: 0 s, held as 0.1", Ck("anih", Le({36, 2, 2})) + Fram({a}), {{10, 6}}},
        {"short header with the display rate", Ck("anih", Le({36, 0, 0, 0, 0, 0, 0, 8})) + Fram({a}), {{10, 8}}},
        {"long header cut at 36", Ck("anih", Le({36, 0, 0, 0, 0, 0, 0, 7, 1}) + Bytes{1, 2, 3}) + Fram({a}), {{10, 7}}},
        {"unknown chunks and lists passed over",
         Ck("junk", {1, 2, 3}) + Lst("abcd", Ck("icon", a)) + Anih(4) + Fram({a, Cur(3, 30)}), {{10, 4}, {30, 4}}},
        {"an icon followed by junk inside its chunk",
         Anih(4) + Lst("fram", Ck("icon", a + Bytes(9, 0xEE)) + Ck("icon", b)), {{10, 4}, {20, 4}}},
        // A frame that does not load drops the steps showing it, with their delays.
        {"a broken frame drops its step", Ck("rate", Le({6, 12, 18})) + Fram({a, bad, b}), {{10, 6}, {20, 18}}},
        {"a broken frame drops every step naming it",
         Ck("rate", Le({1, 2, 3, 4})) + Ck("seq ", Le({0, 1, 2, 1})) + Fram({a, bad, b}), {{10, 1}, {20, 3}}},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        TmyANI doc;
        ASSERT_TRUE(TmyANIIO(false).LoadFromBytes(doc, Riff(r.body)));
        EXPECT_EQ(Frames(doc), r.frames);
    }
    TmyANI doc;  // the last chunk's pad byte missing; hotspots kept per step
    const Bytes padless = Riff(Anih(6) + Ck("seq ", Le({1, 0})) + Fram({a, b})) + Str("junk") + Le({1}) + Bytes{9};
    ASSERT_TRUE(TmyANIIO(false).LoadFromBytes(doc, padless));
    EXPECT_EQ(doc.Image(0).HotSpotX() * 10 + doc.Image(1).HotSpotX(), 1);

    // A frame is the first image of its icon in canonical order: the deepest
    // (the writer puts 8 bits first in the directory).
    TmyIcon two;
    two.AddImage({16, 16}, 8);
    two.AddImage({8, 8}, 32);
    ByteWriter icon;
    TmyANI deepest;
    ASSERT_TRUE(TmyIcoIO(false).SaveToStream(two, icon, false) &&
                TmyANIIO(false).LoadFromBytes(deepest, Riff(Anih(6) + Fram({icon.buffer()}))));
    EXPECT_EQ(deepest.Image(0).BitCount, 32);

    // Texts end at their zero or after 2000 characters; the bytes are Windows-1252.
    TmyANI info;
    const Bytes texts = Ck("INAM", Bytes(2500, 'x')) + Ck("IART", Str("\x80 caf\xE9") + Bytes{0} + Str("tail"));
    ASSERT_TRUE(TmyANIIO(false).LoadFromBytes(info, Riff(Lst("INFO", texts) + Anih(6) + Fram({a}))));
    EXPECT_EQ(info.Title, std::string(2000, 'x'));
    EXPECT_EQ(info.Author, "\u20AC caf\u00E9");
}

TEST(AniRead, RefusesDamagedFilesWithoutTouchingTheDocument) {
    const Bytes a = Cur(2, 10), good = Riff(Anih(6) + Fram({a}));
    Bytes notRiff = good, notAcon = good;
    notRiff[3] = 'X';
    notAcon[11] = 'X';
    const std::pair<const char*, Bytes> rows[] = {
        {"not RIFF", notRiff},
        {"not ACON", notAcon},
        {"chunk beyond the file", good + Str("junk") + Le({0xFFFFFFF0})},
        {"chunk header cut short", good + Str("jun")},
        {"list without its type", Riff(Anih(6) + Fram({a}) + Ck("LIST", {1, 2}))},
        {"sub-chunk beyond its list", Riff(Anih(6) + Fram({a}) + Ck("LIST", Str("framicon") + Le({400}) + a))},
        {"a step naming no stored frame", Riff(Anih(6) + Ck("seq ", Le({0, 1})) + Fram({a}))},
        {"no frame list", Riff(Anih(6))},
        {"no frame that loads", Riff(Anih(6) + Fram({Bytes(30, 1)}))},
        {"10001 steps", Riff(Anih(6) + Ck("seq ", Le(U32s(10001, 0))) + Fram({a}))},
        {"1100 steps of 256 KiB of pixels", Riff(Anih(6) + Ck("seq ", Le(U32s(1100, 0))) + Fram({Cur(256, 1)}))},
    };
    for (const auto& [name, file] : rows) {
        SCOPED_TRACE(name);
        TmyANI doc;
        doc.AddImage({3, 3}, 32);
        EXPECT_FALSE(TmyANIIO(false).LoadFromBytes(doc, file));
        EXPECT_EQ(doc.Count(), 1);
    }
    TmyIcon notAnimated;
    EXPECT_FALSE(TmyANIIO(false).LoadFromBytes(notAnimated, good));
}

// A tile's road: the frame the whole reader puts first with its delay, or
// nothing where the file's structure is refused; frames after the one shown
// are never decoded, so neither damage nor size there stops it.
TEST(AniRead, FirstFrameAloneIsTheWholeReadersFirst) {
    const Bytes a = Cur(2, 10, 1), b = Cur(2, 20), bad(30, 7);
    const std::pair<const char*, Bytes> rows[] = {
        {"plain", Riff(Anih(6) + Fram({a, b}))},
        {"steps start at a later frame", Riff(Anih(6) + Ck("rate", Le({9, 3})) + Ck("seq ", Le({1, 0})) + Fram({a, b}))},
        {"the first shown frame broken", Riff(Ck("rate", Le({1, 2, 3})) + Ck("seq ", Le({1, 1, 0})) + Fram({a, bad}))},
        {"a step naming no stored frame", Riff(Anih(6) + Ck("seq ", Le({0, 5})) + Fram({a, b}))},
        {"no frame that loads", Riff(Anih(6) + Fram({bad, bad}))},
        {"not ACON", Str("RIFF") + Le({4}) + Str("ACOX")},
        {"10001 steps", Riff(Anih(6) + Ck("seq ", Le(U32s(10001, 0))) + Fram({a}))},
    };
    for (const auto& [name, file] : rows) {
        SCOPED_TRACE(name);
        TmyANI whole, first;
        const bool wholeOk = TmyANIIO(false).LoadFromBytes(whole, file);
        ASSERT_EQ(TmyANIIO(false).LoadFirstFrame(first, file), wholeOk);
        if (!wholeOk) continue;
        ASSERT_EQ(first.Count(), 1);
        EXPECT_EQ(Frames(first).front(), Frames(whole).front());
        EXPECT_TRUE(first.Image(0).Equals(whole.Image(0)));
    }

    // Later frames beyond the pixel limit, or damaged: the whole reader
    // refuses the file or drops them, the first frame shows all the same.
    TmyANIIO tight(false);
    tight.Limits.pixels = 2 * 2;
    const Bytes large = Riff(Anih(6) + Fram({a, Cur(64, 30), Cur(64, 40)}));
    TmyANI refused, shown;
    EXPECT_FALSE(tight.LoadFromBytes(refused, large));
    ASSERT_TRUE(tight.LoadFirstFrame(shown, large));
    EXPECT_EQ(Frames(shown), (FrameList{{10, 6}}));
    Bytes broken = Cur(64, 30);
    broken[22] = 0xFF;  // the bitmap header's size
    TmyANI cut;
    ASSERT_TRUE(TmyANIIO(false).LoadFirstFrame(cut, Riff(Anih(6) + Fram({a, broken}))));
    EXPECT_EQ(Frames(cut), (FrameList{{10, 6}}));
    TmyIcon notAnimated;
    EXPECT_FALSE(TmyANIIO(false).LoadFirstFrame(notAnimated, large));
}

TEST(AniRead, AtMostTenThousandIconChunks) {
    // Every "icon" chunk costs a frame before any step is read: 10000 of the
    // smallest load, one more refuses the file.
    const Bytes one = Ck("icon", Cur(1, 5));
    for (const auto& [count, loads] : {std::pair{10000, true}, {10001, false}}) {
        SCOPED_TRACE(count);
        Bytes list = Str("fram");
        list.reserve(list.size() + one.size() * static_cast<std::size_t>(count));
        for (int i = 0; i < count; ++i) list.insert(list.end(), one.begin(), one.end());
        TmyANI doc;
        EXPECT_EQ(TmyANIIO(false).LoadFromBytes(doc, Riff(Anih(6) + Ck("LIST", list))), loads);
        EXPECT_EQ(doc.Count(), loads ? count : 0);
    }
}

TEST(AniRead, CompressedTextsInPngFramesCostNothing) {
    // Every frame a cursor whose PNG picture carries texts that inflate to
    // almost the largest text each: a cursor never shows them, so reading the
    // file costs little time and memory with the program's own limits.
    Bytes text = {'k', 0, 0};
    {
        Bytes raw((8u << 20) - 1000, 'x');
        uLongf size = compressBound(static_cast<uLong>(raw.size()));
        Bytes z(size);
        compress2(z.data(), &size, raw.data(), static_cast<uLong>(raw.size()), 9);
        z.resize(size);
        text = text + z;
    }
    ByteWriter png;
    png.bytes(Bytes{0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A});
    ByteWriter ihdr;
    ihdr.u32be(2), ihdr.u32be(2), ihdr.bytes(Bytes{8, 6, 0, 0, 0});
    icotest::Chunk(png, "IHDR", ihdr.take());
    for (int i = 0; i < 6; ++i) icotest::Chunk(png, "zTXt", text);
    const Bytes rows = {0, 200, 0, 0, 255, 200, 0, 0, 255, 0, 200, 0, 0, 255, 200, 0, 0, 255};
    uLongf zsize = compressBound(static_cast<uLong>(rows.size()));
    Bytes idat(zsize);
    compress(idat.data(), &zsize, rows.data(), static_cast<uLong>(rows.size()));
    idat.resize(zsize);
    icotest::Chunk(png, "IDAT", idat);
    icotest::Chunk(png, "IEND", {});
    const Bytes cursor = icotest::IcoFile(2, {icotest::Entry{png.take(), 1, 1}});
    std::vector<Bytes> icons(16, cursor);
    const Bytes file = Riff(Anih(6) + Fram(icons));

    const test::ChildCost cost = test::RunInChild([&] {
        TmyANI doc;
        if (!TmyANIIO(false).LoadFromBytes(doc, file) || doc.Count() != 16) return 1;
        return doc.Image(15).At(1, 1).R == 200 && doc.Image(15).At(1, 1).A == 255 ? 0 : 2;
    });
    ASSERT_TRUE(cost.exited);
    EXPECT_EQ(cost.exitCode, 0);
    std::printf("%zu bytes of PNG frames with texts: %.3f s, peak %ld KiB\n", file.size(), cost.cpuSeconds, cost.peakKiB);
    VELTO_SKIP_COST_LIMITS_UNDER_SANITIZER("the child's processor time and peak resident size");
    EXPECT_LT(cost.cpuSeconds, 0.5);
    EXPECT_LT(cost.peakKiB, 64 * 1024);
}

TmyImagePal Frame(std::uint8_t red, double rate, int bits = 32, int hotX = 0) {
    TmyImagePal img({4, 4}, bits);
    for (TmyPixel& p : img.Pixels()) p = TmyPixel::CreateRGBA(red, 0, 0, 255);
    img.At(0, 0) = TmyPixel::Create();
    img.SetHotSpotX(hotX);
    img.SetRate(rate);
    return img;
}
TmyANI Doc(const std::vector<TmyImagePal>& frames, const std::string& title = "", const std::string& author = "") {
    TmyANI doc;
    for (const TmyImagePal& f : frames) doc.AppendImage(std::make_unique<TmyImagePal>(f));
    doc.Title = title;
    doc.Author = author;
    return doc;
}
std::map<std::string, Bytes> Saved(const TmyANI& doc, Bytes* file = nullptr) {
    Bytes out;
    EXPECT_TRUE(TmyANIIO(false).SaveToBytes(doc, out));
    if (file) *file = out;
    return out.size() > 12 ? Chunks(std::span(out).subspan(12)) : std::map<std::string, Bytes>{};
}

TEST(AniWrite, StoredFramesStepsAndRatesReadBackExactly) {
    const struct {
        const char* name;
        TmyANI doc;
        U32s anih;  // stored frames, steps, display rate, flags
        U32s rate, seq;
    } cases[] = {
        {"one frame stored for three steps", Doc({Frame(9, 0.1), Frame(9, 0.1), Frame(9, 0.1)}), {1, 3, 6, 3}, {}, {0, 0, 0}},
        {"two frames with delays of their own", Doc({Frame(9, 0.1), Frame(8, 0.2)}), {2, 2, 10, 1}, {6, 12}, {}},
        {"frames shared only when hotspot and depth agree",
         Doc({Frame(9, 0.1), Frame(9, 0.1, 32, 2), Frame(9, 0.1, 24), Frame(9, 0.1)}), {3, 4, 6, 3}, {}, {0, 1, 2, 0}},
        {"delays at both ends of the range", Doc({Frame(9, 0.001), Frame(9, TmyImage::MaxRate)}), {1, 2, 10, 3},
         {1, 0xFFFFFFFFu}, {0, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes file;
        auto chunks = Saved(c.doc, &file);
        EXPECT_EQ(Le({static_cast<std::uint32_t>(file.size() - 8)}), Bytes(file.begin() + 4, file.begin() + 8));
        EXPECT_EQ(chunks["anih"], Le({36, c.anih[0], c.anih[1], 4, 4, 32, 1, c.anih[2], c.anih[3]}));
        EXPECT_EQ(chunks["rate"], Le(c.rate));
        EXPECT_EQ(chunks["seq "], Le(c.seq));
        TmyANI back;
        ASSERT_TRUE(TmyANIIO(false).LoadFromBytes(back, file));
        ASSERT_EQ(back.Count(), c.doc.Count());
        for (int i = 0; i < back.Count(); ++i) {
            const TmyImagePal &x = back.Image(i), &y = c.doc.Image(i);
            EXPECT_TRUE(x.Equals(y) && x.BitCount == y.BitCount && x.HotSpotX() == y.HotSpotX()) << i;
            EXPECT_EQ(SecondsToJiffies(x.Rate()), std::max<std::uint32_t>(1, SecondsToJiffies(y.Rate())));
        }
    }
    Bytes out{1};
    EXPECT_FALSE(TmyANIIO(false).SaveToBytes(TmyANI(), out));  // no frame to take the header from
    EXPECT_TRUE(out.empty());
    EXPECT_FALSE(TmyANIIO(false).SaveToBytes(TmyIcon(Doc({Frame(9, 0.1)})), out));
}

TEST(AniWrite, InfoTexts) {
    const TmyImagePal f = Frame(1, 0.1);
    EXPECT_EQ(Saved(Doc({f})).count("INFO/INAM"), 0u);
    Bytes file;
    Saved(Doc({f}, "abc"), &file);
    const Bytes info = Str("LIST") + Le({26}) + Str("INFOINAM") + Le({4}) + Str("abc") + Bytes{0} + Str("IART") + Le({1});
    EXPECT_EQ(Bytes(file.begin() + 12, file.begin() + 46), info + Bytes(2, 0));
    EXPECT_EQ(Saved(Doc({f}, "", "abcd"))["INFO/IART"], Str("abcd") + Bytes{0});
    // Windows-1252 where it reads back as written, else UTF-8; at most 2000 characters.
    const std::pair<std::string, Bytes> texts[] = {
        {"\u20AC caf\u00E9", Bytes{0x80, ' ', 'c', 'a', 'f', 0xE9}},
        {"\u00C3\u00A9", Bytes{0xC3, 0x83, 0xC2, 0xA9}},  // as 1252 bytes C3 A9 it would read as UTF-8
        {"\u65E5\u672C", Bytes{0xE6, 0x97, 0xA5, 0xE6, 0x9C, 0xAC}},
        {std::string("cut\0here", 8), Str("cut")},
    };
    for (const auto& [text, bytes] : texts) {
        SCOPED_TRACE(text);
        Bytes out;
        EXPECT_EQ(Saved(Doc({f}, text), &out)["INFO/INAM"], bytes + Bytes{0});
        TmyANI back;
        ASSERT_TRUE(TmyANIIO(false).LoadFromBytes(back, out));
        EXPECT_EQ(back.Title, text.substr(0, text.find('\0')));
    }
    std::string accents, wide;
    for (int i = 0; i < 2500; ++i) accents += "\u00E9", wide += "\u65E5";
    EXPECT_EQ(Saved(Doc({f}, accents))["INFO/INAM"].size(), 2001u);
    EXPECT_EQ(Saved(Doc({f}, wide))["INFO/INAM"].size(), 1999u);  // 666 whole characters of 3 bytes
}

TEST(AniFiles, FailedSavesLeaveTheFileAlone) {
    const auto dir = std::filesystem::temp_directory_path() / ("velto-ani-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::string path = (dir / "a.ani").string();
    TmyANIIO io(false);
    Bytes before, after;
    ASSERT_TRUE(io.SaveToFile(Doc({Frame(9, 0.1), Frame(8, 0.2)}, "t"), path, true) && ReadWholeFile(path, before));
    EXPECT_FALSE(io.SaveToFile(TmyANI(), path, false));
    EXPECT_FALSE(io.SaveToFile(Doc({Frame(9, 0.1)}), (dir / "missing" / "b.ani").string(), false));
    ASSERT_TRUE(ReadWholeFile(path, after));
    EXPECT_EQ(before, after);
    TmyANI back;
    ASSERT_TRUE(io.LoadFromFile(back, path));
    EXPECT_EQ(Frames(back), (FrameList{{9, 6}, {8, 12}}));
    EXPECT_FALSE(io.LoadFromFile(back, (dir / "missing.ani").string()));
    std::filesystem::remove_all(dir);
}

// A save the system refuses says why; a document with no frame, that the
// format cannot hold, says that instead.
TEST(AniFiles, RefusedSavesCarryTheSystemsReason) {
    TmyANI doc = Doc({Frame(9, 0.1), Frame(8, 0.2)}, "title");
    VELTO_EXPECT_TROUBLES_REPORTED("a.ani", [&](const std::string& path) {
        FileError error;
        return TmyANIIO(false).SaveToFile(doc, path, false, &error) ? std::string("saved") : FileErrorText(error);
    });
    FileError error;
    EXPECT_FALSE(TmyANIIO(false).SaveToFile(TmyANI(), "/tmp/velto-never-written.ani", false, &error));
    EXPECT_EQ(error, FileError::Unsupported);
    TmyANI back;
    EXPECT_FALSE(TmyANIIO(false).LoadFromFile(back, "/tmp/velto-no-such-folder/a.ani", &error));
    EXPECT_EQ(FileErrorText(error), "No such file or directory");
}

}  // namespace
}  // namespace velto
