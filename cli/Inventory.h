// What every drive-facing command starts from: the backend installed, the two image
// headers read, and the target drives listed and numbered.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "model/DeviceData.h"
#include "model/FirmFileData.h"
#include "platform/BackendChoice.h"

namespace cli {

struct Images {
    FirmFileData kernel;
    FirmFileData normal;
};

// Reads both image headers from the resources.
void readImages(Images& images);

// Installs the chosen backend; on failure writes the reason to stderr and returns false.
bool installBackend(const platform::BackendChoice& choice);

// One full listing with twins numbered, as the window shows it.
std::vector<DeviceData> listDrives(const FirmFileData& normal);

// The drive with the 1-based number, or a message on stderr and none.
const DeviceData* pickDrive(const std::vector<DeviceData>& drives, int number);

}  // namespace cli
