// Words that tell one listed drive from another and say why it may not be updated:
// the line under the drive list and each entry's tooltip.
#pragma once

#include <QString>
#include <QStringList>

#include "model/Eligibility.h"

class DeviceData;

// The reason beside "no need update", in the person's language; empty when eligible.
QString eligibilityReason(UpdateEligibility eligibility);
// The drive's entry in the pop-up: its title, or for a drive that could not be examined
// (shown greyed) what it is known by and why: "KESTORY BD-RW KVL-MT38 (in use by another program)".
QString driveEntryText(const DeviceData& drive);
// "id pci-0000:00:17.0-ata-2 · serial X · /dev/sg3, /dev/sr0", with "in update mode: update
// to recover" before the nodes for a drive left in its update mode.
QString driveDetailsLine(const DeviceData& drive);
// "Device: /dev/sg3, /dev/sr0", "Identity: ...", "Serial number: ..." (when known).
QStringList driveIdentityLines(const DeviceData& drive);
// The same, with the eligibility.
QString driveToolTip(const DeviceData& drive);
