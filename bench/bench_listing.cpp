// One full listing of 16 simulated target drives.
#include <benchmark/benchmark.h>

#include "bench/BenchSupport.h"
#include "drive/DriveList.h"
#include "model/FirmwareImages.h"

namespace {

void BM_List16Drives(benchmark::State& state) {
    bench::SimulatedDrives drives;
    for (int i = 0; i < 16; ++i) drives.attach("drive" + std::to_string(i), sim::DriveSpec{});
    drives.provideImages(64 * 1024);
    FirmFileData kernel, normal;
    getFwFileInfo(kernel, normal);
    bench::QuietStreams quiet;
    std::size_t listed = 0;
    for (auto _ : state) {
        std::vector<DeviceData> list;
        ListTargetDrives(list, normal);
        NumberIdenticalDrives(list);
        listed = list.size();
        state.PauseTiming();
        for (int i = 0; i < 16; ++i) drives.backend().clearCommandLog("drive" + std::to_string(i));
        state.ResumeTiming();
    }
    if (listed != 16) state.SkipWithError("not every drive was listed");
}
BENCHMARK(BM_List16Drives)->Unit(benchmark::kMillisecond);

}  // namespace
