// Apple icon files against independent readers: icns2png (icnsutils) for
// every classic element, Pillow (Debian's python3-pil on the system
// interpreter) for the 32-bit ones and the 256x256 picture, opj_decompress
// (libopenjp2-tools) for the JPEG 2000 data we store. Images are compared by
// size and a CRC-32 of their RGBA bytes in which a transparent pixel counts
// as 0, 0, 0, 0.
#include <gtest/gtest.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "../IcnsTestUtil.h"
#include "Corpus.h"
#include "PeerShell.h"
#include "icns/MacIcoIO.h"
#include "platform/FileIO.h"
#include "platform/FileWriter.h"

namespace fs = std::filesystem;
using namespace velto;
using namespace icnstest;
using velto::test::Quote;
using velto::test::Shell;

namespace {

constexpr const char* kPython = "/usr/bin/python3";

// "icns FILE": "WxH CRC" for each size Pillow reads at scale 1.
// "png FILES": "NAME CRC" for each picture (NAME without folder and ".png").
constexpr const char* kScript = R"PY(
import sys, os, zlib
from PIL import Image, IcnsImagePlugin
def crc(im):
    b = bytearray(im.convert('RGBA').tobytes())
    for i in range(3, len(b), 4):
        if b[i] == 0: b[i - 3:i + 1] = bytes(4)
    return '%08x' % zlib.crc32(b)
if sys.argv[1] == 'icns':
    f = IcnsImagePlugin.IcnsFile(open(sys.argv[2], 'rb'))
    for size in f.itersizes():
        if size[2] != 1: continue
        try: print('%dx%d' % size[:2], crc(f.getimage(size)))
        except Exception: print('%dx%d' % size[:2], 'error')
else:
    for p in sys.argv[2:]: print(os.path.basename(p)[:-4], crc(Image.open(p)))
)PY";

std::string Crc(const TmyImage& image) {
    Bytes rgba;
    for (const TmyPixel& p : image.Pixels()) {
        if (p.A == 0) rgba.insert(rgba.end(), {0, 0, 0, 0});
        else rgba.insert(rgba.end(), {p.R, p.G, p.B, p.A});
    }
    char buf[16];
    std::snprintf(buf, sizeof buf, "%08lx", crc32(0, rgba.data(), static_cast<uInt>(rgba.size())));
    return buf;
}

std::string Format(const TmyImagePal& image, bool depth = true) {
    std::string s = std::to_string(image.Width()) + "x" + std::to_string(image.Height());
    return depth ? s + "x" + std::to_string(image.BitCount) : s;
}

// "KEY VALUE" lines as a map.
std::map<std::string, std::string> Pairs(const std::vector<std::string>& lines) {
    std::map<std::string, std::string> out;
    for (const std::string& line : lines) {
        const auto space = line.find(' ');
        if (space != std::string::npos) out[line.substr(0, space)] = line.substr(space + 1);
    }
    return out;
}

class IcnsPeer : public ::testing::Test {
protected:
    void SetUp() override {
        if (!fs::exists(kPython) || Shell(std::string(kPython) + " -c 'import PIL; print(1)'") != std::vector<std::string>{"1"})
            GTEST_SKIP() << "python3-pil missing";
        if (Shell("command -v icns2png").empty()) GTEST_SKIP() << "icns2png missing";
        if (Shell("command -v opj_decompress").empty()) GTEST_SKIP() << "opj_decompress missing";
        dir_ = fs::temp_directory_path() / ("velto-icnspeer-" + std::to_string(::getpid()));
        fs::create_directories(dir_);
        std::ofstream(dir_ / "peer.py") << kScript;
    }
    void TearDown() override {
        if (!dir_.empty()) fs::remove_all(dir_);
    }
    std::string Path(const std::string& name) const { return (dir_ / name).string(); }

    // Pillow's images of a file, by "WxH".
    std::map<std::string, std::string> Pillow(const std::string& file) {
        return Pairs(Shell(std::string(kPython) + " " + Quote(Path("peer.py")) + " icns " + Quote(file) + " 2>/dev/null"));
    }
    // CRCs of pictures, by file name without ".png".
    std::map<std::string, std::string> Pictures(const std::vector<std::string>& files) {
        std::string args;
        for (const std::string& f : files) args += " " + Quote(f);
        return Pairs(Shell(std::string(kPython) + " " + Quote(Path("peer.py")) + " png" + args + " 2>/dev/null"));
    }
    // What icns2png extracts, by "WxHxD" (every depth), as CRCs.
    std::map<std::string, std::string> Icns2png(const std::string& file) {
        const std::string out = Path("x-" + fs::path(file).stem().string());
        fs::create_directories(out);
        for (const char* depth : {"1", "4", "8", "32"})
            Shell("icns2png -x -d " + std::string(depth) + " -o " + Quote(out) + " " + Quote(file) + " >/dev/null 2>&1");
        std::vector<std::string> pngs;
        for (const auto& entry : fs::directory_iterator(out)) pngs.push_back(entry.path().string());
        std::map<std::string, std::string> byFormat;
        const std::string prefix = fs::path(file).stem().string() + "_";
        for (const auto& [name, crc] : Pictures(pngs))
            if (name.rfind(prefix, 0) == 0) byFormat[name.substr(prefix.size())] = crc;
        return byFormat;
    }
    // The element types icns2png lists.
    static std::vector<std::string> Listed(const std::string& file) {
        return Shell("icns2png -l " + Quote(file) + " 2>/dev/null | sed -n \"s/^  '\\(....\\)'.*/\\1/p\"");
    }

    fs::path dir_;
};

// Every sample loads with the pixels both peers see; the hostile one is refused.
TEST_F(IcnsPeer, CorpusFilesReadAsPeersReadThem) {
    VELTO_NEED_CORPUS();
    int files = 0, compared = 0;
    for (const auto& entry : fs::directory_iterator(velto::test::CorpusDir() / "pillow")) {
        if (entry.path().extension() != ".icns") continue;
        const std::string file = entry.path().string();
        SCOPED_TRACE(file);
        ++files;
        TmyIcon doc;
        const bool ok = TmyMacIcoIO(false).LoadFromFile(doc, file);
        if (entry.path().filename().string().rfind("oom-", 0) == 0) {
            EXPECT_FALSE(ok);
            continue;
        }
        ASSERT_TRUE(ok);
        const auto pillow = Pillow(file);
        const auto extracted = Icns2png(file);
        for (int i = 0; i < doc.Count(); ++i) {
            const TmyImagePal& image = doc.Image(i);
            SCOPED_TRACE(Format(image));
            ASSERT_TRUE(pillow.count(Format(image, false)));
            EXPECT_EQ(Crc(image), pillow.at(Format(image, false)));
            // icns2png extracts every element but the JPEG 2000 pictures of some writers.
            if (extracted.count(Format(image))) {
                ++compared;
                EXPECT_EQ(Crc(image), extracted.at(Format(image)));
            }
        }
    }
    EXPECT_GE(files, 4);
    EXPECT_GE(compared, 7);
}

// A file Pillow writes holds PNG pictures and elements we do not read: we
// take its 256x256 picture.
TEST_F(IcnsPeer, PillowFilesGiveTheirPicture) {
    const std::string png = Path("in.png"), icns = Path("pillow.icns");
    TmyIcon one;
    const TmyImagePal source = MakeImage({256, 256}, 32, [](int x, int y) { return Pattern(x, y, (x + y) % 4 ? 255 : 0); });
    AddImage(one, source);
    ASSERT_TRUE(WriteWholeFile(png, TmyIcoIO::EncodePNG(source)));
    Shell(std::string(kPython) + " -c \"from PIL import Image; Image.open('" + png + "').save('" + icns + "')\"");
    ASSERT_TRUE(FileExists(icns));
    TmyIcon doc;
    ASSERT_TRUE(TmyMacIcoIO(false).LoadFromFile(doc, icns));
    ASSERT_EQ(doc.Count(), 1);
    EXPECT_EQ(Crc(doc.Image(0)), Crc(source));
}

// Our files list the elements expected, and every peer sees our pixels.
TEST_F(IcnsPeer, WrittenFilesReadAlikeEverywhere) {
    TmyIcon doc;
    for (const ImageSize size : {ImageSize{16, 12}, ImageSize{16, 16}, ImageSize{32, 32}, ImageSize{48, 48}}) {
        for (const int bits : {4, 8}) {
            const TmyPalette table = MacPalette(bits);
            TmyImagePal image = MakeImage(size, bits, [&](int x, int y) {
                return (x * y) % 7 == 3 ? TmyPixel::Create() : table[(x * 5 + y * 3) % table.Count()];
            });
            image.Palette = table;
            AddImage(doc, image);
        }
    }
    for (const int side : {16, 32, 48, 128, 256})
        AddImage(doc, MakeImage({side, side}, 32, [](int x, int y) {
            // Runs, literals, partial and zero alpha.
            const std::uint8_t a = (x + y) % 9 == 0 ? 0 : (y % 4 == 0 ? 90 : 255);
            return x < 20 ? TmyPixel::CreateRGBA(200, 10, 10, a) : Pattern(x, y, a);
        }));
    doc.SortImages();
    const std::string file = Path("ours.icns");
    TmyMacIcoIO io(false);
    ASSERT_TRUE(io.SaveDocument(doc, file));
    Bytes bytes;
    ASSERT_TRUE(ReadWholeFile(file, bytes));
    const std::vector<std::string> expected = {"ic08", "it32", "ih32", "il32", "is32", "ich8", "icl8", "ics8",
                                               "icm8", "ich4", "icl4", "ics4", "icm4", "ich#", "ICN#", "ics#",
                                               "icm#", "t8mk", "h8mk", "l8mk", "s8mk"};
    EXPECT_EQ(Types(bytes), expected);
    EXPECT_EQ(Listed(file), expected);

    TmyIcon back;
    ASSERT_TRUE(io.LoadFromBytes(back, bytes));
    ASSERT_EQ(back.Count(), doc.Count());
    const auto extracted = Icns2png(file);
    const auto pillow = Pillow(file);
    for (int i = 0; i < doc.Count(); ++i) {
        const TmyImagePal& image = doc.Image(i);
        SCOPED_TRACE(Format(image));
        EXPECT_EQ(Crc(back.Image(i)), Crc(image));
        ASSERT_TRUE(extracted.count(Format(image)));
        EXPECT_EQ(extracted.at(Format(image)), Crc(image));
        if (image.BitCount == 32) {
            ASSERT_TRUE(pillow.count(Format(image, false)));
            EXPECT_EQ(pillow.at(Format(image, false)), Crc(image));
        }
    }

    // The picture element is a JPEG 2000 file that the codec's own tool decodes alike.
    for (const auto& [type, data] : Elements(bytes)) {
        if (type != "ic08") continue;
        ASSERT_TRUE(WriteWholeFile(Path("ic08.jp2"), data));
        Shell("opj_decompress -i " + Quote(Path("ic08.jp2")) + " -o " + Quote(Path("ic08.png")) + " >/dev/null 2>&1");
        const auto decoded = Pictures({Path("ic08.png")});
        ASSERT_TRUE(decoded.count("ic08"));
        EXPECT_EQ(decoded.at("ic08"), Crc(doc.Image(0)));
    }
}

}  // namespace
