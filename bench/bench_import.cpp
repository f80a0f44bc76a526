// The import/export service against its floors.
//   ImportJpeg: a 4096 x 4096 photograph imported into a 128 x 128 cursor
//     image (resize keeping proportions), next to libjpeg's own full decode
//     of the same file plus the engine's box resample, nothing else.
//   ExportGif: a 100-frame 128 x 128 animated cursor with soft edges saved as
//     a GIF animation (colour reduction, key colour, encoding, file), next to
//     giflib writing the same already-reduced frames.
#include <benchmark/benchmark.h>
#include <gif_lib.h>
#include <jpeglib.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "engine/Transform.h"
#include "gif/GifImage.h"
#include "imaging/FileFormat.h"
#include "imaging/FormatJpeg.h"
#include "import/MyImport.h"
#include "platform/FileIO.h"
#include "platform/FileWriter.h"

using namespace velto;

namespace {

std::string TempFile(const char* name) {
    return (std::filesystem::temp_directory_path() / (std::string("velto-bench-import-") + name)).string();
}

// A photograph-like 4096 x 4096 JPEG (smooth fields with grain), written once.
const std::string& PhotoFile() {
    static const std::string file = [] {
        const int side = 4096;
        TImageData image;
        InitImage(image);
        NewImage(side, side, ifR8G8B8, image);
        std::mt19937 rng(5);
        std::uniform_int_distribution<int> grain(-6, 6);
        for (int y = 0; y < side; ++y) {
            std::uint8_t* p = image.Bits + static_cast<std::size_t>(y) * side * 3;
            for (int x = 0; x < side; ++x, p += 3) {
                const double u = x / 300.0, v = y / 230.0;
                p[0] = static_cast<std::uint8_t>(std::clamp(128 + 90 * std::sin(u + v) + grain(rng), 0.0, 255.0));
                p[1] = static_cast<std::uint8_t>(std::clamp(128 + 90 * std::cos(u * 0.7 - v) + grain(rng), 0.0, 255.0));
                p[2] = static_cast<std::uint8_t>(std::clamp(128 + 90 * std::sin(v * 1.3) + grain(rng), 0.0, 255.0));
            }
        }
        TMemoryStream out;
        FindImageFileFormatByClass<TJpegFileFormat>()->SaveToStream(out, TDynImageDataArray{image}, true);
        FreeImage(image);
        const std::string path = TempFile("photo.jpg");
        WriteWholeFile(path, out.Data());
        return path;
    }();
    return file;
}

void ImportJpegVelto(benchmark::State& state) {
    tmyimport service;
    service.Hooks.Settings = [] {
        TImportSettings s;
        s.ImportAction = fpResize;
        return s;
    };
    const std::string& file = PhotoFile();
    for (auto _ : state) {
        TmyImagePal target({128, 128}, 32);
        if (!service.LoadJpeg(file, target, target.Size(), false)) state.SkipWithError("import failed");
        benchmark::DoNotOptimize(target.Pixels().data());
    }
}

void ImportJpegFloor(benchmark::State& state) {
    const std::string& file = PhotoFile();
    for (auto _ : state) {
        std::vector<std::uint8_t> bytes;
        ReadWholeFile(file, bytes);
        jpeg_decompress_struct cinfo;
        jpeg_error_mgr err;
        cinfo.err = jpeg_std_error(&err);
        jpeg_create_decompress(&cinfo);
        jpeg_mem_src(&cinfo, bytes.data(), static_cast<unsigned long>(bytes.size()));
        jpeg_read_header(&cinfo, TRUE);
        cinfo.out_color_space = JCS_EXT_RGBA;
        jpeg_start_decompress(&cinfo);
        const int w = static_cast<int>(cinfo.output_width), h = static_cast<int>(cinfo.output_height);
        TPixelBytes pixels(static_cast<std::size_t>(w) * h * 4);
        while (cinfo.output_scanline < cinfo.output_height) {
            JSAMPROW row = pixels.data() + static_cast<std::size_t>(cinfo.output_scanline) * w * 4;
            jpeg_read_scanlines(&cinfo, &row, 1);
        }
        jpeg_finish_decompress(&cinfo);
        jpeg_destroy_decompress(&cinfo);
        // 4096 x 4096 keeping proportions into 128 x 128.
        std::vector<TmyPixel> small(128 * 128);
        ResampleBitmap(TConstPixelsView(reinterpret_cast<const TmyPixel*>(pixels.data()), w, h),
                       TPixelsView{small.data(), 128, 128});
        benchmark::DoNotOptimize(small.data());
    }
}

// 100 frames: a soft-edged disc moving over a transparent field, colours
// changing from frame to frame.
const TmyANI& Animation() {
    static const TmyANI doc = [] {
        TmyANI d;
        for (int i = 0; i < 100; ++i) {
            const int index = d.AddImage({128, 128}, 32);
            TmyImagePal& image = d.Image(index);
            const double cx = 30 + 0.7 * i, cy = 64 + 25 * std::sin(i / 8.0);
            for (int y = 0; y < 128; ++y)
                for (int x = 0; x < 128; ++x) {
                    const double r = std::hypot(x - cx, y - cy);
                    const double a = std::clamp(40.0 - r, 0.0, 1.0) * 255;
                    if (a <= 0) continue;
                    image.At(x, y) = {static_cast<std::uint8_t>(x * 2), static_cast<std::uint8_t>(y * 2),
                                      static_cast<std::uint8_t>(128 + i), static_cast<std::uint8_t>(a)};
                }
            image.SetRate(0.05 + i % 5 * 0.01);
        }
        return d;
    }();
    return doc;
}

void ExportGifVelto(benchmark::State& state) {
    tmyimport service;
    const TmyANI& doc = Animation();
    const std::string file = TempFile("velto.gif");
    for (auto _ : state)
        if (!service.SaveAnimationAsGif(file, doc)) state.SkipWithError("export failed");
}

// The frames our export writes, as giflib takes them.
struct ReducedFrame {
    int width = 0, height = 0;
    std::vector<GifColorType> colors;
    std::vector<GifByteType> pixels;
    std::array<GifByteType, 4> gce{};
};

const std::vector<ReducedFrame>& ReducedFrames() {
    static const std::vector<ReducedFrame> frames = [] {
        tmyimport service;
        TGIFImage gif;
        for (int i = 0; i < Animation().Count(); ++i) service.AddGifFrame(gif, Animation().Image(i));
        std::vector<ReducedFrame> out;
        for (int i = 0; i < gif.Images().Count(); ++i) {
            TGIFSubImage& f = gif.Images()[i];
            ReducedFrame r{f.Width(), f.Height(), {}, {}, {}};
            const int entries = 1 << std::max(1, f.ColorMap().BitsPerPixel());
            for (int k = 0; k < entries; ++k) {
                const TColor c = k < f.ColorMap().Count() ? f.ColorMap().Colors(k) : MakeColor(0, 0, 0);
                r.colors.push_back({ColorR(c), ColorG(c), ColorB(c)});
            }
            r.pixels.assign(f.Data(), f.Data() + f.DataSize());
            const TGIFGraphicControlExtension* gce = f.GraphicControlExtension();
            r.gce = {gce->Packed, static_cast<GifByteType>(gce->Delay & 0xFF), static_cast<GifByteType>(gce->Delay >> 8),
                     gce->TransparentIndex};
            out.push_back(std::move(r));
        }
        return out;
    }();
    return frames;
}

void ExportGifGiflib(benchmark::State& state) {
    const std::vector<ReducedFrame>& frames = ReducedFrames();
    const std::string file = TempFile("giflib.gif");
    for (auto _ : state) {
        int error = 0;
        GifFileType* gif = EGifOpenFileName(file.c_str(), false, &error);
        EGifSetGifVersion(gif, true);
        EGifPutScreenDesc(gif, 128, 128, 8, 0, nullptr);
        for (const ReducedFrame& f : frames) {
            EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, f.gce.data());
            ColorMapObject* map = GifMakeMapObject(static_cast<int>(f.colors.size()), f.colors.data());
            EGifPutImageDesc(gif, 0, 0, f.width, f.height, false, map);
            for (int y = 0; y < f.height; ++y)
                EGifPutLine(gif, const_cast<GifByteType*>(f.pixels.data()) + static_cast<std::size_t>(y) * f.width, f.width);
            GifFreeMapObject(map);
        }
        EGifCloseFile(gif, &error);
    }
}

}  // namespace

BENCHMARK(ImportJpegVelto)->Name("ImportJpeg/velto/4096to128")->Unit(benchmark::kMillisecond);
BENCHMARK(ImportJpegFloor)->Name("ImportJpeg/floor/4096to128")->Unit(benchmark::kMillisecond);
BENCHMARK(ExportGifVelto)->Name("ExportGif/velto/100x128")->Unit(benchmark::kMillisecond);
BENCHMARK(ExportGifGiflib)->Name("ExportGif/giflib/100x128")->Unit(benchmark::kMillisecond);
