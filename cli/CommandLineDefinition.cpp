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
    app.require_subcommand(0, 1);
    app.footer(exitStatusFooter());

    // Optional value: `--simulate` alone picks the demo folder; a following subcommand name
    // is never taken as the folder.
    simulate = app.add_option("--simulate", simulateFolder,
                              "Use simulated drives (FOLDER, or the demo folder when none is given)")
                   ->expected(0, 1)
                   ->type_name("FOLDER");
    // Nothing to keep: the drives are real unless --simulate says otherwise.
    CLI::Option* real = app.add_flag_callback("--real", [] {}, "Use the real drives (the default)");
    simulate->excludes(real);
    CLI::Option* verboseFlag = app.add_flag("-v,--verbose", verbose, "Also show the log lines on stderr");
    CLI::Option* quietFlag = app.add_flag("-q,--quiet", quiet, "Print only errors (and the answers asked for)");
    verboseFlag->excludes(quietFlag);
    version = app.add_flag("--version")->description(
        "Print the program version, its git revision and the shipped firmware revision");

    listCommand = app.add_subcommand("list", "List the drives and whether each may be updated");
    listCommand->add_flag("--json", list.json, "Print JSON (docs/cli.md)");
    listCommand->footer("Example: kdu list --json");

    imagesCommand = app.add_subcommand("images", "Show the headers of the shipped firmware images");
    imagesCommand->add_flag("--json", images.json, "Print JSON (docs/cli.md)");
    imagesCommand->footer("Example: kdu images");

    updateCommand = app.add_subcommand("update", "Update the firmware of one drive, several or all");
    CLI::Option* drives =
        updateCommand
            ->add_option("--drive", update.drives,
                         "The drive: its number in `kdu list`, its id or a device node (/dev/sgN, /dev/srN); "
                         "repeat it to update several drives at once")
            ->expected(1)
            ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    updateCommand->add_flag("--all", update.all, "Update every drive that may be updated, side by side")
        ->excludes(drives);
    updateCommand
        ->add_option("--jobs", update.jobs,
                     "Update at most N drives at once (default: all of them, at most " +
                         std::to_string(kMaxUpdateJobs) + ")")
        ->type_name("N")
        ->check(CLI::Validator(
            [](std::string& value) {
                return value.find_first_not_of("0123456789") == std::string::npos && value.size() < 6 &&
                               std::stoi("0" + value) >= 1
                           ? std::string()
                           : "needs a whole number of at least 1, not \"" + value + "\"";
            },
            ""));
    updateCommand->add_flag("--yes,-y", update.yes, "Do not ask for confirmation (needs --drive or --all)");
    updateCommand->add_flag("--dry-run", update.dryRun,
                            "Make every check and show the commands that would be sent, without sending them");
    updateCommand->add_flag("--json", update.json, "Print one JSON object per line, ending with the result");
    updateCommand->footer("Example: kdu update --drive 1 --dry-run");

    watchCommand = app.add_subcommand("watch", "Report drives and discs coming and going until stopped");
    watchCommand->add_flag("--json", watch.json, "Print one JSON object per line");
    watchCommand->footer("Example: kdu --simulate watch --json");

    historyCommand = app.add_subcommand("history", "Show the recorded updates, newest first");
    historyCommand->add_flag("--json", history.json, "Print one JSON object per update (docs/cli.md)");
    historyCommand->add_option("--drive", history.drive, "Only the updates of this drive (its id in `kdu list`)");
    historyCommand->footer("Example: kdu history --drive bd-1");

    benchCommand = app.add_subcommand("bench-inquiry", "Time INQUIRY commands to one drive");
    benchCommand->add_option("--drive", bench.drive, "The drive's number in `kdu list` (default 1)");
    benchCommand->add_option("--count", bench.count, "How many INQUIRY commands to send (default 1000)");
    benchCommand->footer("Example: kdu bench-inquiry --drive 1 --count 100");

    simCommand = app.add_subcommand("sim", "Change the simulated drives (attach, detach, discs)");
    simCommand->require_subcommand(1);
    simCommand->footer("Example: kdu --simulate sim attach bd-3 --revision 1.20 --disc PHOTOS");
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
    simCommand->add_subcommand("demo", "Recreate the demo drives (replaces every drive in the folder)");
}

}  // namespace cli
