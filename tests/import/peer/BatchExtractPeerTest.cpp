// Cursors the batch takes out of icons, cursors and Apple icons, read by
// other programs: icoutils lists them as cursors with their sizes, depths and
// hotspots and takes out each image with the pixels our own reader sees, and
// Pillow opens them as cursor files.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>

#include "../ImportTestUtil.h"
#include "Corpus.h"
#include "PeerShell.h"
#include "import/BatchConvert.h"
#include "model/IcoIO.h"
#include "platform/FileIO.h"

// Its own namespace: the quick build compiles this file with the other peer
// tests of the import service, whose helpers have the same names.
namespace velto::batchpeer {
namespace {

using namespace test;
using Bytes = std::vector<std::uint8_t>;

struct Rgba {
    int width = 0, height = 0;
    Bytes pixels;
};

// A file as Pillow decodes it, made RGBA; nothing when it fails or its
// format is not `format` (any when empty).
std::optional<Rgba> PillowRgba(const std::string& file, const std::string& raw, const std::string& format = "") {
    const auto said = Shell(std::string(kPython) +
                            " -c 'import sys\nfrom PIL import Image\nim = Image.open(sys.argv[1]); im.load()\n"
                            "open(sys.argv[2], \"wb\").write(im.convert(\"RGBA\").tobytes())\n"
                            "print(im.format, im.size[0], im.size[1])' " +
                            Quote(file) + " " + Quote(raw) + " 2>/dev/null");
    Rgba out;
    char kind[16] = {};
    if (said.size() != 1 || std::sscanf(said[0].c_str(), "%15s %d %d", kind, &out.width, &out.height) != 3 ||
        (!format.empty() && format != kind) || !ReadWholeFile(raw, out.pixels) ||
        out.pixels.size() != static_cast<std::size_t>(out.width) * static_cast<std::size_t>(out.height) * 4)
        return std::nullopt;
    return out;
}

// Pixels of the image the decoded picture shows otherwise (a pixel of alpha
// 0 by its alpha alone).
int Differing(const TmyImagePal& image, const Rgba& seen) {
    if (seen.width != image.Width() || seen.height != image.Height()) return -1;
    int differ = 0;
    for (int y = 0; y < image.Height(); ++y)
        for (int x = 0; x < image.Width(); ++x) {
            const TmyPixel& p = image.At(x, y);
            const std::uint8_t* q = seen.pixels.data() + 4 * (static_cast<std::size_t>(y) * image.Width() + x);
            if (q[3] != p.A || (p.A != 0 && (q[0] != p.R || q[1] != p.G || q[2] != p.B))) ++differ;
        }
    return differ;
}

// What icotool lists for each entry of a cursor file, in our words.
std::vector<std::string> Listed(const TmyIcon& doc) {
    std::vector<std::string> out;
    for (int i = 0; i < doc.Count(); ++i) {
        const TmyImagePal& image = doc.Image(i);
        out.push_back("--cursor --width=" + std::to_string(image.Width()) + " --height=" +
                      std::to_string(image.Height()) + " --bit-depth=" + std::to_string(image.BitCount) +
                      " --hotspot-x=" + std::to_string(image.HotSpotX()) +
                      " --hotspot-y=" + std::to_string(image.HotSpotY()));
    }
    std::sort(out.begin(), out.end());
    return out;
}

// icotool's listing without the index and palette size, sorted.
std::vector<std::string> IcotoolListing(const std::string& file) {
    std::vector<std::string> out;
    for (std::string line : Shell("icotool -l " + Quote(file) + " 2>/dev/null")) {
        for (const char* drop : {" --index=", " --palette-size="}) {
            const std::size_t at = line.find(drop);
            if (at != std::string::npos) line.erase(at, line.find(' ', at + 1) - at);
        }
        out.push_back(line);
    }
    std::sort(out.begin(), out.end());
    return out;
}

TEST(BatchExtractPeer, IcoutilsAndPillowReadTheCursorsTakenOutOfIconsAndAppleIcons) {
    if (!Have("icotool") || !HavePillow()) GTEST_SKIP() << "needs icoutils and Pillow";
    ScratchDir in, out;
    // An icon of two sizes, made here, and the sample icons when present.
    TmyIcon icon;
    for (int side : {48, 16}) {
        TmyImagePal& image = icon.Image(icon.AddImage(ImageSize{side, side}, 32));
        for (int y = 0; y < side; ++y)
            for (int x = 0; x < side; ++x) image.At(x, y) = PatternPixel(x, y, static_cast<std::uint8_t>(x * 5));
    }
    ASSERT_TRUE(TmyIcoIO(false).SaveToFile(icon, in.File("made.ico"), false));
    std::vector<std::string> files = {in.File("made.ico")};
    if (HaveCorpus())
        for (const char* f : {"pillow/hopper.ico", "pillow/python.ico", "pillow/deerstalker.cur", "pillow/pillow2.icns",
                              "pillow/pillow.icns", "pillow/mask_L.cur", "pillow/hopper_256x256.ico",
                              "pillow/black_and_white.ico"})
            files.push_back(Corpus(f));
    else
        std::printf("(the shared sample files are absent: only the icon made here)\n");

    TBatchJob job;
    job.Mode = TBatchMode::ResourceCursors;
    job.Files = files;
    job.OutputDir = out.File("");
    TBatchRun run(job);
    const std::vector<TBatchLine> log = run.RunAll();
    ASSERT_EQ(log.back().Text, "Operation completed!");

    for (const std::string& input : files) {
        const std::string cur = out.File(BatchBaseName(input) + "-0.cur");
        SCOPED_TRACE(cur);
        TmyIcon doc;
        ASSERT_TRUE(TmyIcoIO(false).LoadFromFile(doc, cur));
        EXPECT_EQ(IcotoolListing(cur), Listed(doc));

        // Every entry icotool takes out has the pixels our reader sees.
        const std::string x = out.File("x-" + BatchBaseName(input));
        std::filesystem::create_directories(x);
        ASSERT_EQ(std::system(("icotool -x -o " + Quote(x) + " " + Quote(cur) + " >/dev/null 2>&1").c_str()), 0);
        int compared = 0;
        for (int i = 0; i < doc.Count(); ++i) {
            const TmyImagePal& image = doc.Image(i);
            const std::string size = std::to_string(image.Width()) + "x" + std::to_string(image.Height()) + "x" +
                                     std::to_string(image.BitCount) + ".png";
            for (const auto& e : std::filesystem::directory_iterator(x)) {
                if (!e.path().filename().string().ends_with("_" + size)) continue;
                const auto rgba = PillowRgba(e.path().string(), out.File("pillow.raw"));
                ASSERT_TRUE(rgba) << e.path();
                EXPECT_EQ(Differing(image, *rgba), 0) << e.path();
                ++compared;
            }
        }
        EXPECT_EQ(compared, doc.Count());

        // Pillow opens it as a cursor file showing one of its entries.
        const auto shown = PillowRgba(cur, out.File("pillow.raw"), "CUR");
        ASSERT_TRUE(shown);
        bool listed = false;
        for (int i = 0; i < doc.Count(); ++i)
            listed = listed || (doc.Image(i).Width() == shown->width && doc.Image(i).Height() == shown->height);
        EXPECT_TRUE(listed) << shown->width << "x" << shown->height;
    }
}

}  // namespace
}  // namespace velto::batchpeer
