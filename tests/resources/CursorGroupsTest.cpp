// Cursor groups in libraries: storing ".cur" files, naming, extraction back to
// ".cur" files, deletion, and the module reader over sound and hostile files.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>

#include "PeTestImage.h"
#include "model/IcoIO.h"
#include "resources/CursorGroups.h"

using namespace velto;
using namespace restest;

namespace {

ResName Id(std::uint32_t n) { return ResName::FromId(n); }

struct Library {
    TempDir dir;
    std::string path = dir.File("lib.dll");
    explicit Library(const Bytes& image = BuildPe({})) { WriteFile(path, image); }
    std::string Cursor(const std::string& name, const Bytes& bytes) const {
        WriteFile(dir.File(name), bytes);
        return dir.File(name);
    }
    PeModule Module() const {
        PeModule m;
        EXPECT_TRUE(m.Load(path));
        return m;
    }
};

Bytes Resource(const PeModule& m, std::uint16_t type, const ResName& name, std::uint32_t lang) {
    const auto d = m.FindResource(Id(type), name, lang);
    return d ? Bytes(d->begin(), d->end()) : Bytes{};
}

std::string Names(const PeModule& m, std::uint16_t type) {
    std::vector<std::string> list;
    for (const ResName& n : m.ResourceNames(Id(type))) EnumCursorNamesProc(n, list);
    std::string out;
    for (const auto& s : list) out += s + " ";
    return out;
}

}  // namespace

TEST(CursorGroups, NamesAreTyped) {
    const struct {
        const char* text;
        std::optional<ResName> expect;
    } rows[] = {
        {"#12", Id(12)},
        {"#0012", Id(12)},
        {"#65535", Id(65535)},
        {"ARROW", ResName::FromString(u"ARROW")},
        {"#12a", std::nullopt},
        {"#", std::nullopt},
        {"", std::nullopt},
        {"#0", std::nullopt},
        {"#65536", std::nullopt},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        EXPECT_EQ(ResNameToId(row.text), row.expect);
    }
    std::vector<std::string> list;
    EnumCursorNamesProc(Id(0x10005), list);
    EnumCursorNamesProc(ResName::FromString(u"#12a"), list);
    EnumResLangProc(1033, list);
    EXPECT_EQ(list, (std::vector<std::string>{"#5", "#12a", "#1033"}));
}

TEST(CursorGroups, StoredLayoutAndNaming) {
    Library lib;
    // The library already holds cursor images 1, 2 and 4.
    {
        TResourceUpdateHandle* h = BeginUpdateResourceFile(lib.path, false);
        ASSERT_NE(h, nullptr);
        for (const std::uint32_t id : {1, 2, 4}) UpdateResourceEntry(h, Id(RT_CURSOR), Id(id), 0, "abcd", 4);
        ASSERT_TRUE(EndUpdateResourceFile(h, false));
    }
    const Bytes dib16 = CursorImageBytes(16, 16, 3);
    const std::string cur = lib.Cursor("a.cur", CursorFile({{32, 32, 300, 5, {}, 1}, {16, 16, 2, 9, dib16}}));
    TResourceEditor editor(lib.path);
    int steps = 0;
    editor.ProgressBar = [&] { ++steps; };
    ASSERT_TRUE(editor.SaveGroups({{cur, Id(12), 1033}, {cur, ResName::FromString(u"ARROW"), 0}}));
    EXPECT_EQ(steps, 2);
    const PeModule m = lib.Module();
    EXPECT_EQ(Names(m, RT_CURSOR), "#1 #2 #3 #4 #5 #6 #7 ");
    EXPECT_EQ(Names(m, RT_GROUP_CURSOR), "ARROW #12 ");
    const Bytes group = Resource(m, RT_GROUP_CURSOR, Id(12), 1033);
    ASSERT_EQ(group.size(), 6u + 2 * 14);
    EXPECT_EQ(Bytes(group.begin(), group.begin() + 6), (Bytes{0, 0, 2, 0, 2, 0}));
    // Width and height words (image and mask rows), planes, bit count, bytes + 4, id.
    const Bytes first(group.begin() + 6, group.begin() + 20);
    const Bytes image32 = CursorImageBytes(32, 32, 1);
    Bytes expect{32, 0, 64, 0, 1, 0, 32, 0, 0, 0, 0, 0, 3, 0};
    Put32(expect, 8, static_cast<std::uint32_t>(image32.size() + 4));
    EXPECT_EQ(first, expect);
    EXPECT_EQ(Get32(group, 20 + 8), dib16.size() + 4);
    EXPECT_EQ(group[20 + 12], 5);
    // The first free ids went to the images: 3, then 5.
    const Bytes image = Resource(m, RT_CURSOR, Id(3), 1033);
    ASSERT_EQ(image.size(), image32.size() + 4);
    EXPECT_EQ(Bytes(image.begin(), image.begin() + 4), (Bytes{44, 0, 5, 0}));
    EXPECT_EQ(Bytes(image.begin() + 4, image.end()), image32);
    EXPECT_EQ(GetCursorGroupCount(lib.path, Id(12), 1033), 2);
    EXPECT_EQ(GetCursorGroupCount(lib.path, Id(12), 0), 0);
    EXPECT_EQ(GetCursorGroupCount(lib.dir.File("none"), Id(12), 1033), -1);
}

TEST(CursorGroups, ExtractionGivesTheCursorBack) {
    Library lib;
    // A PNG image: the extraction keeps its bytes and takes the hotspot from the
    // image resource, whichever layout the group entry has.
    Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 1, 2, 3, 4, 5};
    const std::string cur = lib.Cursor("a.cur", CursorFile({{32, 32, 7, 9, {}, 2}, {0, 0, 100, 120, png}}));
    TResourceEditor editor(lib.path);
    ASSERT_TRUE(editor.SaveGroups({{cur, Id(1), 0}}));
    const std::string out = lib.dir.File("out.cur");
    ASSERT_TRUE(ExtractCursorGroupToFile(lib.path, out, Id(1), 0));
    const Bytes got = ReadFile(out);
    Bytes dib = CursorImageBytes(32, 32, 2);
    Put32(dib, 20, 0);  // biSizeImage written as 0
    const Bytes expect = CursorFile({{32, 32, 7, 9, dib}, {0, 0, 100, 120, png}});
    EXPECT_EQ(got, expect);
    // A bitmap-only group reads back through the cursor reader.
    const std::string plain = lib.Cursor("plain.cur", CursorFile({{32, 32, 7, 9, {}, 2}}));
    ASSERT_TRUE(TResourceEditor(lib.path).SaveGroups({{plain, Id(5), 0}}));
    ASSERT_TRUE(ExtractCursorGroupToFile(lib.path, out, Id(5), 0));
    TmyIcon doc;
    ASSERT_TRUE(TmyIcoIO(false).LoadFromFile(doc, out));
    ASSERT_EQ(doc.Count(), 1);
    EXPECT_EQ(doc.Image(0).Width(), 32);
    EXPECT_EQ(doc.Image(0).HotSpotX(), 7);
    EXPECT_EQ(doc.Image(0).HotSpotY(), 9);

    // The standard layout of resource compilers: planes and bit count where
    // ours keeps the hotspot, and hotspot words in the image resource.
    {
        TResourceUpdateHandle* h = BeginUpdateResourceFile(lib.path, false);
        ASSERT_NE(h, nullptr);
        Bytes group(6 + 14, 0);
        Put16(group, 2, 2);
        Put16(group, 4, 1);
        Put16(group, 6, 0);  // width 0 (256) as a word
        Put16(group, 8, 0);
        Put16(group, 10, 1);  // planes
        Put16(group, 12, 32);  // bit count
        Put32(group, 14, static_cast<std::uint32_t>(png.size() + 4));
        Put16(group, 18, 40);
        Bytes res = {0x2C, 0x01, 0x05, 0x00};  // hotspot 300, 5
        res.insert(res.end(), png.begin(), png.end());
        UpdateResourceEntry(h, Id(RT_CURSOR), Id(40), 0, res.data(), static_cast<std::uint32_t>(res.size()));
        UpdateResourceEntry(h, Id(RT_GROUP_CURSOR), Id(2), 0, group.data(), static_cast<std::uint32_t>(group.size()));
        ASSERT_TRUE(EndUpdateResourceFile(h, false));
    }
    ASSERT_TRUE(ExtractCursorGroupToFile(lib.path, out, Id(2), 0));
    EXPECT_EQ(ReadFile(out), CursorFile({{0, 0, 300, 5, png}}));

    // The cursor file built is bounded like any file read whole (a hostile
    // group may name one large image 50 times).
    {
        PeModule m;
        ASSERT_TRUE(m.Load(lib.path));
        Bytes fifty;
        ASSERT_TRUE(BuildCursorFileFromGroup(m, Id(5), 0, fifty));
        m.Limits.fileSize = fifty.size() - 1;
        EXPECT_FALSE(BuildCursorFileFromGroup(m, Id(5), 0, fifty));
    }

    // Missing groups and images: nothing written.
    EXPECT_FALSE(ExtractCursorGroupToFile(lib.path, lib.dir.File("none.cur"), Id(3), 0));
    EXPECT_FALSE(ExtractCursorGroupToFile(lib.dir.File("none.dll"), lib.dir.File("none.cur"), Id(1), 0));
    EXPECT_FALSE(std::filesystem::exists(lib.dir.File("none.cur")));
}

TEST(CursorGroups, CursorFilesAreCheckedBeforeAnythingIsStored) {
    Library lib;
    const Bytes before = ReadFile(lib.path);
    Bytes truncated = CursorFile({{16, 16, 0, 0, {}, 1}});
    truncated.resize(truncated.size() - 1);
    Bytes offsetBeyond = CursorFile({{16, 16, 0, 0, {}, 1}});
    Put32(offsetBeyond, 6 + 12, 0xFFFFFFF0);
    std::vector<CurImage> many(51, CurImage{1, 1, 0, 0, {1, 2, 3}});
    // Each with the words of the check that refuses it.
    const struct {
        const char* name;
        Bytes file;
        const char* words;
    } rows[] = {
        {"image past the end", truncated, "an image of the cursor file lies outside the file"},
        {"offset past the end", offsetBeyond, "an image of the cursor file lies outside the file"},
        {"51 images", CursorFile(many), "the cursor file holds more than 50 images"},
        {"directory cut short", Bytes{0, 0, 2, 0, 3, 0, 1, 2}, "the cursor file ends within its list of images"},
        {"header cut short", Bytes{0, 0, 2}, "the cursor file is shorter than its header"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string cur = lib.Cursor("bad.cur", row.file);
        TResourceEditor editor(lib.path);
        ASSERT_TRUE(editor.Open());
        EXPECT_FALSE(editor.ReplaceCursorGroup(cur, Id(1), 0));
        EXPECT_EQ(GetLastError(), kErrorInvalidData);
        EXPECT_EQ(LastErrorText(), row.words);
        EXPECT_TRUE(ResourceNamesOf(editor.Handle, Id(RT_CURSOR)).empty());
        EXPECT_TRUE(editor.Discard());
        // A save holding such a file fails whole: the library is untouched.
        EXPECT_FALSE(TResourceEditor(lib.path).SaveGroups({{lib.Cursor("ok.cur", CursorFile({{8, 8, 0, 0, {}}})), Id(2), 0},
                                                           {cur, Id(1), 0}}));
        // The save's failure says which cursor file and why, past the discard.
        EXPECT_EQ(GetLastError(), kErrorInvalidData);
        EXPECT_EQ(LastErrorText(), std::string("bad.cur: ") + row.words);
        EXPECT_EQ(ReadFile(lib.path), before);
    }
    EXPECT_FALSE(TResourceEditor(lib.path).SaveGroups({{lib.dir.File("missing.cur"), Id(1), 0}}));
    // An icon file is not a cursor file: nothing stored, and that is no failure.
    Bytes ico = CursorFile({{16, 16, 0, 0, {}}});
    Put16(ico, 2, 1);
    TResourceEditor editor(lib.path);
    ASSERT_TRUE(editor.Open());
    EXPECT_TRUE(editor.ReplaceCursorGroup(lib.Cursor("a.ico", ico), Id(1), 0));
    EXPECT_TRUE(ResourceNamesOf(editor.Handle, Id(RT_GROUP_CURSOR)).empty());
    EXPECT_TRUE(editor.Commit());
    // 50 images are fine.
    many.resize(50);
    EXPECT_TRUE(TResourceEditor(lib.path).SaveGroups({{lib.Cursor("50.cur", CursorFile(many)), Id(1), 0}}));
    EXPECT_EQ(GetCursorGroupCount(lib.path, Id(1), 0), 50);
}

TEST(CursorGroups, ACursorFileThatCannotBeReadGivesTheCodeAndReasonOfItsReadFailure) {
    Library lib;
    const std::string fifo = lib.dir.File("pipe.cur"), big = lib.dir.File("big.cur"), folder = lib.dir.File("dir.cur");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::filesystem::create_directory(folder);
    WriteFile(big, CursorFile({{16, 16, 0, 0, {}}}));
    std::filesystem::resize_file(big, ReadLimits{}.fileSize + 1);  // sparse: nothing is written
    const struct {
        std::string file;
        std::uint32_t code;
        const char* reason;
    } rows[] = {
        {lib.dir.File("gone.cur"), kErrorFileNotFound, "gone.cur: No such file or directory"},
        {fifo, kErrorAccessDenied, "pipe.cur: not a regular file"},
        {folder, kErrorAccessDenied, "dir.cur: not a regular file"},
        {"/proc/self/status", kErrorAccessDenied, "status: not a regular file"},
        {big, kErrorFileTooLarge, "big.cur: file too large"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.file);
        TResourceEditor editor(lib.path);
        ASSERT_TRUE(editor.Open());
        EXPECT_FALSE(editor.ReplaceCursorGroup(row.file, Id(1), 0));
        EXPECT_EQ(GetLastError(), row.code);
        EXPECT_TRUE(editor.Discard());
        EXPECT_FALSE(TResourceEditor(lib.path).SaveGroups({{row.file, Id(1), 0}}));
        EXPECT_EQ(GetLastError(), row.code);
        EXPECT_EQ(LastErrorText(), row.reason);
    }
}

TEST(CursorGroups, DeletionKeepsImagesOthersUse) {
    Library lib;
    const std::string a = lib.Cursor("a.cur", CursorFile({{16, 16, 1, 1, {}}})), b = lib.Cursor("b.cur", CursorFile({{8, 8, 2, 2, {}}}));
    ASSERT_TRUE(TResourceEditor(lib.path).SaveGroups({{a, Id(1), 0}, {b, Id(1), 1033}, {b, Id(2), 0}}));
    // Group 2 shares group 1's image (as other programs' libraries do).
    {
        TResourceUpdateHandle* h = BeginUpdateResourceFile(lib.path, false);
        std::vector<std::uint8_t> g1;
        ASSERT_TRUE(ReadResourceEntry(h, Id(RT_GROUP_CURSOR), Id(1), 0, g1));
        UpdateResourceEntry(h, Id(RT_GROUP_CURSOR), Id(3), 0, g1.data(), static_cast<std::uint32_t>(g1.size()));
        ASSERT_TRUE(EndUpdateResourceFile(h, false));
    }
    ASSERT_EQ(Names(lib.Module(), RT_CURSOR), "#1 #2 #3 ");
    // A group that is not there fails the whole deletion.
    EXPECT_FALSE(TResourceEditor(lib.path).DeleteGroups({{Id(1), 0}, {Id(9), 0}}));
    ASSERT_EQ(Names(lib.Module(), RT_GROUP_CURSOR), "#1 #2 #3 ");
    TResourceEditor editor(lib.path);
    ASSERT_TRUE(editor.DeleteGroups({{Id(1), 0}, {Id(2), 0}}));
    const PeModule m = lib.Module();
    EXPECT_EQ(Names(m, RT_GROUP_CURSOR), "#1 #3 ");
    // Image 1 stays (group 3 lists it); image 2 (group 1's other language) stays; image 3 went with group 2.
    EXPECT_EQ(Names(m, RT_CURSOR), "#1 #2 ");
    EXPECT_EQ(m.ResourceLanguages(Id(RT_GROUP_CURSOR), Id(1)), std::vector<std::uint32_t>{1033});
}

TEST(CursorGroups, SavesChangeTheLibraryWholeOrNotAtAll) {
    Library lib;
    const std::string a = lib.Cursor("a.cur", CursorFile({{16, 16, 1, 1, {}}}));
    ASSERT_TRUE(TResourceEditor(lib.path).SaveGroups({{a, Id(1), 0}}));
    const Bytes before = ReadFile(lib.path);
    // A change: the old group is deleted and a new one stored; the store fails,
    // so the deletion is not kept either.
    EXPECT_FALSE(TResourceEditor(lib.path).SaveChanges({{Id(1), 0}}, {{lib.dir.File("missing.cur"), Id(1), 0}}));
    EXPECT_EQ(ReadFile(lib.path), before);
    EXPECT_TRUE(TResourceEditor(lib.path).SaveChanges({{Id(1), 0}}, {{a, Id(1), 0}}));
    EXPECT_EQ(Names(lib.Module(), RT_CURSOR), "#1 ");

    // A new library: the target is replaced only by a complete one.
    const std::string empty = lib.dir.File("empty.dll"), target = lib.dir.File("new.dll");
    WriteFile(empty, BuildPe({}));
    WriteFile(target, Bytes{'o', 'l', 'd'});
    EXPECT_FALSE(SaveNewLibrary(lib.dir.File("no-template.dll"), target, {{a, Id(1), 0}}));
    EXPECT_FALSE(SaveNewLibrary(empty, target, {{lib.dir.File("missing.cur"), Id(1), 0}}));
    EXPECT_EQ(ReadFile(target), (Bytes{'o', 'l', 'd'}));
    ASSERT_TRUE(SaveNewLibrary(empty, target, {{a, Id(7), 0}}));
    EXPECT_EQ(GetCursorGroupCount(target, Id(7), 0), 1);
    EXPECT_EQ(ReadFile(empty), BuildPe({}));
    std::vector<std::string> names = lib.dir.Names();
    EXPECT_EQ(names, (std::vector<std::string>{"a.cur", "empty.dll", "lib.dll", "new.dll"}));
}

TEST(PeModuleReader, ListsAndRefuses) {
    // A PE image without resources loads and lists nothing.
    PeSpec bare;
    Bytes noResources = BuildPe(bare);
    const TPeHeaders h = [&] {
        TPeHeaders x;
        std::uint32_t e = 0;
        ParsePeHeaders(noResources, x, {}, e);
        return x;
    }();
    Put32(noResources, h.DirOffset(kDirResource), 0);
    Put32(noResources, h.DirOffset(kDirResource) + 4, 0);
    PeModule m;
    ASSERT_TRUE(m.LoadFromMemory(noResources));
    EXPECT_TRUE(m.ResourceTypes().empty());
    EXPECT_FALSE(m.FindResource(Id(RT_GROUP_CURSOR), Id(1), 0));
    // ...but cannot take any: an update says why.
    EXPECT_EQ(BeginUpdateResourceMemory(noResources, false), nullptr);
    EXPECT_EQ(LastErrorText(), "the file has no resource section");
    // Bytes of no executable at all.
    EXPECT_FALSE(m.LoadFromMemory(Bytes(512, 'x')));
    EXPECT_EQ(m.Error(), kErrorBadExeFormat);
    EXPECT_EQ(LastErrorText(), "not a Windows executable or library");

    // Hostile trees, built from a sound one: root -> type -> name -> leaf.
    TempDir dir;
    const std::string lib = dir.File("lib.dll");
    WriteFile(lib, BuildPe({}));
    TResourceUpdateHandle* hd = BeginUpdateResourceFile(lib, false);
    UpdateResourceEntry(hd, Id(5), Id(1), 0, "data", 4);
    UpdateResourceEntry(hd, Id(5), ResName::FromString(u"N"), 0, "more", 4);
    ASSERT_TRUE(EndUpdateResourceFile(hd, false));
    const Bytes good = ReadFile(lib);
    const std::uint64_t rs = h.Sections[2].PointerToRawData;  // .text, .rdata, .rsrc
    ASSERT_TRUE(m.LoadFromMemory(good));
    ASSERT_EQ(m.ResourceNames(Id(5)), (std::vector<ResName>{ResName::FromString(u"N"), Id(1)}));
    EXPECT_EQ(m.FindResourceAnyLanguage(Id(5), Id(1), 1033)->size(), 4u);
    // Offsets: root 0 (entry at 16), type dir 24 (entries at 40, 48), name N at 56, its leaf 80...
    const struct {
        const char* name;
        std::uint64_t at;
        std::uint32_t value;
    } rows[] = {
        {"type entry pointing at the root: a loop", 16 + 4, 0x80000000},
        {"type entry as a leaf", 16 + 4, 24},
        {"name entry pointing back at the type directory", 40 + 4, 0x80000018},
        {"directory past the section", 16 + 4, 0x80007FF0},
        {"name offset past the section", 40, 0x80007FF0},
        {"leaf data address outside every section", 80 + 0, 0x7FFF0000},
        {"leaf data larger than its section", 80 + 4, 0x10000},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        Bytes f = good;
        Put32(f, rs + row.at, row.value);
        PeModule bad;
        EXPECT_FALSE(bad.LoadFromMemory(f));
        EXPECT_EQ(bad.Error(), kErrorInvalidData);
        EXPECT_EQ(LastErrorText(), "the resources of the file are damaged");
        TResourceUpdateHandle* u = BeginUpdateResourceMemory(f, false);
        EXPECT_EQ(u, nullptr);
        if (u) EndUpdateResourceFile(u, true);
    }

    // Shared subtrees cannot make the tree grow past the node limit: every
    // type entry leads to one name directory, every name entry to one
    // directory of 1000 languages sharing one leaf.
    Bytes tree(3 * (16 + 8 * 1000) + 16, 0);
    for (std::uint32_t level = 0; level < 3; ++level) {
        const std::size_t at = level * (16 + 8 * 1000);
        Put16(tree, at + 14, 1000);
        const std::uint32_t next = static_cast<std::uint32_t>(at + 16 + 8 * 1000);
        for (std::uint32_t i = 0; i < 1000; ++i) {
            Put32(tree, at + 16 + 8 * i, i + 1);
            Put32(tree, at + 16 + 8 * i + 4, level < 2 ? next | 0x80000000 : next);
        }
    }
    PeSpec spec;
    spec.resources = tree;
    PeModule limited;
    limited.Limits.resourceNodes = 5000;
    EXPECT_FALSE(limited.LoadFromMemory(BuildPe(spec)));
    EXPECT_EQ(limited.Error(), kErrorInvalidData);
}
