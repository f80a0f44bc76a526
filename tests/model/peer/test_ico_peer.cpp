// Icon and cursor files against two independent readers: Pillow (Debian's
// python3-pil on the system interpreter) and icotool (icoutils). Images are
// compared by size, depth, hotspot and a CRC-32 of their RGBA bytes in which
// every transparent pixel counts as 0, 0, 0, 0.
// Animated cursors against the npm package ani-cursor (its parseAni), run
// through tests/peer-node/parse-ani.js from the install ./test.sh makes in the
// build tree ($VELTO_PEER_NODE, else <build>/peer-node beside the tests folder).
#include <gtest/gtest.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "model/AniIO.h"
#include "model/IcoIO.h"
#include "platform/FileIO.h"
#include "../test_ico_support.h"
#include "Corpus.h"

namespace fs = std::filesystem;
using namespace velto;

namespace {

constexpr const char* kPython = "/usr/bin/python3";

// "ico FILE" prints a line per directory entry, "png FILES" one per picture:
// "W H CRC", or "error". Pillow takes the depth from the directory, where
// cursors hold the hotspot: a cursor is shown to it as an icon whose
// directory repeats each image header's depth.
constexpr const char* kScript = R"PY(
import sys, io, zlib
from PIL import Image, IcoImagePlugin
def line(im):
    b = bytearray(im.convert('RGBA').tobytes())
    for i in range(3, len(b), 4):
        if b[i] == 0: b[i - 3:i + 1] = bytes(4)
    return '%d %d %08x' % (im.size[0], im.size[1], zlib.crc32(b))
if sys.argv[1] == 'ico':
    d = bytearray(open(sys.argv[2], 'rb').read())
    if d[2] == 2:
        d[2] = 1
        for e in range(6, 6 + 16 * int.from_bytes(d[4:6], 'little'), 16):
            at = int.from_bytes(d[e + 12:e + 16], 'little')
            bits = 32 if d[at:at + 4] == b'\x89PNG' else int.from_bytes(d[at + 14:at + 16], 'little')
            d[e + 4:e + 8] = b'\1\0' + bits.to_bytes(2, 'little')
    ico = IcoImagePlugin.IcoFile(io.BytesIO(bytes(d)))
    for i in range(len(ico.entry)):
        try: print(line(ico.frame(i)))
        except Exception: print('error')
else:
    for p in sys.argv[2:]: print(line(Image.open(p)))
)PY";

std::string Quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

std::vector<std::string> Shell(const std::string& command) {
    std::string text;
    char buf[4096];
    if (FILE* p = ::popen(command.c_str(), "r")) {
        while (std::size_t n = std::fread(buf, 1, sizeof buf, p)) text.append(buf, n);
        ::pclose(p);
    }
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        if (!line.empty()) lines.push_back(line);
    return lines;
}

// Our image as the script describes a picture.
std::string OurLine(const TmyImage& img) {
    std::vector<std::uint8_t> rgba;
    for (const TmyPixel& p : img.Pixels()) rgba.insert(rgba.end(), {p.R, p.G, p.B, p.A});
    for (std::size_t i = 3; i < rgba.size(); i += 4)
        if (rgba[i] == 0) std::fill_n(rgba.begin() + static_cast<std::ptrdiff_t>(i - 3), 4, 0);
    char crc[16];
    std::snprintf(crc, sizeof crc, " %08lx", crc32(0, rgba.data(), static_cast<uInt>(rgba.size())));
    return std::to_string(img.Width()) + " " + std::to_string(img.Height()) + crc;
}

// "W H DEPTH HX HY", as IcotoolList gives a cursor's images.
std::string Listed(const TmyImagePal& img) {
    return std::to_string(img.Width()) + " " + std::to_string(img.Height()) + " " + std::to_string(img.BitCount) + " " +
           std::to_string(img.HotSpotX()) + " " + std::to_string(img.HotSpotY());
}

class IcoPeer : public ::testing::Test {
protected:
    void SetUp() override {
        if (!fs::exists(kPython) || Shell(std::string(kPython) + " -c 'import PIL; print(1)'") != std::vector<std::string>{"1"})
            GTEST_SKIP() << "python3-pil missing";
        if (Shell("command -v icotool").empty()) GTEST_SKIP() << "icotool missing";
        dir_ = fs::temp_directory_path() / ("velto-icopeer-" + std::to_string(::getpid()));
        fs::create_directories(dir_);
        std::ofstream(dir_ / "peer.py") << kScript;
    }
    void TearDown() override {
        if (!dir_.empty()) fs::remove_all(dir_);
    }
    std::vector<std::string> Pillow(const std::string& args) {
        return Shell(std::string(kPython) + " " + Quote((dir_ / "peer.py").string()) + " " + args + " 2>/dev/null");
    }
    static std::vector<std::string> IcotoolList(const std::string& file) {
        return Shell("icotool -l " + Quote(file) + " 2>/dev/null | sed -E 's/.*--width=([0-9]+) --height=([0-9]+) "
                     "--bit-depth=([0-9]+) .*--hotspot-x=([0-9]+) --hotspot-y=([0-9]+).*/\\1 \\2 \\3 \\4 \\5/'");
    }

    fs::path dir_;
};

// A cursor of every depth with odd, non-square and the largest sizes,
// hotspots, transparent pixels and partial alpha.
TmyIcon PeerCursor() {
    TmyIcon doc;
    doc.IsCursor = true;
    int seed = 1;
    for (auto [w, h, bits] : {std::array{5, 7, 1}, {17, 9, 4}, {16, 12, 8}, {5, 5, 24}, {17, 17, 32}, {256, 256, 32}, {256, 256, 8}}) {
        doc.AddImage({w, h}, bits);
        icotest::Paint(doc.CurrentImage(), seed);
        doc.CurrentImage().SetHotSpotX(seed * 2);
        doc.CurrentImage().SetHotSpotY(seed++);
    }
    return doc;
}

}  // namespace

TEST_F(IcoPeer, SampleFilesReadAsPillowReadsThem) {
    VELTO_NEED_CORPUS();
    // Refused on purpose: a PNG header claiming more than 256x256 is refused
    // before decoding; a cursor of no entries.
    const std::vector<std::string> refused = {"decompression_bomb.ico", "no_cursors.cur"};
    // Their directory records 8 bytes for the image (1 and 8 bits); Pillow
    // finds the AND mask through that size and reads colour rows as the mask.
    // We follow the image header (as Pillow does once the size is corrected).
    const std::vector<std::string> differ = {"mask_1.cur", "mask_L.cur"};
    int compared = 0;
    for (const auto& entry : fs::directory_iterator(fs::path(VELTO_CORPUS_DIR) / "pillow")) {
        const std::string ext = entry.path().extension().string(), name = entry.path().filename().string();
        if (ext != ".ico" && ext != ".cur") continue;
        SCOPED_TRACE(name);
        TmyIcon doc;
        const bool ok = TmyIcoIO(false).LoadFromFile(doc, entry.path().string());
        if (std::count(refused.begin(), refused.end(), name)) {
            EXPECT_FALSE(ok);
            continue;
        }
        ASSERT_TRUE(ok);
        std::vector<std::string> ours, theirs = Pillow("ico " + Quote(entry.path().string()));
        for (int i = 0; i < doc.Count(); ++i) ours.push_back(OurLine(doc.Image(i)));
        std::sort(ours.begin(), ours.end());
        std::sort(theirs.begin(), theirs.end());
        if (std::count(differ.begin(), differ.end(), name)) EXPECT_NE(ours, theirs) << "Pillow now reads it as we do";
        else EXPECT_EQ(ours, theirs);

        // Hotspots and depths of cursors as icotool lists them (it stops at
        // entries whose recorded size disagrees with their header).
        for (const std::string& l : doc.IsCursor ? IcotoolList(entry.path().string()) : std::vector<std::string>{}) {
            bool found = false;
            for (int i = 0; i < doc.Count(); ++i) found |= l == Listed(doc.Image(i));
            EXPECT_TRUE(found) << l;
        }
        ++compared;
    }
    EXPECT_GE(compared, 8);
}

TEST_F(IcoPeer, PeersReadOurCursorsAsWritten) {
    for (bool png : {false, true}) {
        SCOPED_TRACE(png ? "256x256x32 as PNG" : "all bitmaps");
        const std::string file = (dir_ / "ours.cur").string();
        TmyIcon order = PeerCursor();
        ASSERT_TRUE(TmyIcoIO(false).SaveToFile(order, file, png));
        order.SortImagesDepthAsc();  // the file's order

        const std::vector<std::string> listed = IcotoolList(file);
        std::vector<std::string> ours, pillow = Pillow("ico " + Quote(file));
        ASSERT_EQ(listed.size(), static_cast<std::size_t>(order.Count()));
        for (int i = 0; i < order.Count(); ++i) {
            EXPECT_EQ(listed[static_cast<std::size_t>(i)], Listed(order.Image(i)));
            ours.push_back(OurLine(order.Image(i)));
        }
        std::vector<std::string> sorted = ours;
        std::sort(pillow.begin(), pillow.end());  // Pillow lists entries in its own order
        std::sort(sorted.begin(), sorted.end());
        EXPECT_EQ(pillow, sorted);

        // What icotool extracts, read by Pillow. icotool 0.32 reads 24-bit rows
        // without their padding to 4 bytes, so it shears 24-bit images whose
        // width is not a multiple of 4 (Pillow and the format's row rule agree
        // with us): those are left out.
        const fs::path out = dir_ / "x";
        fs::create_directories(out);
        Shell("icotool -x -o " + Quote(out.string()) + " " + Quote(file) + " 2>/dev/null");
        std::string args = "png";
        std::vector<std::string> expected;
        for (int i = 0; i < order.Count(); ++i) {
            const TmyImagePal& img = order.Image(i);
            if (img.BitCount == 24 && img.Width() % 4 != 0) continue;
            args += " " + Quote((out / ("ours_" + std::to_string(i + 1) + "_" + std::to_string(img.Width()) + "x" +
                                        std::to_string(img.Height()) + "x" + std::to_string(img.BitCount) + ".png")).string());
            expected.push_back(ours[static_cast<std::size_t>(i)]);
        }
        EXPECT_EQ(Pillow(args), expected);
        fs::remove_all(out);
    }
}

// ---------------------------------------------------------------- animated cursors

namespace {

std::string PeerDir() {
    if (const char* env = std::getenv("VELTO_PEER_NODE"); env && *env) return env;
    std::error_code ec;
    return (fs::read_symlink("/proc/self/exe", ec).parent_path().parent_path() / "peer-node").string();
}
#define REQUIRE_PEER()                                                                                          \
    if (std::system("command -v node >/dev/null") != 0 || !fs::exists(PeerDir() + "/node_modules/ani-cursor")) \
    GTEST_SKIP() << "node or ani-cursor missing in " << PeerDir()                                               \
                 << " (./test.sh installs it with npm ci; the registry may have been unreachable)"

// parse-ani.js's output for one file: first word of each line -> the rest.
std::map<std::string, std::string> Peer(const std::string& file) {
    std::map<std::string, std::string> out;
    for (const std::string& line : Shell("node " + Quote(PeerDir() + "/parse-ani.js") + " " + Quote(file) + " 2>&1"))
        if (const auto sp = line.find(' '); sp != std::string::npos) out[line.substr(0, sp)] = line.substr(sp + 1);
    return out;
}
std::vector<long> Numbers(const std::string& s) {
    std::istringstream in(s);
    std::vector<long> out;
    for (long v; in >> v;) out.push_back(v);
    return out;
}
std::string Quoted(const std::string& s) {  // as JSON.stringify writes plain text
    std::string out = "\"";
    for (char c : s) out += (c == '"' || c == '\\') ? std::string{'\\', c} : std::string{c};
    return out + "\"";
}

}  // namespace

TEST(AniPeer, SampleFilesAgreeOnStepsRatesAndTexts) {
    VELTO_NEED_CORPUS();
    REQUIRE_PEER();
    int files = 0;
    for (const auto& entry : fs::recursive_directory_iterator(VELTO_CORPUS_DIR)) {
        // Animated cursors by content: several samples carry the ".cur" extension.
        std::vector<std::uint8_t> head;
        std::uint64_t size = 0;
        const std::string path = entry.path().string();
        if (!entry.is_regular_file() || !ReadFileHead(path, 12, head, size) || head.size() < 12 ||
            std::string(head.begin(), head.begin() + 4) + std::string(head.begin() + 8, head.end()) != "RIFFACON")
            continue;
        ++files;
        TmyANI doc;
        ASSERT_TRUE(TmyANIIO(false).LoadFromFile(doc, path)) << path;
        auto peer = Peer(path);
        ASSERT_EQ(peer.count("error"), 0u) << path << ": " << peer["error"];
        const std::vector<long> rate = Numbers(peer["rate"]), steps = Numbers(peer[peer["seq"] == "none" ? "icons" : "seq"]);
        ASSERT_EQ(static_cast<std::size_t>(doc.Count()), steps.size()) << path;
        for (std::size_t i = 0; i < steps.size(); ++i) {
            const long jiffies = i < rate.size() ? rate[i] : Numbers(peer["anih"]).at(7);
            // A delay of 0 is held as the model's least rate, 0.1 s.
            EXPECT_EQ(SecondsToJiffies(doc.Image(static_cast<int>(i)).Rate()), jiffies ? jiffies : 6) << path << " " << i;
        }
        // An empty text reads as no text.
        EXPECT_EQ(doc.Title.empty() ? "none" : Quoted(doc.Title), peer["title"]) << path;
        EXPECT_EQ(doc.Author.empty() ? "none" : Quoted(doc.Author), peer["artist"]) << path;
    }
    EXPECT_GE(files, 5);
}

TEST(AniPeer, WrittenFilesParseWithTheExpectedStructure) {
    REQUIRE_PEER();
    auto frame = [](int w, int h, int bits, std::uint8_t shade, double rate, int hotX = 0) {
        TmyImagePal img({w, h}, bits);
        for (TmyPixel& p : img.Pixels())
            p = img.Palette ? (*img.Palette)[shade % img.Palette->Count()] : TmyPixel::CreateRGBA(shade, 1, 2, 255);
        img.At(0, 0) = TmyPixel::Create();
        img.SetHotSpotX(hotX);
        img.SetRate(rate);
        return img;
    };
    const struct {
        std::vector<TmyImagePal> frames;
        std::string title, author, anih, rate, seq;
    } cases[] = {
        {{frame(32, 32, 32, 9, 0.1), frame(32, 32, 32, 9, 0.1), frame(32, 32, 32, 9, 0.1)}, "", "",
         "36 1 3 32 32 32 1 6 3", "none", "0 0 0"},
        {{frame(17, 5, 8, 3, 0.1), frame(17, 5, 8, 4, 0.2)}, "Title", "Some \"one\"", "36 2 2 17 5 8 1 10 1", "6 12", "none"},
        {{frame(48, 48, 4, 1, 0.5), frame(48, 48, 4, 2, 0.5), frame(48, 48, 4, 1, 0.5, 7), frame(48, 48, 4, 1, 1.0),
          frame(48, 48, 4, 2, 0.5)},
         "abcd", "", "36 3 5 48 48 4 1 10 3", "30 30 30 60 30", "0 1 2 0 1"},
        {{frame(256, 256, 1, 1, 0.3)}, "abc", "x", "36 1 1 256 256 1 1 18 1", "none", "none"},
    };
    const fs::path dir = fs::temp_directory_path() / ("velto-ani-peer-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const std::string path = (dir / "w.ani").string();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.anih);
        TmyANI doc;
        for (const TmyImagePal& f : c.frames) doc.AppendImage(std::make_unique<TmyImagePal>(f));
        doc.Title = c.title;
        doc.Author = c.author;
        ASSERT_TRUE(TmyANIIO(false).SaveToFile(doc, path, false));
        auto peer = Peer(path);
        ASSERT_EQ(peer.count("error"), 0u) << peer["error"];
        const bool info = !c.title.empty() || !c.author.empty();
        EXPECT_EQ(peer["anih"] + "|" + peer["rate"] + "|" + peer["seq"] + "|" + peer["title"] + "|" + peer["artist"],
                  c.anih + "|" + c.rate + "|" + c.seq + "|" + (info ? Quoted(c.title) + "|" + Quoted(c.author) : "none|none"));
        // One cursor file of one image per stored frame, of the size the cursor format gives it.
        const TmyImagePal& f = c.frames[0];
        const long icon = 22 + 40 + TmyIcoIO::ImageDataSize(f.Height(), f.Width(), f.BitCount) +
                          TmyIcoIO::MaskDataSize(f.Height(), f.Width());
        EXPECT_EQ(Numbers(peer["icons"]), std::vector<long>(static_cast<std::size_t>(Numbers(c.anih)[1]), icon));
    }
    fs::remove_all(dir);
}

