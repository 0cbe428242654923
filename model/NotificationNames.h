// Names of the notifications posted on the process's notification centre.
#pragma once

inline constexpr char kAppearedDeviceNotify[] = "appearedDeviceNotify";
inline constexpr char kDisappearedDeviceNotify[] = "disappearedDeviceNotify";
inline constexpr char kChangedDeviceNotify[] = "changedDeviceNotify";
inline constexpr char kUpdateIndicatorNotify[] = "updateIndicatorNotify";
