// The batch converter: every mode's outputs and log, names never reused, the
// user's order kept while files convert side by side, and Stop.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "../resources/PeTestImage.h"
#include "ImportTestUtil.h"
#include "import/BatchConvert.h"
#include "model/AniIO.h"
#include "model/Detect.h"
#include "model/IcoIO.h"
#include "png/PngImage.h"
#include "resources/CursorGroups.h"
#include "resources/EmptyLibrary.h"

namespace velto {
namespace {

using test::PatternPixel;
using test::ScratchDir;

void Paint(TmyImagePal& image, int seed) {
    for (int y = 0; y < image.Height(); ++y)
        for (int x = 0; x < image.Width(); ++x) {
            TmyPixel p = PatternPixel(x + seed, y, static_cast<std::uint8_t>(255 - (x * 3 % 200)));
            if (image.BitCount != 32) p.A = 255;
            image.At(x, y) = p;
        }
}

// A cursor of the given images (width, height, depth).
void WriteCursor(const std::string& file, std::vector<std::array<int, 3>> images, bool animated = false) {
    std::unique_ptr<TmyIcon> doc = animated ? std::make_unique<TmyANI>() : std::make_unique<TmyIcon>();
    doc->IsCursor = true;
    int seed = 0;
    for (const auto& [w, h, bits] : images) {
        TmyImagePal& image = doc->Image(doc->AddImage(ImageSize{w, h}, bits));
        if (image.Palette) image.BuildPalette();
        Paint(image, seed += 3);
    }
    FileError error;
    if (animated)
        ASSERT_TRUE(TmyANIIO(false).SaveToFile(*doc, file, false, &error)) << file;
    else
        ASSERT_TRUE(TmyIcoIO(false).SaveToFile(*doc, file, false, &error)) << file;
}

void WriteBytes(const std::string& file, const std::vector<std::uint8_t>& bytes) {
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::vector<std::string> Texts(const std::vector<TBatchLine>& lines) {
    std::vector<std::string> out;
    for (const TBatchLine& l : lines) out.push_back(l.Text);
    return out;
}

std::vector<std::string> Names(const std::string& dir) {
    std::vector<std::string> out;
    for (const auto& e : std::filesystem::directory_iterator(dir)) out.push_back(e.path().filename().string());
    std::sort(out.begin(), out.end());
    return out;
}

TBatchJob Job(TBatchMode mode, std::vector<std::string> files, const std::string& dir, const std::string& output) {
    TBatchJob job;
    job.Mode = mode;
    job.Files = std::move(files);
    job.OutputDir = dir;
    job.Output = output;
    job.Threads = 4;
    return job;
}

std::string Ok(const std::string& file) { return "      Success: " + file + " - File created successfully"; }

// ---------------------------------------------------------------- cursors to pictures

TEST(BatchCursorsToImages, EveryImageBecomesAPictureNamedBySizeAndDepthWithTheLogInOrder) {
    ScratchDir in, out;
    WriteCursor(in.File("a.cur"), {{32, 32, 32}, {16, 16, 8}});
    WriteCursor(in.File("b.ani"), {{32, 32, 8}, {32, 32, 8}}, true);
    TBatchRun run(Job(TBatchMode::CursorsToImages, {in.File("a.cur"), in.File("b.ani")}, out.File(""), "png"));
    const std::vector<std::string> log = Texts(run.RunAll());
    const std::string o = out.File("");
    EXPECT_EQ(log, (std::vector<std::string>{
                       "1/2- Processing: " + in.File("a.cur") + " ...", Ok(o + "a_32x32-32.png"),
                       Ok(o + "a_16x16-8.png"), "2/2- Processing: " + in.File("b.ani") + " ...",
                       Ok(o + "b_32x32-8_0.png"), Ok(o + "b_32x32-8_1.png"), "Operation completed!"}));

    // The 32-bit image keeps its pixels and alpha.
    TmyIcon doc;
    ASSERT_TRUE(TmyIcoIO(false).LoadFromFile(doc, in.File("a.cur")));
    TPNGObject png;
    ASSERT_TRUE(png.LoadFromFile(o + "a_32x32-32.png"));
    ASSERT_EQ(png.Width(), 32);
    const TmyImagePal& image = doc.Image(0);
    for (int y = 0; y < 32; y += 7)
        for (int x = 0; x < 32; x += 5) {
            const TmyPixel& p = image.At(x, y);
            EXPECT_EQ(png.Scanline(y)[3 * x], p.B);
            EXPECT_EQ(png.Scanline(y)[3 * x + 2], p.R);
            EXPECT_EQ(png.AlphaScanline(y)[x], p.A);
        }
}

TEST(BatchCursorsToImages, EachOutputFormatWritesItsOwnKindOfFile) {
    ScratchDir in, out;
    WriteCursor(in.File("c.cur"), {{24, 24, 32}});
    const std::pair<const char*, std::uint8_t> formats[] = {{"bmp", ftBmp}, {"jpg", ftJpeg}, {"png", ftPng}, {"gif", ftGif}};
    for (const auto& [ext, type] : formats) {
        TBatchRun run(Job(TBatchMode::CursorsToImages, {in.File("c.cur")}, out.File(""), ext));
        const std::vector<TBatchLine> log = run.RunAll();
        const std::string file = out.File(std::string("c_24x24-32.") + ext);
        EXPECT_EQ(log.at(1).Text, Ok(file));
        EXPECT_EQ(DetectFileType(file).type, type) << ext;
    }
}

TEST(BatchCursorsToImages, ExistingNamesAreNeverOverwrittenAndRepeatedNamesFollowTheUsersOrder) {
    ScratchDir in, out;
    std::filesystem::create_directories(in.File("x"));
    std::filesystem::create_directories(in.File("y"));
    WriteCursor(in.File("x/a.cur"), {{32, 32, 32}});
    WriteCursor(in.File("y/a.cur"), {{32, 32, 32}});
    WriteBytes(out.File("a_32x32-32.png"), {'k', 'e', 'e', 'p'});
    std::vector<std::string> files;
    for (int i = 0; i < 12; ++i) files.push_back(in.File(i % 2 ? "y/a.cur" : "x/a.cur"));
    TBatchRun run(Job(TBatchMode::CursorsToImages, files, out.File(""), "png"));
    const std::vector<TBatchLine> log = run.RunAll();
    EXPECT_EQ(restest::ReadFile(out.File("a_32x32-32.png")), (std::vector<std::uint8_t>{'k', 'e', 'e', 'p'}));
    for (int i = 0; i < 12; ++i) {
        EXPECT_EQ(log.at(2 * i).Text, std::to_string(i + 1) + "/12- Processing: " + files[i] + " ...");
        EXPECT_EQ(log.at(2 * i + 1).Text, Ok(out.File("a_32x32-32 (" + std::to_string(i + 2) + ").png")));
    }
}

TEST(BatchCursorsToImages, FilesFinishedOutOfOrderStillTakeNamesAndLogInTheUsersOrder) {
    // Large and small files with the same names: the small ones are done
    // first, yet every name and log line is the one a run file by file gives.
    ScratchDir in, out;
    std::filesystem::create_directories(in.File("big"));
    std::filesystem::create_directories(in.File("small"));
    WriteCursor(in.File("big/c.cur"), {{256, 256, 32}, {128, 128, 32}, {64, 64, 32}});
    WriteCursor(in.File("small/c.cur"), {{64, 64, 32}});
    WriteBytes(out.File("c_64x64-32 (3).png"), {'k'});
    std::vector<std::string> files;
    for (int i = 0; i < 60; ++i) files.push_back(in.File(i % 5 == 0 ? "big/c.cur" : "small/c.cur"));
    TBatchJob job = Job(TBatchMode::CursorsToImages, files, out.File(""), "png");
    job.Threads = 6;
    TBatchRun run(job);
    const std::vector<TBatchLine> log = run.RunAll();
    // The names of c_64x64-32 in the order a single worker gives them.
    std::vector<std::string> expected;
    int n64 = 0;
    const auto name64 = [&] {
        for (;;) {
            ++n64;
            if (n64 == 3) continue;  // there before the run
            return out.File(n64 == 1 ? "c_64x64-32.png" : "c_64x64-32 (" + std::to_string(n64) + ").png");
        }
    };
    int n256 = 0, n128 = 0;
    const auto numbered = [&](const std::string& stem, int& n) {
        ++n;
        return out.File(n == 1 ? stem + ".png" : stem + " (" + std::to_string(n) + ").png");
    };
    for (int i = 0; i < 60; ++i) {
        expected.push_back(std::to_string(i + 1) + "/60- Processing: " + files[i] + " ...");
        if (i % 5 == 0) {
            expected.push_back(Ok(numbered("c_256x256-32", n256)));
            expected.push_back(Ok(numbered("c_128x128-32", n128)));
        }
        expected.push_back(Ok(name64()));
    }
    expected.push_back("Operation completed!");
    EXPECT_EQ(Texts(log), expected);
    EXPECT_EQ(restest::ReadFile(out.File("c_64x64-32 (3).png")), (std::vector<std::uint8_t>{'k'}));
    EXPECT_EQ(Names(out.File("")).size(), 60u + 12u * 2u + 1u);
}

TEST(BatchCursorsToImages, AFileThatFailsIsLoggedAndTheRunGoesOn) {
    ScratchDir in, out;
    WriteCursor(in.File("good.cur"), {{16, 16, 32}});
    WriteBytes(in.File("bad.cur"), {0, 0, 2, 0, 1, 0, 9});
    TBatchRun run(Job(TBatchMode::CursorsToImages, {in.File("bad.cur"), in.File("missing.cur"), in.File("good.cur")},
                      out.File(""), "bmp"));
    const std::vector<TBatchLine> log = run.RunAll();
    ASSERT_EQ(log.size(), 7u);
    EXPECT_EQ(log[1].Kind, TBatchLineKind::Error);
    EXPECT_EQ(log[1].Text, "      Error: " + in.File("bad.cur") + " - Cannot open file");
    EXPECT_EQ(log[3].Text, "      Error: " + in.File("missing.cur") + " - Cannot open file - No such file or directory");
    EXPECT_EQ(log[5].Text, Ok(out.File("good_16x16-32.bmp")));
    EXPECT_EQ(log[6].Kind, TBatchLineKind::Notice);
    EXPECT_EQ(log[6].Text, "Operation completed!");
}

TEST(BatchCursorsToImages, AnOutputThatCannotBeWrittenIsASaveError) {
    ScratchDir in;
    WriteCursor(in.File("a.cur"), {{16, 16, 32}});
    TBatchRun run(Job(TBatchMode::CursorsToImages, {in.File("a.cur")}, in.File("no/such/folder"), "png"));
    const std::vector<TBatchLine> log = run.RunAll();
    EXPECT_EQ(log.at(1).Kind, TBatchLineKind::Error);
    EXPECT_EQ(log.at(1).Text, "      Error: " + in.File("no/such/folder/a_16x16-32.png") + " - Cannot save file");
}

// ---------------------------------------------------------------- pictures to cursors

TEST(BatchImagesToCursors, PicturesOfEveryKindBecome32PixelCursorsAtTheChosenDepthAndHotspot) {
    ScratchDir in, out;
    test::TestService writer;
    TmyImagePal picture(ImageSize{40, 30}, 32);
    Paint(picture, 1);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x) picture.At(x, y).A = 255;
    ASSERT_TRUE(writer.service.SavePng(in.File("p.png"), picture));
    ASSERT_TRUE(writer.service.SaveBmp(in.File("b.bmp"), picture));
    ASSERT_TRUE(writer.service.SaveJpeg(in.File("j.jpg"), picture));
    ASSERT_TRUE(writer.service.SaveGif(in.File("g.gif"), picture));
    const std::vector<std::string> files = {in.File("p.png"), in.File("b.bmp"), in.File("j.jpg"), in.File("g.gif")};
    for (int bits : {32, 24, 8, 4, 1}) {
        ScratchDir dir;
        TBatchJob job = Job(TBatchMode::ImagesToCursors, files, dir.File(""), "cur");
        job.BitCount = bits;
        job.HotX = 5;
        job.HotY = 9;
        TBatchRun run(job);
        const std::vector<TBatchLine> log = run.RunAll();
        ASSERT_EQ(log.size(), 9u);
        for (const char* name : {"p", "b", "j", "g"}) {
            const std::string cur = dir.File(std::string(name) + ".cur");
            TmyIcon doc;
            ASSERT_TRUE(TmyIcoIO(false).LoadFromFile(doc, cur)) << cur << " " << bits;
            ASSERT_EQ(doc.Count(), 1);
            EXPECT_TRUE(doc.IsCursor);
            EXPECT_EQ(doc.Image(0).Width(), 32);
            EXPECT_EQ(doc.Image(0).Height(), 32);
            EXPECT_EQ(doc.Image(0).BitCount, bits);
            EXPECT_EQ(doc.Image(0).HotSpotX(), 5);
            EXPECT_EQ(doc.Image(0).HotSpotY(), 9);
        }
        EXPECT_EQ(log[1].Text, Ok(dir.File("p.cur")));
    }
}

TEST(BatchImagesToCursors, AnimatedOutputTakesEveryFrameOfAGifAndOneFrameOfOtherPictures) {
    ScratchDir in, out;
    test::TestService writer;
    TmyANI anim;
    for (int i = 0; i < 3; ++i) Paint(anim.Image(anim.AddImage(ImageSize{20, 20}, 32)), i * 10);
    ASSERT_TRUE(writer.service.SaveAnimationAsGif(in.File("anim.gif"), anim));
    TmyImagePal picture(ImageSize{20, 20}, 32);
    Paint(picture, 4);
    ASSERT_TRUE(writer.service.SavePng(in.File("still.png"), picture));
    TBatchRun run(Job(TBatchMode::ImagesToCursors, {in.File("anim.gif"), in.File("still.png")}, out.File(""), "ani"));
    const std::vector<TBatchLine> log = run.RunAll();
    EXPECT_EQ(log.at(1).Text, Ok(out.File("anim.ani")));
    TmyANI a, b;
    ASSERT_TRUE(TmyANIIO(false).LoadFromFile(a, out.File("anim.ani")));
    ASSERT_TRUE(TmyANIIO(false).LoadFromFile(b, out.File("still.ani")));
    EXPECT_EQ(a.Count(), 3);
    EXPECT_EQ(b.Count(), 1);
}

TEST(BatchImagesToCursors, AnUnreadablePictureLogsTheLoadersText) {
    ScratchDir in, out;
    WriteBytes(in.File("broken.png"), {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n', 0, 0, 0});
    WriteBytes(in.File("text.txt"), {'h', 'e', 'l', 'l', 'o'});
    TBatchRun run(Job(TBatchMode::ImagesToCursors, {in.File("broken.png"), in.File("text.txt")}, out.File(""), "cur"));
    const std::vector<TBatchLine> log = run.RunAll();
    EXPECT_EQ(log.at(1).Text, "      Error: " + in.File("broken.png") + " - Invalid png file!");
    EXPECT_EQ(log.at(3).Text, "      Error: " + in.File("text.txt") + " - Unknown file type!");
    EXPECT_TRUE(Names(out.File("")).empty());
}

// ---------------------------------------------------------------- cursors from executables

TEST(BatchResourceCursors, EveryGroupInEveryLanguageBecomesANumberedCursorFile) {
    ScratchDir in, out;
    WriteBytes(in.File("a.cur"), restest::CursorFile({{32, 32, 3, 4, {}, 1}}));
    WriteBytes(in.File("b.cur"), restest::CursorFile({{32, 32, 1, 2, {}, 2}, {16, 16, 0, 0, {}, 7}}));
    const std::string lib = in.File("lib.dll");
    ASSERT_TRUE(SaveNewLibrary(MakeEmptyLibrary(), lib,
                               {{in.File("a.cur"), ResName::FromId(1), 0},
                                {in.File("b.cur"), ResName::FromId(2), 0},
                                {in.File("b.cur"), ResName::FromId(2), 1033},
                                {in.File("a.cur"), ResName::FromString(u"ARROW"), 0}}));
    const std::string empty = in.File("empty.dll");
    WriteBytes(empty, MakeEmptyLibrary(true));
    WriteCursor(in.File("own.cur"), {{32, 32, 32}});
    WriteBytes(in.File("notes.txt"), {'n', 'o'});

    TBatchRun run(Job(TBatchMode::ResourceCursors, {lib, empty, in.File("own.cur"), in.File("notes.txt")},
                      out.File(""), ""));
    const std::vector<std::string> log = Texts(run.RunAll());
    const std::string o = out.File("");
    EXPECT_EQ(log, (std::vector<std::string>{
                       "1/4- Processing: " + lib + " ...", Ok(o + "lib-1.cur"), Ok(o + "lib-2.cur"),
                       Ok(o + "lib-3.cur"), Ok(o + "lib-4.cur"), "2/4- Processing: " + empty + " ...",
                       "      Success: " + empty + " - The file does not contain icons",
                       "3/4- Processing: " + in.File("own.cur") + " ...", Ok(o + "own-0.cur"),
                       "4/4- Processing: " + in.File("notes.txt") + " ...",
                       "      Warning: " + in.File("notes.txt") +
                           " - This is not a 32bit file. Only the 32x32 image will be extracted and the "
                           "transparency will be lost!",
                       "Operation completed!"}));

    // Named groups come first, then ids, languages ascending.
    PeModule module;
    ASSERT_TRUE(module.Load(lib));
    const std::pair<ResName, std::uint16_t> order[] = {{ResName::FromString(u"ARROW"), 0},
                                                       {ResName::FromId(1), 0},
                                                       {ResName::FromId(2), 0},
                                                       {ResName::FromId(2), 1033}};
    for (int k = 0; k < 4; ++k) {
        std::vector<std::uint8_t> expected;
        ASSERT_TRUE(BuildCursorFileFromGroup(module, order[k].first, order[k].second, expected));
        EXPECT_EQ(restest::ReadFile(o + "lib-" + std::to_string(k + 1) + ".cur"), expected) << k;
    }
}

// ---------------------------------------------------------------- stopping and names

TEST(BatchRunStop, StopBeforeTheStartBeginsNoFileAndSaysCancelled) {
    ScratchDir in, out;
    WriteCursor(in.File("a.cur"), {{16, 16, 32}});
    TBatchRun run(Job(TBatchMode::CursorsToImages, {in.File("a.cur")}, out.File(""), "png"));
    run.Stop();
    const std::vector<TBatchLine> log = run.RunAll();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].Text, "Operation canceled by user!");
    EXPECT_TRUE(Names(out.File("")).empty());
}

TEST(BatchRunStop, StopDuringARunFinishesTheFilesUnderWayAndLogsAnUnbrokenPrefix) {
    ScratchDir in, out;
    WriteCursor(in.File("a.cur"), {{64, 64, 32}, {48, 48, 32}, {32, 32, 32}});
    const std::vector<std::string> files(300, in.File("a.cur"));
    TBatchJob job = Job(TBatchMode::CursorsToImages, files, out.File(""), "png");
    job.Threads = 3;
    TBatchRun run(job);
    run.Start();
    std::vector<TBatchLine> log;
    while (run.TakeLines(log) == 0 && !run.Finished()) std::this_thread::yield();
    run.Stop();
    run.Wait();
    run.TakeLines(log);
    ASSERT_TRUE(run.Finished());
    int processed = 0;
    for (const TBatchLine& l : log) {
        if (l.Kind == TBatchLineKind::Processing) {
            EXPECT_EQ(l.Text.substr(0, l.Text.find('/')), std::to_string(++processed));
        }
    }
    ASSERT_LT(processed, 300);
    EXPECT_EQ(log.size(), static_cast<std::size_t>(processed) * 4);
    EXPECT_EQ(run.FinalNotice().Text, "Operation canceled by user!");
    // Only complete outputs: three per file begun, no temporary files.
    EXPECT_EQ(Names(out.File("")).size(), static_cast<std::size_t>(processed) * 3);
}

TEST(BatchNames, UniqueNamesCountFromTwoBeforeTheExtension) {
    ScratchDir dir;
    const std::string a = dir.File("a.png");
    EXPECT_EQ(UniqueFileName(a), a);
    WriteBytes(a, {1});
    EXPECT_EQ(UniqueFileName(a), dir.File("a (2).png"));
    EXPECT_EQ(UniqueFileName(a, {dir.File("a (2).png")}), dir.File("a (3).png"));
    std::filesystem::create_directories(dir.File("v.1"));
    WriteBytes(dir.File("v.1/noext"), {1});
    EXPECT_EQ(UniqueFileName(dir.File("v.1/noext")), dir.File("v.1/noext (2)"));
    // Whatever a name names keeps it taken: a folder, a link to nothing.
    std::filesystem::create_directories(dir.File("b.png"));
    std::filesystem::create_symlink(dir.File("none"), dir.File("b (2).png"));
    EXPECT_EQ(UniqueFileName(dir.File("b.png")), dir.File("b (3).png"));
    EXPECT_EQ(BatchBaseName("/x/y.z/file.name.cur"), "file.name");
    EXPECT_EQ(BatchBaseName("/x/.hidden"), ".hidden");
}

}  // namespace
}  // namespace velto
