// Interlaced GIF frames of every height from 1 to 40 rows (and a few widths)
// load to the palette indices Pillow reads from the same files.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "../ClassicFormatsTestUtil.h"
#include "PeerShell.h"
#include "imaging/FormatLibGif.h"
#include "platform/ByteWriter.h"
#include "platform/FileIO.h"
#include "platform/FileWriter.h"

namespace velto {
namespace {

using namespace test;
namespace fs = std::filesystem;

// One interlaced frame covering the screen, a grey table of 256 entries;
// stored row k holds (7k + x) mod 256.
Bytes InterlacedGif(std::uint16_t w, std::uint16_t h) {
    ByteWriter b;
    b.text("GIF89a");
    b.u16le(w);
    b.u16le(h);
    b.u8(0x87);
    b.u8(0);
    b.u8(0);
    for (int i = 0; i < 256; ++i) b.bytes(Bytes{std::uint8_t(i), std::uint8_t(i), std::uint8_t(i)});
    b.u8(0x2C);
    b.u16le(0);
    b.u16le(0);
    b.u16le(w);
    b.u16le(h);
    b.u8(0x40);
    Bytes stored;
    for (int k = 0; k < h; ++k)
        for (int x = 0; x < w; ++x) stored.push_back(static_cast<std::uint8_t>(7 * k + x));
    std::vector<std::uint8_t> lzw;
    EncodeGifLZW(stored.data(), stored.size(), lzw);
    b.bytes(lzw);
    b.u8(0x3B);
    return b.take();
}

TEST(GifInterlacePeer, RowsMatchPillowForEveryHeight) {
    if (!HavePillow()) GTEST_SKIP() << "needs Pillow (python3-pil)";
    const fs::path dir = fs::temp_directory_path() / ("velto-gif-interlace-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    struct Cleanup {
        fs::path dir;
        ~Cleanup() { fs::remove_all(dir); }
    } cleanup{dir};

    struct Case {
        std::uint16_t w, h;
        std::string file;
        Bytes ours;
    };
    std::vector<Case> cases;
    for (const std::uint16_t w : {1, 5, 9})
        for (std::uint16_t h = 1; h <= 40; ++h) {
            Case c{w, h, (dir / ("i" + std::to_string(w) + "x" + std::to_string(h) + ".gif")).string(), {}};
            const Bytes file = InterlacedGif(w, h);
            ASSERT_TRUE(WriteWholeFile(c.file, file));
            Images images;
            ASSERT_EQ(Load(TheFormat<TGIFFileFormat>(), file, images), Outcome::Loaded) << c.file;
            c.ours = Bits(images[0]);
            cases.push_back(std::move(c));
        }

    // Pillow writes each file's indices beside it (a grey table makes its
    // image grey, whose values are the indices).
    std::string list;
    for (const Case& c : cases) list += c.file + "\n";
    const std::string listFile = (dir / "files.txt").string(), script = (dir / "pillow.py").string();
    ASSERT_TRUE(WriteWholeFile(listFile, Bytes(list.begin(), list.end())));
    const std::string py =
        "import sys\nfrom PIL import Image\n"
        "for p in open(sys.argv[1]).read().splitlines():\n"
        "    im = Image.open(p)\n"
        "    im.load()\n"
        "    assert im.mode in ('P', 'L')\n"
        "    open(p + '.idx', 'wb').write(im.tobytes())\n"
        "print('done')\n";
    ASSERT_TRUE(WriteWholeFile(script, Bytes(py.begin(), py.end())));
    const auto out = Shell(std::string(kPython) + " " + Quote(script) + " " + Quote(listFile) + " 2>&1");
    ASSERT_FALSE(out.empty());
    ASSERT_EQ(out.back(), "done") << "Pillow failed";

    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        Bytes pillow;
        ASSERT_TRUE(ReadWholeFile(c.file + ".idx", pillow));
        EXPECT_EQ(c.ours, pillow);
    }
}

}  // namespace
}  // namespace velto
