#include "model/AniIO.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include <unistd.h>

#include "platform/ByteReader.h"
#include "platform/ByteWriter.h"
#include "platform/FileIO.h"

namespace velto {
namespace {

using Bytes = std::vector<std::uint8_t>;
using U32s = std::vector<std::uint32_t>;

Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}
Bytes Le(U32s values) {
    Bytes out;
    for (std::uint32_t v : values)
        for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    return out;
}
Bytes Id(const char* id) { return Bytes(id, id + 4); }
Bytes Chunk(const char* id, const Bytes& data, bool pad = true) {
    Bytes out = Cat({Id(id), Le({static_cast<std::uint32_t>(data.size())}), data});
    if (pad && data.size() % 2) out.push_back(0);
    return out;
}
Bytes List(const char* type, std::initializer_list<Bytes> subs) { return Chunk("LIST", Cat({Id(type), Cat(subs)})); }
Bytes Riff(std::initializer_list<Bytes> chunks) {
    const Bytes body = Cat(chunks);
    return Cat({Id("RIFF"), Le({static_cast<std::uint32_t>(body.size() + 4)}), Id("ACON"), body});
}
Bytes Anih(std::uint32_t displayRate) { return Chunk("anih", Le({36, 0, 0, 0, 0, 0, 0, displayRate, 1})); }
Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }

// A cursor file of one 32-bit w x w image, every pixel (shade, 0, 0, 255).
Bytes Cur(int w, std::uint8_t shade, int hotX = 0, int hotY = 0) {
    const auto n = static_cast<std::uint32_t>(w);
    const std::uint32_t maskRow = (n + 31) / 32 * 4, size = 40 + 4 * n * n + maskRow * n;
    Bytes out{0, 0, 2, 0, 1, 0, static_cast<std::uint8_t>(w), static_cast<std::uint8_t>(w), 0, 0,
              static_cast<std::uint8_t>(hotX), 0, static_cast<std::uint8_t>(hotY), 0};
    out = Cat({out, Le({size, 22, 40, n, 2 * n, 1 | 32 << 16, 0, 0, 0, 0, 0, 0})});
    for (std::uint32_t i = 0; i < n * n; ++i) out.insert(out.end(), {0, 0, shade, 255});
    out.resize(out.size() + maskRow * n, 0);
    return out;
}
Bytes Fram(std::initializer_list<Bytes> icons) {
    Bytes subs;
    for (const Bytes& icon : icons) subs = Cat({subs, Chunk("icon", icon)});
    return List("fram", {subs});
}

// (red, jiffies) of every frame, rates rounded back to jiffies.
std::vector<std::pair<int, long>> Frames(const TmyANI& doc) {
    std::vector<std::pair<int, long>> out;
    for (int i = 0; i < doc.Count(); ++i)
        out.emplace_back(doc.Image(i).At(1, 1).R, std::lround(doc.Image(i).Rate() * 60));
    return out;
}
using FrameList = std::vector<std::pair<int, long>>;

// Top-level chunks and those of lists as "anih", "INFO/INAM", "fram/icon".
std::vector<std::pair<std::string, Bytes>> Walk(std::span<const std::uint8_t> data, const std::string& prefix = "") {
    std::vector<std::pair<std::string, Bytes>> out;
    ByteReader r(data);
    char id4[4];
    std::uint32_t size = 0;
    std::span<const std::uint8_t> body;
    while (r.bytes(id4, 4) && r.u32le(size) && r.view(size, body)) {
        const std::string id(id4, 4);
        if (id == "LIST") {
            auto sub = Walk(body.subspan(4), std::string(reinterpret_cast<const char*>(body.data()), 4) + "/");
            out.insert(out.end(), sub.begin(), sub.end());
        } else {
            out.emplace_back(prefix + id, Bytes(body.begin(), body.end()));
        }
        if (size % 2) r.skip(1);
    }
    return out;
}
std::vector<std::pair<std::string, Bytes>> WalkFile(const Bytes& file) {
    return Walk(std::span(file).subspan(12));
}

TEST(AniJiffies, RoundHalvesToEvenInExtendedPrecisionAndSaturate) {
    const std::pair<double, std::uint32_t> cases[] = {
        {0.1, 6},       {0.2, 12},          {0.025, 2},  {0.0417, 3}, {0.001, 0}, {0.125, 8},
        {0.375, 22},    // 22.5: even neighbour, not away from zero
        {6.5 / 60, 7},  // the product in double precision would round down to 6.5 and give 6
        {-1.0, 0},      {std::numeric_limits<double>::quiet_NaN(), 0},
        {TmyImage::MaxRate, 0xFFFFFFFFu}, {1e300, 0xFFFFFFFFu}, {71582788.25, 0xFFFFFFFFu},
    };
    for (const auto& [seconds, jiffies] : cases) EXPECT_EQ(SecondsToJiffies(seconds), jiffies) << seconds;
    EXPECT_DOUBLE_EQ(static_cast<double>(JiffiesToSeconds(6)), 0.1);
    EXPECT_EQ(SecondsToJiffies(static_cast<double>(JiffiesToSeconds(0xFFFFFFFFu))), 0xFFFFFFFFu);
}

TEST(AniRead, StepsRatesAndTexts) {
    const Bytes a = Cur(2, 10, 1, 1), b = Cur(2, 20);
    struct Case {
        const char* what;
        Bytes file;
        FrameList frames;
    } cases[] = {
        {"seq over stored frames", Riff({Anih(6), Chunk("seq ", Le({1, 0, 1})), Fram({a, b})}), {{20, 6}, {10, 6}, {20, 6}}},
        {"rates per step", Riff({Anih(6), Chunk("rate", Le({6, 12})), Fram({a, b})}), {{10, 6}, {20, 12}}},
        {"missing rates take the display rate", Riff({Anih(10), Chunk("rate", Le({3})), Fram({a, b})}), {{10, 3}, {20, 10}}},
        {"empty seq and rate", Riff({Anih(5), Chunk("seq ", {}), Chunk("rate", {}), Fram({a, b})}), {{10, 5}, {20, 5}}},
        {"partial values ignored, next chunk in step", Riff({Anih(5), Chunk("seq ", Cat({Le({1}), Bytes{0, 0}})), Fram({a, b})}), {{20, 5}}},
        {"short anih: no display rate", Riff({Chunk("anih", Le({36, 2, 2})), Fram({a})}), {{10, 6}}},  // 0 s -> 0.1 s
        {"long anih", Riff({Chunk("anih", Cat({Le({36, 0, 0, 0, 0, 0, 0, 7, 1}), Bytes{1, 2, 3}})), Fram({a})}), {{10, 7}}},
        {"unknown chunks and lists", Riff({Chunk("junk", {1, 2, 3}), List("abcd", {Chunk("icon", a)}), Anih(4), Fram({a})}), {{10, 4}}},
        {"icon chunk longer than its icon", Riff({Anih(4), List("fram", {Chunk("icon", Cat({a, Bytes(9, 0xEE)})), Chunk("icon", b)})}), {{10, 4}, {20, 4}}},
        // A frame that does not load drops the steps naming it, with their delays.
        {"failed frame, no seq", Riff({Chunk("rate", Le({6, 12, 18})), Fram({a, Bytes(30, 7), b})}), {{10, 6}, {20, 18}}},
        {"failed frame in seq", Riff({Chunk("rate", Le({1, 2, 3, 4})), Chunk("seq ", Le({0, 1, 2, 1})), Fram({a, Bytes(30, 7), b})}), {{10, 1}, {20, 3}}},
        {"frames of different sizes", Riff({Anih(6), Fram({a, Cur(3, 30)})}), {{10, 6}, {30, 6}}},
        {"final pad byte missing", Cat({Riff({Anih(4), Fram({a})}), Id("junk"), Le({1}), Bytes{9}}), {{10, 4}}},
    };
    for (const Case& c : cases) {
        TmyANI doc;
        ASSERT_TRUE(TmyANIIO(false).LoadFromBytes(doc, c.file)) << c.what;
        EXPECT_EQ(Frames(doc), c.frames) << c.what;
    }

    TmyANI doc;
    ASSERT_TRUE(TmyANIIO(false).LoadFromBytes(doc, Riff({Anih(6), Chunk("seq ", Le({1, 0})), Fram({a, b})})));
    EXPECT_EQ(doc.Image(1).HotSpotX(), 1);  // each step keeps its stored frame's hotspot
    EXPECT_EQ(doc.Image(0).HotSpotX(), 0);

    // A frame is the first image of its icon in canonical order: the deepest.
    TmyIcon two;
    two.AddImage({16, 16}, 8);
    two.AddImage({8, 8}, 32);
    ByteWriter icon;
    ASSERT_TRUE(TmyIcoIO(false).SaveToStream(two, icon, false));  // depth ascending: 8 bits first
    TmyANI deepest;
    ASSERT_TRUE(TmyANIIO(false).LoadFromBytes(deepest, Riff({Anih(6), Fram({icon.buffer()})})));
    EXPECT_EQ(deepest.Image(0).BitCount, 32);

    // Texts end at their zero (or after 2000 characters), bytes are Windows-1252.
    Bytes longTitle(2500, 'x');
    TmyANI info;
    ASSERT_TRUE(TmyANIIO(false).LoadFromBytes(
        info, Riff({List("INFO", {Chunk("INAM", longTitle), Chunk("IART", Cat({Text("\x80 caf\xE9"), {0}, Text("tail")}))}),
                    Anih(6), Fram({a})})));
    EXPECT_EQ(info.Title, std::string(2000, 'x'));
    EXPECT_EQ(info.Author, "\u20AC caf\u00E9");
}

TEST(AniRead, RefusesDamagedFilesWithoutTouchingTheDocument) {
    const Bytes a = Cur(2, 10);
    const Bytes good = Riff({Anih(6), Fram({a})});
    Bytes beyond = good;
    beyond[12 + 4] = 0xF0;  // anih size 0xFFFFFFxx: far past the end, no wrap-around
    beyond[12 + 5] = beyond[12 + 6] = beyond[12 + 7] = 0xFF;
    const Bytes big = Cur(256, 1);
    U32s manySteps(TmyANIIO::MaxSteps + 1, 0), heavySteps(1100, 0);
    const std::pair<const char*, Bytes> cases[] = {
        {"not RIFF", Cat({Id("RIFX"), Bytes(good.begin() + 4, good.end())})},
        {"not ACON", Cat({Bytes(good.begin(), good.begin() + 8), Id("ACOX"), Bytes(good.begin() + 12, good.end())})},
        {"chunk beyond the file", beyond},
        {"header cut short", Cat({good, Bytes{'j', 'u', 'n'}})},
        {"LIST without type", Riff({Anih(6), Fram({a}), Chunk("LIST", {1, 2})})},
        {"sub-chunk beyond its list", Riff({Anih(6), Chunk("LIST", Cat({Id("fram"), Id("icon"), Le({400}), a}))})},
        {"seq names no stored frame", Riff({Anih(6), Chunk("seq ", Le({0, 1})), Fram({a})})},
        {"no frames", Riff({Anih(6)})},
        {"no frame loads", Riff({Anih(6), Fram({Bytes(30, 1)})})},
        {"too many steps", Riff({Anih(6), Chunk("seq ", Le(manySteps)), Fram({a})})},
        {"too many pixels", Riff({Anih(6), Chunk("seq ", Le(heavySteps)), Fram({big})})},  // 1100 x 256 KiB
    };
    for (const auto& [what, file] : cases) {
        TmyANI doc;
        doc.AddImage({3, 3}, 32);
        EXPECT_FALSE(TmyANIIO(false).LoadFromBytes(doc, file)) << what;
        EXPECT_EQ(doc.Count(), 1) << what;
    }
    TmyIcon notAnimated;
    EXPECT_FALSE(TmyANIIO(false).LoadFromBytes(notAnimated, good));
    TmyANI doc;
    EXPECT_TRUE(TmyANIIO(false).LoadFromBytes(doc, good));
}

TmyImagePal Frame(int w, std::uint8_t red, double rate, int bits = 32, int hotX = 0) {
    TmyImagePal img({w, w}, bits);
    for (TmyPixel& p : img.Pixels()) p = TmyPixel::CreateRGBA(red, 0, 0, 255);
    img.At(0, 0) = TmyPixel::Create();  // one transparent pixel
    img.SetHotSpotX(hotX);
    img.SetRate(rate);
    return img;
}
TmyANI Doc(std::initializer_list<TmyImagePal> frames, std::string title = "", std::string author = "") {
    TmyANI doc;
    for (const TmyImagePal& f : frames) doc.AppendImage(std::make_unique<TmyImagePal>(f));
    doc.Title = std::move(title);
    doc.Author = std::move(author);
    return doc;
}
Bytes Save(const TmyANI& doc) {
    Bytes out;
    EXPECT_TRUE(TmyANIIO(false).SaveToBytes(doc, out));
    return out;
}
Bytes Get(const Bytes& file, const std::string& path) {
    for (const auto& [id, data] : WalkFile(file))
        if (id == path) return data;
    return {};
}

TEST(AniWrite, StoredFramesStepsRatesAndHeader) {
    struct Case {
        const char* what;
        TmyANI doc;
        U32s anih;  // stored frames, steps, display rate, flags
        U32s rate, seq;
    };
    Case cases[] = {
        {"three equal frames", Doc({Frame(4, 9, 0.1), Frame(4, 9, 0.1), Frame(4, 9, 0.1)}), {1, 3, 6, 3}, {}, {0, 0, 0}},
        {"two different frames", Doc({Frame(4, 9, 0.1), Frame(4, 8, 0.2)}), {2, 2, 10, 1}, {6, 12}, {}},
        {"equal pixels, other hotspot or depth", Doc({Frame(4, 9, 0.1), Frame(4, 9, 0.1, 32, 2), Frame(4, 9, 0.1, 24), Frame(4, 9, 0.1)}),
         {3, 4, 6, 3}, {}, {0, 1, 2, 0}},
        {"delays clamped to the field", Doc({Frame(4, 9, 0.001), Frame(4, 9, TmyImage::MaxRate)}), {1, 2, 10, 3}, {1, 0xFFFFFFFFu}, {0, 0}},
    };
    for (Case& c : cases) {
        const Bytes file = Save(c.doc);
        ASSERT_GT(file.size(), 12u);
        EXPECT_EQ(Le({static_cast<std::uint32_t>(file.size() - 8)}), Bytes(file.begin() + 4, file.begin() + 8));
        EXPECT_EQ(Get(file, "anih"), Le({36, c.anih[0], c.anih[1], 4, 4, 32, 1, c.anih[2], c.anih[3]})) << c.what;
        EXPECT_EQ(Get(file, "rate"), Le(c.rate)) << c.what;
        EXPECT_EQ(Get(file, "seq "), Le(c.seq)) << c.what;
        TmyANI back;
        ASSERT_TRUE(TmyANIIO(false).LoadFromBytes(back, file)) << c.what;
        ASSERT_EQ(back.Count(), c.doc.Count());
        for (int i = 0; i < back.Count(); ++i) {
            const TmyImagePal &x = back.Image(i), &y = c.doc.Image(i);
            EXPECT_TRUE(x.Equals(y) && x.BitCount == y.BitCount && x.HotSpotX() == y.HotSpotX()) << c.what << i;
            EXPECT_EQ(std::max<std::uint32_t>(1, SecondsToJiffies(x.Rate())), std::max<std::uint32_t>(1, SecondsToJiffies(y.Rate())));
        }
    }
    Bytes out{1};
    EXPECT_FALSE(TmyANIIO(false).SaveToBytes(TmyANI(), out));
    EXPECT_TRUE(out.empty());
    TmyIcon icon;
    icon.AddImage({4, 4}, 32);
    EXPECT_FALSE(TmyANIIO(false).SaveToBytes(icon, out));
}

TEST(AniWrite, IconChunksHoldOneCursorOfTheFramesFormat) {
    for (int bits : {1, 4, 8, 24, 32}) {
        TmyImagePal f({5, 3}, bits);
        if (f.Palette) f.At(1, 1) = (*f.Palette)[1];
        else f.At(1, 1) = TmyPixel::CreateRGBA(1, 2, 3, 255);
        f.SetHotSpotX(4);
        f.SetHotSpotY(2);
        const TmyANI doc = Doc({f});
        const Bytes file = Save(doc);
        const Bytes icon = Get(file, "fram/icon");
        EXPECT_EQ(static_cast<std::int64_t>(icon.size()),
                  22 + 40 + TmyIcoIO::ImageDataSize(3, 5, bits) + TmyIcoIO::MaskDataSize(3, 5, bits)) << bits;
        TmyANI back;
        ASSERT_TRUE(TmyANIIO(false).LoadFromBytes(back, file)) << bits;
        EXPECT_TRUE(back.Image(0).Equals(f) && back.Image(0).BitCount == bits) << bits;
        EXPECT_EQ(std::pair(back.Image(0).HotSpotX(), back.Image(0).HotSpotY()), std::pair(4, 2));
    }
}

TEST(AniWrite, InfoTexts) {
    const TmyImagePal f = Frame(2, 1, 0.1);
    EXPECT_TRUE(Get(Save(Doc({f})), "INFO/INAM").empty());  // no texts, no INFO list
    const Bytes three = Save(Doc({f}, "abc"));
    EXPECT_EQ(Get(three, "INFO/INAM"), Text(std::string("abc") + '\0'));
    EXPECT_EQ(Get(three, "INFO/IART"), Bytes{0});  // both always written
    const std::string info(reinterpret_cast<const char*>(three.data()) + 12, 34);
    EXPECT_EQ(info, std::string("LIST\x1A\0\0\0INFOINAM\4\0\0\0abc\0IART\1\0\0\0\0\0", 34));
    EXPECT_EQ(Get(Save(Doc({f}, "", "abcd")), "INFO/IART"), Text(std::string("abcd") + '\0'));

    // Windows-1252 where it fits, else UTF-8: both read back as written; at most 2000 characters.
    const std::pair<std::string, Bytes> texts[] = {
        {"\u20AC caf\u00E9", {0x80, ' ', 'c', 'a', 'f', 0xE9, 0}},
        {"\u00C3\u00A9", {0xC3, 0x83, 0xC2, 0xA9, 0}},  // its 1252 bytes would read as UTF-8
        {"\u65E5\u672C", {0xE6, 0x97, 0xA5, 0xE6, 0x9C, 0xAC, 0}},
        {std::string("cut\0here", 8), Text(std::string("cut") + '\0')},
    };
    for (const auto& [text, bytes] : texts) {
        const Bytes file = Save(Doc({f}, text));
        EXPECT_EQ(Get(file, "INFO/INAM"), bytes);
        TmyANI back;
        ASSERT_TRUE(TmyANIIO(false).LoadFromBytes(back, file));
        EXPECT_EQ(back.Title, text.substr(0, text.find('\0')));
    }
    std::string longTitle;
    for (int i = 0; i < 2500; ++i) longTitle += "\u00E9";
    EXPECT_EQ(Get(Save(Doc({f}, longTitle)), "INFO/INAM").size(), 2001u);
    std::string longWide;
    for (int i = 0; i < 1000; ++i) longWide += "\u65E5";
    EXPECT_EQ(Get(Save(Doc({f}, longWide)), "INFO/INAM").size(), 1999u);  // 666 whole characters
}

TEST(AniFiles, SavingIsAtomicAndFailuresAreReported) {
    const auto dir = std::filesystem::temp_directory_path() / ("velto-ani-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::string path = (dir / "a.ani").string();
    TmyANIIO io(false);
    const TmyANI doc = Doc({Frame(4, 9, 0.1), Frame(4, 8, 0.2)}, "t", "a");
    ASSERT_TRUE(io.SaveToFile(doc, path, true));
    TmyANI back;
    ASSERT_TRUE(io.LoadFromFile(back, path));
    EXPECT_EQ(Frames(back), (FrameList{{9, 6}, {8, 12}}));
    EXPECT_EQ(back.Title + back.Author, "ta");

    Bytes before;
    ASSERT_TRUE(ReadWholeFile(path, before));
    EXPECT_FALSE(io.SaveToFile(TmyANI(), path, false));  // nothing to write: the old file stays
    Bytes after;
    ASSERT_TRUE(ReadWholeFile(path, after));
    EXPECT_EQ(before, after);
    EXPECT_FALSE(io.SaveToFile(doc, (dir / "missing" / "b.ani").string(), false));
    EXPECT_FALSE(io.LoadFromFile(back, (dir / "missing.ani").string()));
    std::filesystem::remove_all(dir);

    // A sample file from elsewhere: 5 stored frames played as 8 steps.
    TmyANI piano;
    ASSERT_TRUE(io.LoadFromFile(piano, VELTO_CORPUS_DIR "/ani-fixtures/piano.ani"));
    EXPECT_EQ(piano.Count(), 8);
    EXPECT_EQ(piano.Title, "Player Piano");
    EXPECT_TRUE(piano.Image(3).Equals(piano.Image(5)) && piano.Image(1).Equals(piano.Image(7)));
    EXPECT_EQ(SecondsToJiffies(piano.Image(0).Rate()), 15u);
}

}  // namespace
}  // namespace velto
