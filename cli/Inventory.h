// What every drive-facing command starts from: the backend installed, the two image
// headers read, and the target drives listed and numbered.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "model/DeviceData.h"
#include "model/FirmFileData.h"
#include "model/ImageProof.h"
#include "platform/BackendChoice.h"
#include "scsi/DriveIdentity.h"

namespace cli {

struct Images {
    FirmFileData kernel;
    FirmFileData normal;
    ImageFault fault;  // why the images may not be used; the records stay empty then
};

// Proves the shipped images against the program's own binding and reads both headers from
// them; an image that fails is named in `fault` and leaves both records empty.
void readImages(Images& images);

// Installs the chosen backend; on failure writes the reason to stderr and returns false.
bool installBackend(const platform::BackendChoice& choice);

// One full listing with twins numbered, as the window shows it; drives that could not be
// examined are listed with the reason.
std::vector<DeviceData> listDrives(const FirmFileData& normal);

// The drive with the 1-based number, or a message on stderr and none.
const DeviceData* pickDrive(const std::vector<DeviceData>& drives, int number);

// The drive a person named: its number in the listing, its id or one of its device nodes.
// A drive named that could not be examined is refused with its reason. None (with a message
// on stderr) otherwise; `busyOut` is set when the drive named is there but could not be examined.
const DeviceData* pickDrive(const std::vector<DeviceData>& drives, const std::string& word, bool* busyOut = nullptr);
// The drive `word` names (its id, a device node or its number), whatever its state; none
// when it names no listed drive. Says nothing.
const DeviceData* namedDrive(const std::vector<DeviceData>& drives, const std::string& word);
// Why the drive `word` names cannot be taken now: another kdu updates it, another program
// holds it, or why else it could not be examined.
std::string notExaminedText(const DeviceData& drive, const std::string& word);
// Says it on stderr.
void sayNotExamined(const DeviceData& drive, const std::string& word);

}  // namespace cli
