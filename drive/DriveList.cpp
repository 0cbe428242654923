#include "drive/DriveList.h"

#include "drive/STUCMethod.h"

void ListTargetDrives(std::vector<DeviceData>& list, const FirmFileData& normal) {
    ExecListDeviceMain(FindDevicesUsing(kFindMethodAuthoringDevices), list, normal);
}

namespace {
bool identical(const DeviceData& a, const DeviceData& b) {
    return textEquals(a.vendor(), b.vendor()) && textEquals(a.product(), b.product()) &&
           textEquals(a.revision(), b.revision());
}
}  // namespace

void NumberIdenticalDrives(std::vector<DeviceData>& list) {
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (list[i].same()) continue;
        std::int32_t group = 1;
        for (std::size_t j = 0; j < list.size(); ++j) {
            if (j == i || !identical(list[j], list[i])) continue;
            list[j].setSameNo(++group);
        }
        if (group > 1) list[i].setSameNo(1);
    }
}

std::string DriveEntryTitle(const DeviceData& drive) {
    auto text = [](const OptionalText& t) { return t.value_or(""); };
    std::string suffix = drive.same() ? " [" + std::to_string(drive.sameNo()) + "]" : "";
    return text(drive.vendor()) + " " + text(drive.product()) + " " + text(drive.revision()) + text(drive.date()) +
           " " + suffix;
}
