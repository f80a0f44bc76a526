// The pixel engine against independent implementations, run on Debian's own
// python3: Pillow (transposes, flood fill, box resampling), SciPy's
// ndimage.correlate (the 5 x 5 filter), the standard colorsys module (HSV),
// and ImageMagick's convert (flips and quarter turns). Pictures travel as raw
// RGBA files in a temporary folder.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "../EngineTestUtil.h"
#include "engine/Composite.h"
#include "engine/Filter.h"
#include "engine/Painter.h"
#include "engine/Transform.h"

namespace fs = std::filesystem;

namespace velto {
namespace {

using test::Px;

constexpr const char* kPython = "/usr/bin/python3";

constexpr const char* kScript = R"PY(
import sys
cmd = sys.argv[1]
def load(path, w, h):
    from PIL import Image
    return Image.frombytes('RGBA', (int(w), int(h)), open(path, 'rb').read())
if cmd == 'transpose':
    from PIL import Image
    op = {'flop': Image.FLIP_LEFT_RIGHT, 'flip': Image.FLIP_TOP_BOTTOM,
          'left': Image.ROTATE_90, 'right': Image.ROTATE_270}[sys.argv[5]]
    open(sys.argv[6], 'wb').write(load(*sys.argv[2:5]).transpose(op).tobytes())
elif cmd == 'correlate':
    import numpy as np
    from scipy import ndimage
    w, h = int(sys.argv[3]), int(sys.argv[4])
    a = np.frombuffer(open(sys.argv[2], 'rb').read(), dtype=np.uint8).reshape(h, w, 4).astype(np.int64)
    out = open(sys.argv[6], 'wb')
    for line in open(sys.argv[5]):
        v = [int(x) for x in line.split()]
        k = np.array(v[:25], dtype=np.int64).reshape(5, 5)
        d = v[25] or 1
        res = np.zeros((h, w, 3), dtype=np.uint8)
        for c in range(3):
            s = ndimage.correlate(a[:, :, c], k, mode='constant')
            res[:, :, c] = np.clip(np.rint(s / d) + v[26], 0, 255).astype(np.uint8)
        out.write(res.tobytes())
elif cmd == 'floodfill':
    from PIL import ImageDraw
    im = load(*sys.argv[2:5])
    x, y, r, g, b, a = (int(v) for v in sys.argv[5:11])
    ImageDraw.floodfill(im, (x, y), (r, g, b, a), thresh=0)
    open(sys.argv[11], 'wb').write(im.tobytes())
elif cmd == 'resize':
    from PIL import Image
    im = load(*sys.argv[2:5]).convert('RGB').resize((int(sys.argv[5]), int(sys.argv[6])), Image.BOX)
    open(sys.argv[7], 'wb').write(im.convert('RGBA').tobytes())
elif cmd == 'hsv':
    import colorsys
    out = []
    for line in open(sys.argv[2]):
        kind, a, b, c = line.split()
        if kind == 'rgb':
            hh, ss, vv = colorsys.rgb_to_hsv(int(a) / 255, int(b) / 255, int(c) / 255)
            out.append('%.6f %.6f %.6f' % (hh * 360, ss * 100, vv * 100))
        else:
            r, g, bb = colorsys.hsv_to_rgb(int(a) / 360, int(b) / 100, int(c) / 100)
            out.append('%.6f %.6f %.6f' % (r * 255, g * 255, bb * 255))
    open(sys.argv[3], 'w').write('\n'.join(out) + '\n')
)PY";

class EnginePeer : public ::testing::Test {
protected:
    void SetUp() override {
        if (!fs::exists(kPython) || std::system((std::string(kPython) + " -c 'import PIL, numpy, scipy' 2>/dev/null").c_str()) != 0)
            GTEST_SKIP() << "needs python3-pil and python3-scipy on " << kPython;
        dir_ = fs::temp_directory_path() / ("velto-enginepeer-" + std::to_string(::getpid()));
        fs::create_directories(dir_);
        std::ofstream(dir_ / "peer.py") << kScript;
    }
    void TearDown() override {
        if (!dir_.empty()) fs::remove_all(dir_);
    }

    std::string Path(const std::string& name) const { return (dir_ / name).string(); }

    // Runs the script; false (with a failure) when it fails.
    bool Python(const std::string& args) {
        const std::string command = std::string(kPython) + " " + Path("peer.py") + " " + args;
        if (std::system(command.c_str()) == 0) return true;
        ADD_FAILURE() << "failed: " << command;
        return false;
    }
    bool Convert(const std::string& args) {
        if (std::system("command -v convert >/dev/null 2>&1") != 0) {
            ADD_FAILURE() << "ImageMagick's convert is missing";
            return false;
        }
        const std::string command = "convert " + args;
        if (std::system(command.c_str()) == 0) return true;
        ADD_FAILURE() << "failed: " << command;
        return false;
    }

    static void Write(const std::string& path, const TmyImage& img) {
        std::ofstream out(path, std::ios::binary);
        for (const TmyPixel& p : img.Pixels()) out << p.R << p.G << p.B << p.A;
    }
    static std::vector<std::uint8_t> ReadBytes(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    // A raw RGBA file as an image of the size; empty pixels when it is short.
    static TmyImagePal Read(const std::string& path, ImageSize size) {
        TmyImagePal img(size, 32);
        const std::vector<std::uint8_t> b = ReadBytes(path);
        if (b.size() != img.Pixels().size() * 4) {
            ADD_FAILURE() << path << ": " << b.size() << " bytes";
            return img;
        }
        for (std::size_t i = 0; i < img.Pixels().size(); ++i)
            img.Pixels()[i] = Px(b[4 * i], b[4 * i + 1], b[4 * i + 2], b[4 * i + 3]);
        return img;
    }
    static std::string Size(const TmyImage& img) {
        return std::to_string(img.Width()) + " " + std::to_string(img.Height());
    }

    fs::path dir_;
};

// A picture with smooth areas, edges and noise, fully opaque.
TmyImagePal Picture(ImageSize size, std::uint32_t seed) {
    TmyImagePal img(size, 32);
    test::TBytes rnd(seed);
    for (int y = 0; y < size.Height; ++y)
        for (int x = 0; x < size.Width; ++x) {
            const int n = rnd.Next() % 24;
            img.At(x, y) = Px((x * 255 / size.Width + n) % 256, (y * 255 / size.Height) ^ (x > size.Width / 2 ? 80 : 0),
                              (x * y + n) % 256);
        }
    return img;
}

TEST_F(EnginePeer, FlipsAndQuarterTurnsMatchPillowAndImageMagickExactly) {
    struct Row {
        const char* name;
        void (*op)(TmyImagePal&);
        const char* pillow;
        const char* magick;
    } rows[] = {
        {"flip horizontal", FlipHorizontal, "flop", "-flop"},
        {"flip vertical", FlipVertical, "flip", "-flip"},
        {"rotate left", RotateLeft90, "left", "-rotate 270"},
        {"rotate right", RotateRight90, "right", "-rotate 90"},
    };
    for (ImageSize size : {ImageSize{16, 12}, ImageSize{7, 13}, ImageSize{1, 5}, ImageSize{256, 3}}) {
        const TmyImagePal src = test::NoiseImage(size, 32, static_cast<std::uint32_t>(size.Width * 31 + size.Height));
        Write(Path("in.rgba"), src);
        for (const Row& r : rows) {
            SCOPED_TRACE(std::string(r.name) + " " + std::to_string(size.Width) + "x" + std::to_string(size.Height));
            TmyImagePal ours = src;
            r.op(ours);
            ASSERT_TRUE(Python("transpose " + Path("in.rgba") + " " + Size(src) + " " + r.pillow + " " + Path("pil.rgba")));
            EXPECT_TRUE(Read(Path("pil.rgba"), ours.Size()).Equals(ours));
            ASSERT_TRUE(Convert("-size " + std::to_string(size.Width) + "x" + std::to_string(size.Height) +
                                " -depth 8 rgba:" + Path("in.rgba") + " " + r.magick + " rgba:" + Path("im.rgba")));
            EXPECT_TRUE(Read(Path("im.rgba"), ours.Size()).Equals(ours));
        }
    }
}

TEST_F(EnginePeer, FilterMatchesScipyCorrelateAwayFromTheBorder) {
    const TmyImagePal src = Picture({40, 33}, 8);
    Write(Path("in.rgba"), src);
    std::vector<TFilterKernel> kernels;
    for (const TKernelPreset& p : FilterKernels) kernels.push_back(p.Kernel);
    // Custom kernels: odd divisors, negative ones, wide weights.
    kernels.push_back({{3, -1, 0, 2, 7, 1, 1, 1, 1, 1, -9, 0, 0, 0, 4, 2, 2, 2, 2, 2, 5, -5, 5, -5, 5}, 6, 3});
    kernels.push_back({{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, -2, 200});
    kernels.push_back({{1000, 0, 0, 0, -999, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 0, -7});
    {
        std::ofstream list(Path("kernels.txt"));
        for (const TFilterKernel& k : kernels) {
            for (int w : k.Weights) list << w << ' ';
            list << k.Divisor << ' ' << k.Offset << '\n';
        }
    }
    ASSERT_TRUE(Python("correlate " + Path("in.rgba") + " " + Size(src) + " " + Path("kernels.txt") + " " + Path("out.rgb")));
    const std::vector<std::uint8_t> theirs = ReadBytes(Path("out.rgb"));
    const std::size_t per = static_cast<std::size_t>(src.Width() * src.Height() * 3);
    ASSERT_EQ(theirs.size(), per * kernels.size());
    for (std::size_t k = 0; k < kernels.size(); ++k) {
        SCOPED_TRACE(k < FilterKernels.size() ? FilterKernels[k].Name : "custom kernel");
        TmyImagePal ours = src;
        ApplyFilter5x5(ours, kernels[k], false);
        int compared = 0;
        for (int y = 2; y < src.Height() - 2; ++y)
            for (int x = 2; x < src.Width() - 2; ++x) {
                const std::size_t i = k * per + static_cast<std::size_t>((y * src.Width() + x) * 3);
                ASSERT_EQ(ours.At(x, y), Px(theirs[i], theirs[i + 1], theirs[i + 2])) << x << "," << y;
                ++compared;
            }
        EXPECT_EQ(compared, 36 * 29);
    }
}

TEST_F(EnginePeer, FloodFillFillsThePillowRegion) {
    // Blocks of three colours with single-pixel bridges; partly transparent pixels too.
    for (std::uint32_t seed : {1u, 2u, 3u, 4u}) {
        SCOPED_TRACE(seed);
        TmyImagePal img({37, 29}, 32);
        test::TBytes rnd(seed);
        const TmyPixel colours[] = {Px(255, 0, 0), Px(0, 0, 255), Px(0, 0, 255, 128)};
        for (TmyPixel& p : img.Pixels()) p = colours[rnd.Next() % 3];
        const int x = rnd.Next() % 37, y = rnd.Next() % 29;
        const TmyPixel fill = Px(1, 200, 3, 250);
        Write(Path("in.rgba"), img);
        TmyImage snapshot = img;
        TPaintTarget target(img, &snapshot);
        FloodFill(target, x, y, fill, snapshot.At(x, y));
        ASSERT_TRUE(Python("floodfill " + Path("in.rgba") + " " + Size(img) + " " + std::to_string(x) + " " +
                           std::to_string(y) + " 1 200 3 250 " + Path("out.rgba")));
        const TmyImagePal theirs = Read(Path("out.rgba"), img.Size());
        int filled = 0;
        for (const TmyPixel& p : img.Pixels()) filled += p == fill;
        EXPECT_GT(filled, 0);
        EXPECT_TRUE(theirs.Equals(img));
    }
}

TEST_F(EnginePeer, HsvWithinOneLevelOfColorsys) {
    std::ofstream list(Path("hsv.txt"));
    std::vector<std::array<int, 4>> rows;  // kind (0 rgb, 1 hsv), a, b, c
    for (int r = 0; r < 256; r += 5)
        for (int g = 0; g < 256; g += 5)
            for (int b = 0; b < 256; b += 3) rows.push_back({0, r, g, b});
    for (int h = 0; h < 360; h += 1)
        for (int s = 0; s <= 100; s += 10)
            for (int v = 0; v <= 100; v += 7) rows.push_back({1, h, s, v});
    for (const auto& row : rows) list << (row[0] == 0 ? "rgb " : "hsv ") << row[1] << ' ' << row[2] << ' ' << row[3] << '\n';
    list.close();
    ASSERT_TRUE(Python("hsv " + Path("hsv.txt") + " " + Path("hsv.out")));
    std::ifstream in(Path("hsv.out"));
    int bad = 0;
    for (const auto& row : rows) {
        double a, b, c;
        ASSERT_TRUE(in >> a >> b >> c);
        if (row[0] == 0) {
            const THsv ours = RGBToHSV(static_cast<float>(row[1]), static_cast<float>(row[2]), static_cast<float>(row[3]));
            if (row[1] == row[2] && row[2] == row[3]) {
                bad += ours.H != -360 || ours.S != 0 || std::abs(ours.V - c) > 1;  // a grey has no hue
            } else {
                double dh = std::abs(ours.H - a);
                dh = std::min(dh, 360 - dh);
                bad += dh > 1 || std::abs(ours.S - b) > 1 || std::abs(ours.V - c) > 1;
            }
        } else {
            const TmyColor ours = HSVToRGB(row[1], row[2], row[3]);
            bad += std::abs(ours.R - a) > 1 || std::abs(ours.G - b) > 1 || std::abs(ours.B - c) > 1;
        }
        if (bad == 1) {
            ADD_FAILURE() << "first difference: " << row[0] << " " << row[1] << " " << row[2] << " " << row[3] << " vs "
                          << a << " " << b << " " << c;
            ++bad;
        }
    }
    EXPECT_EQ(bad, 0) << "of " << rows.size();
}

TEST_F(EnginePeer, ResizeWithinOneLevelOfPillowsBoxFilter) {
    struct Row {
        ImageSize from, to;
    } rows[] = {
        {{64, 64}, {32, 32}}, {{60, 45}, {20, 15}}, {{48, 48}, {16, 16}}, {{256, 256}, {64, 64}},
        {{16, 16}, {48, 48}}, {{16, 12}, {32, 24}}, {{7, 5}, {28, 5}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(std::to_string(r.from.Width) + "x" + std::to_string(r.from.Height) + " to " +
                     std::to_string(r.to.Width) + "x" + std::to_string(r.to.Height));
        const TmyImagePal src = Picture(r.from, 3);
        Write(Path("in.rgba"), src);
        TmyImagePal ours = src;
        ResizeFrame(ours, r.to);
        ASSERT_TRUE(Python("resize " + Path("in.rgba") + " " + Size(src) + " " + std::to_string(r.to.Width) + " " +
                           std::to_string(r.to.Height) + " " + Path("out.rgba")));
        const TmyImagePal theirs = Read(Path("out.rgba"), r.to);
        for (int y = 0; y < r.to.Height; ++y)
            for (int x = 0; x < r.to.Width; ++x) {
                const TmyPixel a = ours.At(x, y), b = theirs.At(x, y);
                ASSERT_LE(std::abs(a.R - b.R), 1) << x << "," << y << " " << a << " " << b;
                ASSERT_LE(std::abs(a.G - b.G), 1) << x << "," << y << " " << a << " " << b;
                ASSERT_LE(std::abs(a.B - b.B), 1) << x << "," << y << " " << a << " " << b;
                ASSERT_EQ(a.A, 255);
            }
    }
}

}  // namespace
}  // namespace velto
