// The update sequence against simulated drives: a whole 2 MiB update over a drive whose
// wire is modelled at USB 2.0 speed (as a ratio to the modelled wire time, and the update's
// own share: its time outside the simulator's command execution, plus the wire), the
// overhead of one piece on a zero-latency drive, and the CPU used while waiting out an install.
#include <benchmark/benchmark.h>
#include <time.h>

#include <chrono>

#include "bench/BenchSupport.h"
#include "drive/DriveList.h"
#include "drive/STUCMethod.h"
#include "model/FirmwareImages.h"
#include "simdrive/DriveFile.h"

namespace {

constexpr std::size_t kNormalImage = 2 * 1024 * 1024;
constexpr double kWireBytesPerSecond = 35'000'000.0;

// As listed, which is what a person confirms and the update checks the drive against.
DeviceData recordOfFirstDrive(const FirmFileData& normal) {
    std::vector<DeviceData> listed;
    ListTargetDrives(listed, normal);
    return listed.empty() ? DeviceData{} : listed.front();
}

void BM_WholeUpdateAgainstModelledWire(benchmark::State& state) {
    bench::SimulatedDrives drives;
    sim::DriveSpec profile;
    profile.timing.bytesPerSecond = static_cast<std::uint64_t>(kWireBytesPerSecond);
    drives.attach("drive", profile);
    drives.provideImages(kNormalImage);
    FirmFileData kernel, normal;
    getFwFileInfo(kernel, normal);
    // Mode changes twice, the kernel image's 70,144 bytes and the normal image.
    const double wireSeconds = (2 * 256 + 70'144 + kNormalImage) / kWireBytesPerSecond;

    double elapsed = 0, simulator = 0;
    bench::QuietStreams quiet;
    for (auto _ : state) {
        DeviceData record = recordOfFirstDrive(normal);
        drives.resetSimulatorTime();
        auto start = std::chrono::steady_clock::now();
        bool ok = ExecUpdateMain(record, normal, kernel);
        elapsed += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        simulator += drives.simulatorSeconds();
        if (!ok) state.SkipWithError("update failed");
        state.PauseTiming();
        std::string error;  // back to the old revision for the next round
        if (!sim::writeDriveFile(sim::driveFilePath(drives.folder(), "drive"), profile, error))
            state.SkipWithError(error.c_str());
        drives.backend().clearCommandLog("drive");
        state.ResumeTiming();
    }
    const auto n = static_cast<double>(state.iterations());
    state.counters["ratio_to_wire"] = elapsed / n / wireSeconds;
    state.counters["update_share_to_wire"] = ((elapsed - simulator) / n + wireSeconds) / wireSeconds;
}
BENCHMARK(BM_WholeUpdateAgainstModelledWire)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

void BM_WriteBufferPieceZeroLatency(benchmark::State& state) {
    bench::SimulatedDrives drives;
    sim::DriveSpec profile;
    profile.mode = sim::DriveMode::Kernel;
    drives.attach("drive", profile);
    bench::OpenDrive drive;
    std::vector<std::uint8_t> piece(kWriteBufferMaxLength, 0x5A);
    DeviceData record;
    bench::QuietStreams quiet;
    std::uint32_t offset = 0;
    for (auto _ : state) {
        CommandWriteBuffer(drive.channel(), 0, &record, piece, offset, kWriteBufferMaxLength);
        offset = (offset + kWriteBufferMaxLength) % (16u << 20);
        if (offset == 0) {
            state.PauseTiming();
            drives.backend().clearCommandLog("drive");
            state.ResumeTiming();
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * kWriteBufferMaxLength);
}
BENCHMARK(BM_WriteBufferPieceZeroLatency)->Unit(benchmark::kMicrosecond);

double processCpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

void BM_CpuDuringInstallWait(benchmark::State& state) {
    bench::SimulatedDrives drives;
    sim::DriveSpec profile;
    profile.timing.installMs = 5000;
    drives.attach("drive", profile);
    drives.provideImages(64 * 1024);
    FirmFileData kernel, normal;
    getFwFileInfo(kernel, normal);
    bench::QuietStreams quiet;
    double cpu = 0, wall = 0;
    for (auto _ : state) {
        DeviceData record = recordOfFirstDrive(normal);
        double cpuStart = processCpuSeconds();
        auto start = std::chrono::steady_clock::now();
        ExecUpdateMain(record, normal, kernel);
        wall += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        cpu += processCpuSeconds() - cpuStart;
    }
    state.counters["cpu_percent_of_one_core"] = 100.0 * cpu / wall;
}
BENCHMARK(BM_CpuDuringInstallWait)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

}  // namespace
