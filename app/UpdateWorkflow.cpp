// The update: confirmation sheet, worker thread, progress display and result.
#include <QPointer>
#include <QProgressBar>
#include <algorithm>

#include "app/AlertSheet.h"
#include "app/MainWindow.h"
#include "app/KestoryDriveUpdaterAppDelegate.h"
#include "app/ObserverGate.h"
#include "platform/NamedLock.h"
#include "platform/RunLoop.h"

void KestoryDriveUpdaterAppDelegate::clickUpdateButton(QObject* /*sender*/) {
    QPointer<KestoryDriveUpdaterAppDelegate> self(this);
    //% "Do not disconnect the drive or turn off the computer while the firmware is updated. Start the update?"
    beginAlertSheet(window_, qtTrId("MESSAGE_DONT_DISCONNECTUSB"), QStringLiteral("Cancel"), QStringLiteral("OK"),
                    [self](int returnCode) {
                        if (self) {
                            self->alertDidEnd(returnCode);
                        }
                    });
}

void KestoryDriveUpdaterAppDelegate::alertDidEnd(std::int32_t returnCode) {
    {
        // Under the listing lock, so no relisting is half way through when the update
        // starts: one that finished later would move the list under the worker's feet.
        platform::SyncScope listing("SYNC_LISTING");
        platform::SyncScope current("SYNC_CURRENTDEVICE");
        if (returnCode != kAlertAlternateReturn || !curDeviceData || isUpdatingNow) {
            return;
        }
        isUpdatingNow = true;
    }
    updateControll();
    onGui([this] {
        idctProgressUpdate->setHidden(false);
        idctProgressUpdate->setRange(0, 0);  // indeterminate: the bar animates by itself
        idctProgressUpdate->setValue(0);
    });
    // Lets the locked controls and the moving bar show before the drive is busy.
    platform::CFRunLoopGetMain().runFor(timing_.preUpdateRunLoop);
    std::this_thread::sleep_for(timing_.preUpdateSleep);
    joinUpdateWorker();
    updateWorker_ = std::thread([this] { runUpdateThread(); });
}

void KestoryDriveUpdaterAppDelegate::runUpdateThread() {
    // The sequence refreshes the record it is given; it works on a copy so the current
    // record only changes, under the lock, when the update has succeeded.
    std::optional<DeviceData> drive = currentDevice();
    const bool ok = drive && ExecUpdateMain(*drive, *curFwNormalData, *curFwKernelData, timing_.update);
    if (ok) {
        showResultSheet(QStringLiteral("Complete!"));
        {
            platform::SyncScope current("SYNC_CURRENTDEVICE");
            curDeviceData = *drive;
            const std::int32_t index = curIndex;
            if (index >= 0 && static_cast<std::size_t>(index) < deviceArray.size()) {
                deviceArray[static_cast<std::size_t>(index)] = *drive;
            }
        }
        updateDeviceCombobox();
    } else {
        showResultSheet(QStringLiteral("Error!"));
    }
    isUpdatingNow = false;
    updateControll();
    updateDeviceList(nullptr);
}

void KestoryDriveUpdaterAppDelegate::updateIndicatorNotify(const platform::Notification& notification) {
    if (!notification.object) {
        return;
    }
    const auto v = static_cast<std::int32_t>(*notification.object);
    if (v < 0) {
        onGui([this] { idctProgressUpdate->setHidden(true); });
        return;
    }
    if (curIndex < 0) {
        return;
    }
    const int max = kProgressMaximum;
    const int value = static_cast<int>(std::clamp<std::int64_t>(std::int64_t{max} - v, 0, max));
    onGui([this, value, max] {
        idctProgressUpdate->setRange(0, max);
        idctProgressUpdate->setHidden(false);
        idctProgressUpdate->setValue(value);
    });
}

void KestoryDriveUpdaterAppDelegate::showResultSheet(const QString& message) {
    onGui([this, message] { beginAlertSheet(window_, message, QStringLiteral("OK"), QString(), nullptr); });
}

void KestoryDriveUpdaterAppDelegate::joinUpdateWorker() {
    if (updateWorker_.joinable()) {
        updateWorker_.join();
    }
}
