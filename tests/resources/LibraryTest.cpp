// Cursor libraries as the resource editor saves them: the empty library a new
// one starts from, the group layout the system's loader reads, groups stored
// over others, saves that fail or are killed part-way.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <chrono>
#include <random>

#include "../support/FileTrouble.h"
#include "../support/KillPoints.h"
#include "EditSupport.h"
#include "resources/EmptyLibrary.h"
#include "resources/LibrarySave.h"
#include "platform/Temporaries.h"

using namespace velto;
using namespace restest;

namespace {

ResName Id(std::uint32_t n) { return ResName::FromId(n); }
ResName Named(const char16_t* s) { return ResName::FromString(s); }

std::string List(const PeModule& m, std::uint16_t type) {
    std::string out;
    for (const ResName& n : m.ResourceNames(Id(type))) {
        out += ResNameText(n);
        for (const std::uint32_t lang : m.ResourceLanguages(Id(type), n)) out += "/" + std::to_string(lang);
        out += " ";
    }
    return out;
}

PeModule Load(const std::string& path) {
    PeModule m;
    EXPECT_TRUE(m.Load(path)) << path;
    return m;
}

Bytes Group(const PeModule& m, const ResName& name, std::uint32_t lang) {
    const auto d = m.FindResource(Id(RT_GROUP_CURSOR), name, lang);
    return d ? Bytes(d->begin(), d->end()) : Bytes{};
}

// Files other than the ones named, left in the folder.
template <class Folder>
std::vector<std::string> Leftovers(const Folder& dir, std::vector<std::string> keep) {
    std::vector<std::string> out;
    for (const std::string& n : dir.Names())
        if (std::find(keep.begin(), keep.end(), n) == keep.end()) out.push_back(n);
    return out;
}

// Park files of any process in the temporary folder whose process is gone.
std::vector<std::string> StaleParkFiles() {
    std::vector<std::string> out;
    const std::string folder = FolderOf(GetResTempFileName(0));
    for (const auto& e : std::filesystem::directory_iterator(folder)) {
        const std::string name = e.path().filename().string();
        const unsigned long pid = ParkedDataOwner(name);
        if (name[0] == '$' && pid && ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH) out.push_back(name);
    }
    return out;
}

}  // namespace

TEST(EmptyLibrary, BothFormsAreSoundEmptyAndTakeGroups) {
    for (const bool plus : {false, true}) {
        SCOPED_TRACE(plus ? "64-bit" : "32-bit");
        const Bytes empty = MakeEmptyLibrary(plus);
        EXPECT_EQ(empty.size(), 0x400u);
        EXPECT_EQ(empty, MakeEmptyLibrary(plus)) << "the same bytes every time";
        TPeHeaders pe;
        std::uint32_t error = 0;
        ASSERT_TRUE(ParsePeHeaders(empty, pe, {}, error)) << error;
        EXPECT_EQ(pe.Pe32Plus(), plus);
        Bytes sum = empty;
        UpdatePeChecksum(sum);
        EXPECT_EQ(sum, empty) << "the checksum is right as made";
        TempDir dir;
        const std::string path = dir.File("new.cul");
        WriteFile(path, empty);
        EXPECT_EQ(List(Load(path), RT_GROUP_CURSOR), "");
        // The update engine opens it (it needs a resource section) and it grows.
        const std::string cur = dir.File("a.cur");
        WriteFile(cur, CursorFile({{32, 32, 3, 4, {}, 1}, {48, 48, 5, 6, {}, 2}}));
        const std::string target = dir.File("lib.cul");
        int steps = 0;
        ASSERT_TRUE(SaveNewLibrary(empty, target, {{cur, Id(1), 0}, {cur, Named(u"arrow"), 1033}}, [&] { ++steps; }))
            << GetLastError();
        EXPECT_EQ(steps, 2);
        const PeModule m = Load(target);
        EXPECT_EQ(List(m, RT_GROUP_CURSOR), "ARROW/1033 #1/0 ");
        EXPECT_EQ(List(m, RT_CURSOR), "#1/0 #2/0 #3/1033 #4/1033 ");
        Bytes back;
        ASSERT_TRUE(BuildCursorFileFromGroup(m, Named(u"ARROW"), 1033, back));
        Bytes d1 = CursorImageBytes(32, 32, 1), d2 = CursorImageBytes(48, 48, 2);
        Put32(d1, 20, 0);
        Put32(d2, 20, 0);
        EXPECT_EQ(back, CursorFile({{32, 32, 3, 4, d1}, {48, 48, 5, 6, d2}}));
    }
}

TEST(LibraryGroups, EntriesInTheLoadersLayoutFromEachKindOfImage) {
    TempDir dir;
    const std::string lib = dir.File("lib.cul");
    WriteFile(lib, MakeEmptyLibrary());
    // A bitmap (sizes from its header), a PNG (from its header chunk, height
    // doubled as for a bitmap's image and mask) and an image of neither kind
    // (from the cursor file's one-byte sizes, 0 meaning 256).
    Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R', 0, 0, 1, 0, 0, 0, 0, 64};
    const Bytes odd(30, 0x55);
    Bytes bmp = CursorImageBytes(24, 24, 3);
    Put16(bmp, 14, 8);  // 8 bits a pixel, as the header says
    WriteFile(dir.File("a.cur"), CursorFile({{24, 24, 1, 2, bmp}, {0, 0, 3, 4, png}, {0, 16, 5, 6, odd}}));
    ASSERT_TRUE(TResourceEditor(lib).SaveGroups({{dir.File("a.cur"), Id(3), 0}}));
    const Bytes g = Group(Load(lib), Id(3), 0);
    ASSERT_EQ(g.size(), 6u + 3 * 14);
    const struct {
        std::uint16_t width, height, planes, bits;
        std::size_t bytes;
    } expect[] = {{24, 48, 1, 8, bmp.size()}, {256, 128, 1, 32, png.size()}, {256, 32, 1, 32, odd.size()}};
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        const std::size_t e = 6 + 14 * static_cast<std::size_t>(i);
        EXPECT_EQ(g[e] | g[e + 1] << 8, expect[i].width);
        EXPECT_EQ(g[e + 2] | g[e + 3] << 8, expect[i].height);
        EXPECT_EQ(g[e + 4] | g[e + 5] << 8, expect[i].planes);
        EXPECT_EQ(g[e + 6] | g[e + 7] << 8, expect[i].bits);
        EXPECT_EQ(Get32(g, e + 8), expect[i].bytes + 4);
        EXPECT_EQ(g[e + 12], i + 1);
    }
    EXPECT_EQ(GetCursorGroupCount(lib, Id(3), 0), 3);
}

TEST(LibraryGroups, LibrariesInTheEarlierLayoutStillOpen) {
    // Entries of one-byte width, height, colours, reserved and the hotspot
    // words: what earlier versions wrote.
    TempDir dir;
    const std::string lib = dir.File("old.dll");
    const Bytes image = CursorImageBytes(32, 32, 4);
    Bytes res(4 + image.size(), 0);
    res[0] = 7;  // hotspot words
    res[2] = 9;
    std::copy(image.begin(), image.end(), res.begin() + 4);
    Bytes group(6 + 14, 0);
    Put16(group, 2, 2);
    Put16(group, 4, 1);
    group[6] = 32;
    group[7] = 32;
    Put16(group, 10, 7);
    Put16(group, 12, 9);
    Put32(group, 14, static_cast<std::uint32_t>(res.size()));
    Put16(group, 18, 1);
    WriteFile(lib, Edit(BuildPe({}), [&](TResourceUpdateHandle* h) {
        UpdateResourceEntry(h, Id(RT_CURSOR), Id(1), 0, res.data(), static_cast<std::uint32_t>(res.size()));
        UpdateResourceEntry(h, Id(RT_GROUP_CURSOR), Named(u"OLD"), 0, group.data(), static_cast<std::uint32_t>(group.size()));
    }));
    EXPECT_EQ(GetCursorGroupCount(lib, Named(u"OLD"), 0), 1);
    Bytes back;
    ASSERT_TRUE(BuildCursorFileFromGroup(Load(lib), Named(u"OLD"), 0, back));
    Bytes dib = image;
    ASSERT_GE(dib.size(), 24u);
    if (dib.size() >= 24) Put32(dib, 20, 0);  // image size written as 0
    EXPECT_EQ(back, CursorFile({{32, 32, 7, 9, dib}}));
    // Deleting it removes its image as well.
    ASSERT_TRUE(TResourceEditor(lib).DeleteGroups({{Named(u"OLD"), 0}}));
    EXPECT_EQ(List(Load(lib), RT_CURSOR), "");
}

TEST(LibraryGroups, StoringOverAGroupLeavesNoImageUnlisted) {
    TempDir dir;
    const std::string lib = dir.File("lib.cul");
    WriteFile(lib, MakeEmptyLibrary());
    WriteFile(dir.File("two.cur"), CursorFile({{16, 16, 1, 1, {}, 1}, {32, 32, 2, 2, {}, 2}}));
    WriteFile(dir.File("one.cur"), CursorFile({{8, 8, 3, 3, {}, 3}}));
    ASSERT_TRUE(TResourceEditor(lib).SaveGroups({{dir.File("two.cur"), Id(1), 0}, {dir.File("two.cur"), Id(1), 1033}}));
    ASSERT_EQ(List(Load(lib), RT_CURSOR), "#1/0 #2/0 #3/1033 #4/1033 ");
    // Over the neutral group: its two images go, the other language's stay,
    // and the freed id is used again.
    ASSERT_TRUE(TResourceEditor(lib).SaveGroups({{dir.File("one.cur"), Id(1), 0}}));
    const PeModule m = Load(lib);
    EXPECT_EQ(List(m, RT_CURSOR), "#1/0 #3/1033 #4/1033 ");
    EXPECT_EQ(GetCursorGroupCount(lib, Id(1), 0), 1);
    EXPECT_EQ(GetCursorGroupCount(lib, Id(1), 1033), 2);
    // Within one save as well: the second store of a name wins, whole.
    ASSERT_TRUE(TResourceEditor(lib).SaveGroups({{dir.File("two.cur"), Id(5), 0}, {dir.File("one.cur"), Id(5), 0}}));
    EXPECT_EQ(List(Load(lib), RT_CURSOR), "#1/0 #2/0 #3/1033 #4/1033 ");
}

TEST(LibraryGroups, NamesAsTheLoaderLooksThemUp) {
    TempDir dir;
    const std::string lib = dir.File("lib.cul");
    WriteFile(lib, MakeEmptyLibrary());
    WriteFile(dir.File("a.cur"), CursorFile({{16, 16, 1, 1, {}}}));
    const std::string a = dir.File("a.cur");
    // Every letter upper-cased; "#0012" is the id 12.
    ASSERT_TRUE(TResourceEditor(lib).SaveGroups({{a, Named(u"lower"), 0},
                                                 {a, Named(u"\u00e9t\u00e9"), 0},
                                                 {a, *ResNameToId("#0012"), 0},
                                                 {a, *ResNameToId("#12"), 0}}));
    const PeModule m = Load(lib);
    // Names in code-unit order (C9 after every ASCII letter), then ids.
    EXPECT_EQ(List(m, RT_GROUP_CURSOR), "LOWER/0 \u00c9T\u00c9/0 #12/0 ");
    EXPECT_EQ(List(m, RT_CURSOR), "#1/0 #2/0 #3/0 ") << "the second store of #12 replaced the first";
    // A foreign string name that begins with "#" is a name, listed and read as one.
    const Bytes g = Group(m, Id(12), 0);
    WriteFile(lib, Edit(ReadFile(lib), [&](TResourceUpdateHandle* h) {
        UpdateResourceEntry(h, Id(RT_GROUP_CURSOR), Named(u"#12A"), 0, g.data(), static_cast<std::uint32_t>(g.size()));
    }));
    EXPECT_EQ(List(Load(lib), RT_GROUP_CURSOR), "#12A/0 LOWER/0 \u00c9T\u00c9/0 #12/0 ");
    EXPECT_EQ(GetCursorGroupCount(lib, Named(u"#12A"), 0), 1);
}

// A name in any case finds, replaces and deletes the group stored under its
// upper case, as the system's loader finds it; a group another program stored
// in lower case is still found and deleted by its own name.
TEST(LibraryGroups, EveryLetterIsUpperCasedForStoresLookUpsAndDeletions) {
    TempDir dir;
    const std::string lib = dir.File("lib.cul");
    WriteFile(lib, MakeEmptyLibrary());
    const std::string a = dir.File("a.cur"), b = dir.File("b.cur");
    WriteFile(a, CursorFile({{16, 16, 1, 1, {}}}));
    WriteFile(b, CursorFile({{16, 16, 1, 1, {}}, {32, 32, 2, 2, {}}}));
    ASSERT_TRUE(TResourceEditor(lib).SaveGroups({{a, Named(u"\u00e4rger"), 0}, {a, Named(u"\u0451\u0436"), 0}}));
    EXPECT_EQ(List(Load(lib), RT_GROUP_CURSOR), "\u00c4RGER/0 \u0401\u0416/0 ");
    for (const char16_t* spelling : {u"\u00e4rger", u"\u00c4RGER", u"\u00e4RgEr"})
        EXPECT_EQ(GetCursorGroupCount(lib, Named(spelling), 0), 1);
    EXPECT_EQ(GetCursorGroupCount(lib, Named(u"arger"), 0), 0);

    // Stored again in another case: the one group is replaced.
    ASSERT_TRUE(TResourceEditor(lib).SaveGroups({{b, Named(u"\u00c4rger"), 0}}));
    EXPECT_EQ(List(Load(lib), RT_GROUP_CURSOR), "\u00c4RGER/0 \u0401\u0416/0 ");
    EXPECT_EQ(GetCursorGroupCount(lib, Named(u"\u00c4RGER"), 0), 2);

    // Deleted by a name typed in lower case, its images with it.
    ASSERT_TRUE(TResourceEditor(lib).DeleteGroups({{Named(u"\u00e4rger"), 0}}));
    EXPECT_EQ(List(Load(lib), RT_GROUP_CURSOR), "\u0401\u0416/0 ");
    EXPECT_EQ(List(Load(lib), RT_CURSOR), "#2/0 ");
    ASSERT_TRUE(TResourceEditor(lib).SaveChanges({{Named(u"\u0451\u0436"), 0}}, {{a, Named(u"x"), 0}}));
    EXPECT_EQ(List(Load(lib), RT_GROUP_CURSOR), "X/0 ");

    // Lower-case names another program stored beside an upper-case one: each
    // is found and deleted by its own name.
    const Bytes g = Group(Load(lib), Named(u"X"), 0);
    WriteFile(lib, Edit(ReadFile(lib), [&](TResourceUpdateHandle* h) {
        for (const char16_t* n : {u"abc", u"\u00e4RGER"})
            UpdateResourceEntry(h, Id(RT_GROUP_CURSOR), Named(n), 0, g.data(), static_cast<std::uint32_t>(g.size()));
    }));
    EXPECT_EQ(List(Load(lib), RT_GROUP_CURSOR), "X/0 abc/0 \u00e4RGER/0 ");
    EXPECT_EQ(GetCursorGroupCount(lib, Named(u"\u00e4RGER"), 0), 1);
    ASSERT_TRUE(TResourceEditor(lib).SaveGroups({{a, Named(u"ABC"), 0}, {a, Named(u"abc"), 1033}}));
    // "abc" of 1033 is the upper-cased group, though another program's "abc" of 0 is there too.
    ASSERT_TRUE(TResourceEditor(lib).DeleteGroups({{Named(u"abc"), 1033}}));
    ASSERT_TRUE(TResourceEditor(lib).DeleteGroups({{Named(u"abc"), 0}, {Named(u"\u00e4RGER"), 0}}));
    EXPECT_EQ(List(Load(lib), RT_GROUP_CURSOR), "ABC/0 X/0 ") << "the lower-case ones went, ABC stayed";
    // As the loader has them: "ı" is not "I", and final sigma stays ("σοφός"
    // is "ΣΟΦΌς"), replaced and deleted by the name's own spelling.
    const char16_t* sofos = u"\u03c3\u03bf\u03c6\u03cc\u03c2";
    for (const char16_t* n : {u"I", u"\u0131", sofos, sofos}) ASSERT_TRUE(TResourceEditor(lib).SaveGroups({{a, Named(n), 0}}));
    EXPECT_EQ(List(Load(lib), RT_GROUP_CURSOR), "ABC/0 I/0 X/0 \u0131/0 \u03a3\u039f\u03a6\u038c\u03c2/0 ");
    ASSERT_TRUE(TResourceEditor(lib).DeleteGroups({{Named(sofos), 0}}));
    EXPECT_EQ(List(Load(lib), RT_GROUP_CURSOR), "ABC/0 I/0 X/0 \u0131/0 ");
}

// A library keeps a name's length in 16 bits: longer names are refused, never cut.
TEST(LibraryGroups, NamesLongerThanALibraryHoldsAreRefusedSayingWhy) {
    TempDir dir;
    const std::string lib = dir.File("lib.cul"), a = dir.File("a.cur");
    WriteFile(lib, MakeEmptyLibrary());
    WriteFile(a, CursorFile({{16, 16, 1, 1, {}}}));
    std::u16string pairs;  // 65536 units in 32768 letters
    for (int i = 0; i < 32768; ++i) pairs += u"\U0001F600";
    EXPECT_FALSE(TResourceEditor(lib).SaveGroups({{a, Named(pairs.c_str()), 0}}));
    EXPECT_NE(LastErrorText().find("65535"), std::string::npos) << LastErrorText();
    TResourceUpdateHandle* h = BeginUpdateResourceMemory(MakeEmptyLibrary(), false);  // the writer as well
    ASSERT_TRUE(UpdateResourceEntry(h, Id(RT_GROUP_CURSOR), Named(pairs.c_str()), 0, "x", 1));
    Bytes out;
    EXPECT_FALSE(CommitResourceUpdateToMemory(h, out));
    EXPECT_NE(LastErrorText().find("65535"), std::string::npos) << LastErrorText();
    ASSERT_TRUE(TResourceEditor(lib).SaveGroups({{a, Named(std::u16string(65535, u'B').c_str()), 0}}));
    EXPECT_EQ(List(Load(lib), RT_GROUP_CURSOR), std::string(65535, 'B') + "/0 ");
}

TEST(LibrarySave, FailedStoresSayWhyAndChangeNothing) {
    TempDir dir;
    const std::string lib = dir.File("lib.dll");
    WriteFile(dir.File("a.cur"), CursorFile({{16, 16, 1, 1, {}}}));
    ASSERT_TRUE(SaveLibrary({lib, true, {}, {{dir.File("a.cur"), Id(1), 0}}, {}}));
    const Bytes before = ReadFile(lib);
    // A change whose new cursor file is gone: the deletion is not kept, the
    // reason is the missing file's, and the backup (identical) is removed.
    EXPECT_FALSE(SaveLibrary({lib, false, {{Id(1), 0}}, {{dir.File("gone.cur"), Id(1), 0}}, {}}));
    EXPECT_EQ(GetLastError(), kErrorFileNotFound);
    EXPECT_EQ(FileErrorText(GetLastFileError()), "No such file or directory");
    EXPECT_EQ(ReadFile(lib), before);
    EXPECT_EQ(Leftovers(dir, {"a.cur", "lib.dll"}), std::vector<std::string>{});
    // A malformed cursor file.
    WriteFile(dir.File("bad.cur"), Bytes{0, 0, 2, 0, 1, 0, 16, 16, 0, 0, 1, 0, 1, 0, 0xFF, 0xFF, 0, 0, 22, 0, 0, 0});
    EXPECT_FALSE(SaveLibrary({lib, false, {}, {{dir.File("bad.cur"), Id(2), 0}}, {}}));
    EXPECT_EQ(GetLastError(), kErrorInvalidData);
    EXPECT_EQ(ReadFile(lib), before);

    // A success keeps the backup of what was there.
    int steps = 0;
    ASSERT_TRUE(SaveLibrary({lib, false, {{Id(1), 0}}, {{dir.File("a.cur"), Id(2), 0}}, [&] { ++steps; }}));
    EXPECT_EQ(steps, 2);
    EXPECT_EQ(ReadFile(BackupName(lib)), before);
    EXPECT_EQ(List(Load(lib), RT_GROUP_CURSOR), "#2/0 ");

    // A new library over an existing file: the file stays until the new one
    // is complete, and stays as it was when the new one fails.
    const std::string other = dir.File("other.cul");
    WriteFile(other, Bytes{'k', 'e', 'e', 'p'});
    EXPECT_FALSE(SaveLibrary({other, true, {}, {{dir.File("gone.cur"), Id(1), 0}}, {}}));
    EXPECT_EQ(ReadFile(other), (Bytes{'k', 'e', 'e', 'p'}));
    ASSERT_TRUE(SaveLibrary({other, true, {}, {{dir.File("a.cur"), Id(4), 0}}, {}}));
    EXPECT_EQ(List(Load(other), RT_GROUP_CURSOR), "#4/0 ");
    EXPECT_EQ(Leftovers(dir, {"a.cur", "bad.cur", "lib.dll", "lib.dll.bak", "other.cul"}), std::vector<std::string>{});
}

TEST(LibrarySave, ReadOnlyTargetAndFullDiskLeaveTheLibrary) {
    TempDir dir;
    WriteFile(dir.File("big.cur"), CursorFile({{64, 64, 1, 1, {}, 5}, {128, 128, 2, 2, {}, 6}}));
    const std::string cur = dir.File("big.cur");
    const Bytes lib = MakeEmptyLibrary();
    const std::string existing(lib.begin(), lib.end());
    for (const auto t : {test::FileTrouble::ReadOnlyTarget, test::FileTrouble::FullDisk}) {
        SCOPED_TRACE(test::FileTroubleName(t));
        const test::FileTroubleOutcome o = test::SaveWithTrouble(
            t, "lib.cul",
            [&](const std::string& path) {
                const bool saved(SaveLibrary({path, false, {}, {{cur, Id(1), 0}}, {}}));
                const std::string why = FileErrorText(GetLastFileError());
                const Bytes after = ReadFile(path);
                std::string out = saved ? "saved" : "refused";
                out += after == lib ? ", unchanged" : ", changed";
                for (const auto& e : std::filesystem::directory_iterator(FolderOf(path)))
                    if (e.path().filename() != "lib.cul" && e.path().filename() != "filler")
                        out += ", left " + e.path().filename().string();
                return out + ": " + why;
            },
            &existing);
        if (o.skipped) {
            std::printf("skipped %s: %s\n", test::FileTroubleName(t), o.text.c_str());
            continue;
        }
        EXPECT_EQ(o.text, std::string("refused, unchanged: ") + test::FileTroubleReason(t));
    }
}

TEST(LibrarySave, SavesKilledAtRandomPointsLeaveTheLibraryAndNoFiles) {
    // A temporary folder of its own: other tests' saves park data too.
    test::KillFolder dir;
    const std::string lib = dir.File("lib.cul");
    // Images above the park threshold, so that the save parks data too.
    WriteFile(dir.File("big.cur"), CursorFile({{128, 128, 1, 1, {}, 5}, {96, 96, 2, 2, {}, 6}, {64, 64, 3, 3, {}, 7}}));
    const std::string cur = dir.File("big.cur");
    ASSERT_TRUE(SaveLibrary({lib, true, {}, {{cur, Id(1), 0}}, {}}));
    const Bytes before = ReadFile(lib);
    // The library as the save makes it, for comparison.
    const std::string copy = dir.File("copy.cul");
    WriteFile(copy, before);
    std::vector<TStoreEntry> stores;
    for (std::uint32_t n = 2; n < 12; ++n) stores.push_back({cur, Id(n), 0});
    ASSERT_TRUE(SaveLibrary({copy, false, {{Id(1), 0}}, stores, {}}));
    const Bytes after = ReadFile(copy);
    std::filesystem::remove(copy);
    std::filesystem::remove(BackupName(copy));

    // Kills land anywhere from the start of a save to a little past its end.
    const auto started = std::chrono::steady_clock::now();
    WriteFile(copy, before);
    ASSERT_TRUE(SaveLibrary({copy, false, {{Id(1), 0}}, stores, {}}));
    const auto span = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - started);
    std::filesystem::remove(copy);
    std::filesystem::remove(BackupName(copy));
    std::mt19937 random(20261207);
    std::uniform_int_distribution<long> when(0, span.count() * 6 / 5 + 1);
    int whole = 0, untouched = 0;
    for (int kill = 0; kill < 20; ++kill) {
        WriteFile(lib, before);
        int ready[2];
        ASSERT_EQ(::pipe(ready), 0);
        std::fflush(nullptr);
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            ::close(ready[0]);
            const char go = 1;
            if (::write(ready[1], &go, 1) != 1) ::_exit(3);
            SaveLibrary({lib, false, {{Id(1), 0}}, stores, {}});
            for (;;) ::pause();  // the kill may come after the save ended
        }
        ::close(ready[1]);
        char go = 0;
        ASSERT_EQ(::read(ready[0], &go, 1), 1);
        ::close(ready[0]);
        ::usleep(static_cast<useconds_t>(when(random)));
        ::kill(pid, SIGKILL);
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        const Bytes now = ReadFile(lib);
        // Either the library from before the save or the complete new one.
        EXPECT_TRUE(now == before || now == after) << "kill " << kill << ": a damaged library of " << now.size() << " bytes";
        (now == after ? whole : untouched) += 1;
    }
    std::printf("20 kills: %d libraries untouched, %d saved whole, %zu files left beside, %zu parked\n", untouched,
                whole, Leftovers(dir, {"big.cur", "lib.cul", "lib.cul.bak"}).size(), StaleParkFiles().size());
    // The next save removes what the killed ones left, here and in the temporary folder.
    WriteFile(lib, before);
    ASSERT_TRUE(SaveLibrary({lib, false, {}, {{cur, Id(2), 0}}, {}}));
    EXPECT_EQ(Leftovers(dir, {"big.cur", "lib.cul", "lib.cul.bak"}), std::vector<std::string>{});
    EXPECT_EQ(StaleParkFiles(), std::vector<std::string>{});
}

TEST(LibrarySave, OnlyWhatDeadSavesLeftIsRemovedAndTheModeSurvives) {
    TempDir dir;
    const std::string lib = dir.File("lib.cul");
    WriteFile(dir.File("a.cur"), CursorFile({{16, 16, 1, 1, {}}}));
    ASSERT_TRUE(SaveLibrary({lib, true, {}, {{dir.File("a.cur"), Id(1), 0}}, {}}));
    // A process that has ended, and this one (a save still running).
    std::fflush(nullptr);
    const pid_t child = ::fork();
    if (child == 0) ::_exit(0);
    ASSERT_EQ(::waitpid(child, nullptr, 0), child);
    auto hex = [](unsigned long pid) { return IntToHexEx(pid, 8, '0').substr(1); };
    const std::string here = ".lib.cul.velto-" + ThisMachineTag() + "-";
    const std::string dead = here + hex(static_cast<unsigned long>(child)) + "-Ab12Cd";
    const std::string live = here + hex(static_cast<unsigned long>(::getpid())) + "-Ab12Cd";
    const std::string deadPark = FolderOf(GetResTempFileName(0)) + "/$rsx$res$" + hex(static_cast<unsigned long>(child)) + "$1f$";
    for (const std::string& name : {dead, live, std::string(".lib.cul.velto-notapid-Ab12Cd"), std::string("notes.txt")})
        WriteFile(dir.File(name), Bytes{1});
    WriteFile(deadPark, Bytes{1});
    EXPECT_EQ(TemporaryOwner(dead), static_cast<unsigned long>(child));
    EXPECT_EQ(ParkedDataOwner(deadPark.substr(deadPark.find_last_of('/') + 1)), static_cast<unsigned long>(child));
    EXPECT_EQ(TemporaryOwner(".lib.cul.velto-notapid-Ab12Cd"), 0u);
    EXPECT_EQ(TemporaryOwner("lib.cul"), 0u);

    // The set-group-ID bit comes back after the owner is set.
    ASSERT_EQ(::chmod(lib.c_str(), 02755), 0);
    ASSERT_TRUE(SaveLibrary({lib, false, {}, {{dir.File("a.cur"), Id(2), 0}}, {}}));
    struct stat st {};
    ASSERT_EQ(::stat(lib.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 02755u);
    std::vector<std::string> kept = {live, ".lib.cul.velto-notapid-Ab12Cd", "notes.txt"};
    std::sort(kept.begin(), kept.end());  // (the machine's name sorts anywhere)
    EXPECT_EQ(Leftovers(dir, {"a.cur", "lib.cul", "lib.cul.bak"}), kept);
    EXPECT_FALSE(std::filesystem::exists(deadPark));
}

// The backup holds the library's bytes: it must be no easier to read than the library.
TEST(LibrarySave, TheBackupTakesTheLibrarysModeOwnerAndGroup) {
    TempDir dir;
    const std::string lib = dir.File("lib.cul");
    WriteFile(dir.File("a.cur"), CursorFile({{16, 16, 1, 1, {}}}));
    ASSERT_TRUE(SaveLibrary({lib, true, {}, {{dir.File("a.cur"), Id(1), 0}}, {}}));
    ASSERT_EQ(::chmod(lib.c_str(), 0600), 0);
    const bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(::chown(lib.c_str(), 65534, 65534), 0);
    }
    ASSERT_TRUE(SaveLibrary({lib, false, {}, {{dir.File("a.cur"), Id(2), 0}}, {}}));
    for (const std::string& path : {lib, BackupName(lib)}) {
        SCOPED_TRACE(path);
        struct stat st {};
        ASSERT_EQ(::stat(path.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, 0600u);
        EXPECT_EQ(st.st_uid, root ? 65534u : ::geteuid());
        EXPECT_EQ(st.st_gid, root ? 65534u : ::getegid());
    }
}

// The backup holds the bytes the update read (the library is opened once a
// save) and takes its name only after the update succeeded: a failed save
// keeps the previous one, and a link at that name is replaced, not followed.
TEST(LibrarySave, TheBackupIsNamedOnlyAfterTheUpdateAndNeverThroughALink) {
    TempDir dir;
    const std::string lib = dir.File("lib.cul"), bak = BackupName(lib), a = dir.File("a.cur"), notes = dir.File("n");
    WriteFile(a, CursorFile({{16, 16, 1, 1, {}}}));
    ASSERT_TRUE(test::detail::PutFile(notes, "n", 0600));
    std::filesystem::create_directory(dir.File("d"));
    ASSERT_TRUE(SaveLibrary({lib, true, {}, {{a, Id(1), 0}}, {}}));
    ASSERT_TRUE(SaveLibrary({lib, false, {}, {{a, Id(2), 0}}, {}}));
    const Bytes previous = ReadFile(bak);
    const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);  // closes too: two opens in a row make one event
    ASSERT_GE(::inotify_add_watch(watch, lib.c_str(), IN_OPEN | IN_CLOSE), 0);
    EXPECT_FALSE(SaveLibrary({lib, false, {}, {{dir.File("gone.cur"), Id(3), 0}}, {}}));
    int opens = 0;  // all queued as they happened; a file's events carry no name
    inotify_event events[64];
    for (ssize_t n; (n = ::read(watch, events, sizeof events)) > 0;)
        for (ssize_t i = 0; i < n / ssize_t(sizeof *events); ++i) opens += (events[i].mask & IN_OPEN) != 0;
    ::close(watch);
    EXPECT_EQ(opens, 1);
    EXPECT_EQ(ReadFile(bak), previous);
    for (const std::string& to : {notes, dir.File("d")}) {
        SCOPED_TRACE(to);
        std::filesystem::remove(bak);
        ASSERT_EQ(::symlink(to.c_str(), bak.c_str()), 0);
        const Bytes now = ReadFile(lib);
        ASSERT_TRUE(SaveLibrary({lib, false, {}, {{a, Id(3), 0}}, {}}));
        EXPECT_EQ(ReadFile(notes), Bytes{'n'});
        EXPECT_EQ(std::filesystem::status(notes).permissions(), std::filesystem::perms(0600));
        ASSERT_FALSE(std::filesystem::is_symlink(bak));
        EXPECT_EQ(ReadFile(bak), now);
    }
}

// The library is saved whatever keeps its backup from taking its name, and the
// save says why there is none; the backup never takes room the update needs.
TEST(LibrarySave, ABackupThatCannotTakeItsNameIsSaidAndTheLibraryIsSaved) {
    namespace fs = std::filesystem;
    TempDir dir;
    ::chmod(dir.Path().c_str(), 0755);  // for the saves of an ordinary user
    const std::string cur = dir.File("a.cur"), big = dir.File("big.cur"), model = dir.File("model.cul");
    WriteFile(cur, CursorFile({{16, 16, 1, 1, {}}}));
    WriteFile(big, CursorFile({{128, 128, 1, 1, {}, 5}, {128, 128, 2, 2, {}, 6}}));
    ASSERT_TRUE(SaveLibrary({model, true, {}, {{big, Id(1), 0}, {big, Id(2), 0}}, {}}));
    const Bytes library = ReadFile(model);
    // Room for the library and half as much again.
    const std::string room = "size=" + std::to_string((library.size() * 5 / 2 + 8191) / 4096 * 4) + "k";
    auto shrink = [&] { return ::mount("", ".", "tmpfs", MS_REMOUNT, room.c_str()) == 0 ? "lib.cul" : "!no remount"; };
    const bool root = ::geteuid() == 0;
    // What keeps the backup out, what the save says, and its making in a folder holding lib.cul and w (open to
    // all): the library to save, or "!why not".
    const std::tuple<const char*, const char*, std::function<std::string()>> cases[] = {
        {"an empty folder", "Is a directory", [] { return fs::create_directory("lib.cul.bak"), "lib.cul"; }},
        {"a full folder", "Is a directory", [] { return fs::create_directories("lib.cul.bak/x"), "lib.cul"; }},
        {"an immutable previous backup", "Operation not permitted",
         [] {
             WriteFile("lib.cul.bak", Bytes{'o'});
             return std::system("chattr +i lib.cul.bak") == 0 ? "lib.cul" : "!cannot make a file immutable here";
         }},
        {"another user's file in a sticky shared folder", "Operation not permitted",
         [&] {
             WriteFile("lib.cul.bak", Bytes{'o'});
             const bool theirs = ::chmod(".", 01777) == 0 && root && ::chown("lib.cul.bak", 65533, 65533) == 0;
             return theirs ? "lib.cul" : "!only root makes another user's file";
         }},
        {"a name of 252 bytes (its backup's of 256)", "File name too long",
         [] { return fs::rename("lib.cul", std::string(248, 'l') + ".cul"), std::string(248, 'l') + ".cul"; }},
        {"a link in a folder the saver cannot write", "Permission denied",
         [&] {
             fs::rename("lib.cul", "w/lib.cul");
             fs::create_symlink("w/lib.cul", "lib.cul");
             return root && ::chmod(".", 0555) == 0 ? "lib.cul" : "!only root saves as an ordinary user here";
         }},
        {"a nearly full disk", "saved, backed up", shrink},
        {"the same, the library held open by a program (its room stays taken)", "No space left on device",
         [&] { return (void)::open("lib.cul", O_RDONLY), shrink(); }},
    };
    std::string skipped;
    for (const auto& row : cases) {
        // (Plain names: clang 14 lets no lambda capture a structured binding.)
        const char* const what = std::get<0>(row);
        const char* const said = std::get<1>(row);
        const auto& make = std::get<2>(row);
        // In a child that may change user, on a file system of its own that goes with it, immutable files too
        // (SaveWithTrouble's child; its own trouble, a folder never made, goes unused).
        const auto got = test::SaveWithTrouble(test::FileTrouble::MissingFolder, "x", [&](const std::string& x) {
            const fs::path b = fs::path(x).parent_path().parent_path();
            if (!test::detail::PrivateMounts() || ::mount("tmpfs", b.c_str(), "tmpfs", 0, "size=64m,mode=0777") != 0)
                return std::string("!cannot mount a file system here");
            fs::current_path(b);
            fs::create_directory("w");
            ::chmod("w", 0777);
            WriteFile("lib.cul", library);
            const std::string name = make(), lib = b / name, bak = BackupName(lib);
            if (name[0] == '!') return name;
            // As an ordinary user owning the library (root writes where users cannot).
            if (root && (::chown(lib.c_str(), 65534, 65534) != 0 || !test::detail::DropPrivileges()))
                return std::string("!cannot change users here");
            const TLibrarySaveResult r = SaveLibrary({lib, false, {}, {{cur, Id(3), 0}}, {}});
            std::string out = !r ? "failed: " + LastErrorText() : "saved";
            if (r && !r.BackupError.ok()) out = FileErrorText(r.BackupError);
            if (GetCursorGroupCount(lib, Id(3), 0) != 1) out += ", the library not saved";
            std::error_code ec;  // (none for a name too long)
            return fs::is_regular_file(bak, ec) && ReadFile(bak) == library ? out + ", backed up" : out;
        }).text;
        if (got[0] == '!')
            skipped += std::string(what) + ": " + got.substr(1) + "\n";
        else
            EXPECT_EQ(got, said) << what;
    }
    if (!skipped.empty()) GTEST_SKIP() << skipped;
}
