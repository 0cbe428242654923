#include "cli/PermissionHint.h"

#include "platform/AccessRefusals.h"

namespace cli {

namespace {

constexpr char kRuleFile[] = KDU_UDEV_RULE_PATH;

}  // namespace

PermissionWatch::PermissionWatch() { platform::takeAccessRefusals(); }

void PermissionWatch::printHint(std::ostream& err) const {
    std::set<std::string> nodes;
    for (const platform::AccessRefusal& refusal : platform::takeAccessRefusals()) nodes.insert(refusal.node);
    if (nodes.empty()) return;
    err << "kdu: a drive was left out because it may not be opened (";
    const char* separator = "";
    for (const std::string& node : nodes) {
        err << separator << node;
        separator = ", ";
    }
    err << ": permission denied).\n"
        << "     Updating needs read-write access to the drive's SCSI generic node (/dev/sgN).\n"
        << "     The package installs the udev rule " << kRuleFile << ",\n"
        << "     which grants it to the user at the seat: log in again after installing (or run\n"
        << "     `sudo udevadm control --reload && sudo udevadm trigger`), or run kdu as root.\n";
}

}  // namespace cli
