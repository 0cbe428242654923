// What kdu prints and where: the answer, the question, progress and the result on stdout,
// errors on stderr (one line each, in one write, so a shared pipe never splits a line),
// and the log lines and the drive layer's console texts to the log file (stderr too, -v).
#pragma once

#include <string>
#include <string_view>

#include "log/Format.h"

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
// "kdu: <text>\n" to stderr in one write, one line: the text is escaped (it quotes drives,
// files and arguments).
void sayError(std::string_view text);

// A write to stdout has failed (a full disk, a closed stream): the command goes on (an update
// is never cut short by its output), and finishOutput reports it.
bool outputFailed();
// The end of every command: flushes and closes stdout, checking each write as it went. When
// any failed, says "kdu: cannot write the output: <reason>" and turns a success into a failure.
int finishOutput(int status);

// A text from a drive, a disc or a file, made safe to show (log/Format.h): the one rule for
// everything from outside that kdu prints.
using kdulog::escapeControls;

}  // namespace cli
