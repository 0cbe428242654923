// The drive list as both front ends show it: one full listing, the numbering of identical
// drives and the entry titles.
#pragma once

#include <string>
#include <vector>

#include "model/DeviceData.h"
#include "model/FirmFileData.h"

// Finds the authoring drives and lists those of the target model (FindDevicesUsing +
// ExecListDeviceMain). Appends to `list`; drives that
// could not be examined are in it too, never eligible (examinationFailed).
void ListTargetDrives(std::vector<DeviceData>& list, const FirmFileData& normal);

// Marks identical drives (same vendor, product and revision; the date is not compared):
// `same` for every member of a group, `sameNo` 1, 2, 3... in list order.
void NumberIdenticalDrives(std::vector<DeviceData>& list);

// "vendor product revisiondate suffix", the suffix " [n]" for a numbered drive, else empty:
// a lone drive's title ends in one blank.
std::string DriveEntryTitle(const DeviceData& drive);
