// kdu's command line as one CLI11 definition: kdu parses with it, and the build writes the
// manual page and the shell completions from it, so they cannot drift apart.
#pragma once

#include <string>

#include <CLI/CLI.hpp>

#include "cli/Commands.h"
#include "cli/ExitCodes.h"

namespace cli {

struct ExitStatusMeaning {
    int code;
    const char* meaning;
};

inline constexpr ExitStatusMeaning kExitStatuses[] = {
    {kExitOk, "done"},
    {kExitFailure, "failed"},
    {kExitUsage, "bad arguments or unknown drive"},
    {kExitNotEligible, "drive may not be updated"},
    {kExitCancelled, "update declined"},
};

// The App with every option bound to the members below. Neither copied nor moved: the
// options keep pointers into it.
struct CommandLine {
    CommandLine();
    CommandLine(const CommandLine&) = delete;
    CommandLine& operator=(const CommandLine&) = delete;

    CLI::App app;

    std::string simulateFolder;
    CLI::Option* simulate = nullptr;
    bool verbose = false;  // -v: log lines on stderr too
    bool quiet = false;    // -q: errors only
    CLI::Option* version = nullptr;

    ListOptions list;
    CLI::App* listCommand = nullptr;
    ImagesOptions images;
    CLI::App* imagesCommand = nullptr;
    UpdateOptions update;
    CLI::App* updateCommand = nullptr;
    WatchOptions watch;
    CLI::App* watchCommand = nullptr;
    HistoryOptions history;
    CLI::App* historyCommand = nullptr;
    BenchInquiryOptions bench;
    CLI::App* benchCommand = nullptr;

    SimOptions sim;
    CLI::App* simCommand = nullptr;
    CLI::App* attach = nullptr;
    CLI::App* detach = nullptr;
    CLI::App* insert = nullptr;
    CLI::App* eject = nullptr;  // none of the four: demo
};

}  // namespace cli
