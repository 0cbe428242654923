// kdu-docs MAN BASH ZSH FISH: writes kdu's manual page and its bash, zsh and fish completion
// from the command line kdu itself parses with.
#include <cctype>
#include <iostream>

#include "cli/CommandLineDefinition.h"
#include "tools/docgen/BashCompletion.h"
#include "tools/docgen/Cli11Doc.h"
#include "tools/docgen/FishCompletion.h"
#include "tools/docgen/ManPage.h"
#include "tools/docgen/OutputFile.h"
#include "tools/docgen/ZshCompletion.h"

namespace {

docgen::ManualDoc manual(const cli::CommandLine& line) {
    docgen::ManualDoc doc;
    doc.summary = docgen::nameLineSummary(line.app.get_description());
    doc.source = KDU_SOURCE;
    doc.description = {
        "kdu finds every attached optical drive, keeps the BD-RW KVL-MT38 drives, decides whether the firmware "
        "shipped with it is newer and fits each drive's hardware, and on your word writes it into the drive, "
        "showing the drive's progress while it installs.",
        "Without `--simulate`, kdu works on the real drives. It needs read-write access to the drive's SCSI "
        "generic node (/dev/sgN); the udev rule shipped with it grants that access to the user at the seat, "
        "and `kdu list` says so when a drive was left out for lack of access.",
        "With `--simulate`, kdu works on simulated drives: one file per drive in FOLDER, which `kdu sim` "
        "changes as a person would plug drives and discs in and out.",
    };
    for (const cli::ExitStatusMeaning& status : cli::kExitStatuses) {
        doc.exitStatuses.emplace_back(std::to_string(status.code), status.meaning);
    }
    doc.files = {
        {KDU_UDEV_RULE_PATH, "the udev rule that gives the user at the seat access to the drive"},
        {KDU_DATA_DIR, "the firmware images kdu installs"},
        {"~/.local/state/kestory-drive-updater/simulated-drives",
         "the demo folder of simulated drives ($XDG_STATE_HOME instead of ~/.local/state when set)"},
    };
    doc.seeAlso = {"kestory-drive-updater(1)", "udev(7)"};
    return doc;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 5) {
        std::cerr << "usage: kdu-docs MAN BASH ZSH FISH\n";
        return 2;
    }
    const cli::CommandLine line;
    const docgen::CommandDoc program = docgen::describeCli11(line.app);
    const bool written = docgen::writeOutputFile(argv[1], docgen::manPage(program, manual(line))) &&
                         docgen::writeOutputFile(argv[2], docgen::bashCompletion(program)) &&
                         docgen::writeOutputFile(argv[3], docgen::zshCompletion(program)) &&
                         docgen::writeOutputFile(argv[4], docgen::fishCompletion(program));
    return written ? 0 : 1;
}
