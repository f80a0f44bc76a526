// GIF decoding against giflib's DGifSlurp, from memory, of files our encoder
// writes: a large single frame (2048 x 2048, 256 colours, a smooth field with
// noise, as a photograph reduced to a palette compresses) and an animation of
// 100 frames of 256 x 256 (a moving picture with transparency, part of the
// frames interlaced). Saving the same frames against giflib's EGifPutLine,
// and against Pillow's save (timed by gif_pillow_save.py beside this file).
#include <benchmark/benchmark.h>
#include <gif_lib.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "gif/GifImage.h"

using namespace velto;
using Bytes = std::vector<std::uint8_t>;

namespace {

// Palette indices of a smooth field with a little noise.
void Field(TGIFSubImage& frame, int phase, std::mt19937& rng) {
    std::uniform_int_distribution<int> noise(-2, 2);
    for (int y = 0; y < frame.Height(); ++y) {
        std::uint8_t* row = frame.Scanline(y);
        for (int x = 0; x < frame.Width(); ++x) {
            const double v = 128 + 60 * std::sin((x + phase) / 90.0) + 60 * std::cos((y - phase) / 70.0);
            row[x] = static_cast<std::uint8_t>(std::clamp(static_cast<int>(v) + noise(rng), 0, 255));
        }
    }
}

std::unique_ptr<TGIFImage> LargeGif() {
    auto gif = std::make_unique<TGIFImage>();
    for (int i = 0; i < 256; ++i) gif->GlobalColorMap().Add(MakeColor(std::uint8_t(i), std::uint8_t(255 - i), std::uint8_t(i / 2)));
    auto frame = std::make_unique<TGIFSubImage>(*gif);
    frame->SetBounds(0, 0, 2048, 2048);
    std::mt19937 rng(7);
    Field(*frame, 0, rng);
    gif->Images().Add(std::move(frame));
    return gif;
}

std::unique_ptr<TGIFImage> AnimationGif() {
    auto gif = std::make_unique<TGIFImage>();
    for (int i = 0; i < 256; ++i) gif->GlobalColorMap().Add(MakeColor(std::uint8_t(i), std::uint8_t(i / 3), std::uint8_t(255 - i)));
    std::mt19937 rng(11);
    for (int i = 0; i < 100; ++i) {
        auto frame = std::make_unique<TGIFSubImage>(*gif);
        frame->SetBounds(0, 0, 256, 256);
        Field(*frame, i * 3, rng);
        frame->SetInterlaced(i % 4 == 0);
        auto& gce = frame->Extensions().Add<TGIFGraphicControlExtension>();
        gce.Delay = 4;
        gce.SetDisposal(1);
        gce.SetTransparent(true);
        gce.TransparentIndex = 255;
        gif->Images().Add(std::move(frame));
    }
    return gif;
}

TGIFImage& Gif(int which) {
    static const std::unique_ptr<TGIFImage> large = LargeGif(), animation = AnimationGif();
    return which == 0 ? *large : *animation;
}

Bytes Save(TGIFImage& gif) {
    ByteWriter out;
    gif.SaveToStream(out);
    return out.take();
}

Bytes Large() { return Save(Gif(0)); }
Bytes Animation() { return Save(Gif(1)); }

const Bytes& File(int which) {
    static const Bytes large = Large(), animation = Animation();
    return which == 0 ? large : animation;
}

void Velto(benchmark::State& state, int which) {
    const Bytes& file = File(which);
    for (auto _ : state) {
        TGIFImage gif;
        ByteReader reader(file);
        gif.LoadFromStream(reader);
        benchmark::DoNotOptimize(gif.Images()[0].Data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * file.size()));
}

void Giflib(benchmark::State& state, int which) {
    const Bytes& file = File(which);
    struct Src {
        const Bytes* b;
        std::size_t pos;
    };
    for (auto _ : state) {
        Src src{&file, 0};
        int error = 0;
        GifFileType* gif = DGifOpen(&src, [](GifFileType* g, GifByteType* dst, int n) -> int {
            auto* s = static_cast<Src*>(g->UserData);
            const std::size_t k = std::min<std::size_t>(std::size_t(n), s->b->size() - s->pos);
            std::memcpy(dst, s->b->data() + s->pos, k);
            s->pos += k;
            return int(k);
        }, &error);
        if (!gif || DGifSlurp(gif) != GIF_OK) state.SkipWithError("giflib refused the file");
        benchmark::DoNotOptimize(gif->SavedImages[0].RasterBits);
        DGifCloseFile(gif, &error);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * file.size()));
}

// ---------------------------------------------------------------------------
// Saving

void VeltoSave(benchmark::State& state, int which) {
    TGIFImage& gif = Gif(which);
    std::size_t size = 0;
    for (auto _ : state) {
        ByteWriter out;
        gif.SaveToStream(out);
        size = out.buffer().size();
        benchmark::DoNotOptimize(out.buffer().data());
    }
    state.counters["file_bytes"] = static_cast<double>(size);
}

// The same frames through giflib: screen, global colours, each frame's
// graphic control block, descriptor and rows (interlaced frames in their
// passes' order), into memory.
void GiflibSave(benchmark::State& state, int which) {
    TGIFImage& gif = Gif(which);
    const TGIFColorMap& colors = gif.GlobalColorMap();
    std::vector<GifColorType> entries(256);
    for (int i = 0; i < colors.Count(); ++i) {
        const TColor c = colors.Colors(i);
        entries[static_cast<std::size_t>(i)] = {ColorR(c), ColorG(c), ColorB(c)};
    }
    std::size_t size = 0;
    for (auto _ : state) {
        Bytes out;
        int error = 0;
        GifFileType* file = EGifOpen(&out, [](GifFileType* g, const GifByteType* src, int n) -> int {
            auto* o = static_cast<Bytes*>(g->UserData);
            o->insert(o->end(), src, src + n);
            return n;
        }, &error);
        ColorMapObject* map = GifMakeMapObject(256, entries.data());
        const TGIFSubImage& first = gif.Images()[0];
        EGifSetGifVersion(file, true);
        EGifPutScreenDesc(file, first.Width(), first.Height(), 8, 0, map);
        for (int f = 0; f < gif.Images().Count(); ++f) {
            TGIFSubImage& frame = gif.Images()[f];
            if (which == 1) {
                const GifByteType gce[4] = {0x05, 4, 0, 255};  // disposal 1, transparent; 4/100 s; index 255
                EGifPutExtension(file, GRAPHICS_EXT_FUNC_CODE, 4, gce);
            }
            const int w = frame.Width(), h = frame.Height();
            EGifPutImageDesc(file, 0, 0, w, h, frame.Interlaced(), nullptr);
            if (frame.Interlaced()) {
                const int start[] = {0, 4, 2, 1}, step[] = {8, 8, 4, 2};
                for (int pass = 0; pass < 4; ++pass)
                    for (int y = start[pass]; y < h; y += step[pass]) EGifPutLine(file, frame.Scanline(y), w);
            } else {
                for (int y = 0; y < h; ++y) EGifPutLine(file, frame.Scanline(y), w);
            }
        }
        EGifCloseFile(file, &error);
        GifFreeMapObject(map);
        size = out.size();
        benchmark::DoNotOptimize(out.data());
    }
    state.counters["file_bytes"] = static_cast<double>(size);
}

// Pillow's save of the same frames (a median of its own repetitions, reported
// as this benchmark's time): the frames go to gif_pillow_save.py as a raw file.
void PillowSave(benchmark::State& state, int which) {
    namespace fs = std::filesystem;
    TGIFImage& gif = Gif(which);
    const std::string raw = (fs::temp_directory_path() / "velto-gif-frames.raw").string();
    const std::string log = (fs::temp_directory_path() / "velto-gif-pillow.txt").string();
    {
        std::ofstream out(raw, std::ios::binary);
        const TGIFSubImage& first = gif.Images()[0];
        const std::string head = std::to_string(first.Width()) + " " + std::to_string(first.Height()) + " " +
                                 std::to_string(gif.Images().Count()) + " " + std::to_string(which) + "\n";
        out << head;
        for (int i = 0; i < 256; ++i) {
            const TColor c = gif.GlobalColorMap().Colors(i);
            out.put(static_cast<char>(ColorR(c))).put(static_cast<char>(ColorG(c))).put(static_cast<char>(ColorB(c)));
        }
        for (int f = 0; f < gif.Images().Count(); ++f) {
            TGIFSubImage& frame = gif.Images()[f];
            for (int y = 0; y < frame.Height(); ++y)
                out.write(reinterpret_cast<const char*>(frame.Scanline(y)), frame.Width());
        }
    }
    const std::string script = std::string(VELTO_BENCH_DIR) + "/gif_pillow_save.py";
    const std::string command = "/usr/bin/python3 '" + script + "' '" + raw + "' > '" + log + "' 2>&1";
    const int rc = std::system(command.c_str());
    fs::remove(raw);
    if (rc != 0) {
        fs::remove(log);
        state.SkipWithError("Pillow is not available");
        return;
    }
    std::ifstream in(log);
    double seconds = 0;
    in >> seconds;
    fs::remove(log);
    for (auto _ : state) state.SetIterationTime(seconds);
}

}  // namespace

BENCHMARK_CAPTURE(Velto, large_2048, 0)->Name("GifDecode/velto/large_2048")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Giflib, large_2048, 0)->Name("GifDecode/giflib/large_2048")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Velto, anim_100x256, 1)->Name("GifDecode/velto/anim_100x256")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Giflib, anim_100x256, 1)->Name("GifDecode/giflib/anim_100x256")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(VeltoSave, large_2048, 0)->Name("GifSave/velto/large_2048")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(GiflibSave, large_2048, 0)->Name("GifSave/giflib/large_2048")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(PillowSave, large_2048, 0)->Name("GifSave/pillow/large_2048")->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(VeltoSave, anim_100x256, 1)->Name("GifSave/velto/anim_100x256")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(GiflibSave, anim_100x256, 1)->Name("GifSave/giflib/anim_100x256")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(PillowSave, anim_100x256, 1)->Name("GifSave/pillow/anim_100x256")->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);
