#include "cli/PermissionHint.h"

#include <cstdio>

#include "platform/IOTypes.h"
#include "log/Log.h"

namespace cli {

namespace {

// The code the listing logs when exclusive access was refused for lack of rights.
std::string refusedCodeText() {
    char text[16];
    std::snprintf(text, sizeof text, "(0x%08x)", static_cast<unsigned>(platform::kIOReturnNotPrivileged));
    return text;
}

constexpr char kRuleFile[] = KDU_UDEV_RULE_PATH;

}  // namespace

PermissionWatch::PermissionWatch() {
    kdulog::setLogSink([this](kdulog::LogLevel, const std::string& line) { onLogLine(line); });
}

PermissionWatch::~PermissionWatch() { kdulog::setLogSink(nullptr); }

void PermissionWatch::onLogLine(const std::string& line) {
    const std::lock_guard lock(mutex_);
    if (line.find("ObtainExclusiveAccess failed.(1)") != std::string::npos &&
        line.find(refusedCodeText()) != std::string::npos)
        refused_ = true;
    if (line.find("[ERR]") == std::string::npos || line.find("cannot open") == std::string::npos) return;
    for (std::size_t at = line.find("/dev/"); at != std::string::npos; at = line.find("/dev/", at + 1)) {
        const std::size_t end = line.find_first_of(" \t:,;()'\"", at);
        nodes_.insert(line.substr(at, end == std::string::npos ? std::string::npos : end - at));
    }
}

void PermissionWatch::printHint(std::ostream& err) const {
    const std::lock_guard lock(mutex_);
    if (!refused_) return;
    err << "kdu: a drive was left out because it may not be opened";
    if (!nodes_.empty()) {
        err << " (";
        const char* separator = "";
        for (const std::string& node : nodes_) {
            err << separator << node;
            separator = ", ";
        }
        err << ")";
    }
    err << ".\n"
        << "     Updating needs read-write access to the drive's SCSI generic node (/dev/sgN).\n"
        << "     The package installs the udev rule " << kRuleFile << ",\n"
        << "     which grants it to the user at the seat: log in again after installing (or run\n"
        << "     `sudo udevadm control --reload && sudo udevadm trigger`), or run kdu as root.\n";
}

}  // namespace cli
