// Reading and writing a 256x256 cursor of 32 bits, stored as a bitmap with a
// mask and as a PNG stream: the open, save and thumbnail paths of the largest
// image the format holds.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "model/IcoIO.h"

namespace velto {
namespace {

TmyIcon Cursor256() {
    TmyIcon doc;
    doc.IsCursor = true;
    doc.AddImage({.Width = 256, .Height = 256}, 32);
    TmyImagePal& img = doc.CurrentImage();
    // A soft picture (gradients with a round transparent hole), not noise: PNG
    // sizes and speeds on noise say little about real cursors.
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x) {
            const int dx = x - 128, dy = y - 128;
            const bool hole = dx * dx + dy * dy < 40 * 40;
            img.At(x, y) = hole ? TmyPixel::Create()
                                : TmyPixel::CreateRGBA(static_cast<std::uint8_t>(x), static_cast<std::uint8_t>(y),
                                                       static_cast<std::uint8_t>((x + y) / 2),
                                                       static_cast<std::uint8_t>(128 + (x ^ y) % 128));
        }
    img.SetHotSpotX(3);
    img.SetHotSpotY(5);
    return doc;
}

void BM_WriteCursor256(benchmark::State& state) {
    const TmyIcon doc = Cursor256();
    const bool png = state.range(0) != 0;
    TmyIcoIO io(false);
    std::int64_t bytes = 0;
    for (auto _ : state) {
        ByteWriter out;
        if (!io.SaveToStream(doc, out, png)) state.SkipWithError("write failed");
        bytes = static_cast<std::int64_t>(out.size());
        benchmark::DoNotOptimize(out.buffer().data());
    }
    state.counters["file_bytes"] = static_cast<double>(bytes);
    state.SetBytesProcessed(state.iterations() * 256 * 256 * 4);
}
BENCHMARK(BM_WriteCursor256)->ArgName("png")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

void BM_ReadCursor256(benchmark::State& state) {
    const bool png = state.range(0) != 0;
    ByteWriter out;
    if (!TmyIcoIO(false).SaveToStream(Cursor256(), out, png)) {
        state.SkipWithError("write failed");
        return;
    }
    const std::vector<std::uint8_t> file = out.take();
    TmyIcoIO io(false);
    for (auto _ : state) {
        TmyIcon doc;
        ByteReader reader(file);
        if (!io.LoadFromStream(doc, reader)) state.SkipWithError("read failed");
        benchmark::DoNotOptimize(doc.Image(0).Pixels().data());
    }
    state.SetBytesProcessed(state.iterations() * 256 * 256 * 4);
}
BENCHMARK(BM_ReadCursor256)->ArgName("png")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace velto
