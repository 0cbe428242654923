// Choosing the backend once at process start, shared by both front ends.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace platform {

struct BackendChoice {
    bool simulate = false;                 // --simulate[=FOLDER]
    std::optional<std::string> folder;     // the drive folder; none = the demo folder
};

// The demo folder in the user's state directory ($XDG_STATE_HOME or ~/.local/state).
std::string defaultSimulationFolder();

// Simulated drive files that cannot be a drive (unreadable, malformed, too large, not a
// regular file, a link out of the folder), each "<file>: <why>; left out". None for real drives.
std::vector<std::string> simulatedDriveProblems(const BackendChoice& choice);

// Installs the chosen backend. Without a folder the demo folder is created (with its demo
// drives) when missing. Returns an error text (missing folder, unreadable folder...) instead.
std::optional<std::string> installChosenBackend(const BackendChoice& choice);

}  // namespace platform
