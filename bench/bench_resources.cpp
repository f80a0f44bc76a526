// Adding one cursor group to a 50 MB library (1600 groups of 32 KB images),
// next to copying the same file: plainly, and flushed and renamed as a save
// that survives a crash is. And the image checksum over the library.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <filesystem>

#include "../tests/resources/PeTestImage.h"
#include "resources/CursorGroups.h"

namespace {

using namespace restest;

struct Library {
    TempDir dir;
    std::string pristine = dir.File("pristine.dll");
    std::string work = dir.File("work.dll");
    std::string cursor = dir.File("new.cur");
    Bytes bytes;

    Library() {
        PeSpec spec;
        spec.relocAfter = spec.symbols = true;
        velto::TResourceUpdateHandle* h = velto::BeginUpdateResourceMemory(BuildPe(spec), false);
        const Bytes image = CursorImageBytes(90, 90, 1);  // 32 KB and a little
        Bytes data(4, 0);
        data.insert(data.end(), image.begin(), image.begin() + (velto::kParkThreshold - 4));
        for (std::uint16_t g = 1; g <= 1600; ++g) {
            Bytes group(6 + 14, 0);
            Put16(group, 2, 2);
            Put16(group, 4, 1);
            Put32(group, 6 + 8, static_cast<std::uint32_t>(data.size()));
            Put16(group, 6 + 12, g);
            velto::UpdateResourceEntry(h, velto::ResName::FromId(velto::RT_CURSOR), velto::ResName::FromId(g), 0,
                                       data.data(), static_cast<std::uint32_t>(data.size()));
            velto::UpdateResourceEntry(h, velto::ResName::FromId(velto::RT_GROUP_CURSOR), velto::ResName::FromId(g), 0,
                                       group.data(), static_cast<std::uint32_t>(group.size()));
        }
        velto::CommitResourceUpdateToMemory(h, bytes);
        WriteFile(pristine, bytes);
        WriteFile(cursor, CursorFile({{32, 32, 3, 4, {}, 2}}));
    }
    void Reset() const { std::filesystem::copy_file(pristine, work, std::filesystem::copy_options::overwrite_existing); }
};

const Library& Lib() {
    static const Library lib;
    return lib;
}

void AddVelto(benchmark::State& state) {
    const Library& lib = Lib();
    for (auto _ : state) {
        state.PauseTiming();
        lib.Reset();
        state.ResumeTiming();
        velto::TResourceEditor editor(lib.work);
        if (!editor.SaveGroups({{lib.cursor, velto::ResName::FromString(u"NEW"), 0}})) state.SkipWithError("save failed");
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * lib.bytes.size()));
}

void AddCopy(benchmark::State& state) {
    const Library& lib = Lib();
    for (auto _ : state) {
        std::filesystem::copy_file(lib.pristine, lib.work, std::filesystem::copy_options::overwrite_existing);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * lib.bytes.size()));
}

// Read, written to a new file in the same folder, flushed, renamed.
void AddCopyFlushed(benchmark::State& state) {
    const Library& lib = Lib();
    for (auto _ : state) {
        const Bytes data = ReadFile(lib.pristine);
        const std::string temp = lib.work + ".tmp";
        const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        const bool ok = ::write(fd, data.data(), data.size()) == static_cast<ssize_t>(data.size()) && ::fsync(fd) == 0;
        ::close(fd);
        if (!ok || ::rename(temp.c_str(), lib.work.c_str()) != 0) state.SkipWithError("copy failed");
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * lib.bytes.size()));
}

void Checksum(benchmark::State& state) {
    const Library& lib = Lib();
    for (auto _ : state) {
        velto::PeChecksum sum;
        sum.Update(lib.bytes);
        benchmark::DoNotOptimize(sum.Finish());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * lib.bytes.size()));
}

}  // namespace

BENCHMARK(AddVelto)->Name("AddCursorGroup/velto/50MB")->Unit(benchmark::kMillisecond);
BENCHMARK(AddCopy)->Name("AddCursorGroup/copy/50MB")->Unit(benchmark::kMillisecond);
BENCHMARK(AddCopyFlushed)->Name("AddCursorGroup/copy-flushed/50MB")->Unit(benchmark::kMillisecond);
BENCHMARK(Checksum)->Name("PeChecksum/velto/50MB")->Unit(benchmark::kMillisecond);
