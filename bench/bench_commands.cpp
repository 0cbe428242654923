// Cost of one execution frame (INQUIRY against a zero-latency simulated drive) and of
// decoding one sense line.
#include <benchmark/benchmark.h>

#include "bench/BenchSupport.h"
#include "drive/STUCMethod.h"

namespace {

void BM_InquiryFrame(benchmark::State& state) {
    bench::SimulatedDrives drives;
    drives.attach("drive", sim::DriveSpec{});
    bench::OpenDrive drive;
    bench::QuietStreams quiet;
    DeviceData record;
    std::int64_t sent = 0;
    for (auto _ : state) {
        CommandInquiry(drive.channel(), &record);
        // The simulator keeps what it received; keep that from growing without bound.
        if (++sent % 4096 == 0) {
            state.PauseTiming();
            drives.backend().clearCommandLog("drive");
            state.ResumeTiming();
        }
    }
    benchmark::DoNotOptimize(record);
}
BENCHMARK(BM_InquiryFrame);

void BM_DecodeSenseLine(benchmark::State& state) {
    bench::QuietStreams quiet;
    scsi::Sense sense{};
    sense[0] = 0x70;
    sense[2] = 0x02;
    sense[12] = 0x3A;
    for (auto _ : state) PrintSenseString(&sense, false);
}
BENCHMARK(BM_DecodeSenseLine);

}  // namespace
