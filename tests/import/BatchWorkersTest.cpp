// The batch converter's workers and what they hand back: no reader asks for a
// window from a worker, cursors taken out of cursor documents are real cursor
// (or animated-cursor) files, the output folder is judged before a run, a run
// with failures says how many, and the log keeps the user's order while it
// grows, not only once the run is over.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>

#include "../icns/IcnsTestUtil.h"
#include "../resources/PeTestImage.h"
#include "ImportTestUtil.h"
#include "core/MessageBox.h"
#include "import/BatchConvert.h"
#include "model/AniIO.h"
#include "model/IcoIO.h"

// Helpers of their own namespace: the quick build compiles this file with the
// other batch tests, whose helpers have the same names.
namespace velto::batchworkers {
namespace {

using test::PatternPixel;
using test::ScratchDir;
using Bytes = std::vector<std::uint8_t>;

void WriteBytes(const std::string& file, const Bytes& bytes) {
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// A cursor document of 32-bit images of the given sides, hotspots (side / 4, side / 3).
std::unique_ptr<TmyIcon> Cursor(std::vector<int> sides, bool animated = false) {
    std::unique_ptr<TmyIcon> doc = animated ? std::make_unique<TmyANI>() : std::make_unique<TmyIcon>();
    doc->IsCursor = true;
    for (int side : sides) {
        TmyImagePal& image = doc->Image(doc->AddImage(ImageSize{side, side}, 32));
        for (int y = 0; y < side; ++y)
            for (int x = 0; x < side; ++x) image.At(x, y) = PatternPixel(x + side, y, static_cast<std::uint8_t>(40 + x));
        image.SetHotSpotX(side / 4);
        image.SetHotSpotY(side / 3);
    }
    return doc;
}

void WriteCursor(const std::string& file, const TmyIcon& doc) {
    ASSERT_TRUE(TmyIcoIO(false).SaveToFile(doc, file, false)) << file;
}

TBatchJob Job(TBatchMode mode, std::vector<std::string> files, const std::string& dir, const std::string& output,
              int threads = 4) {
    TBatchJob job;
    job.Mode = mode;
    job.Files = std::move(files);
    job.OutputDir = dir;
    job.Output = output;
    job.Threads = threads;
    return job;
}

std::string Ok(const std::string& file) { return "      Success: " + file + " - File created successfully"; }

// Every message box asked while it lives, with the thread that asked.
class AskedBoxes {
public:
    AskedBoxes() {
        old_ = SetMessageSink([this](const MessageRequest& r) {
            std::lock_guard lock(mutex_);
            asked.push_back({r.text, std::this_thread::get_id()});
            return int{idOK};
        });
    }
    ~AskedBoxes() { SetMessageSink(std::move(old_)); }
    AskedBoxes(const AskedBoxes&) = delete;
    AskedBoxes& operator=(const AskedBoxes&) = delete;

    std::vector<std::pair<std::string, std::thread::id>> Asked() {
        std::lock_guard lock(mutex_);
        return asked;
    }

private:
    std::mutex mutex_;
    std::vector<std::pair<std::string, std::thread::id>> asked;
    MessageSink old_;
};

// An Apple icon with one 16x16 image beside an element no reader knows:
// reading it with messages on warns about the unknown one.
Bytes IcnsWithUnknownElement() {
    Bytes ics8(256);
    for (std::size_t i = 0; i < ics8.size(); ++i) ics8[i] = static_cast<std::uint8_t>(i * 7);
    return icnstest::IcnsFile({{"ic07", Bytes(4, 0)}, {"ics8", ics8}});
}

// ---------------------------------------------------------------- no window from a worker

TEST(BatchWorkers, NoReaderAsksForAWindowAndEveryKindStillConverts) {
    ScratchDir in, out;
    WriteBytes(in.File("odd.icns"), IcnsWithUnknownElement());
    WriteCursor(in.File("c.cur"), *Cursor({32, 16}));
    ASSERT_TRUE(TmyANIIO(false).SaveToFile(*Cursor({24, 24}, true), in.File("a.ani"), false));
    test::TestService writer;
    TmyImagePal picture(ImageSize{20, 10}, 32);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 20; ++x) picture.At(x, y) = PatternPixel(x, y);
    ASSERT_TRUE(writer.service.SavePng(in.File("p.png"), picture));
    ASSERT_TRUE(writer.service.SaveGif(in.File("g.gif"), picture));
    ASSERT_TRUE(writer.service.SaveJpeg2000(in.File("j.jp2"), picture));
    ASSERT_TRUE(writer.service.SaveJpeg(in.File("j.jpg"), picture));
    ASSERT_TRUE(writer.service.SaveBmp(in.File("b.bmp"), picture));
    const char* const kinds[] = {"odd.icns", "c.cur", "a.ani", "p.png", "g.gif", "j.jp2", "j.jpg", "b.bmp"};
    std::vector<std::string> files;
    for (int i = 0; i < 8; ++i)
        for (const char* f : kinds) files.push_back(in.File(f));

    AskedBoxes boxes;
    for (const char* output : {"cur", "ani"}) {
        SCOPED_TRACE(output);
        ScratchDir dir;
        TBatchRun run(Job(TBatchMode::ImagesToCursors, files, dir.File(""), output, 8));
        const std::vector<TBatchLine> log = run.RunAll();
        EXPECT_EQ(log.back().Text, "Operation completed!");
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.File("")), {}), 8 * 8);
    }
    // Extracting reads the icons with their own readers: silent too.
    TBatchRun extract(Job(TBatchMode::ResourceCursors, files, out.File(""), "", 8));
    EXPECT_EQ(extract.RunAll().back().Text, "Operation completed!");
    // And every picture writer on many threads at once.
    const std::vector<std::string> cursors(24, in.File("c.cur"));
    for (const char* output : {"bmp", "jpg", "png", "gif"}) {
        ScratchDir dir;
        TBatchRun run(Job(TBatchMode::CursorsToImages, cursors, dir.File(""), output, 8));
        EXPECT_EQ(run.RunAll().back().Text, "Operation completed!") << output;
    }
    EXPECT_TRUE(boxes.Asked().empty()) << boxes.Asked().front().first;

    // The user's own import on the GUI thread still hears of the unknown element.
    tmyimport own;
    TmyImagePal target(ImageSize{32, 32}, 32);
    EXPECT_TRUE(own.LoadImageFile(target, in.File("odd.icns"), false, true).Ok);
    ASSERT_EQ(boxes.Asked().size(), 1u);
    EXPECT_EQ(boxes.Asked()[0].first.rfind("The following unknown images were found inside the icon: ", 0), 0u);
    EXPECT_EQ(boxes.Asked()[0].second, std::this_thread::get_id());
}

// ---------------------------------------------------------------- cursor documents taken out again

// The directory of a cursor file: its type and, per entry, width and hotspot.
struct Directory {
    int type = -1;
    std::vector<std::array<int, 3>> entries;  // width, hot x, hot y
};

Directory DirectoryOf(const Bytes& b) {
    Directory d;
    if (b.size() < 6 || b[0] != 0 || b[1] != 0) return d;
    d.type = b[2] | b[3] << 8;
    const int count = b[4] | b[5] << 8;
    for (int i = 0; i < count && 6u + 16u * (i + 1u) <= b.size(); ++i) {
        const std::uint8_t* e = b.data() + 6 + 16 * i;
        d.entries.push_back({e[0] == 0 ? 256 : e[0], e[4] | e[5] << 8, e[6] | e[7] << 8});
    }
    return d;
}

TEST(BatchResourceCursors, IconsCursorsAndAppleIconsBecomeRealCursorFilesAndAnimationsAni) {
    ScratchDir in, out;
    const auto cursor = Cursor({32, 16});
    WriteCursor(in.File("c.cur"), *cursor);
    // An icon: the same directory with type 1 (its hotspot fields are planes
    // and depth there, which the writer of the cursor sets anew).
    Bytes icon = restest::ReadFile(in.File("c.cur"));
    icon[2] = 1;
    for (std::size_t e = 0; e < 2; ++e) {
        icon[6 + 16 * e + 4] = 1, icon[6 + 16 * e + 5] = 0;
        icon[6 + 16 * e + 6] = 32, icon[6 + 16 * e + 7] = 0;
    }
    WriteBytes(in.File("i.ico"), icon);
    const auto animation = Cursor({24, 24, 24}, true);
    ASSERT_TRUE(TmyANIIO(false).SaveToFile(*animation, in.File("a.ani"), false));
    WriteBytes(in.File("m.icns"), IcnsWithUnknownElement());

    const std::vector<std::string> files = {in.File("c.cur"), in.File("i.ico"), in.File("a.ani"), in.File("m.icns")};
    TBatchRun run(Job(TBatchMode::ResourceCursors, files, out.File(""), ""));
    const std::vector<TBatchLine> log = run.RunAll();
    const std::string o = out.File("");
    ASSERT_EQ(log.size(), 9u);
    EXPECT_EQ(log[1].Text, Ok(o + "c-0.cur"));
    EXPECT_EQ(log[3].Text, Ok(o + "i-0.cur"));
    EXPECT_EQ(log[5].Text, Ok(o + "a-0.ani"));
    EXPECT_EQ(log[7].Text, Ok(o + "m-0.cur"));

    // Type 2 with the hotspots (the icon's are 0), read back image for image.
    const struct {
        const char* file;
        std::vector<std::array<int, 3>> entries;
    } cursors[] = {{"c-0.cur", {{32, 8, 10}, {16, 4, 5}}}, {"i-0.cur", {{32, 0, 0}, {16, 0, 0}}}, {"m-0.cur", {{16, 0, 0}}}};
    for (const auto& c : cursors) {
        SCOPED_TRACE(c.file);
        const Directory d = DirectoryOf(restest::ReadFile(o + c.file));
        EXPECT_EQ(d.type, 2);
        EXPECT_EQ(d.entries, c.entries);
        TmyIcon back;
        ASSERT_TRUE(TmyIcoIO(false).LoadFromFile(back, o + c.file));
        EXPECT_TRUE(back.IsCursor);
    }
    TmyIcon back;
    ASSERT_TRUE(TmyIcoIO(false).LoadFromFile(back, o + "c-0.cur"));
    ASSERT_EQ(back.Count(), 2);
    for (int i = 0; i < 2; ++i) {
        const auto a = back.Image(i).Pixels(), b = cursor->Image(i).Pixels();
        EXPECT_TRUE(std::equal(a.begin(), a.end(), b.begin(), b.end())) << i;
    }

    // The animation keeps its frames, as RIFF data under its own extension.
    const Bytes ani = restest::ReadFile(o + "a-0.ani");
    ASSERT_GE(ani.size(), 12u);
    EXPECT_EQ(std::string(ani.begin(), ani.begin() + 4), "RIFF");
    EXPECT_EQ(std::string(ani.begin() + 8, ani.begin() + 12), "ACON");
    TmyANI frames;
    ASSERT_TRUE(TmyANIIO(false).LoadFromFile(frames, o + "a-0.ani"));
    EXPECT_EQ(frames.Count(), 3);
}

// ---------------------------------------------------------------- the output folder and failures

TEST(BatchOutputFolder, AFolderThatCannotTakeTheOutputsSaysWhy) {
    ScratchDir dir;
    WriteBytes(dir.File("file"), {1});
    std::filesystem::create_directories(dir.File("ok"));
    std::filesystem::create_symlink(dir.File("gone"), dir.File("dangling"));
    EXPECT_TRUE(OutputFolderError(dir.File("ok")).ok());
    EXPECT_TRUE(OutputFolderError(dir.File("ok/")).ok());
    EXPECT_EQ(FileErrorText(OutputFolderError(dir.File("missing/deeper"))), "No such file or directory");
    EXPECT_EQ(FileErrorText(OutputFolderError(dir.File("dangling"))), "No such file or directory");
    EXPECT_EQ(FileErrorText(OutputFolderError(dir.File("file"))), "Not a directory");
    EXPECT_EQ(FileErrorText(OutputFolderError(dir.File("file/below"))), "Not a directory");
    EXPECT_FALSE(OutputFolderError("").ok());
    if (::geteuid() != 0) {  // the superuser writes anywhere
        std::filesystem::create_directories(dir.File("locked"));
        ASSERT_EQ(::chmod(dir.File("locked").c_str(), 0500), 0);
        EXPECT_EQ(FileErrorText(OutputFolderError(dir.File("locked"))), "Permission denied");
        ::chmod(dir.File("locked").c_str(), 0700);
    }
}

TEST(BatchOutputFolder, TheLastLineCountsTheFilesThatFailedAndOnlyThose) {
    ScratchDir in, out;
    WriteCursor(in.File("good.cur"), *Cursor({16}));
    WriteBytes(in.File("notes.txt"), {'n', 'o'});
    // A warning (no executable) is no failure; an unreadable file is.
    TBatchRun extract(Job(TBatchMode::ResourceCursors, {in.File("notes.txt"), in.File("good.cur")}, out.File(""), ""));
    const TBatchLine warned = extract.RunAll().back();
    EXPECT_EQ(warned.Kind, TBatchLineKind::Notice);
    EXPECT_EQ(warned.Text, "Operation completed!");

    // A file with several outputs counts once.
    std::vector<std::string> files = {in.File("good.cur"), in.File("missing.cur")};
    WriteCursor(in.File("two.cur"), *Cursor({32, 16}));
    files.push_back(in.File("two.cur"));
    TBatchRun run(Job(TBatchMode::CursorsToImages, files, in.File("no/folder"), "png"));
    const TBatchLine last = run.RunAll().back();
    EXPECT_EQ(last.Kind, TBatchLineKind::FailedNotice);
    EXPECT_EQ(last.Text, "Operation completed, but 3 of 3 files failed!");

    // The language's text, with its placeholders.
    TBatchTexts texts;
    texts.Failed = "%i2 files, %i1 failed";
    TBatchRun translated(Job(TBatchMode::CursorsToImages, {in.File("missing.cur"), in.File("good.cur")}, out.File(""), "png"),
                         texts);
    EXPECT_EQ(translated.RunAll().back().Text, "2 files, 1 failed");
}

// ---------------------------------------------------------------- the log as it grows

TEST(BatchLog, EveryTakeContinuesTheUsersOrderWithWholeFiles) {
    // The first file is slow and the rest quick: while it converts, the
    // others are done, and none of their lines may be handed out before its
    // own. More files than may wait converted ahead of it, so that once it is
    // done every worker writes at once, each finishing when it may.
    ScratchDir in, out;
    WriteCursor(in.File("slow.cur"), *Cursor({256, 256, 256, 256, 256, 256, 256, 256}));
    WriteCursor(in.File("quick.cur"), *Cursor({16}));
    std::vector<std::string> files = {in.File("slow.cur")};
    for (int i = 0; i < 200; ++i) files.push_back(in.File("quick.cur"));
    for (int round = 0; round < 3; ++round) {
        ScratchDir dir;
        TBatchRun run(Job(TBatchMode::CursorsToImages, files, dir.File(""), "png", 4));
        run.Start();
        std::vector<TBatchLine> log;
        std::size_t taken = 0;
        int takes = 0;
        for (bool finished = false; !finished;) {
            finished = run.Finished();  // read before the lines, as the window does
            const std::size_t before = log.size();
            const int n = run.TakeLines(log);
            if (n == 0) {
                EXPECT_EQ(log.size(), before);
                std::this_thread::yield();
                continue;
            }
            ++takes;
            // What came is whole files, the next ones in order: a processing
            // line numbered one on from the last, then that file's outputs.
            std::size_t at = before;
            for (int k = 0; k < n; ++k) {
                ++taken;
                ASSERT_LT(at, log.size());
                ASSERT_EQ(log[at].Kind, TBatchLineKind::Processing);
                ASSERT_EQ(log[at].Text.substr(0, log[at].Text.find('/')), std::to_string(taken)) << "take " << takes;
                const std::size_t outputs = taken == 1 ? 8 : 1;
                for (std::size_t j = 1; j <= outputs; ++j) {
                    ASSERT_LT(at + j, log.size()) << "file " << taken << " handed out before its outputs";
                    EXPECT_EQ(log[at + j].Kind, TBatchLineKind::Success);
                }
                at += 1 + outputs;
            }
            ASSERT_EQ(at, log.size());
        }
        run.Wait();
        EXPECT_EQ(taken, files.size());
    }
}

}  // namespace
}  // namespace velto::batchworkers
