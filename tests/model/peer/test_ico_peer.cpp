// Icon and cursor files against two independent readers: Pillow (Debian's
// python3-pil on the system interpreter) and icotool (icoutils). Images are
// compared by size, depth, hotspot and a SHA-256 of their RGBA bytes in which
// every transparent pixel counts as 0, 0, 0, 0.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "model/IcoIO.h"
#include "platform/FileIO.h"

namespace fs = std::filesystem;
using namespace velto;

namespace {

constexpr const char* kPython = "/usr/bin/python3";

// Pillow's view: "ico FILE" prints one line per directory entry, "png FILES"
// one line per picture: "W H SHA", or "error". Its icon reader takes the depth
// from the directory, where cursors hold the hotspot: cursor files are shown
// to it as icons whose directory repeats each image header's depth.
constexpr const char* kScript = R"PY(
import sys, io, hashlib
from PIL import Image, IcoImagePlugin
def sha(im):
    b = bytearray(im.convert('RGBA').tobytes())
    for i in range(0, len(b), 4):
        if b[i + 3] == 0:
            b[i:i + 4] = b'\0\0\0\0'
    return hashlib.sha256(bytes(b)).hexdigest()
if sys.argv[1] == 'ico':
    d = bytearray(open(sys.argv[2], 'rb').read())
    if d[2] == 2:
        d[2:4] = b'\1\0'
        for i in range(int.from_bytes(d[4:6], 'little')):
            e = 6 + 16 * i
            at = int.from_bytes(d[e + 12:e + 16], 'little')
            bits = 32 if d[at:at + 4] == b'\x89PNG' else int.from_bytes(d[at + 14:at + 16], 'little')
            d[e + 4:e + 8] = b'\1\0' + bits.to_bytes(2, 'little')
    ico = IcoImagePlugin.IcoFile(io.BytesIO(bytes(d)))
    for i in range(len(ico.entry)):
        try:
            im = ico.frame(i)
            print(im.size[0], im.size[1], sha(im))
        except Exception:
            print('error')
else:
    for p in sys.argv[2:]:
        im = Image.open(p)
        print(im.size[0], im.size[1], sha(im))
)PY";

std::string Shell(const std::string& command) {
    std::string out;
    FILE* p = ::popen(command.c_str(), "r");
    if (!p) return out;
    std::array<char, 4096> buf;
    std::size_t n;
    while ((n = std::fread(buf.data(), 1, buf.size(), p)) > 0) out.append(buf.data(), n);
    ::pclose(p);
    return out;
}

std::string Quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        if (!line.empty()) out.push_back(line);
    return out;
}

// SHA-256 of the normalised RGBA bytes, computed by Python too so both sides
// hash alike: our pixels go through a raw RGBA file.
std::string OurLine(const TmyImage& img, const fs::path& scratch) {
    std::vector<std::uint8_t> rgba;
    for (const TmyPixel& p : img.Pixels()) {
        if (p.A == 0) rgba.insert(rgba.end(), {0, 0, 0, 0});
        else rgba.insert(rgba.end(), {p.R, p.G, p.B, p.A});
    }
    const fs::path raw = scratch / "pixels.raw";
    SaveFileAtomic(raw.string(), rgba);
    const std::string sha = Shell(std::string(kPython) + " -c \"import hashlib,sys; print(hashlib.sha256(open(sys.argv[1],'rb').read()).hexdigest())\" " +
                                Quote(raw.string()));
    return std::to_string(img.Width()) + " " + std::to_string(img.Height()) + " " + Lines(sha).at(0);
}

// What icotool -l says of an image, in IcotoolList's form.
std::string Listed(const TmyImagePal& img) {
    return std::to_string(img.Width()) + " " + std::to_string(img.Height()) + " " + std::to_string(img.BitCount) + " " +
           std::to_string(img.HotSpotX()) + " " + std::to_string(img.HotSpotY());
}

class IcoPeer : public ::testing::Test {
protected:
    void SetUp() override {
        if (!fs::exists(kPython) || Shell(std::string(kPython) + " -c 'import PIL; print(1)'") != "1\n")
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
        return Lines(Shell(std::string(kPython) + " " + Quote((dir_ / "peer.py").string()) + " " + args + " 2>/dev/null"));
    }
    // icotool -l: "W H DEPTH HX HY" per image it lists (the hotspot fields
    // only exist for cursors).
    std::vector<std::string> IcotoolList(const std::string& file) {
        std::vector<std::string> out;
        for (const std::string& line : Lines(Shell("icotool -l " + Quote(file) + " 2>/dev/null"))) {
            std::map<std::string, std::string> f;
            std::istringstream in(line);
            for (std::string word; in >> word;) {
                const auto eq = word.find('=');
                if (eq != std::string::npos) f[word.substr(2, eq - 2)] = word.substr(eq + 1);
            }
            out.push_back(f["width"] + " " + f["height"] + " " + f["bit-depth"] + " " + f["hotspot-x"] + " " +
                          f["hotspot-y"]);
        }
        return out;
    }

    fs::path dir_;
};

// A cursor of every depth with odd, non-square and the largest sizes,
// hotspots, transparent pixels and partial alpha.
TmyIcon PeerCursor() {
    struct Spec {
        ImageSize size;
        int bits;
    } specs[] = {{{5, 7}, 1}, {{17, 9}, 4}, {{16, 12}, 8}, {{5, 5}, 24}, {{17, 17}, 32}, {{256, 256}, 32}, {{256, 256}, 8}};
    TmyIcon doc;
    doc.IsCursor = true;
    int seed = 1;
    for (const Spec& s : specs) {
        doc.AddImage(s.size, s.bits);
        TmyImagePal& img = doc.CurrentImage();
        for (int y = 0; y < img.Height(); ++y)
            for (int x = 0; x < img.Width(); ++x) {
                const int v = x * 5 + y * 3 + seed;
                TmyPixel p = img.Palette ? (*img.Palette)[v % img.Palette->Count()]
                                         : TmyPixel::CreateRGBA(static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(x * 9),
                                                                static_cast<std::uint8_t>(y * 7),
                                                                s.bits == 32 ? static_cast<std::uint8_t>(1 + v % 255) : 255);
                if ((x + 2 * y) % 7 == 0) p = TmyPixel::Create();
                img.At(x, y) = p;
            }
        img.SetHotSpotX(seed * 2);
        img.SetHotSpotY(seed);
        ++seed;
    }
    return doc;
}

}  // namespace

TEST_F(IcoPeer, SampleFilesReadAsPillowReadsThem) {
    const fs::path corpus = VELTO_CORPUS_DIR;
    // Files we refuse on purpose, with the reason.
    const std::map<std::string, std::string> refused = {
        {"decompression_bomb.ico", "its PNG header claims more than 256x256: refused before decoding"},
        {"no_cursors.cur", "a directory of no entries"},
    };
    // Files Pillow reads otherwise, with the reason. Their directory records
    // a size of 8 bytes for the image; Pillow finds the AND mask through that
    // size, so it reads colour rows as the mask. The image header gives the
    // real layout, which is what we follow (Pillow agrees once the size is
    // corrected).
    const std::map<std::string, std::string> differ = {
        {"mask_1.cur", "1 bit"},
        {"mask_L.cur", "8 bits"},
    };
    int compared = 0;
    for (const auto& entry : fs::directory_iterator(corpus / "pillow")) {
        const std::string ext = entry.path().extension().string();
        if (ext != ".ico" && ext != ".cur") continue;
        const std::string name = entry.path().filename().string();
        SCOPED_TRACE(name);
        TmyIcon doc;
        const bool ok = TmyIcoIO(false).LoadFromFile(doc, entry.path().string());
        if (refused.count(name)) {
            EXPECT_FALSE(ok) << refused.at(name);
            continue;
        }
        ASSERT_TRUE(ok);
        std::vector<std::string> ours;
        for (int i = 0; i < doc.Count(); ++i) ours.push_back(OurLine(doc.Image(i), dir_));
        std::vector<std::string> theirs = Pillow("ico " + Quote(entry.path().string()));
        std::sort(ours.begin(), ours.end());
        std::sort(theirs.begin(), theirs.end());
        if (differ.count(name)) EXPECT_NE(ours, theirs) << "Pillow now reads it as we do: drop it from the list";
        else EXPECT_EQ(ours, theirs);

        // Hotspots and depths of cursors as icotool lists them (it stops at
        // entries whose recorded size disagrees with their header).
        if (doc.IsCursor) {
            std::vector<std::string> listed = IcotoolList(entry.path().string());
            for (const std::string& l : listed) {
                bool found = false;
                for (int i = 0; i < doc.Count(); ++i) found |= l == Listed(doc.Image(i));
                EXPECT_TRUE(found) << l;
            }
        }
        ++compared;
    }
    EXPECT_GE(compared, 8);
}

TEST_F(IcoPeer, PeersReadOurCursorsAsWritten) {
    for (bool png : {false, true}) {
        SCOPED_TRACE(png ? "256x256x32 as PNG" : "all bitmaps");
        const TmyIcon doc = PeerCursor();
        const std::string file = (dir_ / "ours.cur").string();
        ASSERT_TRUE(TmyIcoIO(false).SaveToFile(doc, file, png));
        TmyIcon order(doc);
        order.SortImagesDepthAsc();  // the file's order

        std::vector<std::string> listed = IcotoolList(file);
        std::vector<std::string> ours;
        ASSERT_EQ(listed.size(), static_cast<std::size_t>(order.Count()));
        for (int i = 0; i < order.Count(); ++i) {
            EXPECT_EQ(listed[static_cast<std::size_t>(i)], Listed(order.Image(i)));
            ours.push_back(OurLine(order.Image(i), dir_));
        }
        std::vector<std::string> pillow = Pillow("ico " + Quote(file)), sorted = ours;
        std::sort(pillow.begin(), pillow.end());  // Pillow lists entries in its own order
        std::sort(sorted.begin(), sorted.end());
        EXPECT_EQ(pillow, sorted);

        const fs::path out = dir_ / "x";
        fs::create_directories(out);
        Shell("icotool -x -o " + Quote(out.string()) + " " + Quote(file) + " 2>/dev/null");
        std::vector<std::string> extracted;
        for (int i = 0; i < order.Count(); ++i) {
            const TmyImagePal& img = order.Image(i);
            extracted.push_back(Quote((out / ("ours_" + std::to_string(i + 1) + "_" + std::to_string(img.Width()) + "x" +
                                              std::to_string(img.Height()) + "x" + std::to_string(img.BitCount) + ".png"))
                                          .string()));
        }
        // icotool 0.32 reads 24-bit rows without their padding to 4 bytes, so
        // it shears 24-bit images whose width is not a multiple of 4 (Pillow
        // and the format's row rule agree with us): those are left out.
        std::string args = "png";
        std::vector<std::string> expected;
        for (int i = 0; i < order.Count(); ++i) {
            if (order.Image(i).BitCount == 24 && order.Image(i).Width() % 4 != 0) continue;
            args += " " + extracted[static_cast<std::size_t>(i)];
            expected.push_back(ours[static_cast<std::size_t>(i)]);
        }
        EXPECT_EQ(Pillow(args), expected);
        fs::remove_all(out);
    }
}
