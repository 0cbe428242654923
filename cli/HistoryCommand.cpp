// `kdu history [--json] [--drive ID]`: the recorded updates, newest first.
#include <algorithm>
#include <sstream>
#include <vector>

#include "cli/Commands.h"
#include "cli/DriveReport.h"
#include "cli/ExitCodes.h"
#include "cli/Output.h"
#include "cli/TextTable.h"
#include "drive/UpdateHistory.h"

namespace cli {

namespace {

// "2026-12-06T22:15:03.123Z" -> "2026-12-06 22:15:03Z".
std::string shownTime(const std::string& time) {
    if (time.size() < 19 || time[10] != 'T') return escapeControls(time);
    return escapeControls(time.substr(0, 10) + " " + time.substr(11, 8) + "Z");
}

std::string shown(const std::optional<std::string>& text) { return text ? escapeControls(*text) : "?"; }

std::string resultText(const UpdateRecord& r) {
    return r.status == HistoryStatus::Ended ? shown(r.result) : std::string(historyStatusKey(r.status));
}

std::string revisionsText(const UpdateRecord& r) {
    if (r.result == "refused") return shown(r.revisionBefore);  // nothing was sent that changes it
    return shown(r.revisionBefore) + " -> " + shown(r.revisionAfter);
}

// What a person needs beside a row that did not end well.
std::optional<std::string> detailText(const UpdateRecord& r) {
    if (r.status == HistoryStatus::Interrupted)
        return "cut off before its result was recorded; `kdu list` shows the drive as it is now";
    if (r.status == HistoryStatus::Ended && r.result != "updated") return shown(r.message);
    return std::nullopt;
}

std::string table(const std::vector<const UpdateRecord*>& records) {
    std::vector<std::vector<std::string>> rows{{"TIME", "DRIVE", "MODEL", "REVISION", "IMAGE", "RESULT", "FRONT END"}};
    for (const UpdateRecord* r : records)
        rows.push_back({shownTime(r->time()), escapeControls(r->drive), shown(r->model), revisionsText(*r),
                        shown(r->imageRevision), resultText(*r), shown(r->frontEnd)});
    const std::vector<std::string> lines = alignedRows(rows);
    std::ostringstream out;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        out << lines[i] << "\n";
        if (i == 0) continue;
        if (const std::optional<std::string> detail = detailText(*records[i - 1])) out << "    " << *detail << "\n";
    }
    return out.str();
}

}  // namespace

int runHistory(const HistoryOptions& options) {
    const HistoryFile file = HistoryFile::standard();
    const UpdateHistory history = readUpdateHistory(file);
    std::vector<const UpdateRecord*> records;
    for (const UpdateRecord& r : history.updates)
        if (!options.drive || r.drive == *options.drive) records.push_back(&r);

    if (options.json) {
        std::string lines;
        for (const UpdateRecord* r : records) lines += jsonLine(document(updateRecordJson(*r))) + "\n";
        answer(lines);
    } else {
        answer(records.empty() ? "no updates recorded\n" : table(records));
    }
    if (history.skippedLines > 0)
        sayError(std::to_string(history.skippedLines) + (history.skippedLines == 1 ? " line" : " lines") +
                 " of " + file.path.string() + " could not be read and " +
                 (history.skippedLines == 1 ? "was" : "were") + " skipped");
    return kExitOk;
}

}  // namespace cli
