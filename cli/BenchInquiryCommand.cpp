// `kdu bench-inquiry [--drive N] [--count C]`: the time one INQUIRY takes through the
// backend, the drive held once for the whole run.
#include <chrono>
#include <iostream>

#include "cli/Commands.h"
#include "cli/DriveReport.h"
#include "cli/ExitCodes.h"
#include "cli/Inventory.h"
#include "cli/Output.h"
#include "drive/DriveAccess.h"
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

    drive_access::DriveInterfaces interfaces(chosen->scsiDevice());
    if (interfaces.taskDevice() == nullptr) {
        std::cerr << "kdu: drive " << options.drive << " cannot be opened.\n";
        return kExitFailure;
    }
    drive_access::ExclusiveAccess access(interfaces.taskDevice());
    if (!access.held()) {
        std::cerr << "kdu: drive " << options.drive << " is in use elsewhere.\n";
        return kExitFailure;
    }

    DeviceData scratch;
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < options.count; ++i) CommandInquiry(interfaces.taskDevice(), &scratch);
    const std::chrono::duration<double, std::micro> elapsed = std::chrono::steady_clock::now() - start;

    answer(jsonLine(Json{{"count", options.count}, {"microsecondsPerInquiry", elapsed.count() / options.count}}) + "\n");
    return kExitOk;
}

}  // namespace cli
