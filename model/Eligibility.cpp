#include "model/Eligibility.h"

#include "model/DeviceData.h"
#include "model/FirmFileData.h"
#include "model/Util.h"

namespace {

// A drive that accepts any destination reports eight blanks.
constexpr char kAnyDestination[] = "        ";

bool blank(const OptionalText& text) { return !text || text->find_first_not_of(' ') == std::string::npos; }

// A revision compares by its digits: one without any ("    ", "!!!!") compares below every
// real revision, so it would pass as older than the image.
bool usableRevision(const OptionalText& revision) {
    return revision && revision->find_first_of("0123456789") != std::string::npos;
}

}  // namespace

UpdateEligibility judgeEligibility(const DeviceData& drive, const FirmFileData& normal, bool imagesProven) {
    // Without the image's own header nothing below can be judged fairly.
    if (!normal.isFileExists() || blank(normal.hard_version()) || !usableRevision(normal.revision()) ||
        !normal.dest_version() || normal.dest_version()->empty())
        return UpdateEligibility::ImageDamaged;
    if (!drive.hard_version() && !drive.dest_version()) return UpdateEligibility::VersionsUnknown;
    if (blank(drive.hard_version())) return UpdateEligibility::HardwareVersionUnknown;
    if (!textEquals(drive.hard_version(), normal.hard_version())) return UpdateEligibility::OtherHardware;
    // Eight blanks accept any destination; no destination at all accepts none.
    if (!drive.dest_version() || drive.dest_version()->empty()) return UpdateEligibility::DestinationUnknown;
    if (drive.dest_version() != OptionalText{kAnyDestination} && !textEquals(drive.dest_version(), normal.dest_version()))
        return UpdateEligibility::OtherDestination;
    if (!usableRevision(drive.revision())) return UpdateEligibility::RevisionUnknown;
    if (Util::cmpCurVersion(drive.revision(), normal.revision()) != -1) return UpdateEligibility::UpToDate;
    if (!imagesProven) return UpdateEligibility::ImageDamaged;
    return UpdateEligibility::Eligible;
}

bool examinationFailed(UpdateEligibility eligibility) {
    return eligibility == UpdateEligibility::InUse || eligibility == UpdateEligibility::AccessRefused ||
           eligibility == UpdateEligibility::Unreadable;
}

std::string_view eligibilityKey(UpdateEligibility eligibility) {
    switch (eligibility) {
        case UpdateEligibility::Eligible: return "eligible";
        case UpdateEligibility::UpToDate: return "up_to_date";
        case UpdateEligibility::OtherHardware: return "other_hardware";
        case UpdateEligibility::OtherDestination: return "other_destination";
        case UpdateEligibility::VersionsUnknown: return "versions_unknown";
        case UpdateEligibility::ImageDamaged: return "image_damaged";
        case UpdateEligibility::HardwareVersionUnknown: return "hardware_version_unknown";
        case UpdateEligibility::DestinationUnknown: return "destination_unknown";
        case UpdateEligibility::RevisionUnknown: return "revision_unknown";
        case UpdateEligibility::InUse: return "in_use";
        case UpdateEligibility::AccessRefused: return "access_refused";
        case UpdateEligibility::Unreadable: return "unreadable";
        case UpdateEligibility::Installing: return "installing";
    }
    return "versions_unknown";
}

std::string_view eligibilityText(UpdateEligibility eligibility) {
    switch (eligibility) {
        case UpdateEligibility::Eligible: return "may be updated";
        case UpdateEligibility::UpToDate: return "its firmware is up to date";
        case UpdateEligibility::OtherHardware: return "the firmware is for other hardware";
        case UpdateEligibility::OtherDestination: return "the firmware is for another destination";
        case UpdateEligibility::VersionsUnknown: return "the drive did not report its versions";
        case UpdateEligibility::ImageDamaged: return "the shipped firmware image is missing or damaged";
        case UpdateEligibility::HardwareVersionUnknown: return "the drive did not report its hardware version";
        case UpdateEligibility::DestinationUnknown: return "the drive did not report its destination version";
        case UpdateEligibility::RevisionUnknown: return "the drive did not report its firmware revision";
        case UpdateEligibility::InUse: return "in use by another program";
        case UpdateEligibility::AccessRefused: return "access to the drive was refused";
        case UpdateEligibility::Unreadable: return "the drive could not be examined";
        case UpdateEligibility::Installing:
            return "the drive is installing firmware; it reports its versions when it is done";
    }
    return "";
}
