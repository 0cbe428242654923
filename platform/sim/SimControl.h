// Managing a folder of simulated drives: what `kdu sim attach|detach|insert|eject` and
// the tests and demos use. Every operation returns an error text, or none on success.
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "simdrive/DriveFile.h"
#include "platform/sim/SimBackend.h"

namespace sim {

using ControlError = std::optional<std::string>;

// A drive of the target model, eligible for the shipped images: revision "1.20", no disc,
// no delays, no faults.
DriveSpec defaultTargetDrive();

// Makes the folder with the demo drives that are missing from it (existing drive files
// keep their state): two identical eligible drives, one already at "1.21" and one of
// another model, all with realistic timing.
ControlError createDemoFolder(const std::filesystem::path& folder);

// None when `name` may name a drive; else why not.
ControlError checkName(const std::string& name);

// Attaches a drive: writes <name>.json. Refused when the name is taken or unusable.
ControlError attach(const std::filesystem::path& folder, const std::string& name, const DriveSpec& profile);
// Detaches a drive: deletes its file.
ControlError detach(const std::filesystem::path& folder, const std::string& name);
// Puts a disc into a drive; `volume` none for a disc without a named volume.
ControlError insertDisc(const std::filesystem::path& folder, const std::string& name,
                        const std::optional<std::string>& volume);
ControlError ejectDisc(const std::filesystem::path& folder, const std::string& name);

// Checks one drive file; the error names the file and the field.
ControlError validateDriveFile(const std::filesystem::path& file);

std::shared_ptr<SimBackend> makeSimBackend(const std::filesystem::path& folder);

}  // namespace sim
