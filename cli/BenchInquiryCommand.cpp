// `kdu bench-inquiry [--drive N] [--count C]`: the time one INQUIRY takes through the
// backend, the drive held once for the whole run.
#include <chrono>
#include <iostream>

#include "cli/Commands.h"
#include "cli/DriveReport.h"
#include "cli/ExitCodes.h"
#include "cli/Inventory.h"
#include "cli/Output.h"
#include "drive/STUCMethod.h"

namespace cli {

int runBenchInquiry(const platform::BackendChoice& backend, const BenchInquiryOptions& options) {
    if (options.count < 1) {
        std::cerr << "kdu: --count must be at least 1.\n";
        return kExitUsage;
    }
    if (!installBackend(backend)) return kExitFailure;
    Images images;
    readImages(images);
    const std::vector<DeviceData> drives = listDrives(images.normal);
    const DeviceData* chosen = pickDrive(drives, options.drive);
    if (chosen == nullptr) return kExitUsage;

    const std::shared_ptr<platform::DeviceNode> node = attachedDrive(chosen->identity());
    platform::Opened opened = node ? CreateDeviceInterfaceForAuthoringDevice(*node) : platform::Opened{};
    if (!opened.channel) {
        const bool refused = node && accessRefused(opened.error);
        std::cerr << "kdu: drive " << options.drive << (refused ? " is in use elsewhere.\n" : " cannot be opened.\n");
        return kExitFailure;
    }

    DeviceData scratch;
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < options.count; ++i) CommandInquiry(*opened.channel, &scratch);
    const std::chrono::duration<double, std::micro> elapsed = std::chrono::steady_clock::now() - start;

    answer(jsonLine(Json{{"count", options.count}, {"microsecondsPerInquiry", elapsed.count() / options.count}}) + "\n");
    return kExitOk;
}

}  // namespace cli
