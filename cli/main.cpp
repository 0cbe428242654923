// kdu: the command-line front end. Parses the command line and hands over to one command.
#include <iostream>
#include <sstream>

#include "cli/CommandLineDefinition.h"
#include "cli/Output.h"
#include "log/LogRouting.h"

namespace {

int run(int argc, char** argv) {
    cli::CommandLine line;
    try {
        line.app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        // Through kdu's own writes, so a help text that cannot be written is reported.
        std::ostringstream out, err;
        const int status = line.app.exit(error, out, err);
        cli::answer(out.str());
        std::cerr << err.str();
        return status == 0 ? cli::kExitOk : cli::kExitUsage;
    }
    cli::setVerbosity(line.verbose ? cli::Verbosity::Verbose
                      : line.quiet ? cli::Verbosity::Quiet
                                   : cli::Verbosity::Normal);
    if (line.version->count() > 0) return cli::runVersion();
    if (line.app.get_subcommands().empty()) {
        std::cerr << line.app.help();
        return cli::kExitUsage;
    }
    cli::routeLog();

    platform::BackendChoice backend;
    backend.simulate = line.simulate->count() > 0;
    if (backend.simulate && !line.simulateFolder.empty()) backend.folder = line.simulateFolder;

    try {
        if (*line.listCommand) return cli::runList(backend, line.list);
        if (*line.imagesCommand) return cli::runImages(line.images);
        if (*line.updateCommand) return cli::runUpdate(backend, line.update);
        if (*line.watchCommand) return cli::runWatch(backend, line.watch);
        if (*line.historyCommand) return cli::runHistory(line.history);
        if (*line.benchCommand) return cli::runBenchInquiry(backend, line.bench);
        using Action = cli::SimOptions::Action;
        cli::SimOptions& sim = line.sim;
        sim.action = *line.attach ? Action::Attach : *line.detach ? Action::Detach
                   : *line.insert ? Action::Insert : *line.eject  ? Action::Eject
                                                                   : Action::Demo;
        return cli::runSim(backend, sim);
    } catch (const std::exception& error) {
        // A fault the commands did not foresee: a message, not an abort.
        cli::sayError(error.what());
        return cli::kExitFailure;
    }
}

}  // namespace

int main(int argc, char** argv) {
    kdulog::occupyClosedStandardDescriptors();
    return cli::finishOutput(run(argc, argv));
}
