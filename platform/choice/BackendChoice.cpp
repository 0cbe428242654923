#include "platform/BackendChoice.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "platform/Backend.h"
#include "platform/linux/LinuxBackend.h"
#include "simdrive/DriveFile.h"
#include "platform/sim/SimControl.h"
#include "platform/sim/SimFolder.h"

namespace platform {

namespace fs = std::filesystem;

namespace {

std::string homeDirectory() {
    if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') return home;
    if (const passwd* entry = ::getpwuid(::getuid()); entry != nullptr && entry->pw_dir != nullptr)
        return entry->pw_dir;
    return "/tmp";
}

// The folder itself must be there; a bad drive file only leaves its own drive out
// (simulatedDriveProblems says which and why).
std::optional<std::string> checkSimulationFolder(const fs::path& folder) {
    std::error_code ec;
    const fs::file_status status = fs::status(folder, ec);
    if (!fs::exists(status))
        return "simulated drive folder " + folder.string() + " does not exist; make one with demo drives in it: kdu --simulate=" +
               folder.string() + " sim demo";
    if (!fs::is_directory(status)) return "simulated drive folder " + folder.string() + " is not a folder";
    fs::directory_iterator it(folder, ec);
    if (ec) return "cannot read simulated drive folder " + folder.string() + ": " + ec.message();
    return std::nullopt;
}

std::optional<std::string> ensureDemoFolder(const fs::path& folder) {
    std::error_code ec;
    if (fs::exists(folder, ec)) return std::nullopt;
    if (std::optional<std::string> error = sim::createDemoFolder(folder))
        return "cannot create the demo drives in " + folder.string() + ": " + *error;
    return std::nullopt;
}

}  // namespace

std::vector<std::string> simulatedDriveProblems(const BackendChoice& choice) {
    std::vector<std::string> problems;
    if (!choice.simulate) return problems;
    const fs::path folder = choice.folder ? fs::path(*choice.folder) : fs::path(defaultSimulationFolder());
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        if (!sim::driveNameOf(it->path())) continue;
        // Never opened unless it is a regular file in the folder: a FIFO would block here.
        if (const char* why = sim::untrustedDriveEntry(folder, it->path())) {
            problems.push_back(it->path().filename().string() + ": " + why + "; left out");
            continue;
        }
        if (std::optional<std::string> error = sim::validateDriveFile(it->path()))
            problems.push_back(*error + "; left out");
    }
    return problems;
}

std::string defaultSimulationFolder() {
    const char* state = std::getenv("XDG_STATE_HOME");
    const fs::path base = state != nullptr && *state == '/' ? fs::path(state) : fs::path(homeDirectory()) / ".local/state";
    return (base / "kestory-drive-updater" / "simulated-drives").string();
}

std::optional<std::string> installChosenBackend(const BackendChoice& choice) {
    if (!choice.simulate) {
        installBackend(makeLinuxBackend());
        return std::nullopt;
    }
    const fs::path folder = choice.folder ? fs::path(*choice.folder) : fs::path(defaultSimulationFolder());
    if (!choice.folder)
        if (std::optional<std::string> error = ensureDemoFolder(folder)) return error;
    if (std::optional<std::string> error = checkSimulationFolder(folder)) return error;
    std::shared_ptr<sim::SimBackend> simulator = sim::makeSimBackend(folder);
    // Front ends run for long; only tests need what the drives received.
    simulator->setRecording(false);
    installBackend(std::move(simulator));
    return std::nullopt;
}

}  // namespace platform
