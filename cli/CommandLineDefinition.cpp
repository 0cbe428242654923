#include "cli/CommandLineDefinition.h"

namespace cli {

namespace {

constexpr char kDescription[] = "Installs the shipped firmware into BD-RW KVL-MT38 drives.";

std::string exitStatusFooter() {
    std::string footer = "Exit status:";
    const char* separator = " ";
    for (const ExitStatusMeaning& status : kExitStatuses) {
        footer += separator + std::to_string(status.code) + " " + status.meaning;
        separator = ", ";
    }
    return footer + ".";
}

}  // namespace

CommandLine::CommandLine() : app{kDescription, "kdu"} {
    app.require_subcommand(1);
    app.footer(exitStatusFooter());

    // Optional value: `--simulate` alone picks the demo folder; a following subcommand name
    // is never taken as the folder.
    simulate = app.add_option("--simulate", simulateFolder,
                              "Use simulated drives (FOLDER, or the demo folder when none is given)")
                   ->expected(0, 1)
                   ->type_name("FOLDER");
    CLI::Option* real = app.add_flag("--real", realDrives, "Use the real drives (the default)");
    simulate->excludes(real);

    listCommand = app.add_subcommand("list", "List the drives and whether each may be updated");
    listCommand->add_flag("--json", list.json, "Print JSON");

    imagesCommand = app.add_subcommand("images", "Show the headers of the shipped firmware images");
    imagesCommand->add_flag("--json", images.json, "Print JSON");

    updateCommand = app.add_subcommand("update", "Update one drive's firmware");
    updateCommand->add_option("--drive", update.drive,
                              "The drive: its number in `kdu list`, its id or a device node (/dev/sgN, /dev/srN)");
    updateCommand->add_flag("--yes,-y", update.yes, "Do not ask for confirmation (needs --drive)");

    watchCommand = app.add_subcommand("watch", "Report drives and discs coming and going until stopped");
    watchCommand->add_flag("--json", watch.json, "Print one JSON object per line");

    benchCommand = app.add_subcommand("bench-inquiry", "Time INQUIRY commands to one drive");
    benchCommand->add_option("--drive", bench.drive, "The drive's number in `kdu list` (default 1)");
    benchCommand->add_option("--count", bench.count, "How many INQUIRY commands to send (default 1000)");

    simCommand = app.add_subcommand("sim", "Change the simulated drives (attach, detach, discs)");
    simCommand->require_subcommand(1);
    attach = simCommand->add_subcommand("attach", "Attach a simulated drive");
    attach->add_option("NAME", sim.name, "Drive name")->required();
    attach->add_option("--model", sim.model, "target or other")->check(CLI::IsMember({"target", "other"}));
    attach->add_option("--revision", sim.revision, "Firmware revision the drive reports");
    attach->add_option("--disc", sim.volume, "Attach with a disc carrying this volume name");
    attach->add_flag("--kernel", sim.kernel, "Attach in kernel mode (as after a cut-off update)");
    detach = simCommand->add_subcommand("detach", "Detach a simulated drive");
    detach->add_option("NAME", sim.name, "Drive name")->required();
    insert = simCommand->add_subcommand("insert", "Insert a disc into a simulated drive");
    insert->add_option("NAME", sim.name, "Drive name")->required();
    insert->add_option("--volume", sim.volume, "Volume name of the disc (none: a blank disc)");
    eject = simCommand->add_subcommand("eject", "Eject the disc of a simulated drive");
    eject->add_option("NAME", sim.name, "Drive name")->required();
    demo = simCommand->add_subcommand("demo", "Recreate the demo drives (replaces every drive in the folder)");
}

}  // namespace cli
