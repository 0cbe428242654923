#include "app/DriveDescription.h"

#include <QCoreApplication>
#include <QStringList>

#include "drive/DriveList.h"
#include "model/DeviceData.h"
#include "model/NotificationNames.h"

namespace {

QString nodesOf(const DeviceData& drive) {
    QStringList nodes;
    for (const std::string& node : drive.identity().nodes) {
        nodes.append(QString::fromStdString(node));
    }
    return nodes.join(QStringLiteral(", "));
}

// A drive left in its update mode runs no firmware worth keeping: updating it recovers it.
bool needsRecovery(const DeviceData& drive) { return drive.driveMode() == DriveMode::Kernel && drive.isEnableUpdate(); }

QString recoveryText() {
    //% "in update mode: update to recover"
    return qtTrId("DRIVE_IN_UPDATE_MODE");
}

}  // namespace

QString eligibilityReason(UpdateEligibility eligibility) {
    switch (eligibility) {
    case UpdateEligibility::Eligible:
        return QString();
    case UpdateEligibility::UpToDate:
        //% "its firmware is up to date"
        return qtTrId("REASON_UP_TO_DATE");
    case UpdateEligibility::OtherHardware:
        //% "the firmware is for other hardware"
        return qtTrId("REASON_OTHER_HARDWARE");
    case UpdateEligibility::OtherDestination:
        //% "the firmware is for another destination"
        return qtTrId("REASON_OTHER_DESTINATION");
    case UpdateEligibility::VersionsUnknown:
        //% "the drive did not report its versions"
        return qtTrId("REASON_VERSIONS_UNKNOWN");
    case UpdateEligibility::ImageDamaged:
        //% "the shipped firmware image is missing or damaged"
        return qtTrId("REASON_IMAGE_DAMAGED");
    case UpdateEligibility::HardwareVersionUnknown:
        //% "the drive did not report its hardware version"
        return qtTrId("REASON_HARDWARE_VERSION_UNKNOWN");
    case UpdateEligibility::DestinationUnknown:
        //% "the drive did not report its destination version"
        return qtTrId("REASON_DESTINATION_UNKNOWN");
    case UpdateEligibility::RevisionUnknown:
        //% "the drive did not report its firmware revision"
        return qtTrId("REASON_REVISION_UNKNOWN");
    case UpdateEligibility::InUse:
        //% "in use by another program"
        return qtTrId("REASON_IN_USE");
    case UpdateEligibility::AccessRefused:
        //% "access to the drive was refused"
        return qtTrId("REASON_ACCESS_REFUSED");
    case UpdateEligibility::Unreadable:
        //% "the drive could not be examined"
        return qtTrId("REASON_UNREADABLE");
    case UpdateEligibility::Installing:
        //% "the drive is installing firmware; it reports its versions when it is done"
        return qtTrId("REASON_INSTALLING");
    }
    return QString();
}

QString driveEntryText(const DeviceData& drive) {
    QString title = QString::fromStdString(DriveEntryTitle(drive));
    if (!examinationFailed(drive.eligibility())) {
        return title;
    }
    // Nothing but the names the system holds is known: the id stands in where those are none.
    title = title.trimmed();
    if (title.isEmpty()) {
        title = QString::fromStdString(drive.identity().id);
    }
    //% "%1 (%2)"
    return qtTrId("DRIVE_ENTRY_NOT_EXAMINED").arg(title, eligibilityReason(drive.eligibility()));
}

QString driveDetailsLine(const DeviceData& drive) {
    // The id first: it is what tells twins apart; the nodes may be long.
    QStringList parts;
    if (!drive.identity().id.empty()) {
        //% "id %1"
        parts.append(qtTrId("DRIVE_ID").arg(QString::fromStdString(drive.identity().id)));
    }
    if (drive.identity().serial) {
        //% "serial %1"
        parts.append(qtTrId("DRIVE_SERIAL").arg(QString::fromStdString(*drive.identity().serial)));
    }
    if (needsRecovery(drive)) {
        parts.append(recoveryText());
    }
    if (drive.installProgress()) {
        //% "installing firmware: %1 %"
        parts.append(qtTrId("DRIVE_INSTALLING").arg(installPercent(*drive.installProgress())));
    }
    if (const QString nodes = nodesOf(drive); !nodes.isEmpty()) {
        parts.append(nodes);
    }
    return parts.join(QStringLiteral(" · "));
}

QStringList driveIdentityLines(const DeviceData& drive) {
    QStringList lines;
    if (const QString nodes = nodesOf(drive); !nodes.isEmpty()) {
        //% "Device: %1"
        lines.append(qtTrId("TOOLTIP_DRIVE_NODES").arg(nodes));
    }
    //% "Identity: %1"
    lines.append(qtTrId("TOOLTIP_DRIVE_ID").arg(QString::fromStdString(drive.identity().id)));
    if (drive.identity().serial) {
        //% "Serial number: %1"
        lines.append(qtTrId("TOOLTIP_DRIVE_SERIAL").arg(QString::fromStdString(*drive.identity().serial)));
    }
    return lines;
}

QString driveToolTip(const DeviceData& drive) {
    QStringList lines = driveIdentityLines(drive);
    if (needsRecovery(drive)) {
        lines.append(recoveryText());
    } else if (drive.isEnableUpdate()) {
        //% "May be updated"
        lines.append(qtTrId("TOOLTIP_MAY_UPDATE"));
    } else {
        lines.append(eligibilityReason(drive.eligibility()));
    }
    return lines.join(QLatin1Char('\n'));
}
