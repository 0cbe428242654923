#include "platform/sim/SimControl.h"

#include <system_error>

namespace sim {

ControlError checkName(const std::string& name) {
    if (isValidDriveName(name)) return std::nullopt;
    return "\"" + name + "\" is not a usable drive name (letters, digits, '-', '_' and '.', not starting with '.')";
}

namespace {

ControlError checkAttached(const std::filesystem::path& folder, const std::string& name) {
    if (ControlError error = checkName(name)) return error;
    std::error_code ec;
    if (!std::filesystem::exists(driveFilePath(folder, name), ec)) return "no drive \"" + name + "\" in " + folder.string();
    return std::nullopt;
}

DriveSpec demoDrive(const std::string& product, const std::string& revision) {
    DriveSpec profile = defaultTargetDrive();
    profile.product = product;
    profile.revision = revision;
    profile.timing.commandLatencyMs = 2;
    profile.timing.bytesPerSecond = 35'000'000;
    profile.timing.installMs = 8'000;
    return profile;
}

}  // namespace

DriveSpec defaultTargetDrive() { return DriveSpec{}; }

ControlError createDemoFolder(const std::filesystem::path& folder) {
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (ec) return "cannot create " + folder.string() + ": " + ec.message();
    DriveSpec other = demoDrive("DVD-RAM KVL-D20", "2.05");
    other.hard_version = "D20HW003";
    other.dest_version = "DEST0002";
    const std::pair<const char*, DriveSpec> drives[] = {
        {"bd-1", demoDrive(kDefaultProduct, kDefaultRevision)},
        {"bd-2", demoDrive(kDefaultProduct, kDefaultRevision)},
        {"bd-updated", demoDrive(kDefaultProduct, "1.21")},
        {"dvd-other", other},
    };
    for (const auto& [name, profile] : drives) {
        if (std::filesystem::exists(driveFilePath(folder, name), ec)) continue;
        if (ControlError error = attach(folder, name, profile)) return error;
    }
    return std::nullopt;
}

ControlError attach(const std::filesystem::path& folder, const std::string& name, const DriveSpec& profile) {
    if (ControlError error = checkName(name)) return error;
    std::error_code ec;
    if (!std::filesystem::is_directory(folder, ec)) return "no drive folder " + folder.string();
    const std::filesystem::path file = driveFilePath(folder, name);
    if (std::filesystem::exists(file, ec)) return "drive \"" + name + "\" is attached already";
    std::string error;
    if (!writeDriveFile(file, profile, error)) return error;
    return std::nullopt;
}

ControlError detach(const std::filesystem::path& folder, const std::string& name) {
    if (ControlError error = checkAttached(folder, name)) return error;
    std::error_code ec;
    if (!std::filesystem::remove(driveFilePath(folder, name), ec) || ec)
        return "cannot detach \"" + name + "\": " + (ec ? ec.message() : std::string("already gone"));
    return std::nullopt;
}

namespace {
// Puts a disc in (`disc` given) or takes it out (none); refused when the drive is already so.
ControlError changeDisc(const std::filesystem::path& folder, const std::string& name,
                        const std::optional<nlohmann::json>& disc) {
    if (ControlError error = checkAttached(folder, name)) return error;
    std::string error;
    bool hadDisc = false;
    const bool ok = updateDriveFile(
        driveFilePath(folder, name),
        [&](nlohmann::json& doc) {
            hadDisc = doc.contains("disc") && !doc["disc"].is_null();
            if (hadDisc != disc.has_value()) doc["disc"] = disc.value_or(nullptr);
        },
        error);
    if (!ok) return error;
    if (disc && hadDisc) return "drive \"" + name + "\" has a disc already";
    if (!disc && !hadDisc) return "drive \"" + name + "\" has no disc";
    return std::nullopt;
}
}  // namespace

ControlError insertDisc(const std::filesystem::path& folder, const std::string& name,
                        const std::optional<std::string>& volume) {
    return changeDisc(folder, name,
                      nlohmann::json{{"volume", volume ? nlohmann::json(*volume) : nlohmann::json(nullptr)}});
}

ControlError ejectDisc(const std::filesystem::path& folder, const std::string& name) {
    return changeDisc(folder, name, std::nullopt);
}

ControlError validateDriveFile(const std::filesystem::path& file) {
    std::string error;
    if (!loadDriveFile(file, error)) return error;
    return std::nullopt;
}

std::shared_ptr<SimBackend> makeSimBackend(const std::filesystem::path& folder) {
    return std::make_shared<SimBackend>(folder);
}

}  // namespace sim
