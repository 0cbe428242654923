// `kdu update [--drive N|ID|NODE] [--yes]`: the update of one listed drive, with the same
// confirmation, progress and verdict the window gives. What the person confirms names one
// drive identity; the update itself checks that the drive it opens is still that drive.
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <variant>
#include <iostream>
#include <string>

#include "cli/Commands.h"
#include "cli/DriveReport.h"
#include "cli/ExitCodes.h"
#include "cli/Inventory.h"
#include "cli/PermissionHint.h"
#include "cli/ProgressDisplay.h"
#include "cli/UpdateSignalGuard.h"
#include "drive/DriveList.h"
#include "drive/STUCMethod.h"
#include "model/NotificationNames.h"
#include "platform/NotificationCenter.h"

namespace cli {

namespace {

std::optional<int> terminalRows(int fd) {
    if (::isatty(fd) != 1) return std::nullopt;
    struct winsize size{};
    if (::ioctl(fd, TIOCGWINSZ, &size) == 0 && size.ws_row > 0) return static_cast<int>(size.ws_row);
    return 0;  // a terminal of unknown height: redraw in place without pinning
}

// Yes only on an explicit "y" or "yes"; an empty answer or end of input is No.
bool confirm(const DeviceData& drive) {
    std::cerr << "Do not disconnect the drive or turn the computer off until the update has finished.\n"
              << "Update " << DriveEntryTitle(drive) << "at " << driveWhereText(drive) << " now? [y/N] "
              << std::flush;
    std::string answer;
    if (!std::getline(std::cin, answer)) return false;
    for (char& c : answer) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const auto start = answer.find_first_not_of(" \t\r");
    const auto end = answer.find_last_not_of(" \t\r");
    if (start == std::string::npos) return false;
    answer = answer.substr(start, end - start + 1);
    return answer == "y" || answer == "yes";
}

// Observes the progress notices for its lifetime.
class ProgressObserver {
public:
    explicit ProgressObserver(ProgressDisplay& display) {
        platform::NotificationCenter::defaultCenter().addObserver(
            this, kUpdateIndicatorNotify,
            [&display](const platform::Notification& n) { display.onValue(n.object.value_or(-1)); });
    }
    ProgressObserver(const ProgressObserver&) = delete;
    ProgressObserver& operator=(const ProgressObserver&) = delete;
    ~ProgressObserver() { platform::NotificationCenter::defaultCenter().removeObserver(this); }
};

// From the first mode change until the drive is back in its normal mode nothing from
// outside stops the sequence; while the drive installs on its own, a signal only stops
// the waiting.
bool installFirmware(DeviceData& drive, const Images& images, UpdateReport& report, UpdateSignalGuard& signals) {
    ProgressDisplay display(std::cerr, terminalRows(STDERR_FILENO));
    const ProgressObserver observer(display);
    display.begin();
    UpdateHooks hooks;
    hooks.beginCritical = [&signals] {
        signals.setPhase(UpdateSignalGuard::Phase::Critical);
        return true;
    };
    hooks.progress = [&signals](const UpdateProgress& progress) {
        if (progress.step == UpdateStep::Install) signals.setPhase(UpdateSignalGuard::Phase::InstallWait);
    };
    hooks.stopWaiting = [&signals] { return signals.stopRequested().load(); };
    const bool ok = ExecUpdateMain(drive, images.normal, images.kernel, {}, hooks, &report);
    signals.setPhase(UpdateSignalGuard::Phase::After);
    return ok;
}

void listChoices(std::ostream& out, const std::vector<DeviceData>& drives) {
    for (std::size_t i = 0; i < drives.size(); ++i)
        if (drives[i].isEnableUpdate())
            out << "  " << i + 1 << ". " << DriveEntryTitle(drives[i]) << "at " << driveWhereText(drives[i]) << "\n";
}

// The drive the person meant, or an exit status.
std::variant<const DeviceData*, int> chooseDrive(const std::vector<DeviceData>& drives,
                                                 const std::vector<platform::DriveIdentity>& unexamined,
                                                 const UpdateOptions& options) {
    if (options.drive) {
        bool busy = false;
        if (const DeviceData* named = pickDrive(drives, unexamined, *options.drive, &busy)) return named;
        return busy ? kExitFailure : kExitUsage;
    }
    // Without a name, a confirmation given in advance would name no drive in particular.
    if (options.yes) {
        std::cerr << "kdu: --yes needs --drive to name the drive to update (see `kdu list`).\n";
        return kExitUsage;
    }
    const auto eligible = std::count_if(drives.begin(), drives.end(), [](const DeviceData& d) { return d.isEnableUpdate(); });
    if (eligible > 1) {
        std::cerr << "kdu: " << eligible << " drives may be updated; choose one with --drive:\n";
        listChoices(std::cerr, drives);
        return kExitUsage;
    }
    if (eligible == 1)
        return &*std::find_if(drives.begin(), drives.end(), [](const DeviceData& d) { return d.isEnableUpdate(); });
    if (drives.size() == 1) return &drives.front();  // says below why it may not be updated
    std::cerr << (drives.empty() ? "kdu: no drive found.\n" : "kdu: no drive may be updated (see `kdu list`).\n");
    return drives.empty() ? kExitUsage : kExitNotEligible;
}

}  // namespace

int runUpdate(const platform::BackendChoice& backend, const UpdateOptions& options) {
    // First, before any thread exists: every thread inherits the blocked signals.
    UpdateSignalGuard signals;
    if (!installBackend(backend)) return kExitFailure;
    Images images;
    readImages(images);
    const PermissionWatch permissions;
    std::vector<platform::DriveIdentity> unexamined;
    const std::vector<DeviceData> drives = listDrives(images.normal, &unexamined);
    const std::variant<const DeviceData*, int> choice = chooseDrive(drives, unexamined, options);
    if (const int* status = std::get_if<int>(&choice)) {
        if (*status == kExitUsage) permissions.printHint(std::cerr);
        return *status;
    }
    const DeviceData& chosen = *std::get<const DeviceData*>(choice);

    if (!chosen.isEnableUpdate()) {
        std::cerr << "kdu: drive " << chosen.identity().id << " (" << DriveEntryTitle(chosen)
                  << ") may not be updated: " << eligibilityText(chosen.eligibility()) << ".\n";
        return kExitNotEligible;
    }

    std::cout << "Drive: " << DriveEntryTitle(chosen) << "at " << driveWhereText(chosen) << "\n"
              << "Update to: " << shippedVersionText(images.normal) << std::endl;
    if (!options.yes && !confirm(chosen)) {
        std::cerr << "Update cancelled; nothing was sent to the drive.\n";
        return kExitCancelled;
    }

    // The sequence refreshes the record it is given; the listing stays as it was.
    DeviceData drive = chosen;
    UpdateReport report;
    const bool ok = installFirmware(drive, images, report, signals);
    std::fflush(stdout);
    if (!ok) {
        std::cout << "Error!" << std::endl;
        std::cerr << "kdu: drive " << drive.identity().id << ": " << report.message() << ".\n";
        return kExitFailure;
    }
    std::cout << "Complete!" << std::endl;
    return kExitOk;
}

}  // namespace cli
