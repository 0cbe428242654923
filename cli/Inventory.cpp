#include "cli/Inventory.h"

#include <iostream>

#include "drive/DriveList.h"
#include "model/FirmwareImages.h"

namespace cli {

void readImages(Images& images) { getFwFileInfo(images.kernel, images.normal); }

bool installBackend(const platform::BackendChoice& choice) {
    if (const std::optional<std::string> error = platform::installChosenBackend(choice)) {
        std::cerr << "kdu: " << *error << "\n";
        return false;
    }
    return true;
}

std::vector<DeviceData> listDrives(const FirmFileData& normal) {
    std::vector<DeviceData> drives;
    ListTargetDrives(drives, normal);
    NumberIdenticalDrives(drives);
    return drives;
}

const DeviceData* pickDrive(const std::vector<DeviceData>& drives, int number) {
    if (number >= 1 && static_cast<std::size_t>(number) <= drives.size()) return &drives[number - 1];
    if (drives.empty())
        std::cerr << "kdu: no drive " << number << ": no drive found.\n";
    else
        std::cerr << "kdu: no drive " << number << ": drives are numbered 1 to " << drives.size()
                  << " (see `kdu list`).\n";
    return nullptr;
}

}  // namespace cli
