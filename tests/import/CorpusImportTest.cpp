// Every sample picture imports into the usual cursor sizes under every
// fitting policy. The picture as decoded is taken from the advanced dialog's
// hook (which receives it whole); each policy's result is then checked
// against it: copied and centred when it fits, resampled by the engine's box
// filter, cropped from the top-left corner, or the dialog's answer.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "Corpus.h"
#include "ImportTestUtil.h"
#include "core/MessageBox.h"
#include "engine/Transform.h"
#include "imaging/FileFormat.h"
#include "imaging/Imaging.h"
#include "import/JpegDecode.h"
#include "import/MyImport.h"
#include "import/Picture.h"
#include "platform/FileIO.h"

namespace velto {
namespace {

struct Decoded {
    int Width = 0, Height = 0;
    std::vector<TmyPixel> Pixels;  // straight RGBA, alpha 0 as (0, 0, 0, 0)
    const TmyPixel& At(int x, int y) const { return Pixels[static_cast<std::size_t>(y) * Width + x]; }
};

// The picture as the conversion receives it, or nothing when the file is no
// picture the program reads.
std::optional<Decoded> DecodeThroughHook(const std::string& file) {
    test::TestService s;
    s.settings.ImportAction = fpAdvanced;
    std::optional<Decoded> seen;
    s.service.Hooks.AdvancedImport = [&](TBitmap& source, TmyImagePal&) {
        Decoded d{source.Width(), source.Height(), {}};
        for (int y = 0; y < d.Height; ++y) {
            const std::uint8_t* p = source.ScanLine(y);
            for (int x = 0; x < d.Width; ++x, p += 4)
                d.Pixels.push_back(p[3] == 0 ? TmyPixel{} : TmyPixel{p[2], p[1], p[0], p[3]});
        }
        seen = std::move(d);
        return false;
    };
    TmyImagePal target({1, 1}, 32);
    if (!s.service.LoadImageFile(target, file, false, false).Ok) return std::nullopt;
    if (!seen) {  // a 1 x 1 picture fits without any dialog
        Decoded d{1, 1, {target.At(0, 0)}};
        seen = d;
    }
    return seen;
}

enum Policy { ResizeKeep, ResizeStretch, Crop, AdvancedOk, AskCrop };
constexpr Policy kPolicies[] = {ResizeKeep, ResizeStretch, Crop, AdvancedOk, AskCrop};
constexpr const char* kPolicyNames[] = {"resize", "stretch", "crop", "advanced", "ask"};

const TmyPixel kAnswer{10, 20, 30, 40};

// What the import must give for the picture in a size x size target.
std::vector<TmyPixel> Expected(const Decoded& d, int size, Policy policy) {
    std::vector<TmyPixel> out(static_cast<std::size_t>(size) * size);
    auto put = [&](const Decoded& from, int w, int h, int sx, int sy, int dx, int dy) {
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const int tx = dx + x, ty = dy + y;
                if (tx < 0 || ty < 0 || tx >= size || ty >= size) continue;
                const TmyPixel& p = from.At(sx + x, sy + y);
                out[static_cast<std::size_t>(ty) * size + tx] = p.A == 0 ? TmyPixel{} : p;
            }
    };
    if (d.Width <= size && d.Height <= size) {
        put(d, d.Width, d.Height, 0, 0, (size - d.Width) / 2, (size - d.Height) / 2);
        return out;
    }
    switch (policy) {
    case ResizeKeep:
    case ResizeStretch: {
        int w = size, h = size;
        if (policy == ResizeKeep) {
            h = static_cast<int>(static_cast<long long>(d.Height) * size / d.Width);
            if (h > size) {
                h = size;
                w = static_cast<int>(static_cast<long long>(d.Width) * size / d.Height);
            }
            w = std::max(w, 1);
            h = std::max(h, 1);
        }
        Decoded r{w, h, std::vector<TmyPixel>(static_cast<std::size_t>(w) * h)};
        ResampleBitmap(TConstPixelsView(d.Pixels.data(), d.Width, d.Height), TPixelsView{r.Pixels.data(), w, h});
        put(r, w, h, 0, 0, (size - w) / 2, (size - h) / 2);
        break;
    }
    case Crop:
    case AskCrop: {
        const int w = std::min(size, d.Width), h = std::min(size, d.Height);
        put(d, w, h, 0, 0, (size - w) / 2, (size - h) / 2);
        break;
    }
    case AdvancedOk:
        std::fill(out.begin(), out.end(), kAnswer);
        break;
    }
    return out;
}

class CorpusImportSize : public testing::TestWithParam<int> {};

TEST_P(CorpusImportSize, EveryReadablePictureUnderEveryPolicy) {
    VELTO_NEED_CORPUS();
    const int size = GetParam();
    SilenceMessages();
    std::vector<std::string> files;
    for (const auto& e : std::filesystem::recursive_directory_iterator(test::CorpusDir()))
        if (e.is_regular_file()) files.push_back(e.path().string());
    std::sort(files.begin(), files.end());
    int imported = 0;
    for (const std::string& file : files) {
        const std::optional<Decoded> decoded = DecodeThroughHook(file);
        if (!decoded) continue;
        ++imported;
        {
            for (const Policy policy : kPolicies) {
                test::TestService s;
                s.settings.KeepAspectRatio = policy != ResizeStretch;
                s.settings.ImportAction = policy == ResizeKeep || policy == ResizeStretch ? fpResize
                                          : policy == Crop                               ? fpCrop
                                          : policy == AdvancedOk                         ? fpAdvanced
                                                                                         : fpAsk;
                s.service.Hooks.AskPolicy = [](bool) { return int{fpCrop}; };
                s.service.Hooks.AdvancedImport = [](TBitmap&, TmyImagePal& work) {
                    for (TmyPixel& p : work.Pixels()) p = kAnswer;
                    return true;
                };
                TmyImagePal target({size, size}, 32);
                const TImageFileResult r = s.service.LoadImageFile(target, file, false, false);
                ASSERT_TRUE(r.Ok) << file << " " << kPolicyNames[policy] << " " << size;
                ASSERT_EQ(target.Size(), (ImageSize{size, size})) << file << " " << kPolicyNames[policy];
                const std::vector<TmyPixel> expected = Expected(*decoded, size, policy);
                ASSERT_TRUE(std::equal(expected.begin(), expected.end(), target.Pixels().begin()))
                    << file << " " << kPolicyNames[policy] << " " << size << " (picture " << decoded->Width << "x"
                    << decoded->Height << ")";
            }
        }
    }
    // The samples hold several hundred pictures the program reads.
    EXPECT_GT(imported, 600);
}

INSTANTIATE_TEST_SUITE_P(Sizes, CorpusImportSize, testing::Values(16, 32, 48, 256));

// What an unreadable file says, by its kind.
TEST(CorpusImport, FailuresNameTheirKind) {
    VELTO_NEED_CORPUS();
    SilenceMessages();
    struct Case {
        const char* file;
        const char* key;
    } cases[] = {
        {"pillow/broken.png", "msgNotPNG"},
        {"pillow/no_cursors.cur", "msgNotICO"},
        {"pillow/zero_width.gif", "msgNotGIF"},
        {"pillow/bmp/b/badbitcount.bmp", "msgNotBMP"},
        {"pillow/zero_height.j2k", "msgNotJpg2000"},
        {"pillow/LICENSE", "msgUnknown"},
    };
    for (const Case& c : cases) {
        test::TestService s;
        TmyImagePal target({32, 32}, 32);
        for (TmyPixel& p : target.Pixels()) p = {1, 2, 3, 4};
        const TImageFileResult r = s.service.LoadImageFile(target, test::Corpus(c.file), false, true);
        EXPECT_FALSE(r.Ok) << c.file;
        EXPECT_STREQ(r.MessageKey, c.key) << c.file;
        EXPECT_TRUE(s.service.AllowAdvanced) << "allowed again after a quiet load";
    }
    test::TestService s;
    TmyImagePal target({32, 32}, 32);
    const TImageFileResult missing = s.service.LoadImageFile(target, test::Corpus("pillow/no-such-file.png"), false, true);
    EXPECT_FALSE(missing.Ok);
    EXPECT_EQ(missing.Error, FileError::NotFound);
}

// Targa files that begin like a cursor file open as the picture they are.
TEST(CorpusImport, TargaWithCursorBytesIsAPicture) {
    VELTO_NEED_CORPUS();
    test::TestService s;
    s.settings.ImportAction = fpResize;
    TmyImagePal target({32, 32}, 32);
    const TImageFileResult r = s.service.LoadImageFile(target, test::Corpus("pillow/rgba16.tga"), false, true);
    ASSERT_TRUE(r.Ok);
    EXPECT_EQ(r.FileType, 1);  // detected as a cursor
    // Its 2 x 1 pixels, centred; the second is green-blue (as Pillow reads it)
    // and visible (the image library widens 5-bit channels its own way).
    const TmyPixel second = target.At(16, 15);
    EXPECT_EQ(second.R, 0);
    EXPECT_GE(second.G, 250);
    EXPECT_NEAR(second.B, 82, 2);
    EXPECT_GE(second.A, 250);
    EXPECT_EQ(target.At(14, 15), TmyPixel{});
    EXPECT_EQ(target.At(17, 15), TmyPixel{});
}

}  // namespace
}  // namespace velto

namespace velto {
namespace {

// The direct JPEG road gives exactly the image library's pixels, and leaves
// it the kinds it does not take.
TEST(CorpusImport, DirectJpegRoadAgreesWithTheImageLibrary) {
    VELTO_NEED_CORPUS();
    int direct = 0, left = 0;
    for (const auto& e : std::filesystem::recursive_directory_iterator(test::CorpusDir())) {
        if (!e.is_regular_file() || (e.path().extension() != ".jpg" && e.path().extension() != ".jpeg")) continue;
        const std::string file = e.path().string();
        std::vector<std::uint8_t> bytes;
        ASSERT_TRUE(ReadWholeFile(file, bytes));
        TWorkPicture ours;
        const TJpegDecode road = DecodeJpeg(bytes, ours);
        TImageData image;
        InitImage(image);
        bool library = false;
        try {
            library = LoadImageFromFile(file, image) && ConvertImage(image, ifA8R8G8B8);
        } catch (const EImagingError&) {
        }
        if (road == TJpegDecode::NotTaken) {
            ++left;
        } else if (road == TJpegDecode::Failed) {
            EXPECT_FALSE(library) << file << ": the library reads what the direct road refuses";
        } else {
            ++direct;
            ASSERT_TRUE(library) << file;
            ASSERT_EQ(ours.Width, image.Width) << file;
            ASSERT_EQ(ours.Height, image.Height) << file;
            bool same = true;
            for (int y = 0; y < ours.Height && same; ++y)
                for (int x = 0; x < ours.Width && same; ++x) {
                    const std::uint8_t* p = image.Bits + (static_cast<std::size_t>(y) * image.Width + x) * 4;
                    same = ours.At(x, y) == TmyPixel{p[2], p[1], p[0], p[3]};
                }
            EXPECT_TRUE(same) << file;
        }
        FreeImage(image);
    }
    EXPECT_GT(direct, 20);
    EXPECT_GT(left, 0);  // progressive and CMYK samples
}

}  // namespace
}  // namespace velto
