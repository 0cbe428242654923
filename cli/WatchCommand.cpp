// `kdu watch [--json]`: drive arrivals and removals, discs coming and going, and the
// relisting each causes, until SIGINT or SIGTERM. Threads as in the window: drive events
// on a device-manager thread, disc events on the main thread's run loop.
#include <functional>
#include <iostream>
#include <mutex>
#include <sstream>
#include <thread>

#include "cli/Commands.h"
#include "cli/DriveReport.h"
#include "cli/Output.h"
#include "cli/ExitCodes.h"
#include "cli/Inventory.h"
#include "cli/Signals.h"
#include "model/NotificationNames.h"
#include "monitor/USBDeviceManager.h"
#include "platform/DiskArbitration.h"
#include "platform/NotificationCenter.h"
#include "platform/RunLoop.h"

namespace cli {

namespace {

class Watcher {
public:
    // `stop` ends the watch from any thread: output that cannot be written ends it.
    Watcher(bool json, const FirmFileData& normal, std::function<void()> stop)
        : json_(json), normal_(normal), stop_(std::move(stop)) {}

    void onDriveNotice(bool arrived, const std::vector<std::string>& ids) {
        const std::lock_guard lock(mutex_);
        // The device manager's first two notices only arm its watch; together they stand
        // for the listing at start.
        if (primingNotices_ > 0) {
            if (--primingNotices_ == 0) relistLocked(listDrives(normal_));
            return;
        }
        const char* name = arrived ? "drive_arrived" : "drive_removed";
        // One event per drive the notice names, by the id the listings use.
        for (const std::string& id : ids) {
            if (json_)
                emitLocked(event(name, id));
            else
                printLocked(std::string(arrived ? "drive arrived: " : "drive removed: ") + escapeControls(id) + "\n");
        }
        relistLocked(listDrives(normal_));
    }

    void onDisc(platform::DADiskRef disk, bool appeared) {
        const std::lock_guard lock(mutex_);
        const std::optional<platform::DADiskDescription> description = platform::DADiskCopyDescription(disk);
        const OptionalText volume = description ? description->volumeName : std::nullopt;
        const OptionalText model = description ? description->deviceModel : std::nullopt;
        std::vector<DeviceData> drives = listDrives(normal_);
        // The drive the disk is in, named by its device: in this listing, or for a disc gone
        // with its drive, the last one.
        const char* bsdName = platform::DADiskGetBSDName(disk);
        std::optional<std::string> drive = bsdName ? driveOfDisk(drives, bsdName) : std::nullopt;
        if (!drive && bsdName) drive = driveOfDisk(lastDrives_, bsdName);
        if (json_) {
            Json line = event(appeared ? "disc_appeared" : "disc_disappeared", drive);
            line["volume"] = textOrNull(volume);
            line["model"] = textOrNull(model);
            emitLocked(line);
        } else {
            printLocked(std::string(appeared ? "disc appeared: " : "disc disappeared: ") +
                        (volume ? "volume \"" + escapeControls(*volume) + "\"" : std::string("no volume name")) + " in " +
                        escapeControls(model.value_or("an unknown drive")) + (drive ? " at " + escapeControls(*drive) : std::string()) +
                        "\n");
        }
        relistLocked(std::move(drives));
    }

    static void diskAppeared(platform::DADiskRef disk, void* context) {
        static_cast<Watcher*>(context)->onDisc(disk, true);
    }
    static void diskDisappeared(platform::DADiskRef disk, void* context) {
        static_cast<Watcher*>(context)->onDisc(disk, false);
    }

private:
    static std::optional<std::string> driveOfDisk(const std::vector<DeviceData>& drives, const std::string& bsdName) {
        for (const DeviceData& d : drives)
            if (d.identity().isNamedBy(bsdName) || d.identity().isNamedBy("/dev/" + bsdName)) return d.identity().id;
        return std::nullopt;
    }

    void relistLocked(std::vector<DeviceData> drives) {
        lastDrives_ = drives;
        if (json_) {
            Json line = event("relisted", std::nullopt);
            line["drives"] = drivesJson(drives);
            emitLocked(line);
            return;
        }
        std::ostringstream text;
        text << "relisted: " << drives.size() << (drives.size() == 1 ? " drive" : " drives") << "\n";
        for (std::size_t i = 0; i < drives.size(); ++i) printDriveShort(text, drives[i], static_cast<int>(i) + 1);
        printLocked(text.str());
    }

    void emitLocked(const Json& line) { printLocked(jsonLine(line) + "\n"); }
    void printLocked(std::string_view text) {
        answer(text);
        if (outputFailed()) stop_();
    }

    std::mutex mutex_;  // one relisting at a time, and whole lines
    const bool json_;
    const FirmFileData& normal_;
    const std::function<void()> stop_;
    int primingNotices_ = 2;
    std::vector<DeviceData> lastDrives_;  // as last listed, to find the drive of a disc that went with it
};

// The device-manager thread: USBDeviceManager on its own run loop, stopped on request.
class DeviceManagerThread {
public:
    DeviceManagerThread() : thread_([this] { body(); }) {}
    DeviceManagerThread(const DeviceManagerThread&) = delete;
    DeviceManagerThread& operator=(const DeviceManagerThread&) = delete;
    ~DeviceManagerThread() {
        {
            const std::lock_guard lock(mutex_);
            stopping_ = true;
            if (loop_ != nullptr) loop_->stop();
        }
        thread_.join();
    }

private:
    void body() {
        {
            const std::lock_guard lock(mutex_);
            if (stopping_) return;
            loop_ = &platform::CFRunLoopGetCurrent();
        }
        USBDeviceManager manager;
        if (!manager.start()) std::cerr << "kdu: drive arrivals and removals cannot be watched.\n";
        const std::lock_guard lock(mutex_);
        loop_ = nullptr;
    }

    std::mutex mutex_;
    platform::RunLoop* loop_ = nullptr;
    bool stopping_ = false;
    std::thread thread_;  // last: starts once the rest is ready
};

// Drive notices (no object) reach the watcher for its lifetime.
class DriveNoticeObserver {
public:
    explicit DriveNoticeObserver(Watcher& watcher) {
        auto& center = platform::NotificationCenter::defaultCenter();
        center.addObserver(this, kAppearedDeviceNotify, [&watcher](const platform::Notification& n) {
            if (!n.object) watcher.onDriveNotice(true, n.drives);
        });
        center.addObserver(this, kDisappearedDeviceNotify, [&watcher](const platform::Notification& n) {
            if (!n.object) watcher.onDriveNotice(false, n.drives);
        });
    }
    DriveNoticeObserver(const DriveNoticeObserver&) = delete;
    DriveNoticeObserver& operator=(const DriveNoticeObserver&) = delete;
    ~DriveNoticeObserver() { platform::NotificationCenter::defaultCenter().removeObserver(this); }
};

// A disk session on the calling thread's run loop, reporting to the watcher.
class DiscSession {
public:
    DiscSession(Watcher& watcher, platform::RunLoop& loop)
        : watcher_(watcher), loop_(loop), session_(platform::DASessionCreate()) {
        if (session_ == nullptr) {
            std::cerr << "kdu: discs cannot be watched (no disk session).\n";
            return;
        }
        platform::DASessionScheduleWithRunLoop(session_, loop_);
        platform::DARegisterDiskAppearedCallback(session_, nullptr, &Watcher::diskAppeared, &watcher_);
        platform::DARegisterDiskDisappearedCallback(session_, nullptr, &Watcher::diskDisappeared, &watcher_);
    }
    DiscSession(const DiscSession&) = delete;
    DiscSession& operator=(const DiscSession&) = delete;
    ~DiscSession() {
        if (session_ == nullptr) return;
        platform::DAUnregisterCallback(session_, reinterpret_cast<void*>(&Watcher::diskAppeared), &watcher_);
        platform::DAUnregisterCallback(session_, reinterpret_cast<void*>(&Watcher::diskDisappeared), &watcher_);
        platform::DASessionUnscheduleFromRunLoop(session_, loop_);
        platform::DASessionRelease(session_);
    }

private:
    Watcher& watcher_;
    platform::RunLoop& loop_;
    platform::DASessionRef session_;
};

// Stops the loop when a stop signal arrives, for its lifetime.
class StopSource {
public:
    StopSource(platform::RunLoop& loop, const StopSignalPipe& pipe)
        : loop_(loop), id_(loop.addSource(pipe.fd(), [&loop] { loop.stop(); })) {}
    StopSource(const StopSource&) = delete;
    StopSource& operator=(const StopSource&) = delete;
    ~StopSource() { loop_.removeSource(id_); }

private:
    platform::RunLoop& loop_;
    platform::RunLoop::SourceId id_;
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

    platform::RunLoop& mainLoop = platform::CFRunLoopGetCurrent();
    Watcher watcher(options.json, images.normal, [&mainLoop] { mainLoop.perform([&mainLoop] { mainLoop.stop(); }); });
    const DriveNoticeObserver observer(watcher);
    const StopSource stopSource(mainLoop, stopPipe);
    const DiscSession discs(watcher, mainLoop);
    {
        const DeviceManagerThread deviceManager;
        mainLoop.run();
    }
    return kExitOk;
}

}  // namespace cli
