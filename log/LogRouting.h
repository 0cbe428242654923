// Where log lines and console diagnostics go. Until a front end chooses, everything goes
// to the standard streams as it always did. Chosen, everything goes to a log file (kept
// under a size by rotating it to "<file>.1") and, when asked (-v), to stderr as well.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace kdulog {

enum class Origin { Out, Err };  // the standard stream a text used to go to

struct Routing {
    std::optional<std::filesystem::path> file;    // none: no file
    std::uintmax_t maxFileBytes = 2u << 20;        // rotate before the file would pass this
    bool toStderr = false;                         // -v
};

// Chooses the destinations. Returns an error text when the log file cannot be opened or is
// not a regular file (a link, a FIFO, a device: refused; the other destinations stay chosen).
std::optional<std::string> setRouting(const Routing& routing);
// Back to the standard streams (tests).
void resetRouting();

// Writes `text` (whole lines) to the chosen destinations, with one write per destination.
void writeRouted(Origin origin, std::string_view text);

// "$XDG_STATE_HOME/kestory-drive-updater/<name>" (~/.local/state when unset).
std::filesystem::path defaultLogFile(std::string_view name);

// Writes all of `text` to `fd`, retrying short writes and interruptions. False, with errno
// set, when the descriptor fails or is closed. Only write(2): safe in a signal handler.
bool writeFully(int fd, std::string_view text);

// Puts an unusable descriptor in place of each closed standard one (0, 1, 2), so that no file
// opened later takes its number and receives what was meant for the console: writes to a
// closed stdout keep failing (EBADF) instead. Called first thing, before anything is opened.
void occupyClosedStandardDescriptors();

}  // namespace kdulog
