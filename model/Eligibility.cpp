#include "model/Eligibility.h"

#include "model/DeviceData.h"
#include "model/FirmFileData.h"
#include "model/Util.h"

namespace {

// A drive that accepts any destination reports eight blanks.
constexpr char kAnyDestination[] = "        ";

}  // namespace

UpdateEligibility judgeEligibility(const DeviceData& drive, const FirmFileData& normal, bool imagesProven) {
    // Without the image's own header nothing below can be judged fairly.
    if (!normal.isFileExists() || !normal.hard_version() || !normal.revision()) return UpdateEligibility::ImageDamaged;
    if (!drive.hard_version()) return UpdateEligibility::VersionsUnknown;
    if (!textEquals(drive.hard_version(), normal.hard_version())) return UpdateEligibility::OtherHardware;
    if (drive.dest_version() != OptionalText{kAnyDestination} && !textEquals(drive.dest_version(), normal.dest_version()))
        return UpdateEligibility::OtherDestination;
    // Without the drive's revision there is nothing to compare: never eligible.
    if (!drive.revision()) return UpdateEligibility::VersionsUnknown;
    if (Util::cmpCurVersion(drive.revision(), normal.revision()) != -1) return UpdateEligibility::UpToDate;
    if (!imagesProven) return UpdateEligibility::ImageDamaged;
    return UpdateEligibility::Eligible;
}

std::string_view eligibilityKey(UpdateEligibility eligibility) {
    switch (eligibility) {
        case UpdateEligibility::Eligible: return "eligible";
        case UpdateEligibility::UpToDate: return "up_to_date";
        case UpdateEligibility::OtherHardware: return "other_hardware";
        case UpdateEligibility::OtherDestination: return "other_destination";
        case UpdateEligibility::VersionsUnknown: return "versions_unknown";
        case UpdateEligibility::ImageDamaged: return "image_damaged";
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
        case UpdateEligibility::Installing:
            return "the drive is installing firmware; it reports its versions when it is done";
    }
    return "";
}
