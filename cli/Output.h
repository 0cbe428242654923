// What kdu prints and where: the answer, the question, progress and the result on stdout,
// errors on stderr (one line each, in one write, so a shared pipe never splits a line),
// and the log lines and the drive layer's console texts to the log file (stderr too, -v).
#pragma once

#include <string>
#include <string_view>

namespace cli {

enum class Verbosity { Quiet, Normal, Verbose };

// Chosen once in main, before any command runs.
void setVerbosity(Verbosity verbosity);
Verbosity verbosity();

// Routes the log to "$XDG_STATE_HOME/kestory-drive-updater/kdu.log", and to stderr with -v.
void routeLog();

// Writes `text` (whole lines) to stdout in one write, unless -q.
void say(std::string_view text);
// Writes `text` (whole lines) to stdout in one write, whatever the verbosity (answers, JSON).
void answer(std::string_view text);
// "kdu: <text>\n" to stderr in one write.
void sayError(std::string_view text);

// A text from a drive or a disc, with control characters shown as \xNN so they never
// reach the terminal as they are.
std::string escapeControls(std::string_view text);

}  // namespace cli
