// The GIF import's work per frame: each frame is resized as the whole
// logical screen would be, though only what the frame changed is resampled
// again; tiny frames on a huge screen cost little; a stop between frames
// (the batch's Stop) ends the import; a GIF of more frames than an animated
// cursor holds is refused, by the service and in the batch's log.
#include <gtest/gtest.h>

#include <sys/resource.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <vector>

#include "../gif/GifTestUtil.h"
#include "ChildCost.h"
#include "CostlyFiles.h"
#include "ImportTestUtil.h"
#include "Sanitizer.h"
#include "engine/Clipboard.h"
#include "engine/Transform.h"
#include "gif/GifCompose.h"
#include "gif/GifImage.h"
#include "import/BatchConvert.h"
#include "import/MyImport.h"

namespace velto {
namespace {

using test::ScratchDir;
using test::TestService;

void WriteFile(const std::string& file, const std::vector<std::uint8_t>& bytes) {
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// Frames of every kind on a w x h screen: random sizes and places (some
// running off the screen, one wholly outside), transparent holes, every
// disposal, and a frame that is transparent throughout.
std::string WriteMixedGif(const ScratchDir& dir, int w, int h, unsigned seed) {
    std::mt19937 rng(seed);
    TGIFImage gif;
    gif.Header().Width = static_cast<std::uint16_t>(w);
    gif.Header().Height = static_cast<std::uint16_t>(h);
    for (int i = 0; i < 6; ++i) gif.GlobalColorMap().Add(MakeColor(40 * i, 255 - 30 * i, (90 * i) % 256));
    for (int k = 0; k < 12; ++k) {
        auto frame = std::make_unique<TGIFSubImage>(gif);
        const int fw = 1 + static_cast<int>(rng() % static_cast<unsigned>(w / 2));
        const int fh = 1 + static_cast<int>(rng() % static_cast<unsigned>(h / 2));
        const int left = k == 5 ? w + 3 : static_cast<int>(rng() % static_cast<unsigned>(w));
        const int top = static_cast<int>(rng() % static_cast<unsigned>(h));
        frame->SetBounds(left, top, fw, fh);
        for (int y = 0; y < fh; ++y)
            for (int x = 0; x < fw; ++x)
                frame->SetPixels(x, y, static_cast<std::uint8_t>(k == 7 ? 0 : 1 + (rng() % 5 == 0 ? 0 : rng() % 5)));
        TGIFSubImage& added = gif.Images()[gif.Images().Add(std::move(frame))];
        auto& gce = added.Extensions().Add<TGIFGraphicControlExtension>();
        gce.SetDisposal(static_cast<std::uint8_t>(k % 4));
        gce.SetTransparentColorIndex(0);
        gce.SetTransparent(true);
    }
    gif.Header().Width = static_cast<std::uint16_t>(w);  // frames grew it
    gif.Header().Height = static_cast<std::uint16_t>(h);
    const std::string file = dir.File("mixed-" + std::to_string(seed) + ".gif");
    EXPECT_TRUE(gif.SaveToFile(file));
    return file;
}

// What frame i of the import must be, made the long way: the frames drawn on
// a whole screen (each alone on black, or all up to i), a screen without an
// opaque pixel made opaque, the whole screen resampled and centred.
std::vector<TmyImagePal> Expected(const std::string& file, ImageSize size, bool overimpose, bool keepAspect) {
    TGIFImage gif;
    EXPECT_TRUE(gif.LoadFromFile(file));
    const int w = gif.Width(), h = gif.Height();
    std::vector<TmyPixel> screen(static_cast<std::size_t>(w) * static_cast<std::size_t>(h));
    std::vector<TmyImagePal> out;
    for (int i = 0; i < gif.Images().Count(); ++i) {
        if (!overimpose) std::fill(screen.begin(), screen.end(), TmyPixel{});
        TGIFComposer alone(gif);
        alone.Step(i);
        for (std::size_t k = 0; k < screen.size(); ++k)
            if (const TGIFPixel& p = alone.Canvas().Pixels[k]; p.A != 0) screen[k] = {p.R, p.G, p.B, 255};
        std::vector<TmyPixel> shown = screen;
        if (std::all_of(shown.begin(), shown.end(), [](const TmyPixel& p) { return p.A == 0; }))
            for (TmyPixel& p : shown) p.A = 255;
        const ImageSize fit = FitSize({w, h}, size, keepAspect);
        std::vector<TmyPixel> resized(static_cast<std::size_t>(fit.Width) * static_cast<std::size_t>(fit.Height));
        ResampleBitmap(TConstPixelsView(shown.data(), w, h), TPixelsView{resized.data(), fit.Width, fit.Height});
        TmyImagePal frame(size, 32);
        const int dx = (size.Width - fit.Width) / 2, dy = (size.Height - fit.Height) / 2;
        for (int y = 0; y < fit.Height; ++y)
            for (int x = 0; x < fit.Width; ++x) {
                const TmyPixel& p = resized[static_cast<std::size_t>(y) * static_cast<std::size_t>(fit.Width) + x];
                frame.At(dx + x, dy + y) = p.A == 0 ? TmyPixel{} : p;
            }
        out.push_back(std::move(frame));
    }
    return out;
}

TEST(GifImportFrames, ResizedAsTheWholeScreenWouldBe) {
    ScratchDir dir;
    for (const unsigned seed : {1u, 2u, 3u}) {
        const std::string file = WriteMixedGif(dir, 97 + 40 * static_cast<int>(seed), 61, seed);
        for (const ImageSize size : {ImageSize{32, 32}, ImageSize{40, 16}})
            for (const bool overimpose : {false, true})
                for (const bool keepAspect : {true, false}) {
                    SCOPED_TRACE(testing::Message() << "seed " << seed << ", " << size.Width << "x" << size.Height
                                                    << (overimpose ? ", over-imposed" : "")
                                                    << (keepAspect ? ", proportions kept" : ""));
                    TestService s;
                    s.settings.ImportAction = fpResize;
                    s.settings.Overimpose = overimpose;
                    s.settings.KeepAspectRatio = keepAspect;
                    TmyANI doc;
                    doc.AddImage(size, 32);
                    ASSERT_TRUE(s.service.ImportAnimatedGif(doc, file));
                    const std::vector<TmyImagePal> expected = Expected(file, size, overimpose, keepAspect);
                    ASSERT_EQ(doc.Count(), static_cast<int>(expected.size()));
                    for (int i = 0; i < doc.Count(); ++i) EXPECT_TRUE(doc.Image(i).Equals(expected[i])) << "frame " << i;
                }
    }
}

// 50 frames of one pixel on an 8192 x 8192 screen: each costs what its pixel
// and the box of the screen it falls in cost, not the whole screen (which
// took seconds a frame). Whole frames and the crop policy alike.
TEST(GifImportFrames, TinyFramesOnAHugeScreenCostLittle) {
    ScratchDir dir;
    std::vector<test::costly::GifFrameSpec> frames;
    for (int i = 0; i < 50; ++i) frames.push_back({(i * 977) % 8192, (i * 1531) % 8192, 1, 1, 1 + i % 3});
    frames.push_back({0, 0, 1, 1, 1, 1, 1});  // transparent: the frame arrives opaque black
    const std::string file = dir.File("tiny.gif");
    WriteFile(file, test::costly::GifAnimation(8192, 8192, frames));
    for (const std::uint8_t policy : {fpResize, fpCrop}) {
        for (const bool overimpose : {false, true}) {
            const test::ChildCost cost = test::RunInChild([&] {
                TestService s;
                s.settings.ImportAction = policy;
                s.settings.Overimpose = overimpose;
                TmyANI doc;
                doc.AddImage({32, 32}, 32);
                if (!s.service.ImportAnimatedGif(doc, file) || doc.Count() != 51) return 1;
                if (overimpose) return doc.Image(50).Equals(doc.Image(49)) ? 0 : 2;
                for (const TmyPixel& p : doc.Image(50).Pixels())
                    if (p != TmyPixel{0, 0, 0, 255}) return 2;
                return 0;
            });
            ASSERT_TRUE(cost.exited);
            EXPECT_EQ(cost.exitCode, 0) << "policy " << int(policy) << (overimpose ? ", over-imposed" : "");
            std::printf("51 frames on 8192 x 8192, policy %d%s: %.3f s\n", policy, overimpose ? ", over-imposed" : "",
                        cost.cpuSeconds);
            // A sanitizer's checks inflate the time: not checked there.
            if (!test::kUnderSanitizer) {
                EXPECT_LT(cost.cpuSeconds, 2.0);
            }
        }
    }
}

TEST(GifImportFrames, StoppedBetweenFrames) {
    ScratchDir dir;
    const std::string file = WriteMixedGif(dir, 80, 50, 9);
    for (const int stopBefore : {0, 1, 5}) {
        TestService s;
        int asked = 0;
        s.service.Hooks.Stopped = [&] { return asked++ == stopBefore; };
        TmyANI doc;
        doc.AddImage({16, 16}, 32);
        ASSERT_TRUE(s.service.ImportAnimatedGif(doc, file));
        EXPECT_EQ(doc.Count(), stopBefore) << "frames made before the stop stay";
        EXPECT_TRUE(s.service.Cancelled);
    }
    TestService s;
    s.service.Hooks.Stopped = [] { return false; };
    TmyANI doc;
    ASSERT_TRUE(s.service.ImportAnimatedGif(doc, file));
    EXPECT_EQ(doc.Count(), 12);
    EXPECT_FALSE(s.service.Cancelled);
}

// One frame more than the animated-cursor reader takes.
std::vector<std::uint8_t> TooManyFrames() {
    return test::costly::GifAnimation(4, 4, std::vector<test::costly::GifFrameSpec>(ReadLimits{}.frames + 1));
}

TEST(GifImportFrames, MoreFramesThanACursorHoldsAreRefused) {
    ScratchDir dir;
    const std::string file = dir.File("many.gif");
    WriteFile(file, TooManyFrames());
    TestService s;
    TmyANI doc;
    doc.AddImage({16, 16}, 8);
    FileError error;
    EXPECT_FALSE(s.service.ImportAnimatedGif(doc, file, &error));
    EXPECT_EQ(error, FileError::Unsupported);
    ASSERT_EQ(doc.Count(), 1) << "the document as it was";
    EXPECT_EQ(doc.Image(0).BitCount, 8);
    EXPECT_NE(GifFramesRefusedText().find("(10000)"), std::string::npos) << GifFramesRefusedText();

    // Exactly as many are taken.
    const std::string most = dir.File("most.gif");
    WriteFile(most, test::costly::GifAnimation(4, 4, std::vector<test::costly::GifFrameSpec>(ReadLimits{}.frames)));
    TmyANI full;
    ASSERT_TRUE(s.service.ImportAnimatedGif(full, most));
    EXPECT_EQ(full.Count(), static_cast<int>(ReadLimits{}.frames));
}

double ProcessCpuSeconds() {
    rusage u{};
    ::getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

TEST(GifImportFrames, BatchLogsWhyAGifIsRefusedOrStoppedAndWritesNothingForIt) {
    ScratchDir in, out;
    WriteFile(in.File("many.gif"), TooManyFrames());
    TBatchJob job;
    job.Mode = TBatchMode::ImagesToCursors;
    job.Files = {in.File("many.gif")};
    job.OutputDir = out.File("");
    job.Output = "ani";
    const std::vector<TBatchLine> log = TBatchRun(job).RunAll();
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[1].Text, "      Error: " + in.File("many.gif") + " - " + GifFramesRefusedText());
    EXPECT_TRUE(std::filesystem::is_empty(out.File("")));

    // 10,000 one-pixel frames on an 8192 x 8192 screen take seconds; a Stop
    // while they convert ends the import at the next frame. (Whether the
    // worker began the file before the Stop or not, it is not written.)
    std::vector<test::costly::GifFrameSpec> frames;
    for (int i = 0; i < static_cast<int>(ReadLimits{}.frames); ++i) frames.push_back({(i * 977) % 8192, (i * 1531) % 8192});
    WriteFile(in.File("slow.gif"), test::costly::GifAnimation(8192, 8192, frames));
    job.Files = {in.File("slow.gif")};
    TBatchRun run(job);
    run.Start();
    const double before = ProcessCpuSeconds();
    run.Stop();
    run.Wait();
    if (!test::kUnderSanitizer) {
        EXPECT_LT(ProcessCpuSeconds() - before, 1.0);
    }
    std::vector<TBatchLine> lines;
    run.TakeLines(lines);
    for (const TBatchLine& l : lines) EXPECT_NE(l.Kind, TBatchLineKind::Success) << l.Text;
    if (lines.size() == 2) {
        EXPECT_EQ(lines[1].Text, "      Error: " + in.File("slow.gif") + " - Operation canceled by user!");
    }
    EXPECT_TRUE(std::filesystem::is_empty(out.File("")));
}

// A long clip opens on every road, a picture and a cursor from its first frame
// alone; beyond the frames' byte budget the animation says it is too large.
TEST(GifImportFrames, ALongClipOpensOnEveryRoadAndOneBeyondTheBudgetSaysItIsTooLarge) {
    ScratchDir in, out;
    for (const int frames : {300, int(ReadLimits{}.gifFrameBytes / (640 * 480)) + 1}) {
        const std::string file = in.File(std::to_string(frames) + ".gif");
        WriteFile(file, giftest::Clip(frames));
        TmyANI doc;
        EXPECT_EQ(TestService().service.ImportAnimatedGif(doc, file) ? doc.Count() : 0, frames == 300 ? 300 : 0);
        for (const std::string output : {"cur", "ani"}) {
            EXPECT_EQ(TBatchRun({.Files = {file}, .OutputDir = out.File(""), .Output = output, .Import = {}}).RunAll().at(1).Text,
                      frames != 300 && output == "ani"
                          ? "      Error: " + file + " - The gif animation is too large to be opened!"
                          : "      Success: " + out.File(std::to_string(frames) + "." + output) + " - File created successfully");
        }
    }
}

// Beyond the frames a load may take an animation is too large, on the
// animation road and in the batch (a frame beyond the pixel cap is among the
// pictures too large of the loaders' test).
TEST(GifImportFrames, BeyondTheFrameCountTheAnimationIsTooLarge) {
    ScratchDir in, out;
    const std::string file = in.File("many.gif");
    WriteFile(file, test::costly::GifAnimation(1, 1, std::vector<test::costly::GifFrameSpec>(ReadLimits{}.gifFrames + 1)));
    TmyANI doc;
    FileError error;
    EXPECT_FALSE(TestService().service.ImportAnimatedGif(doc, file, &error));
    EXPECT_EQ(error, FileError::TooLarge);
    EXPECT_EQ(TBatchRun({.Files = {file}, .OutputDir = out.File(""), .Output = "ani", .Import = {}}).RunAll().at(1).Text,
              "      Error: " + file + " - The gif animation is too large to be opened!");
}

}  // namespace
}  // namespace velto
