// What a drive or disc notice tells: its name, an object for discs (none for drives), and
// the drives it is about, in the order reported.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "scsi/DriveIdentity.h"

inline constexpr char kAppearedDeviceNotify[] = "appearedDeviceNotify";
inline constexpr char kDisappearedDeviceNotify[] = "disappearedDeviceNotify";

struct DeviceNotice {
    const char* name;
    std::optional<std::int64_t> object;
    std::vector<scsi::DriveIdentity> drives;
};
