// kdu itself, run as a person runs it, on simulated drives with the demo timing: `update
// --all` of 8 drives against `update --drive` of one, as a ratio of their wall times in one
// run (side by side, 8 drives should take hardly longer than one), and the CPU the kdu
// process used over that time (user + sys from wait4) as a fraction of one core: nearly all
// of an update is the drives installing, which kdu only waits out.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/sim/SimControl.h"
#include "simdrive/DriveFile.h"

namespace {

namespace fs = std::filesystem;

constexpr int kDrives = 8;

double seconds(const timeval& tv) { return static_cast<double>(tv.tv_sec) + static_cast<double>(tv.tv_usec) / 1e6; }

struct Run {
    double wall = 0, cpu = 0;
    int exitStatus = -1;
};

// A folder of drives made as `kdu sim demo` makes its eligible ones, and the state folders
// kdu writes to, all temporary.
class DemoDrives {
public:
    DemoDrives() {
        char name[] = "/tmp/kdu-bench-many-XXXXXX";
        if (!::mkdtemp(name)) return;
        root_ = name;
        fs::create_directories(root_ / "runtime");
        ::setenv("XDG_STATE_HOME", (root_ / "state").c_str(), 1);
        ::setenv("XDG_RUNTIME_DIR", (root_ / "runtime").c_str(), 1);
        // No sleep inhibitor from the machine's logind: its round trip is not kdu's.
        ::setenv("DBUS_SYSTEM_BUS_ADDRESS", ("unix:path=" + (root_ / "no-system-bus").string()).c_str(), 1);
        const fs::path demo = root_ / "demo";
        std::string error;
        if (sim::createDemoFolder(demo)) return;
        if (auto profile = sim::loadDriveFile(sim::driveFilePath(demo, "bd-1"), error)) demo_ = *profile;
    }
    ~DemoDrives() {
        if (!root_.empty()) fs::remove_all(root_);
    }
    DemoDrives(const DemoDrives&) = delete;
    DemoDrives& operator=(const DemoDrives&) = delete;

    bool ready() const { return demo_.has_value(); }

    // Exactly `count` drives, d1 to dN, none updated yet.
    bool reset(int count) {
        fs::remove_all(folder());
        fs::create_directories(folder());
        std::string error;
        for (int i = 1; i <= count; ++i)
            if (!sim::writeDriveFile(sim::driveFilePath(folder(), "d" + std::to_string(i)), *demo_, error)) return false;
        return true;
    }

    // kdu --simulate=FOLDER ARGS..., its output thrown away.
    Run kdu(std::vector<std::string> args) const {
        args.insert(args.begin(), {KDU_EXECUTABLE, "--simulate=" + folder().string()});
        std::vector<char*> argv;
        for (std::string& arg : args) argv.push_back(arg.data());
        argv.push_back(nullptr);
        Run run;
        const auto start = std::chrono::steady_clock::now();
        const pid_t child = ::fork();
        if (child == 0) {
            const int null = ::open("/dev/null", O_RDWR);
            ::dup2(null, 0);
            ::dup2(null, 1);
            ::dup2(null, 2);
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
        int status = 0;
        rusage usage{};
        if (child < 0 || ::wait4(child, &status, 0, &usage) != child) return run;
        run.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        run.cpu = seconds(usage.ru_utime) + seconds(usage.ru_stime);
        run.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return run;
    }

private:
    fs::path folder() const { return root_ / "drives"; }

    fs::path root_;
    std::optional<sim::DriveSpec> demo_;
};

void BM_UpdateAllAgainstOne(benchmark::State& state) {
    DemoDrives drives;
    if (!drives.ready()) {
        state.SkipWithError("cannot make the demo drives");
        return;
    }
    for (auto _ : state) {
        if (!drives.reset(1)) state.SkipWithError("cannot write the drive files");
        const Run one = drives.kdu({"update", "--drive", "d1", "--yes"});
        if (!drives.reset(kDrives)) state.SkipWithError("cannot write the drive files");
        const Run all = drives.kdu({"update", "--all", "--yes"});
        if (one.exitStatus != 0 || all.exitStatus != 0) {
            state.SkipWithError("an update failed");
            break;
        }
        state.counters["one_s"] = one.wall;
        state.counters["all_s"] = all.wall;
        state.counters["ratio_all_to_one"] = all.wall / one.wall;
        state.counters["cpu_percent_of_one_core_all"] = 100.0 * all.cpu / all.wall;
        state.counters["cpu_percent_of_one_core_one"] = 100.0 * one.cpu / one.wall;
    }
}
BENCHMARK(BM_UpdateAllAgainstOne)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();

}  // namespace
