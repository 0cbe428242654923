// `kdu watch [--json]`: drive arrivals and removals, discs coming and going, and the
// relisting each causes, until SIGINT or SIGTERM. One thread waits on the device manager's
// descriptor and the stop signals.
#include <poll.h>

#include <cerrno>
#include <iostream>
#include <sstream>

#include "cli/Commands.h"
#include "cli/DriveReport.h"
#include "cli/Output.h"
#include "cli/ExitCodes.h"
#include "cli/Inventory.h"
#include "cli/Signals.h"
#include "monitor/USBDeviceManager.h"

namespace cli {

namespace {

class Watcher {
public:
    Watcher(bool json, const FirmFileData& normal) : json_(json), normal_(normal) {}

    // Output that cannot be written ends the watch.
    bool stopped() const { return stopped_; }

    void onDriveNotice(bool arrived, const std::vector<scsi::DriveIdentity>& drives) {
        // The device manager's first two notices only arm its watch; together they stand
        // for the listing at start.
        if (primingNotices_ > 0) {
            if (--primingNotices_ == 0) relist(listDrives(normal_));
            return;
        }
        const char* name = arrived ? "drive_arrived" : "drive_removed";
        // One event per drive the notice names, by the id the listings use.
        for (const scsi::DriveIdentity& drive : drives) {
            if (json_)
                emit(event(name, drive.id));
            else
                print(std::string(arrived ? "drive arrived: " : "drive removed: ") + escapeControls(drive.id) + "\n");
        }
        relist(listDrives(normal_));
    }

    void onDisc(const platform::DiskDescription& disc, bool appeared) {
        const OptionalText& volume = disc.volumeName;
        const OptionalText& model = disc.deviceModel;
        std::vector<DeviceData> drives = listDrives(normal_);
        // The drive the disc is in, named by its device: in this listing, or for a disc gone
        // with its drive, the last one.
        std::optional<std::string> drive = driveOfDisk(drives, disc.bsdName);
        if (!drive) drive = driveOfDisk(lastDrives_, disc.bsdName);
        if (json_) {
            Json line = event(appeared ? "disc_appeared" : "disc_disappeared", drive);
            line["volume"] = textOrNull(volume);
            line["model"] = textOrNull(model);
            emit(line);
        } else {
            print(std::string(appeared ? "disc appeared: " : "disc disappeared: ") +
                  (volume ? "volume \"" + escapeControls(*volume) + "\"" : std::string("no volume name")) + " in " +
                  escapeControls(model.value_or("an unknown drive")) + (drive ? " at " + escapeControls(*drive) : std::string()) +
                  "\n");
        }
        relist(std::move(drives));
    }

private:
    static std::optional<std::string> driveOfDisk(const std::vector<DeviceData>& drives, const std::string& bsdName) {
        for (const DeviceData& d : drives)
            if (d.identity().isNamedBy(bsdName) || d.identity().isNamedBy("/dev/" + bsdName)) return d.identity().id;
        return std::nullopt;
    }

    void relist(std::vector<DeviceData> drives) {
        lastDrives_ = drives;
        if (json_) {
            Json line = event("relisted", std::nullopt);
            line["drives"] = drivesJson(drives);
            emit(line);
            return;
        }
        std::ostringstream text;
        text << "relisted: " << drives.size() << (drives.size() == 1 ? " drive" : " drives") << "\n";
        for (std::size_t i = 0; i < drives.size(); ++i) printDriveShort(text, drives[i], static_cast<int>(i) + 1);
        print(text.str());
    }

    void emit(const Json& line) { print(jsonLine(line) + "\n"); }
    void print(std::string_view text) {
        answer(text);
        if (outputFailed()) stopped_ = true;
    }

    const bool json_;
    const FirmFileData& normal_;
    bool stopped_ = false;
    int primingNotices_ = 2;
    std::vector<DeviceData> lastDrives_;  // as last listed, to find the drive of a disc that went with it
};

}  // namespace

int runWatch(const platform::BackendChoice& backend, const WatchOptions& options) {
    if (!installBackend(backend)) return kExitFailure;
    const StopSignalPipe stopPipe;
    if (!stopPipe.valid()) {
        std::cerr << "kdu: cannot watch: no signal pipe.\n";
        return kExitFailure;
    }
    Images images;
    readImages(images);

    Watcher watcher(options.json, images.normal);
    USBDeviceManager manager({
        .deviceAdded = [&](const DeviceNotice& n) { watcher.onDriveNotice(true, n.drives); },
        .deviceRemoved = [&](const DeviceNotice& n) { watcher.onDriveNotice(false, n.drives); },
        .disc = [&](const platform::DiskDescription& disc, bool appeared) { watcher.onDisc(disc, appeared); },
    });
    if (!manager.start()) {
        std::cerr << "kdu: discs cannot be watched (no disk session).\n";
        std::cerr << "kdu: drive arrivals and removals cannot be watched.\n";
    }
    // Without a watch (fd -1, skipped by poll) only a stop signal ends it.
    pollfd ready[] = {{stopPipe.fd(), POLLIN, 0}, {manager.fd(), POLLIN, 0}};
    while (!watcher.stopped()) {
        if (::poll(ready, 2, -1) < 0) {
            if (errno == EINTR) continue;
            break;
        }
        if (ready[0].revents != 0) break;
        if (ready[1].revents != 0) manager.dispatch();
    }
    return kExitOk;
}

}  // namespace cli
