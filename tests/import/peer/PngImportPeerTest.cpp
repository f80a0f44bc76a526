// PNG pictures import with the transparency Pillow reads in them: grey with
// alpha keeps its alpha, palette entries their own alpha, a transparent
// colour becomes alpha 0; a pixel of alpha 0 arrives as (0, 0, 0, 0), and a
// picture transparent throughout as opaque black.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "../ImportTestUtil.h"
#include "Corpus.h"
#include "PeerShell.h"
#include "import/MyImport.h"
#include "platform/FileIO.h"
#include "platform/FileWriter.h"
#include "png/PngImage.h"

namespace velto {
namespace {

using namespace test;

TEST(PngImportPeer, TransparencyAsPillowReadsIt) {
    VELTO_NEED_CORPUS();
    if (!HavePillow()) GTEST_SKIP() << "needs Pillow";
    ScratchDir dir;
    std::vector<std::string> files;
    for (const char* folder : {"pngsuite", "pillow"})
        for (const auto& e : std::filesystem::directory_iterator(Corpus(folder)))
            if (e.path().extension() == ".png") files.push_back(e.path().string());
    std::sort(files.begin(), files.end());
    {
        std::string list;
        for (const auto& f : files) list += f + "\n";
        ASSERT_TRUE(WriteWholeFile(dir.File("list.txt"), std::vector<std::uint8_t>(list.begin(), list.end())));
        const std::string py =
            "import sys\nfrom PIL import Image\n"
            "for i, p in enumerate(open(sys.argv[1]).read().splitlines()):\n"
            "    try:\n"
            "        im = Image.open(p)\n"
            "        im.load()\n"
            "        if im.size[0] > 1024 or im.size[1] > 1024: raise ValueError()\n"
            "        open('%s/%d.raw' % (sys.argv[2], i), 'wb').write(im.convert('RGBA').tobytes())\n"
            "        print(i, im.size[0], im.size[1], im.mode)\n"
            "    except Exception:\n"
            "        pass\n";
        ASSERT_TRUE(WriteWholeFile(dir.File("read.py"), std::vector<std::uint8_t>(py.begin(), py.end())));
    }
    int compared = 0, withAlpha = 0;
    for (const std::string& line : Shell(std::string(kPython) + " " + Quote(dir.File("read.py")) + " " +
                                         Quote(dir.File("list.txt")) + " " + Quote(dir.File("")) + " 2>/dev/null")) {
        std::size_t i = 0;
        int w = 0, h = 0;
        char mode[16] = {};
        if (std::sscanf(line.c_str(), "%zu %d %d %15s", &i, &w, &h, mode) != 4 || i >= files.size()) continue;
        // Pillow keeps 16-bit grey as 32-bit integers and converts them to
        // 8 bits by clipping, not scaling: nothing to compare with there.
        if (std::string(mode) == "I" || std::string(mode) == "I;16") continue;
        std::vector<std::uint8_t> peer;
        ASSERT_TRUE(ReadWholeFile(dir.File(std::to_string(i) + ".raw"), peer));
        bool anyVisible = false;
        for (std::size_t k = 3; k < peer.size(); k += 4) anyVisible = anyVisible || peer[k] != 0;
        // Pillow shows samples as stored; ours go through the file's gamma
        // as the codec decodes them: then only the alpha is compared.
        bool gamma = false, lowGreyKey = false;
        try {
            TPNGObject png;
            if (png.LoadFromFile(files[i])) {
                gamma = png.Chunks().FindChunk<TChunkgAMA>() != nullptr;
                // Pillow compares a 1-, 2- or 4-bit grey file's transparent
                // grey with the samples widened to 8 bits, so it never hits.
                lowGreyKey = png.Header().ColorType == COLOR_GRAYSCALE && png.Header().BitDepth < 8 &&
                             png.Chunks().FindChunk<TChunktRNS>() != nullptr;
            }
        } catch (const EPngError&) {
        }
        if (lowGreyKey) continue;
        TestService s;
        TmyImagePal target({1, 1}, 32);
        if (!s.service.LoadPng(files[i], target, {65535, 65535}, false)) continue;  // ours refuses: other tests
        ASSERT_EQ(target.Size(), (ImageSize{w, h})) << files[i];
        ++compared;
        bool differs = false;
        for (int y = 0; y < h && !differs; ++y)
            for (int x = 0; x < w && !differs; ++x) {
                const std::uint8_t* p = &peer[(static_cast<std::size_t>(y) * w + x) * 4];
                TmyPixel expected{p[0], p[1], p[2], p[3]};
                if (!anyVisible) expected = {0, 0, 0, 255};  // transparent throughout: opaque black
                else if (expected.A == 0) expected = {};
                if (expected.A != 255) ++withAlpha;
                const TmyPixel ours = target.At(x, y);
                if (gamma ? ours.A != expected.A : !(ours == expected)) {
                    differs = true;
                    ADD_FAILURE() << files[i] << " (" << mode << ") at " << x << "," << y << ": ours "
                                  << int(target.At(x, y).R) << " " << int(target.At(x, y).G) << " "
                                  << int(target.At(x, y).B) << " " << int(target.At(x, y).A) << ", Pillow "
                                  << int(p[0]) << " " << int(p[1]) << " " << int(p[2]) << " " << int(p[3]);
                }
            }
    }
    EXPECT_GT(compared, 100);
    EXPECT_GT(withAlpha, 1000);
}

}  // namespace
}  // namespace velto
