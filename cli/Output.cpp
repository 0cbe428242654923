#include "cli/Output.h"

#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>

#include "cli/ExitCodes.h"
#include "log/LogRouting.h"

namespace cli {

namespace {

Verbosity currentVerbosity = Verbosity::Normal;

// The first failure to write stdout, as errno (-1: no reason known); 0 while none.
std::atomic<int> outputError{0};

void noteOutputFailure(int error) {
    int none = 0;
    outputError.compare_exchange_strong(none, error != 0 ? error : -1);
}

// What went through the C++ and C streams first comes first.
void flushStreams() {
    std::cout.flush();
    if (std::fflush(stdout) != 0) noteOutputFailure(errno);
    else if (std::ferror(stdout) != 0 || std::cout.bad()) noteOutputFailure(-1);
}

void writeAll(int fd, std::string_view text) {
    flushStreams();
    if (!kdulog::writeFully(fd, text) && fd == STDOUT_FILENO) noteOutputFailure(errno);
}

}  // namespace

void setVerbosity(Verbosity verbosity) { currentVerbosity = verbosity; }

Verbosity verbosity() { return currentVerbosity; }

void routeLog() {
    kdulog::Routing routing;
    routing.file = kdulog::defaultLogFile("kdu.log");
    routing.toStderr = currentVerbosity == Verbosity::Verbose;
    if (std::optional<std::string> error = kdulog::setRouting(routing); error && currentVerbosity != Verbosity::Quiet)
        sayError(*error + " (log lines are not kept)");
}

void say(std::string_view text) {
    if (currentVerbosity != Verbosity::Quiet) writeAll(STDOUT_FILENO, text);
}

void answer(std::string_view text) { writeAll(STDOUT_FILENO, text); }

void sayError(std::string_view text) {
    if (!text.empty() && text.back() == '\n') text.remove_suffix(1);
    writeAll(STDERR_FILENO, "kdu: " + escapeControls(text) + "\n");
}

bool outputFailed() { return outputError.load() != 0; }

int finishOutput(int status) {
    flushStreams();
    // A file system may report a failed write only when the file is closed.
    if (::close(STDOUT_FILENO) != 0 && errno != EBADF) noteOutputFailure(errno);
    const int error = outputError.load();
    if (error == 0) return status;
    sayError(error > 0 ? std::string("cannot write the output: ") + std::strerror(error) : "cannot write the output");
    return status == kExitOk ? kExitFailure : status;
}

}  // namespace cli
