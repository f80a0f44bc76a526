// The codec against two independent readers on every GIF of the samples:
// giflib's DGifSlurp (linked into this test only) and Pillow (Debian's
// python3-pil on the system interpreter). Frames are compared after they are
// played onto the logical screen with their transparency and disposal.
// What we write is read back by giflib and described by gifsicle.
#include <gif_lib.h>
#include <gtest/gtest.h>
#include <unistd.h>
#include <zlib.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "../GifTestUtil.h"
#include "Corpus.h"
#include "gif/GifCompose.h"
#include "PeerShell.h"
#include "platform/FileIO.h"
#include "platform/FileWriter.h"

namespace fs = std::filesystem;
using namespace giftest;
using velto::test::Quote;
using velto::test::Shell;

namespace {

constexpr const char* kPython = "/usr/bin/python3";

std::string Crc(const Bytes& b) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%08lx", crc32(0, b.data(), uInt(b.size())));
    return buf;
}

// One line per file: the CRC of each composed frame, or "error".
std::string Line(const RawGif& gif) {
    std::string line;
    for (const Bytes& shot : Compose(gif)) line += (line.empty() ? "" : " ") + Crc(shot);
    return line;
}

// The same line from the composer a player uses.
std::string ComposerLine(const TGIFImage& gif) {
    std::string line;
    TGIFComposer composer(gif);
    for (int i = 0; i < gif.Images().Count(); ++i) {
        composer.Step(i);
        if (gif.Images()[i].Empty()) continue;
        const auto& px = composer.Canvas().Pixels;
        const Bytes shot(reinterpret_cast<const std::uint8_t*>(px.data()),
                         reinterpret_cast<const std::uint8_t*>(px.data() + px.size()));
        line += (line.empty() ? "" : " ") + Crc(shot);
    }
    return line;
}

// giflib's frames, or false when DGifSlurp refuses the file.
bool Giflib(const Bytes& file, RawGif& out) {
    struct Src {
        const Bytes* b;
        std::size_t pos;
    } src{&file, 0};
    int error = 0;
    GifFileType* gif = DGifOpen(&src, [](GifFileType* g, GifByteType* dst, int n) -> int {
        auto* s = static_cast<Src*>(g->UserData);
        const std::size_t k = std::min<std::size_t>(std::size_t(n), s->b->size() - s->pos);
        std::memcpy(dst, s->b->data() + s->pos, k);
        s->pos += k;
        return int(k);
    }, &error);
    if (!gif) return false;
    const bool ok = DGifSlurp(gif) == GIF_OK;
    if (ok) {
        out = {gif->SWidth, gif->SHeight, {}};
        for (int i = 0; i < gif->ImageCount; ++i) {
            const SavedImage& s = gif->SavedImages[i];
            RawFrame f{s.ImageDesc.Left, s.ImageDesc.Top, s.ImageDesc.Width, s.ImageDesc.Height, {}, {}, -1, 0};
            f.indices.assign(s.RasterBits, s.RasterBits + std::size_t(f.width) * f.height);
            const ColorMapObject* map = s.ImageDesc.ColorMap ? s.ImageDesc.ColorMap : gif->SColorMap;
            for (int c = 0; map && c < map->ColorCount; ++c)
                f.map.push_back({map->Colors[c].Red, map->Colors[c].Green, map->Colors[c].Blue});
            GraphicsControlBlock gcb;
            if (DGifSavedExtensionToGCB(gif, i, &gcb) == GIF_OK) {
                f.disposal = gcb.DisposalMode;
                f.transparent = gcb.TransparentColor;
            }
            out.frames.push_back(std::move(f));
        }
    }
    DGifCloseFile(gif, &error);
    return ok;
}

// Pillow's frames composed the same way, from its own record of each frame
// (the palette indices of the frame's rectangle, its palette, transparency
// and disposal): a line as Line() writes it, or "error".
constexpr const char* kScript = R"PY(
import sys, zlib
from PIL import Image, GifImagePlugin
GifImagePlugin.LOADING_STRATEGY = GifImagePlugin.LoadingStrategy.RGB_ALWAYS
for path in sys.argv[1:]:
    try:
        im = Image.open(path)
        out = []
        for i in range(getattr(im, 'n_frames', 1)):
            im.seek(i)
            rgba = bytearray(im.convert('RGBA').tobytes())
            for k in range(3, len(rgba), 4):
                if rgba[k] == 0: rgba[k - 3:k + 1] = bytes(4)
            out.append('%08x' % zlib.crc32(rgba))
        print(' '.join(out))
    except Exception as e:
        print('error ' + type(e).__name__)
)PY";

// Samples a peer reads differently, and why; every other sample gives the same
// frames in all three readers, or is refused by all three.
struct Difference {
    bool giflib, pillow;  // which peer differs
    const char* reason;
};
const std::map<std::string, Difference> kDifferences = {
    {"background_outside_palette.gif", {false, true, "Pillow refuses a background index beyond the palette; it is not used for frames"}},
    {"decompression_bomb_extents.gif", {false, true, "Pillow refuses frames beyond the screen as a bomb; they are kept, as giflib does"}},
    {"dispose_bgnd.gif", {false, true, "Pillow disposes to the opaque background colour; the area is cleared here, as giflib composes"}},
    {"dispose_bgnd_rgba.gif", {false, true, "as dispose_bgnd.gif"}},
    {"no_palette_with_transparency_after_rgb.gif", {false, true, "Pillow refuses a later frame without any colour map"}},
    {"hopper_zero_comment_subblocks.gif", {true, false, "giflib refuses a comment made of an empty sub-block list"}},
    {"issue_2811.gif", {true, false, "no trailer: giflib reads past the end and refuses the file; a missing trailer is accepted"}},
    {"test_extents_transparency.gif",
     {true, true, "two files end to end: reading stops at the second signature with \"Unknown GIF block type\"; "
                  "giflib refuses, Pillow reads on"}},
};
// Samples refused here, with the codec's text; both peers refuse them too.
const std::map<std::string, std::string> kRefused = {
    {"decompression_bomb.gif", "Out of memory"},  // a 65535-wide frame from 44 bytes
    {"zero_width.gif", "Invalid GIF data"},        // minimum code size 143
};

class GifPeer : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("velto-gifpeer-" + std::to_string(::getpid()));
        fs::create_directories(dir_);
        std::ofstream(dir_ / "peer.py") << kScript;
    }
    void TearDown() override { fs::remove_all(dir_); }
    bool HavePillow() const {
        return fs::exists(kPython) &&
               Shell(std::string(kPython) + " -c 'import PIL; print(1)'") == std::vector<std::string>{"1"};
    }
    std::vector<std::string> Pillow(const std::vector<std::string>& files) {
        std::string args;
        for (const auto& f : files) args += " " + Quote(f);
        return Shell(std::string(kPython) + " " + Quote((dir_ / "peer.py").string()) + args + " 2>/dev/null");
    }
    fs::path dir_;
};

TEST_F(GifPeer, SamplesMatchGiflibAndPillow) {
    VELTO_NEED_CORPUS();
    const fs::path root = velto::test::Corpus("pillow");
    std::vector<std::string> files;
    for (const auto& e : fs::recursive_directory_iterator(root))
        if (e.path().extension() == ".gif") files.push_back(e.path().string());
    std::sort(files.begin(), files.end());
    ASSERT_GE(files.size(), 38u);
    const bool pillow = HavePillow();
    if (!pillow) std::printf("python3-pil missing: compared with giflib only\n");
    const std::vector<std::string> pillowLines = pillow ? Pillow(files) : std::vector<std::string>{};
    if (pillow) {
        ASSERT_EQ(pillowLines.size(), files.size());
    }
    for (std::size_t i = 0; i < files.size(); ++i) {
        const std::string name = fs::relative(files[i], root).string();
        SCOPED_TRACE(name);
        Bytes bytes;
        ASSERT_TRUE(velto::ReadWholeFile(files[i], bytes));
        TGIFImage gif;
        const std::string error = Load(gif, bytes);
        RawGif theirs;
        const std::string ours = error.empty() ? Line(FromOurs(gif)) : "error";
        const std::string giflib = Giflib(bytes, theirs) ? Line(theirs) : "error";
        std::string fromPillow = pillow ? pillowLines[i] : ours;
        if (fromPillow.rfind("error", 0) == 0) fromPillow = "error";
        const auto refused = kRefused.find(name);
        EXPECT_EQ(error, refused == kRefused.end() ? "" : refused->second);
        if (error.empty()) {
            EXPECT_EQ(ComposerLine(gif), ours) << "the player's composer";
        }
        const auto diff = kDifferences.find(name);
        const Difference d = diff == kDifferences.end() ? Difference{false, false, ""} : diff->second;
        EXPECT_EQ(ours != giflib, d.giflib) << "ours " << ours << "\ngiflib " << giflib << "\n" << d.reason;
        if (pillow) {
            EXPECT_EQ(ours != fromPillow, d.pillow) << "ours " << ours << "\nPillow " << fromPillow << "\n" << d.reason;
        }
    }
}

// What we write: an animation with both kinds of colour map, interlacing,
// transparency, every disposal, comments and a loop count, with either
// encoder. giflib reads the same frames; gifsicle describes what was written.
TEST_F(GifPeer, WrittenFilesReadByGiflibAndGifsicle) {
    const bool gifsicle = !Shell("command -v gifsicle").empty();
    if (!gifsicle) std::printf("gifsicle missing: read back by giflib only\n");
    for (const std::uint8_t compression : {0, 1}) {
        SCOPED_TRACE(int(compression));
        TGIFImage gif;
        const Bytes file = FeatureFile(gif, compression);
        RawGif theirs;
        ASSERT_TRUE(Giflib(file, theirs));
        const RawGif ours = FromOurs(gif);
        ASSERT_EQ(theirs.frames.size(), ours.frames.size());
        for (std::size_t f = 0; f < ours.frames.size(); ++f) EXPECT_EQ(theirs.frames[f].indices, ours.frames[f].indices) << f;
        EXPECT_EQ(Line(theirs), Line(ours));
        if (!gifsicle) continue;
        const fs::path path = dir_ / "written.gif";
        ASSERT_TRUE(velto::WriteWholeFile(path.string(), file));
        std::string info;
        for (const std::string& line : Shell("gifsicle --info " + Quote(path.string()) + " 2>&1")) info += line + "\n";
        for (const char* expected : {"5 images", "logical screen 40x30", "global color table [16]", "loop count 3",
                                     "comment first", "comment last", "+ image #1 20x10 at 5,6 interlaced transparent 2",
                                     "local color table [8]", "disposal asis delay 0.20s", "disposal background delay 0.30s",
                                     "disposal previous delay 0.40s", "local color table [256]"})
            EXPECT_NE(info.find(expected), std::string::npos) << expected << "\n" << info;
        EXPECT_EQ(info.find("warning"), std::string::npos) << info;
    }
}

// Our LZW codes for every table width, with clears mid-stream, decode in
// giflib to the same pixels.
TEST_F(GifPeer, GiflibDecodesOurCodesAtEveryDepth) {
    for (int bits = 1; bits <= 8; ++bits)
        for (const bool rle : {false, true}) {
            SCOPED_TRACE(std::to_string(bits) + (rle ? " rle" : " lzw"));
            TGIFImage gif;
            for (int i = 0; i < (1 << bits); ++i) gif.GlobalColorMap().Add(MakeColor(std::uint8_t(i), 0, 0));
            gif.Compression = rle;
            AddFrame(gif, 0, 0, 150, 90, 0, -1, -1, bits % 2 == 0);
            RawGif theirs;
            ASSERT_TRUE(Giflib(Save(gif), theirs));
            ASSERT_EQ(theirs.frames.size(), 1u);
            EXPECT_EQ(theirs.frames[0].indices, FromOurs(gif).frames[0].indices);
        }
}

}  // namespace
