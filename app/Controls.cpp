// What the controls show, from the list, the current drive and the update state.
// The inputs are read and the change posted in one locked step, so the GUI applies the
// states in the order the data went through them.
#include <QComboBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

#include "app/DriveDescription.h"
#include "app/ElidedLabel.h"
#include "app/KestoryDriveUpdaterAppDelegate.h"
#include "app/MainWindow.h"
#include "app/UpdateReportText.h"

QString KestoryDriveUpdaterAppDelegate::updateVersionText() const {
    if (!curFwNormalData) {
        return QString();
    }
    if (curFwFault.problem != ImageProblem::None) {
        //% "unusable: %1"
        return qtTrId("SHIPPED_FIRMWARE_UNUSABLE").arg(imageFaultLabel(curFwFault));
    }
    const FirmFileData& image = *curFwNormalData;
    return QString::fromStdString(image.product().value_or("") + " " + image.revision().value_or("") +
                                  image.date().value_or(""));
}

KestoryDriveUpdaterAppDelegate::ControlInputs KestoryDriveUpdaterAppDelegate::captureControlInputs() const {
    ControlInputs in;
    in.listEmpty = deviceArray.empty();
    in.hasCurrent = curDeviceData.has_value();
    in.currentMayUpdate = in.hasCurrent && curDeviceData->isEnableUpdate();
    in.updating = isUpdatingNow;
    in.index = curIndex;
    in.versionText = updateVersionText();
    if (in.hasCurrent) {
        in.details = driveDetailsLine(*curDeviceData);
        in.reason = in.currentMayUpdate ? QString() : eligibilityReason(curDeviceData->eligibility());
    }
    return in;
}

void KestoryDriveUpdaterAppDelegate::updateControll() {
    std::lock_guard current(syncCurrentDevice_);
    onGui([this, in = captureControlInputs()] { applyUpdateControll(in); });
}

void KestoryDriveUpdaterAppDelegate::initControll() {
    std::lock_guard current(syncCurrentDevice_);
    onGui([this, in = captureControlInputs()] { applyInitControll(in); });
}

void KestoryDriveUpdaterAppDelegate::applyUpdateControll(const ControlInputs& in) {
    // Around the system's decisions: the line that tells the drive apart, the reason beside
    // "no need update", and Quit, which is no choice during an update.
    window_->setQuitAllowed(!in.updating);
    window_->lblDriveDetails()->setFullText(in.details);
    window_->lblTxtReason()->setFullText(in.reason.isEmpty() ? QString() : QStringLiteral("(%1)").arg(in.reason));
    if (in.listEmpty) {
        idctProgressUpdate->setHidden(true);
        return;
    }
    if (!in.hasCurrent) {
        idctProgressUpdate->setHidden(!in.updating);
        return;
    }
    cmbDriveList->setEnabled(true);
    if (in.currentMayUpdate) {
        lblTitleWillUpdateTo->setHidden(false);
        lblTxtUpdateVersion->setHidden(false);
        lblTxtUpdateVersion->setText(in.versionText);
        btnUpdate->setEnabled(true);
    } else {
        lblTitleWillUpdateTo->setHidden(true);
        //% "no need update"
        lblTxtUpdateVersion->setText(qtTrId("LABEL_NO_NEED_UPDATE"));
        lblTxtUpdateVersion->setHidden(false);
        btnUpdate->setEnabled(false);
    }
    if (in.updating) {
        btnUpdate->setEnabled(false);
        cmbDriveList->setEnabled(false);
        idctProgressUpdate->setHidden(false);
    } else {
        idctProgressUpdate->setHidden(true);
    }
}

void KestoryDriveUpdaterAppDelegate::applyInitControll(const ControlInputs& in) {
    if (in.index < 0) {
        lblTxtUpdateVersion->setText(QString());
        btnUpdate->setEnabled(false);
        idctProgressUpdate->setHidden(true);
    } else {
        idctProgressUpdate->setValue(0);
    }
}
