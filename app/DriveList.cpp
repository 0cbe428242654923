// The drive list: the device manager, the first listing, relistings, the pop-up and the
// choice of the current drive.
#include <QComboBox>
#include <QLabel>
#include <QPointer>
#include <QSocketNotifier>
#include <QSignalBlocker>
#include <QStandardItemModel>
#include <utility>

#include "app/AlertSheet.h"
#include "app/DriveDescription.h"
#include "app/ListingWorker.h"
#include "app/MainWindow.h"
#include "app/KestoryDriveUpdaterAppDelegate.h"
#include "app/ObserverGate.h"
#include "drive/DriveList.h"
#include "monitor/DAUtil.h"
#include "monitor/USBDeviceManager.h"

void KestoryDriveUpdaterAppDelegate::createDeviceManager() {
    // The reports come on the listing thread, where start() and dispatch() run, so udev
    // lookups and disc labels never hold up the window.
    const DeviceNoticeHandler relist = [this](const DeviceNotice&) { reported_ = true; };
    deviceManager = std::make_unique<USBDeviceManager>(USBDeviceManager::Callbacks{
        .deviceAdded = relist,
        .deviceRemoved = relist,
        .disc = [relist](const platform::DiskDescription& disc, bool appeared) {
            appeared ? diskAppearedCallback(disc, relist) : diskDisappearedCallback(disc, relist);
        },
    });
    lister_->perform([this, gate = gate_] {
        gate->enter([this] {
            if (!deviceManager->start()) {
                return;  // logged; the window lists on request only
            }
            relistAfterReports();
            onGui([this, fd = deviceManager->fd()] { watchDeviceManager(fd); });
        });
    });
}

void KestoryDriveUpdaterAppDelegate::watchDeviceManager(int fd) {
    deviceNotifier_ = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
    connect(deviceNotifier_.get(), &QSocketNotifier::activated, this, [this] {
        // Off until the listing thread has read what changed, which ends the readiness.
        deviceNotifier_->setEnabled(false);
        lister_->perform([this, gate = gate_] {
            gate->enter([this] {
                deviceManager->dispatch();
                relistAfterReports();
            });
            onGui([this] {
                if (deviceNotifier_) {
                    deviceNotifier_->setEnabled(true);
                }
            });
        });
    });
}

void KestoryDriveUpdaterAppDelegate::relistAfterReports() {
    if (std::exchange(reported_, false)) {
        updateDeviceList(nullptr);
    }
}

void KestoryDriveUpdaterAppDelegate::initDeviceList() {
    initFlag = false;
    requestListing([this] {
        {
            std::lock_guard current(syncCurrentDevice_);
            if (!deviceArray.empty()) {
                IsFoundTargetDriveForAppLaunch = true;
            }
        }
        onGui([this] { firstListingShown(); });
    });
}

void KestoryDriveUpdaterAppDelegate::firstListingShown() {
    if (!isUpdatingNow) {
        window_->lblStatus()->clear();
    }
    QPointer<KestoryDriveUpdaterAppDelegate> self(this);
    if (IsPresenceDiscsForAppLaunch) {
        //% "Disc may be mounted. Please confirm eject the disk!"
        beginAlertSheet(window_, qtTrId("MESSAGE_DISC_MOUNTED"),
                        QStringLiteral("OK"), QString(), nullptr);
    } else if (!IsFoundTargetDriveForAppLaunch) {
        //% "No drive that can be updated was found. The application will quit."
        beginAlertSheet(window_, qtTrId("MESSAGE_NO_DRIVE_UPDATED"), QStringLiteral("OK"), QString(), [self](int) {
            if (self) {
                self->windowShouldClose(self);
            }
        });
    }
}

void KestoryDriveUpdaterAppDelegate::requestListing(std::function<void()> then) {
    if (!then) {
        lister_->request();
        return;
    }
    lister_->request([gate = gate_, then = std::move(then)] { gate->enter(then); });
}

bool KestoryDriveUpdaterAppDelegate::listing() const { return lister_->busy(); }

void KestoryDriveUpdaterAppDelegate::updateDeviceList(const DeviceNotice* /*notice*/) {
    if (gate_->isClosed()) {
        return;
    }
    std::lock_guard listing(syncListing_);
    // initFlag goes false only after start-up made the image records, so past this test
    // they are complete and no longer written.
    if (initFlag || isUpdatingNow || !curFwNormalData) {
        return;
    }
    // Listed into a list of our own, with no lock the GUI thread takes held, so neither a
    // user's choice nor a confirmation ever waits for the drives to answer.
    std::vector<DeviceData> found;
    ListTargetDrives(found, *curFwNormalData);

    // The list changes in one locked step: whoever reads it sees it before or after.
    std::lock_guard current(syncCurrentDevice_);
    if (isUpdatingNow) {
        return;  // an update was confirmed meanwhile; the relisting at its end catches up
    }
    const std::size_t oldCount = deviceArray.size();
    scsi::DriveIdentity selected;  // the person's choice, kept across the relisting
    if (curDeviceData) {
        selected = curDeviceData->identity();
    }
    if (found.empty()) {
        clearDeviceArray();
        if (oldCount == 0) {
            return;
        }
        postClearPopUp();
    } else {
        // Replaced whole, so the pop-up is rebuilt once rather than cleared first.
        numberIdenticalDrives(found);
        deviceArray = std::move(found);
        curIndex = selected.empty() ? -1 : indexOfDrive(selected);
        updateDeviceCombobox();
    }
    changedDriveList(nullptr);
}

void KestoryDriveUpdaterAppDelegate::numberIdenticalDrives(std::vector<DeviceData>& drives) {
    NumberIdenticalDrives(drives);
}

void KestoryDriveUpdaterAppDelegate::clearDeviceArray() {
    std::lock_guard current(syncCurrentDevice_);
    curIndex = -1;
    deviceArray.clear();
}

bool KestoryDriveUpdaterAppDelegate::setCurrentDeviceDataWithIndex(std::int32_t /*index*/) {
    std::lock_guard current(syncCurrentDevice_);
    const std::int32_t index = curIndex;
    if (index >= 0 && static_cast<std::size_t>(index) < deviceArray.size()) {
        curDeviceData = deviceArray[static_cast<std::size_t>(index)];
    } else {
        curIndex = -1;
        curDeviceData.reset();
    }
    return true;
}

void KestoryDriveUpdaterAppDelegate::postClearPopUp() {
    std::lock_guard current(syncCurrentDevice_);
    popUpSelection_ = -1;
    const std::uint64_t generation = ++popUpGeneration_;
    onGui([this, generation] {
        cmbDriveList->clear();
        shownPopUpGeneration_ = generation;
    });
}

void KestoryDriveUpdaterAppDelegate::updateDeviceCombobox() {
    std::lock_guard current(syncCurrentDevice_);
    QStringList titles, tips;
    QList<int> greyed;  // drives that could not be examined: shown, never chosen
    for (const DeviceData& drive : deviceArray) {
        if (examinationFailed(drive.eligibility())) {
            greyed.append(titles.size());
        }
        titles.append(driveEntryText(drive));
        tips.append(driveToolTip(drive));
    }
    // A pop-up that gets entries with nothing selected selects its first one that may be
    // chosen, or its first one when none may, so the reason shows.
    const std::int32_t index = curIndex;
    std::int32_t selection = index >= 0 && index < titles.size() ? index : (titles.isEmpty() ? -1 : 0);
    if (index < 0) {
        for (std::int32_t i = 0; i < titles.size(); ++i) {
            if (!greyed.contains(i)) {
                selection = i;
                break;
            }
        }
    }
    popUpSelection_ = selection;
    const std::uint64_t generation = ++popUpGeneration_;
    onGui([this, titles, tips, greyed, selection, generation] {
        const QSignalBlocker quiet(cmbDriveList);
        cmbDriveList->clear();
        cmbDriveList->addItems(titles);
        for (int i = 0; i < tips.size(); ++i) {
            cmbDriveList->setItemData(i, tips[i], Qt::ToolTipRole);
        }
        if (auto* entries = qobject_cast<QStandardItemModel*>(cmbDriveList->model())) {
            for (const int i : greyed) {
                entries->item(i)->setEnabled(false);
            }
        }
        cmbDriveList->setCurrentIndex(selection);
        shownPopUpGeneration_ = generation;
    });
}

void KestoryDriveUpdaterAppDelegate::changedDriveList(QObject* sender) {
    {
        std::lock_guard current(syncCurrentDevice_);
        std::int32_t index = popUpSelection_;
        if (sender != nullptr && sender == cmbDriveList) {
            // A choice on a pop-up that a queued rebuild is about to replace, or made while
            // the update holds the list, is not a choice about the current list.
            if (isUpdatingNow || shownPopUpGeneration_ != popUpGeneration_) {
                return;
            }
            index = cmbDriveList->currentIndex();
            popUpSelection_ = index;
        }
        curIndex = index;
        setCurrentDeviceDataWithIndex(index);
    }
    initControll();
    updateControll();
}
