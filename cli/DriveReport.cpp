#include "cli/DriveReport.h"

#include "drive/DriveList.h"

namespace cli {

namespace {

Json textOrNull(const OptionalText& text) { return text ? Json(*text) : Json(nullptr); }
std::string textOrDash(const OptionalText& text) { return text ? *text : "-"; }
const char* modeName(const DeviceData& drive) { return drive.driveMode() == 0 ? "normal" : "kernel"; }
Json nodesJson(const DeviceData& drive) {
    Json nodes = Json::array();
    for (const std::string& node : drive.identity().nodes) nodes.push_back(node);
    return nodes;
}

}  // namespace

std::string jsonLine(const Json& value) { return value.dump(-1, ' ', false, Json::error_handler_t::replace); }

Json driveJson(const DeviceData& drive, int index) {
    const platform::DriveIdentity& identity = drive.identity();
    return Json{{"index", index},
                {"id", identity.id},
                {"nodes", nodesJson(drive)},
                {"serial", textOrNull(identity.serial)},
                {"title", DriveEntryTitle(drive)},
                {"vendor", textOrNull(drive.vendor())},
                {"product", textOrNull(drive.product())},
                {"revision", textOrNull(drive.revision())},
                {"date", textOrNull(drive.date())},
                {"hard_version", textOrNull(drive.hard_version())},
                {"krnl_version", textOrNull(drive.krnl_version())},
                {"dest_version", textOrNull(drive.dest_version())},
                {"judgeKrnl", textOrNull(drive.judgeKrnl())},
                {"driveMode", drive.driveMode()},
                {"disc", drive.isPresenceDisc()},
                {"eligible", drive.isEnableUpdate()},
                {"reason", drive.isEnableUpdate() ? Json(nullptr) : Json(std::string(eligibilityKey(drive.eligibility())))},
                {"reason_text", drive.isEnableUpdate() ? Json(nullptr) : Json(std::string(eligibilityText(drive.eligibility())))},
                {"same", drive.same()},
                {"sameNo", drive.sameNo()}};
}

Json drivesJson(const std::vector<DeviceData>& drives) {
    Json list = Json::array();
    for (std::size_t i = 0; i < drives.size(); ++i) list.push_back(driveJson(drives[i], static_cast<int>(i) + 1));
    return list;
}

Json imageJson(const FirmFileData& image) {
    return Json{{"isFileExists", image.isFileExists()},
                {"product", textOrNull(image.product())},
                {"revision", textOrNull(image.revision())},
                {"date", textOrNull(image.date())},
                {"hard_version", textOrNull(image.hard_version())},
                {"krnl_version", textOrNull(image.krnl_version())},
                {"dest_version", textOrNull(image.dest_version())}};
}

std::string driveWhereText(const DeviceData& drive) {
    const platform::DriveIdentity& identity = drive.identity();
    std::string text = identity.id.empty() ? "?" : identity.id;
    if (identity.nodes.empty()) return text;
    text += " (";
    for (std::size_t i = 0; i < identity.nodes.size(); ++i) text += (i ? ", " : "") + identity.nodes[i];
    return text + ")";
}

std::string driveVerdictText(const DeviceData& drive) {
    // A drive left in its update mode runs no firmware worth keeping: updating it recovers it.
    if (drive.driveMode() != 0 && drive.isEnableUpdate()) return "in update mode: update to recover";
    if (drive.isEnableUpdate()) return "may be updated";
    return "may not be updated: " + std::string(eligibilityText(drive.eligibility()));
}

void printDriveText(std::ostream& out, const DeviceData& drive, int index) {
    out << index << ". " << DriveEntryTitle(drive) << "\n"
        << "   at " << driveWhereText(drive)
        << (drive.identity().serial ? ", serial " + *drive.identity().serial : std::string()) << "\n"
        << "   revision " << textOrDash(drive.revision()) << ", hardware " << textOrDash(drive.hard_version())
        << ", kernel " << textOrDash(drive.krnl_version()) << ", destination " << textOrDash(drive.dest_version())
        << "\n"
        << "   " << (drive.isPresenceDisc() ? "disc present" : "no disc") << ", " << modeName(drive) << " mode, "
        << driveVerdictText(drive) << "\n";
}

void printDriveShort(std::ostream& out, const DeviceData& drive, int index) {
    std::string title = DriveEntryTitle(drive);
    title.erase(title.find_last_not_of(' ') + 1);
    out << "  " << index << ". " << title << " (" << (drive.isPresenceDisc() ? "disc" : "no disc")
        << ", " << modeName(drive) << ", " << driveVerdictText(drive) << ")\n";
}

std::string shippedVersionText(const FirmFileData& normal) {
    if (!normal.isFileExists()) return "missing (no drive can be updated)";
    return textOrDash(normal.product()) + " " + textOrDash(normal.revision()) + normal.date().value_or("");
}

}  // namespace cli
