#include "cli/DriveReport.h"

#include "cli/Output.h"
#include "drive/DriveList.h"
#include "model/NotificationNames.h"

namespace cli {

Json textOrNull(const OptionalText& text) { return text ? Json(*text) : Json(nullptr); }

namespace {

Json trimmedOrNull(const OptionalText& text) { return text ? Json(trimmed(*text)) : Json(nullptr); }
// A drive's or an image's text for people: escaped, "-" when absent.
std::string textOrDash(const OptionalText& text) { return text ? escapeControls(*text) : "-"; }
const char* modeName(const DeviceData& drive) { return drive.driveMode() == DriveMode::Normal ? "normal" : "kernel"; }
// What was learnt by asking the drive; nothing for a drive that could not be examined.
bool examined(const DeviceData& drive) { return !examinationFailed(drive.eligibility()); }
// An installing drive says so with its progress; whether it holds a disc is not known then.
std::string discText(const DeviceData& drive, const char* present, const char* absent) {
    if (drive.installProgress()) return "installing firmware " + std::to_string(installPercent(*drive.installProgress())) + " %";
    return drive.isPresenceDisc() ? present : absent;
}
// "no disc, normal mode", or that nothing of the sort is known.
std::string stateText(const DeviceData& drive, const char* disc, const char* noDisc, const char* modeSuffix) {
    if (!examined(drive)) return "not examined";
    return discText(drive, disc, noDisc) + ", " + modeName(drive) + modeSuffix;
}
Json nodesJson(const DeviceData& drive) {
    Json nodes = Json::array();
    for (const std::string& node : drive.identity().nodes) nodes.push_back(node);
    return nodes;
}

}  // namespace

std::string jsonLine(const Json& value) { return value.dump(-1, ' ', false, Json::error_handler_t::replace); }

Json driveJson(const DeviceData& drive, int index) {
    const scsi::DriveIdentity& identity = drive.identity();
    Json json{{"index", index},
              {"id", identity.id},
              {"nodes", nodesJson(drive)},
              {"serial", textOrNull(identity.serial)},
              {"title", trimmed(DriveEntryTitle(drive))},
              {"vendor", trimmedOrNull(drive.vendor())},
              {"product", trimmedOrNull(drive.product())},
              {"revision", trimmedOrNull(drive.revision())},
              {"date", trimmedOrNull(drive.date())},
              {"hard_version", trimmedOrNull(drive.hard_version())},
              {"krnl_version", trimmedOrNull(drive.krnl_version())},
              {"dest_version", trimmedOrNull(drive.dest_version())},
              {"examined", examined(drive)},
              {"mode", examined(drive) ? Json(modeName(drive)) : Json(nullptr)},
              {"disc", examined(drive) ? Json(drive.isPresenceDisc()) : Json(nullptr)},
              {"install_percent",
               drive.installProgress() ? Json(installPercent(*drive.installProgress())) : Json(nullptr)},
              {"twin", drive.same() ? Json(drive.sameNo()) : Json(nullptr)},
              {"may_update", drive.isEnableUpdate()}};
    if (!drive.isEnableUpdate()) {
        json["reason"] = std::string(eligibilityKey(drive.eligibility()));
        json["reason_text"] = std::string(eligibilityText(drive.eligibility()));
    }
    json["raw"] = Json{{"vendor", textOrNull(drive.vendor())},
                       {"product", textOrNull(drive.product())},
                       {"revision", textOrNull(drive.revision())},
                       {"date", textOrNull(drive.date())},
                       {"judge_krnl", textOrNull(drive.judgeKrnl())},
                       {"drive_mode", examined(drive) ? Json(static_cast<int>(drive.driveMode())) : Json(nullptr)}};
    return json;
}

Json drivesJson(const std::vector<DeviceData>& drives) {
    Json list = Json::array();
    for (std::size_t i = 0; i < drives.size(); ++i) list.push_back(driveJson(drives[i], static_cast<int>(i) + 1));
    return list;
}

namespace {

struct DriveCounts {
    std::size_t mayUpdate = 0, mayNot = 0, notExamined = 0;
};
DriveCounts countDrives(const std::vector<DeviceData>& drives) {
    DriveCounts counts;
    for (const DeviceData& drive : drives) {
        if (!examined(drive))
            ++counts.notExamined;
        else if (drive.isEnableUpdate())
            ++counts.mayUpdate;
        else
            ++counts.mayNot;
    }
    return counts;
}

}  // namespace

Json summaryJson(const std::vector<DeviceData>& drives) {
    const DriveCounts counts = countDrives(drives);
    return Json{{"drives", drives.size()},
                {"may_update", counts.mayUpdate},
                {"may_not_update", counts.mayNot},
                {"not_examined", counts.notExamined}};
}

std::string summaryText(const std::vector<DeviceData>& drives) {
    if (drives.empty()) return "No drive found.";
    const DriveCounts counts = countDrives(drives);
    std::string text = std::to_string(drives.size()) + (drives.size() == 1 ? " drive: " : " drives: ");
    std::string parts;
    const auto part = [&parts](std::size_t count, const char* what) {
        if (count != 0) parts += (parts.empty() ? "" : ", ") + std::to_string(count) + " " + what;
    };
    part(counts.mayUpdate, "may be updated");
    part(counts.mayNot, "may not be updated");
    part(counts.notExamined, "could not be examined");
    return text + parts + ".";
}

Json imageJson(const FirmFileData& image) {
    return Json{{"present", image.isFileExists()},
                {"product", trimmedOrNull(image.product())},
                {"revision", trimmedOrNull(image.revision())},
                {"date", trimmedOrNull(image.date())},
                {"hard_version", trimmedOrNull(image.hard_version())},
                {"krnl_version", trimmedOrNull(image.krnl_version())},
                {"dest_version", trimmedOrNull(image.dest_version())}};
}

Json imageProblemJson(const ImageFault& fault) {
    if (fault.problem == ImageProblem::None) return nullptr;
    return Json{{"file", fault.file},
                {"problem", std::string(imageProblemKey(fault.problem))},
                {"text", imageFaultText(fault)}};
}

Json document(Json fields) {
    Json doc{{"schema", kJsonSchemaVersion}};
    for (auto& [key, value] : fields.items()) doc[key] = std::move(value);
    return doc;
}

Json event(std::string_view name, const std::optional<std::string>& driveId) {
    return Json{{"schema", kJsonSchemaVersion},
                {"event", std::string(name)},
                {"time", rfc3339Now()},
                {"drive", driveId ? Json(*driveId) : Json(nullptr)}};
}

std::string driveWhereText(const DeviceData& drive) {
    const scsi::DriveIdentity& identity = drive.identity();
    std::string text = identity.id.empty() ? "?" : identity.id;
    if (!identity.nodes.empty()) {
        text += " (";
        for (std::size_t i = 0; i < identity.nodes.size(); ++i) text += (i ? ", " : "") + identity.nodes[i];
        text += ")";
    }
    return escapeControls(text);
}

std::string driveVerdictText(const DeviceData& drive) {
    // A drive left in its update mode runs no firmware worth keeping: updating it recovers it.
    if (drive.driveMode() == DriveMode::Kernel && drive.isEnableUpdate()) return "in update mode: update to recover";
    if (drive.isEnableUpdate()) return "may be updated";
    return "may not be updated: " + std::string(eligibilityText(drive.eligibility()));
}

void printDriveText(std::ostream& out, const DeviceData& drive, int index) {
    out << index << ". " << escapeControls(DriveEntryTitle(drive)) << "\n"
        << "   at " << driveWhereText(drive)
        << (drive.identity().serial ? ", serial " + escapeControls(*drive.identity().serial) : std::string()) << "\n"
        << "   revision " << textOrDash(drive.revision()) << ", hardware " << textOrDash(drive.hard_version())
        << ", kernel " << textOrDash(drive.krnl_version()) << ", destination " << textOrDash(drive.dest_version())
        << "\n"
        << "   " << stateText(drive, "disc present", "no disc", " mode") << ", "
        << driveVerdictText(drive) << "\n";
}

void printDriveShort(std::ostream& out, const DeviceData& drive, int index) {
    std::string title = DriveEntryTitle(drive);
    title.erase(title.find_last_not_of(' ') + 1);
    out << "  " << index << ". " << escapeControls(title) << " (" << stateText(drive, "disc", "no disc", "") << ", "
        << driveVerdictText(drive) << ")\n";
}

std::string shippedVersionText(const FirmFileData& normal, const ImageFault& fault) {
    if (fault.problem != ImageProblem::None) return "unusable, no drive can be updated: " + escapeControls(imageFaultText(fault));
    if (!normal.isFileExists()) return "missing (no drive can be updated)";
    return textOrDash(normal.product()) + " " + textOrDash(normal.revision()) + escapeControls(normal.date().value_or(""));
}

}  // namespace cli
