// kestory-drive-updater-docs MAN: writes the window program's manual page from its options.
#include <cctype>
#include <iostream>

#include "app/CommandLine.h"
#include "tools/docgen/ManPage.h"
#include "tools/docgen/OutputFile.h"

namespace {

docgen::CommandDoc describeWindow() {
    docgen::CommandDoc doc;
    doc.name = "kestory-drive-updater";
    doc.description = appSummary().toStdString();
    for (const AppOptionDoc& option : appOptionDocs()) {
        docgen::OptionDoc described;
        described.names.push_back(docgen::concat({"--", option.name.toStdString()}));
        if (!option.shortName.isEmpty()) described.names.push_back(docgen::concat({"-", option.shortName.toStdString()}));
        described.valueName = option.valueName.toStdString();
        described.valueOptional = option.valueOptional;
        described.description = option.description.toStdString();
        if (!described.description.empty()) {
            described.description[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(described.description[0])));
        }
        doc.options.push_back(described);
    }
    return doc;
}

docgen::ManualDoc manual(const docgen::CommandDoc& window) {
    docgen::ManualDoc doc;
    doc.summary = docgen::nameLineSummary(window.description);
    doc.source = KDU_SOURCE;
    doc.description = {
        "kestory-drive-updater opens a window that lists every attached BD-RW KVL-MT38 drive and whether the "
        "firmware shipped with it may be installed into the drive. Choose a drive, press Update and confirm; "
        "the window shows the drive's progress while it installs, and the list follows drives and discs as "
        "they come and go.",
        "One window per user session: starting it again raises the open window, says so on standard error "
        "and exits with status 0. Another user's window, or one in another session, does not count.",
        "It works on the real drives unless `--simulate` is given; see kdu(1) for the access it needs and "
        "for changing simulated drives.",
    };
    doc.exitStatuses = {{"0", "the window was closed, or the open window was raised"}, {"2", "bad arguments, or the chosen drives cannot be reached"}};
    doc.files = {{KDU_DATA_DIR, "the firmware images and the translations"}};
    doc.seeAlso = {"kdu(1)"};
    return doc;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: kestory-drive-updater-docs MAN\n";
        return 2;
    }
    const docgen::CommandDoc window = describeWindow();
    return docgen::writeOutputFile(argv[1], docgen::manPage(window, manual(window))) ? 0 : 1;
}
