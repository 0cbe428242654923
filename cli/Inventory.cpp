#include "cli/Inventory.h"

#include <string>

#include "cli/Output.h"
#include "drive/DriveList.h"
#include "model/ImageBinding.h"
#include "platform/DriveUpdateLock.h"

namespace cli {

void readImages(Images& images) {
    images.fault = loadShippedImages(shippedImageBinding(), images.kernel, images.normal);
}

bool installBackend(const platform::BackendChoice& choice) {
    if (const std::optional<std::string> error = platform::installChosenBackend(choice)) {
        sayError(*error);
        return false;
    }
    // One bad file leaves out its own drive, said once, and never hides the others.
    for (const std::string& problem : platform::simulatedDriveProblems(choice)) sayError(problem);
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
        sayError("no drive " + std::to_string(number) + ": no drive found.");
    else
        sayError("no drive " + std::to_string(number) + ": drives are numbered 1 to " + std::to_string(drives.size()) +
                 " (see `kdu list`).");
    return nullptr;
}

namespace {

std::optional<int> listNumber(const std::string& word) {
    if (word.empty() || word.size() > 6 || word.find_first_not_of("0123456789") != std::string::npos) return std::nullopt;
    return std::stoi(word);
}

}  // namespace

std::string notExaminedText(const DeviceData& drive, const std::string& word) {
    if (drive.eligibility() != UpdateEligibility::InUse)
        return "drive " + word + " could not be examined: " + std::string(eligibilityText(drive.eligibility())) + ".";
    // Busy because another kdu updates it, or held by some other program.
    std::string whyNot;
    if (!platform::DriveUpdateLock::tryTake(drive.identity().lockKey(), whyNot)) return "drive " + word + ": " + whyNot + ".";
    return "drive " + word + " is in use by another program; try again when it is free.";
}

void sayNotExamined(const DeviceData& drive, const std::string& word) { sayError(notExaminedText(drive, word)); }

const DeviceData* namedDrive(const std::vector<DeviceData>& drives, const std::string& word) {
    for (const DeviceData& drive : drives)
        if (drive.identity().isNamedBy(word)) return &drive;
    const std::optional<int> number = listNumber(word);
    if (number && *number >= 1 && static_cast<std::size_t>(*number) <= drives.size()) return &drives[*number - 1];
    return nullptr;
}

const DeviceData* pickDrive(const std::vector<DeviceData>& drives, const std::string& word, bool* busyOut) {
    const DeviceData* named = namedDrive(drives, word);
    if (named == nullptr) {
        const std::optional<int> number = listNumber(word);
        if (!number) {
            sayError("no drive \"" + word + "\": give its number, id or device node (see `kdu list`).");
            return nullptr;
        }
        return pickDrive(drives, *number);  // says why there is none
    }
    if (!examinationFailed(named->eligibility())) return named;
    if (busyOut != nullptr) *busyOut = true;
    sayNotExamined(*named, word);
    return nullptr;
}

}  // namespace cli
