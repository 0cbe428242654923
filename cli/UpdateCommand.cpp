// `kdu update [--drive N] [--yes]`: the update of one listed drive, with the same
// confirmation, progress and verdict the window gives.
#include <sys/ioctl.h>
#include <unistd.h>

#include <cctype>
#include <iostream>
#include <string>

#include "cli/Commands.h"
#include "cli/DriveReport.h"
#include "cli/ExitCodes.h"
#include "cli/Inventory.h"
#include "cli/PermissionHint.h"
#include "cli/ProgressDisplay.h"
#include "cli/Signals.h"
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
bool confirm(int number, const DeviceData& drive) {
    std::cerr << "Do not disconnect the drive or turn the computer off until the update has finished.\n"
              << "Update drive " << number << " (" << DriveEntryTitle(drive) << ") now? [y/N] " << std::flush;
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

bool installFirmware(DeviceData& drive, const Images& images) {
    const InterruptDeferral deferral;
    ProgressDisplay display(std::cerr, terminalRows(STDERR_FILENO));
    const ProgressObserver observer(display);
    display.begin();
    return ExecUpdateMain(drive, images.normal, images.kernel);
}

}  // namespace

int runUpdate(const platform::BackendChoice& backend, const UpdateOptions& options) {
    if (!installBackend(backend)) return kExitFailure;
    Images images;
    readImages(images);
    const PermissionWatch permissions;
    const std::vector<DeviceData> drives = listDrives(images.normal);
    const DeviceData* chosen = pickDrive(drives, options.drive);
    if (chosen == nullptr) {
        permissions.printHint(std::cerr);
        return kExitUsage;
    }

    if (!chosen->isEnableUpdate()) {
        std::cerr << "kdu: drive " << options.drive << " (" << DriveEntryTitle(*chosen) << ") may not be updated: ";
        if (!images.normal.isFileExists())
            std::cerr << "the firmware image is missing.\n";
        else
            std::cerr << "its firmware is up to date or does not fit this drive.\n";
        return kExitNotEligible;
    }

    std::cout << "Drive " << options.drive << ": " << DriveEntryTitle(*chosen) << "\n"
              << "Update to: " << shippedVersionText(images.normal) << std::endl;
    if (!options.yes && !confirm(options.drive, *chosen)) {
        std::cerr << "Update cancelled; nothing was sent to the drive.\n";
        return kExitCancelled;
    }

    // The sequence refreshes the record it is given; the listing stays as it was.
    DeviceData drive = *chosen;
    const bool ok = installFirmware(drive, images);
    std::fflush(stdout);
    if (!ok) {
        std::cout << "Error!" << std::endl;
        return kExitFailure;
    }
    std::cout << "Complete!" << std::endl;
    return kExitOk;
}

}  // namespace cli
