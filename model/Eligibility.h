// Whether a listed drive may be updated and, when not, why: one rule for the listing, both
// front ends and the update itself, so nothing shown as "may be updated" is then refused.
#pragma once

#include <string_view>

class DeviceData;
class FirmFileData;

enum class UpdateEligibility {
    Eligible,
    UpToDate,          // the drive runs the image's revision or a later one
    OtherHardware,     // the image is not built for this drive's hardware
    OtherDestination,  // ... nor for its destination
    VersionsUnknown,   // the drive did not tell its versions
    ImageDamaged,      // the shipped images are missing, damaged or do not match
    Installing,        // the drive is installing firmware: never sent another
};

// The drive rule: hardware, then destination (eight blanks accept any), then a revision
// lower than the image's. `imagesProven` is whether the shipped images passed their proof.
UpdateEligibility judgeEligibility(const DeviceData& drive, const FirmFileData& normal, bool imagesProven);

// "up_to_date", "other_hardware"...: stable words for scripts.
std::string_view eligibilityKey(UpdateEligibility eligibility);
// A short sentence for people: "its firmware is up to date".
std::string_view eligibilityText(UpdateEligibility eligibility);
