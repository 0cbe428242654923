// The update: confirmation sheet, worker thread, progress display and result. The sheet
// asks about the drive that was current when Update was pressed, and that drive, found
// again by its identity, is the one updated: a relisting while the sheet is open changes
// neither.
#include <QClipboard>
#include <QEventLoop>
#include <QGuiApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <chrono>

#include "app/AlertSheet.h"
#include "app/CommandLine.h"
#include "app/HistoryDialog.h"
#include "app/ListingWorker.h"
#include "app/MainWindow.h"
#include "app/KestoryDriveUpdaterAppDelegate.h"
#include "app/ObserverGate.h"
#include "app/UpdateReportText.h"
#include "drive/DriveList.h"

void KestoryDriveUpdaterAppDelegate::clickUpdateButton(QObject* /*sender*/) {
    {
        std::lock_guard current(syncCurrentDevice_);
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

std::int32_t KestoryDriveUpdaterAppDelegate::indexOfDrive(const scsi::DriveIdentity& identity) const {
    std::lock_guard current(syncCurrentDevice_);
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
        // Not under the listing lock: the GUI thread never waits for a listing. One that is
        // half way through drops its result once it sees the update (updateDeviceList).
        std::lock_guard current(syncCurrentDevice_);
        std::optional<DeviceData> confirmed = std::move(confirmTarget_);
        confirmTarget_.reset();
        if (returnCode != kAlertAlternateReturn || !confirmed || isUpdatingNow) {
            return;
        }
        // The listed record of the confirmed drive: it carries the drive's current handle
        // and the latest judgement of the one eligibility rule.
        const std::int32_t index = indexOfDrive(confirmed->identity());
        if (index < 0) {
            //% "The drive you chose is no longer attached. Nothing was sent to it."
            refusal = qtTrId("MESSAGE_TARGET_GONE");
        } else if (!deviceArray[static_cast<std::size_t>(index)].isEnableUpdate()) {
            //% "The drive you chose may no longer be updated. Nothing was sent to it."
            refusal = qtTrId("MESSAGE_TARGET_NOT_ELIGIBLE");
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
    postStatus(status_.phase(UpdateProgress{}));
    // Lets the locked controls and the moving bar show before the drive is busy.
    QEventLoop turns;
    QTimer::singleShot(timing_.preUpdateRunLoop, &turns, &QEventLoop::quit);
    turns.exec();
    joinUpdateWorker();  // the last one has ended its work: it only posts after the flag goes

    updateWorker_ = std::thread([this] { runUpdateThread(); });
}

void KestoryDriveUpdaterAppDelegate::runUpdateThread() {
    if (timing_.workerGate) {
        timing_.workerGate();
    }
    // The pause before the drive is touched is the worker's, so the window never sleeps.
    std::this_thread::sleep_for(timing_.preUpdateSleep);
    {
        // A listing that began before the update was confirmed holds the drives' access;
        // once it has ended, every later one sees the update and lists nothing.
        std::lock_guard listing(syncListing_);
    }
    // The sequence refreshes the record it is given; it works on a copy so the list only
    // changes, under the lock, when the update has succeeded.
    std::optional<DeviceData> drive = std::move(updateTarget_);
    updateTarget_.reset();
    UpdateReport report;
    UpdateHooks hooks;
    hooks.progress = [this](const UpdateProgress& progress) {
        if (progress.indicator) {
            return updateIndicatorNotify(*progress.indicator);
        }
        if (const QString text = status_.phase(progress); !text.isEmpty()) {
            postStatus(text);
        }
    };
    hooks.history = history_ ? &*history_ : nullptr;
    const QString before = drive ? QString::fromStdString(drive->revision().value_or("")) : QString();
    const bool ok =
        drive && ExecUpdateMain(*drive, *curFwNormalData, *curFwKernelData, timing_.update, hooks, &report);
    const QString where = drive ? QString::fromStdString(DriveEntryTitle(*drive)) : QString();
    postStatus(QString());
    //% "Complete!"
    const QString complete = qtTrId("RESULT_COMPLETE");
    //% "Error!"
    const QString title = ok ? complete : qtTrId("RESULT_ERROR");
    std::optional<UpdateDetails> copy;
    if (drive) {
        copy = UpdateDetails{title, updateVersionText(), *drive, before, report};
    }
    if (ok) {
        //% "Firmware revision %1 before, %2 now."
        const QString revisions = qtTrId("RESULT_REVISIONS").arg(before, QString::fromStdString(drive->revision().value_or("")));
        showResultSheet(title,
                        where.trimmed() + QLatin1Char('\n') + revisions + QLatin1Char('\n') + updateReportText(report),
                        std::move(copy));
        {
            std::lock_guard current(syncCurrentDevice_);
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
        showResultSheet(title, where.trimmed() + QLatin1Char('\n') + updateReportText(report),
                        std::move(copy));
    }
    isUpdatingNow = false;
    updateControll();
    requestListing();  // on the listing thread, so the GUI thread never joins a listing
    ++updatesEnded_;
}

void KestoryDriveUpdaterAppDelegate::updateIndicatorNotify(std::int64_t indicator) {
    const auto v = static_cast<std::int32_t>(indicator);
    if (v < 0) {
        onGui([this] { idctProgressUpdate->setHidden(true); });
        return;
    }
    if (curIndex < 0) {
        return;
    }
    const int max = kProgressMaximum;
    const int value = static_cast<int>(std::clamp<std::int64_t>(std::int64_t{max} - v, 0, max));
    const auto now = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now().time_since_epoch());
    postStatus(status_.install(v, now.count()));
    onGui([this, value, max] {
        idctProgressUpdate->setRange(0, max);
        idctProgressUpdate->setHidden(false);
        idctProgressUpdate->setValue(value);
    });
}

void KestoryDriveUpdaterAppDelegate::showResultSheet(const QString& message, const QString& details,
                                                     std::optional<UpdateDetails> copy) {
    onGui([this, message, details, copy = std::move(copy)] {
        QMessageBox* sheet = beginAlertSheet(window_, message, QStringLiteral("OK"), QString(), nullptr, details);
        if (!copy) {
            return;
        }
        // The log is read when the button is pressed, so its last lines are the latest.
        //% "&Copy Details"
        addSheetAction(sheet, qtTrId("BUTTON_COPY_DETAILS"), [copy, logFile = logFile_](QPushButton* button) {
            const QStringList log = logFile ? lastLogLines(*logFile) : QStringList();
            QGuiApplication::clipboard()->setText(updateDetailsText(*copy, log));
            //% "Details Copied"
            button->setText(qtTrId("BUTTON_DETAILS_COPIED"));
        });
    });
}

void KestoryDriveUpdaterAppDelegate::postStatus(const QString& text) {
    onGui([this, text] {
        window_->lblStatus()->setText(text);
        emit statusChanged(text);
    });
}

void KestoryDriveUpdaterAppDelegate::showAbout() {
    const QString image = QString::fromStdString(curFwNormalData ? curFwNormalData->revision().value_or("") : "");
    auto* box = new QMessageBox(window_);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::WindowModal);
    box->setIconPixmap(MainWindow::applicationIcon().pixmap(64, 64));
    //% "About %1"
    box->setWindowTitle(qtTrId("ABOUT_TITLE").arg(MainWindow::displayName()));
    box->setText(QStringLiteral("<b>%1</b>").arg(MainWindow::displayName()));
    //% "Version %1<br>Qt %2<br>Shipped firmware revision %3<br><br>Released under the MIT License."
    box->setInformativeText(qtTrId("ABOUT_TEXT").arg(programVersion(), QString::fromLatin1(qVersion()), image));
    box->setStandardButtons(QMessageBox::Ok);
    box->open();
}

void KestoryDriveUpdaterAppDelegate::showHistory() {
    if (historyDialog_) {
        historyDialog_->raise();
        historyDialog_->activateWindow();
        return;
    }
    historyDialog_ = new HistoryDialog(readUpdateHistory(history_ ? history_->file : HistoryFile::standard()), window_);
    historyDialog_->setAttribute(Qt::WA_DeleteOnClose);
    historyDialog_->open();
}

void KestoryDriveUpdaterAppDelegate::joinUpdateWorker() {
    if (updateWorker_.joinable()) {
        updateWorker_.join();
    }
}
