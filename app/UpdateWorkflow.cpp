// The update: confirmation sheet, worker thread, progress display and result. The sheet
// asks about the drive that was current when Update was pressed, and that drive, found
// again by its identity, is the one updated: a relisting while the sheet is open changes
// neither.
#include <QPointer>
#include <QProgressBar>
#include <algorithm>

#include "app/AlertSheet.h"
#include "app/MainWindow.h"
#include "app/KestoryDriveUpdaterAppDelegate.h"
#include "app/ObserverGate.h"
#include "drive/DriveList.h"
#include "platform/NamedLock.h"
#include "platform/RunLoop.h"

void KestoryDriveUpdaterAppDelegate::clickUpdateButton(QObject* /*sender*/) {
    {
        platform::SyncScope current("SYNC_CURRENTDEVICE");
        confirmTarget_ = curDeviceData;
    }
    QPointer<KestoryDriveUpdaterAppDelegate> self(this);
    //% "Do not disconnect the drive or turn off the computer while the firmware is updated. Start the update?"
    beginAlertSheet(window_, qtTrId("MESSAGE_DONT_DISCONNECTUSB"), QStringLiteral("Cancel"), QStringLiteral("OK"),
                    [self](int returnCode) {
                        if (self) {
                            self->alertDidEnd(returnCode);
                        }
                    });
}

std::int32_t KestoryDriveUpdaterAppDelegate::indexOfDrive(const platform::DriveIdentity& identity) const {
    platform::SyncScope current("SYNC_CURRENTDEVICE");
    for (std::size_t i = 0; i < deviceArray.size(); ++i) {
        if (deviceArray[i].identity().sameDriveAs(identity)) {
            return static_cast<std::int32_t>(i);
        }
    }
    return -1;
}

void KestoryDriveUpdaterAppDelegate::alertDidEnd(std::int32_t returnCode) {
    QString refusal;
    {
        // Under the listing lock, so no relisting is half way through when the update
        // starts: one that finished later would move the list under the worker's feet.
        platform::SyncScope listing("SYNC_LISTING");
        platform::SyncScope current("SYNC_CURRENTDEVICE");
        std::optional<DeviceData> confirmed = std::move(confirmTarget_);
        confirmTarget_.reset();
        if (returnCode != kAlertAlternateReturn || !confirmed || isUpdatingNow) {
            return;
        }
        // The listed record of the confirmed drive: it carries the drive's current handle
        // and the latest judgement of the one eligibility rule.
        const std::int32_t index = indexOfDrive(confirmed->identity());
        if (index < 0) {
            refusal = QStringLiteral("The drive you chose is no longer attached. Nothing was sent to it.");
        } else if (!deviceArray[static_cast<std::size_t>(index)].isEnableUpdate()) {
            refusal = QStringLiteral("The drive you chose may no longer be updated. Nothing was sent to it.");
        } else {
            updateTarget_ = deviceArray[static_cast<std::size_t>(index)];
            isUpdatingNow = true;
        }
    }
    if (!refusal.isEmpty()) {
        showResultSheet(refusal);
        return;
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
    if (timing_.workerGate) {
        timing_.workerGate();
    }
    // The sequence refreshes the record it is given; it works on a copy so the list only
    // changes, under the lock, when the update has succeeded.
    std::optional<DeviceData> drive = std::move(updateTarget_);
    updateTarget_.reset();
    UpdateReport report;
    const bool ok =
        drive && ExecUpdateMain(*drive, *curFwNormalData, *curFwKernelData, timing_.update, {}, &report);
    const QString where = drive ? QString::fromStdString(DriveEntryTitle(*drive)) : QString();
    if (ok) {
        showResultSheet(QStringLiteral("Complete!"), where.trimmed() + QLatin1Char('\n') +
                                                         QString::fromStdString(report.message()) + QLatin1Char('.'));
        {
            platform::SyncScope current("SYNC_CURRENTDEVICE");
            const std::int32_t index = indexOfDrive(drive->identity());
            if (index >= 0) {
                deviceArray[static_cast<std::size_t>(index)] = *drive;
            }
            if (index >= 0 && index == curIndex) {
                curDeviceData = *drive;
            }
        }
        updateDeviceCombobox();
    } else {
        showResultSheet(QStringLiteral("Error!"), where.trimmed() + QLatin1Char('\n') +
                                                      QString::fromStdString(report.message()) + QLatin1Char('.'));
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

void KestoryDriveUpdaterAppDelegate::showResultSheet(const QString& message, const QString& details) {
    onGui([this, message, details] { beginAlertSheet(window_, message, QStringLiteral("OK"), QString(), nullptr, details); });
}

void KestoryDriveUpdaterAppDelegate::joinUpdateWorker() {
    if (updateWorker_.joinable()) {
        updateWorker_.join();
    }
}
