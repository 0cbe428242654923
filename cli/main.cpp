// kdu: the command-line front end. Parses the command line and hands over to one command.
#include <iostream>

#include <CLI/CLI.hpp>

#include "cli/Commands.h"
#include "cli/ExitCodes.h"

namespace {

constexpr char kDescription[] =
    "Installs the shipped firmware into BD-RW KVL-MT38 drives.\n"
    "Exit status: 0 done, 1 failed, 2 bad arguments or unknown drive, 3 drive may not be updated,\n"
    "4 update declined.";

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{kDescription, "kdu"};
    app.require_subcommand(1);

    platform::BackendChoice backend;
    std::string simulateFolder;
    // Optional value: `--simulate` alone picks the demo folder; a following subcommand name
    // is never taken as the folder.
    CLI::Option* simulate = app.add_option("--simulate", simulateFolder,
                                           "Use simulated drives (FOLDER, or the demo folder when none is given)")
                                ->expected(0, 1)
                                ->type_name("FOLDER");
    bool realDrives = false;
    CLI::Option* real = app.add_flag("--real", realDrives, "Use the real drives (the default)");
    simulate->excludes(real);

    cli::ListOptions list;
    CLI::App* listCommand = app.add_subcommand("list", "List the drives and whether each may be updated");
    listCommand->add_flag("--json", list.json, "Print JSON");

    cli::ImagesOptions images;
    CLI::App* imagesCommand = app.add_subcommand("images", "Show the headers of the shipped firmware images");
    imagesCommand->add_flag("--json", images.json, "Print JSON");

    cli::UpdateOptions update;
    CLI::App* updateCommand = app.add_subcommand("update", "Update one drive's firmware");
    updateCommand->add_option("--drive", update.drive, "The drive's number in `kdu list` (default 1)");
    updateCommand->add_flag("--yes,-y", update.yes, "Do not ask for confirmation");

    cli::WatchOptions watch;
    CLI::App* watchCommand = app.add_subcommand("watch", "Report drives and discs coming and going until stopped");
    watchCommand->add_flag("--json", watch.json, "Print one JSON object per line");

    cli::BenchInquiryOptions bench;
    CLI::App* benchCommand = app.add_subcommand("bench-inquiry", "Time INQUIRY commands to one drive");
    benchCommand->add_option("--drive", bench.drive, "The drive's number in `kdu list` (default 1)");
    benchCommand->add_option("--count", bench.count, "How many INQUIRY commands to send (default 1000)");

    cli::SimOptions sim;
    CLI::App* simCommand = app.add_subcommand("sim", "Change the simulated drives (attach, detach, discs)");
    simCommand->require_subcommand(1);
    CLI::App* attach = simCommand->add_subcommand("attach", "Attach a simulated drive");
    attach->add_option("NAME", sim.name, "Drive name")->required();
    attach->add_option("--model", sim.model, "target or other")->check(CLI::IsMember({"target", "other"}));
    attach->add_option("--revision", sim.revision, "Firmware revision the drive reports");
    attach->add_option("--disc", sim.volume, "Attach with a disc carrying this volume name");
    attach->add_flag("--kernel", sim.kernel, "Attach in kernel mode (as after a cut-off update)");
    CLI::App* detach = simCommand->add_subcommand("detach", "Detach a simulated drive");
    detach->add_option("NAME", sim.name, "Drive name")->required();
    CLI::App* insert = simCommand->add_subcommand("insert", "Insert a disc into a simulated drive");
    insert->add_option("NAME", sim.name, "Drive name")->required();
    insert->add_option("--volume", sim.volume, "Volume name of the disc (none: a blank disc)");
    CLI::App* eject = simCommand->add_subcommand("eject", "Eject the disc of a simulated drive");
    eject->add_option("NAME", sim.name, "Drive name")->required();
    CLI::App* demo = simCommand->add_subcommand("demo", "Recreate the demo drives (replaces every drive in the folder)");

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        const int status = app.exit(error);
        return status == 0 ? cli::kExitOk : cli::kExitUsage;
    }

    backend.simulate = simulate->count() > 0;
    if (backend.simulate && !simulateFolder.empty()) backend.folder = simulateFolder;

    try {
        if (*listCommand) return cli::runList(backend, list);
        if (*imagesCommand) return cli::runImages(images);
        if (*updateCommand) return cli::runUpdate(backend, update);
        if (*watchCommand) return cli::runWatch(backend, watch);
        if (*benchCommand) return cli::runBenchInquiry(backend, bench);
        using Action = cli::SimOptions::Action;
        sim.action = *attach ? Action::Attach : *detach ? Action::Detach : *insert ? Action::Insert
                   : *eject  ? Action::Eject  : Action::Demo;
        (void)demo;
        return cli::runSim(backend, sim);
    } catch (const std::exception& error) {
        // A fault the commands did not foresee: a message, not an abort.
        std::cerr << "kdu: " << error.what() << "\n";
        return cli::kExitFailure;
    }
}
