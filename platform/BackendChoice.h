// Choosing the backend once at process start, shared by both front ends.
#pragma once

#include <optional>
#include <string>

namespace platform {

struct BackendChoice {
    bool simulate = false;                 // --simulate[=FOLDER]
    std::optional<std::string> folder;     // the drive folder; none = the demo folder
};

// The demo folder in the user's state directory ($XDG_STATE_HOME or ~/.local/state).
std::string defaultSimulationFolder();

// Installs the chosen backend. Without a folder the demo folder is created (with its demo
// drives) when missing. Returns an error text (missing folder, unreadable folder...) instead.
std::optional<std::string> installChosenBackend(const BackendChoice& choice);

}  // namespace platform
