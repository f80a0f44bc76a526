// Bilinear and bicubic resampling against Pillow's filters of the same
// kernels: every pixel away from the edges (Pillow trims its kernels at an
// edge where we repeat the edge pixel) within one level.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "imaging/Imaging.h"
#include "platform/FileIO.h"
#include "platform/FileWriter.h"

namespace velto {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

struct ResizeRow {
    const char* name;
    TImageFormat format;  // R8G8B8 or Gray8
    int srcW, srcH, dstW, dstH;
    TResizeFilter filter;
    int border;  // destination pixels left out at each edge
};
void PrintTo(const ResizeRow& row, std::ostream* os) { *os << row.name; }

class PillowResize : public ::testing::TestWithParam<ResizeRow> {};

TEST_P(PillowResize, WithinOneLevel) {
    const ResizeRow& row = GetParam();
    if (std::system("/usr/bin/python3 -c 'import PIL' >/dev/null 2>&1") != 0) GTEST_SKIP() << "needs Pillow";
    const fs::path dir = fs::temp_directory_path() / ("velto-resize-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const bool rgb = row.format == ifR8G8B8;
    const int channels = rgb ? 3 : 1;

    // A smooth picture: Pillow rounds and clips to 8 bits between its two
    // passes, so hard edges (where bicubic overshoots) differ by more than
    // the filters do.
    TImageData src;
    NewImage(row.srcW, row.srcH, row.format, src);
    Bytes pillowIn(static_cast<std::size_t>(src.Size));
    for (int y = 0; y < row.srcH; ++y)
        for (int x = 0; x < row.srcW; ++x)
            for (int c = 0; c < channels; ++c) {
                const int v = static_cast<int>(128.0 + 100.0 * std::sin(x / (5.0 + c) + c) * std::cos(y / 7.0));
                const std::size_t at = (std::size_t(y) * std::size_t(row.srcW) + std::size_t(x)) * std::size_t(channels);
                // Our memory order is B, G, R; Pillow's R, G, B.
                src.Bits[at + std::size_t(c)] = static_cast<std::uint8_t>(v);
                pillowIn[at + std::size_t(rgb ? 2 - c : c)] = static_cast<std::uint8_t>(v);
            }
    const std::string in = (dir / "in.raw").string(), out = (dir / "out.raw").string();
    ASSERT_TRUE(WriteWholeFile(in, pillowIn));
    const std::string mode = rgb ? "RGB" : "L";
    const std::string filter = row.filter == rfBilinear ? "BILINEAR" : "BICUBIC";
    const std::string script = "import sys; from PIL import Image; im = Image.frombytes('" + mode + "', (" +
                               std::to_string(row.srcW) + ", " + std::to_string(row.srcH) +
                               "), open(sys.argv[1], 'rb').read()); open(sys.argv[2], 'wb').write(im.resize((" +
                               std::to_string(row.dstW) + ", " + std::to_string(row.dstH) + "), Image." + filter +
                               ").tobytes())";
    ASSERT_EQ(std::system(("/usr/bin/python3 -c \"" + script + "\" '" + in + "' '" + out + "'").c_str()), 0);
    Bytes theirs;
    ASSERT_TRUE(ReadWholeFile(out, theirs));
    fs::remove_all(dir);

    ASSERT_TRUE(ResizeImage(src, row.dstW, row.dstH, row.filter));
    ASSERT_EQ(theirs.size(), static_cast<std::size_t>(src.Size));
    int worst = 0, compared = 0;
    for (int y = row.border; y < row.dstH - row.border; ++y)
        for (int x = row.border; x < row.dstW - row.border; ++x)
            for (int c = 0; c < channels; ++c) {
                const std::size_t at = (std::size_t(y) * std::size_t(row.dstW) + std::size_t(x)) * std::size_t(channels);
                const int ours = src.Bits[at + std::size_t(c)], pil = theirs[at + std::size_t(rgb ? 2 - c : c)];
                worst = std::max(worst, std::abs(ours - pil));
                ++compared;
            }
    FreeImage(src);
    EXPECT_GT(compared, 0);
    EXPECT_LE(worst, 1) << "largest difference over " << compared << " samples";
}

// clang-format off
const ResizeRow kRows[] = {
    {"BilinearDown4_RGB", ifR8G8B8, 256, 256, 64, 64, rfBilinear, 2},
    {"BicubicDown4_RGB", ifR8G8B8, 256, 256, 64, 64, rfBicubic, 3},
    {"BilinearDownOdd_Gray", ifGray8, 200, 150, 77, 61, rfBilinear, 3},
    {"BicubicDownOdd_Gray", ifGray8, 200, 150, 77, 61, rfBicubic, 4},
    {"BilinearUp_RGB", ifR8G8B8, 50, 40, 173, 131, rfBilinear, 4},
    {"BicubicUp_Gray", ifGray8, 50, 40, 173, 131, rfBicubic, 8},
};
// clang-format on
INSTANTIATE_TEST_SUITE_P(Filters, PillowResize, ::testing::ValuesIn(kRows),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace velto
