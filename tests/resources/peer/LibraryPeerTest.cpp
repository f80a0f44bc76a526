// Cursor libraries saved by Velto, read by independent tools (objdump,
// wrestool, pefile) and loaded by Wine's loader: the empty library a new one
// starts from, new libraries and libraries of both word sizes edited.
#include <gtest/gtest.h>

#include "../LibraryPeers.h"
#include "resources/EmptyLibrary.h"
#include "resources/LibrarySave.h"

using namespace velto;
using namespace restest;

namespace {

ResName Id(std::uint32_t n) { return ResName::FromId(n); }

// A w x w 32-bit cursor image of one colour (B, G, R), opaque, empty mask.
Bytes Solid(int w, std::uint32_t bgr) {
    Bytes d = CursorImageBytes(w, w, 0);
    for (std::size_t p = 40; p < 40 + static_cast<std::size_t>(w * w * 4); p += 4) Put32(d, p, bgr | 0xFF000000u);
    return d;
}

class LibraryPeers : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string missing = MissingLibraryPeers();
        if (!missing.empty()) GTEST_SKIP() << "missing peer tools:" << missing;
    }
    TempDir dir_;
};

}  // namespace

TEST_F(LibraryPeers, TheEmptyLibraryReadsInEveryTool) {
    for (const bool plus : {false, true}) {
        SCOPED_TRACE(plus ? "64-bit" : "32-bit");
        const std::string path = dir_.File(plus ? "empty64.dll" : "empty32.dll");
        WriteFile(path, MakeEmptyLibrary(plus));
        EXPECT_EQ(LibraryPeerProblems(path, {}), "");
        const ToolRun od = RunTool("objdump -x " + Quoted(path));
        EXPECT_NE(od.out.find(plus ? "pei-x86-64" : "pei-i386"), std::string::npos) << od.out;
        EXPECT_NE(od.out.find("Resource Directory [.rsrc]"), std::string::npos) << od.out;
        const ToolRun list = RunTool("wrestool -l " + Quoted(path));
        EXPECT_EQ(list.status, 0);
        EXPECT_EQ(list.out, "");
    }
}

TEST_F(LibraryPeers, NewAndEditedLibrariesReadInEveryTool) {
    const std::vector<CurImage> a = {{32, 32, 3, 4, {}, 1}, {48, 48, 5, 6, {}, 2}};
    const std::vector<CurImage> b = {{16, 16, 1, 2, {}, 3}};
    WriteFile(dir_.File("a.cur"), CursorFile(a));
    WriteFile(dir_.File("b.cur"), CursorFile(b));
    const std::string ac = dir_.File("a.cur"), bc = dir_.File("b.cur");
    const std::string fresh = dir_.File("new.cul");
    ASSERT_TRUE(SaveLibrary({fresh, true, {}, {{ac, Id(1), 0}, {bc, ResName::FromString(u"arrow"), 1033}, {bc, Id(2), 0}}, {}}));
    EXPECT_EQ(LibraryPeerProblems(fresh, {{"ARROW", 1033, b}, {"1", 0, a}, {"2", 0, b}}), "");
    // Group 1 changed (deleted and stored again), group 2 deleted.
    ASSERT_TRUE(SaveLibrary({fresh, false, {{Id(1), 0}, {Id(2), 0}}, {{bc, Id(1), 0}}, {}}));
    EXPECT_EQ(LibraryPeerProblems(fresh, {{"ARROW", 1033, b}, {"1", 0, b}}), "");

    // Libraries made like the engine's test images (code before the
    // resources; their relocations are a pattern pefile would rightly warn
    // about, so none here), 32- and 64-bit.
    for (const bool plus : {false, true}) {
        SCOPED_TRACE(plus ? "64-bit" : "32-bit");
        PeSpec spec;
        spec.pe32plus = plus;
        const std::string path = dir_.File(plus ? "lib64.dll" : "lib32.dll");
        WriteFile(path, BuildPe(spec));
        ASSERT_TRUE(SaveLibrary({path, false, {}, {{ac, Id(7), 0}, {bc, Id(8), 1031}}, {}}));
        EXPECT_EQ(LibraryPeerProblems(path, {{"7", 0, a}, {"8", 1031, b}}), "");
        ASSERT_TRUE(SaveLibrary({path, false, {{Id(7), 0}}, {{bc, Id(9), 0}}, {}}));
        EXPECT_EQ(LibraryPeerProblems(path, {{"8", 1031, b}, {"9", 0, b}}), "");
        EXPECT_EQ(ReadFile(BackupName(path)).size() > 0, true);
    }
}

// Wine's loader, under its null display driver, picks each size of a
// multi-size cursor group as that size's own image: width, hotspot and
// colour are those of the image stored for the size asked for.
TEST_F(LibraryPeers, WineLoadsEachSizeAsItsOwnImage) {
    if (!HaveTool("wine") || !HaveTool("x86_64-w64-mingw32-gcc"))
        GTEST_SKIP() << "Wine or the MinGW compiler is not installed (packages wine64, gcc-mingw-w64-x86-64)";
    static const char kProbe[] = R"(#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
int wmain(int argc, wchar_t** argv) {
    HMODULE m = LoadLibraryExW(argv[1], NULL, LOAD_LIBRARY_AS_DATAFILE);
    if (!m) { printf("load failed %lu\n", GetLastError()); return 3; }
    for (int i = 3; i < argc; ++i) {
        int s = _wtoi(argv[i]);
        HCURSOR c = (HCURSOR)LoadImageW(m, MAKEINTRESOURCEW(_wtoi(argv[2])), IMAGE_CURSOR, s, s, 0);
        if (!c) { printf("%d none\n", s); continue; }
        ICONINFO ii; BITMAP bm = {0}; BITMAPINFO bi = {0};
        GetIconInfo(c, &ii);
        GetObjectW(ii.hbmColor, sizeof bm, &bm);
        bi.bmiHeader.biSize = sizeof bi.bmiHeader; bi.bmiHeader.biWidth = bm.bmWidth;
        bi.bmiHeader.biHeight = -bm.bmHeight; bi.bmiHeader.biPlanes = 1; bi.bmiHeader.biBitCount = 32;
        DWORD* px = malloc(4 * bm.bmWidth * bm.bmHeight);
        HDC dc = GetDC(NULL);
        GetDIBits(dc, ii.hbmColor, 0, bm.bmHeight, px, &bi, DIB_RGB_COLORS);
        ReleaseDC(NULL, dc);
        printf("%d: %ldx%ld at %lu,%lu colour %06lx\n", s, bm.bmWidth, bm.bmHeight, ii.xHotspot, ii.yHotspot,
               px[(bm.bmHeight / 2) * bm.bmWidth + bm.bmWidth / 2] & 0xffffff);
    }
    return 0;
}
)";
    WriteFile(dir_.File("probe.c"), Bytes(std::begin(kProbe), std::end(kProbe) - 1));
    const ToolRun cc = RunTool("cd " + Quoted(dir_.Path()) + " && x86_64-w64-mingw32-gcc -municode -O1 -o probe.exe probe.c -luser32 -lgdi32");
    ASSERT_EQ(cc.status, 0) << cc.out;
    const std::vector<CurImage> sizes = {{32, 32, 3, 4, Solid(32, 0x0000FF)},
                                         {48, 48, 10, 11, Solid(48, 0x00FF00)},
                                         {64, 64, 20, 21, Solid(64, 0xFF0000)}};
    WriteFile(dir_.File("three.cur"), CursorFile(sizes));
    const std::string lib = dir_.File("three.cul");
    ASSERT_TRUE(SaveLibrary({lib, true, {}, {{dir_.File("three.cur"), Id(5), 0}}, {}}));
    const ToolRun run = RunTool("cd " + Quoted(dir_.Path()) + " && mkdir -p prefix && env -u DISPLAY -u WAYLAND_DISPLAY WINEPREFIX=" +
                                    Quoted(dir_.File("prefix")) + " WINEDEBUG=-all wine probe.exe three.cul 5 32 48 64",
                                true);
    std::string out = run.out;  // the console ends lines with CR LF
    std::erase(out, '\r');
    EXPECT_NE(out.find("32: 32x32 at 3,4 colour 0000ff\n"
                           "48: 48x48 at 10,11 colour 00ff00\n"
                           "64: 64x64 at 20,21 colour ff0000\n"),
              std::string::npos)
        << out;
}
