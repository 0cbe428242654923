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
    HardwareVersionUnknown,  // READ BUFFER answered, but without a hardware version
    DestinationUnknown,      // ... or without a destination version
    RevisionUnknown,         // INQUIRY gave a blank, missing or digitless revision
    // The drive could not be examined: nothing but its identity (and the model names the
    // system holds) is known of it.
    InUse,             // another program (or another kdu) holds it
    AccessRefused,     // the system refused this user access to it
    Unreadable,        // it could not be opened or did not answer
    Installing,        // the drive is installing firmware: never sent another
};

// The drive rule: hardware, then destination (eight blanks accept any), then a revision
// lower than the image's. Each field is judged only once it is known to be there: a field
// the drive left out or blank never lets it pass. `imagesProven` is whether the shipped images passed their proof.
UpdateEligibility judgeEligibility(const DeviceData& drive, const FirmFileData& normal, bool imagesProven);

// True for the reasons that stand for a drive that could not be examined.
bool examinationFailed(UpdateEligibility eligibility);

// "up_to_date", "other_hardware"...: stable words for scripts.
std::string_view eligibilityKey(UpdateEligibility eligibility);
// A short sentence for people: "its firmware is up to date".
std::string_view eligibilityText(UpdateEligibility eligibility);
