// `kdu update [--drive N|ID|NODE] [--yes]`: the update of one listed drive, with the same
// confirmation, progress and verdict the window gives. What the person confirms names one
// drive identity; the update itself checks that the drive it opens is still that drive.
// Several drives (`--all`, `--drive` more than once) go to runUpdateMany.
#include <unistd.h>

#include <algorithm>
#include <optional>
#include <cctype>
#include <variant>
#include <iostream>
#include <string>

#include "cli/Commands.h"
#include "cli/DriveReport.h"
#include "cli/ExitCodes.h"
#include "cli/Inventory.h"
#include "cli/PermissionHint.h"
#include "cli/Output.h"
#include "cli/ProgressDisplay.h"
#include "cli/UpdateRun.h"
#include "cli/UpdateSignalGuard.h"
#include "drive/DriveList.h"
#include "drive/STUCMethod.h"
#include "drive/UpdateHistory.h"
#include "model/NotificationNames.h"

namespace cli {

void EventStream::emit(const Json& line) const {
    if (!json_) return;
    const std::lock_guard lock(mutex_);
    answer(jsonLine(line) + "\n");
}

std::string driveName(const DeviceData& drive) {
    std::string name = trimmed(drive.vendor().value_or("")) + " " + trimmed(drive.product().value_or("")) + " " +
                       trimmed(drive.revision().value_or("?"));
    return escapeControls(name) + " (" + escapeControls(drive.identity().id) + ")";
}

bool readYes() {
    std::string answer;
    if (!std::getline(std::cin, answer)) return false;
    for (char& c : answer) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const auto start = answer.find_first_not_of(" \t\r");
    const auto end = answer.find_last_not_of(" \t\r");
    if (start == std::string::npos) return false;
    answer = answer.substr(start, end - start + 1);
    return answer == "y" || answer == "yes";
}

namespace {

bool confirm(const DeviceData& drive) {
    std::cerr << "Do not disconnect the drive or turn the computer off until the update has finished.\n"
              << "Update " << driveName(drive) << " at " << escapeControls(driveWhereText(drive)) << " now? [y/N] "
              << std::flush;
    return readYes();
}

Json planJson(const std::vector<PlannedCommand>& plan) {
    Json commands = Json::array();
    for (const PlannedCommand& c : plan)
        commands.push_back(Json{{"step", std::string(updateStepKey(c.step))}, {"command", c.command}, {"offset", c.offset}, {"length", c.length}});
    return commands;
}

std::string planText(const std::vector<PlannedCommand>& plan) {
    std::string text = "Dry run: every check passed. The update would send, in order:\n";
    for (std::size_t i = 0; i < plan.size(); ++i) {
        const PlannedCommand& c = plan[i];
        text += "  " + std::to_string(i + 1) + ". " + c.command;
        if (c.length) text += ", " + std::to_string(c.length) + " bytes at offset " + std::to_string(c.offset);
        text += " (" + std::string(updateStepText(c.step)) + ")";
        if (c.step == UpdateStep::Install) text += ", repeated until the drive is ready";
        text += "\n";
    }
    return text;
}

}  // namespace

bool installFirmware(DeviceData& drive, const Images& images, UpdateReport& report, UpdateSignalGuard& signals,
                     const UpdateOptions& options, const EventStream& events, const UpdateView& view) {
    const bool showProgress = !events.json() && verbosity() != Verbosity::Quiet;
    ProgressDisplay display(view.write, view.terminal);
    const std::string id = drive.identity().id;
    UpdateHooks hooks;
    hooks.callerInhibitsSleep = view.callerInhibitsSleep;
    hooks.reviewPlan = [&](const std::vector<PlannedCommand>& plan) {
        if (!options.dryRun) return true;
        display.finish();
        Json line = event("plan", id);
        line["commands"] = planJson(plan);
        events.emit(line);
        if (!events.json()) view.text(planText(plan));
        return false;
    };
    hooks.beginCritical = [&signals, &view] {
        if (!signals.beginCritical(view.slot)) return false;
        if (view.begunOut != nullptr) *view.begunOut = true;
        return true;
    };
    UpdateStep lastStep = UpdateStep::CheckImages;
    bool anyStep = false;
    hooks.progress = [&](const UpdateProgress& progress) {
        if (const std::optional<std::int64_t> value = progress.indicator) {
            if (showProgress) display.onValue(*value);
            if (*value >= 0 && events.json()) {
                Json line = event("install_progress", id);
                line["percent"] = installPercent(*value);
                events.emit(line);
            }
            return;
        }
        if (progress.step == UpdateStep::Install || progress.step == UpdateStep::AwaitReturn)
            signals.setPhase(view.slot, UpdateSignalGuard::Phase::InstallWait);
        if (showProgress) display.onProgress(progress);
        if (!anyStep || progress.step != lastStep) {
            Json line = event("step", id);
            line["step"] = std::string(updateStepKey(progress.step));
            line["text"] = std::string(updateStepText(progress.step));
            events.emit(line);
        }
        anyStep = true;
        lastStep = progress.step;
    };
    hooks.stopWaiting = [&signals] { return signals.stopRequested(); };
    const UpdateHistorySource history{HistoryFile::standard(), "kdu", KDU_VERSION};
    hooks.history = &history;
    const bool ok = ExecUpdateMain(drive, images.normal, images.kernel, {}, hooks, &report);
    display.finish();
    if (report.historyProblem) sayError("warning: the update was not recorded in the history: " + *report.historyProblem);
    signals.setPhase(view.slot, UpdateSignalGuard::Phase::After);
    return ok;
}

namespace {

void listChoices(std::ostream& out, const std::vector<DeviceData>& drives) {
    for (std::size_t i = 0; i < drives.size(); ++i)
        if (drives[i].isEnableUpdate())
            out << "  " << i + 1 << ". " << driveName(drives[i]) << " at " << escapeControls(driveWhereText(drives[i])) << "\n";
}

// The drive the person meant, or an exit status.
std::variant<const DeviceData*, int> chooseDrive(const std::vector<DeviceData>& drives, const UpdateOptions& options) {
    if (!options.drives.empty()) {
        bool busy = false;
        if (const DeviceData* named = pickDrive(drives, options.drives.front(), &busy)) return named;
        return busy ? kExitFailure : kExitUsage;
    }
    const auto eligible = std::count_if(drives.begin(), drives.end(), [](const DeviceData& d) { return d.isEnableUpdate(); });
    if (eligible > 1) {
        sayError(std::to_string(eligible) + " drives may be updated; choose one with --drive:");
        listChoices(std::cerr, drives);
        return kExitUsage;
    }
    if (eligible == 1)
        return &*std::find_if(drives.begin(), drives.end(), [](const DeviceData& d) { return d.isEnableUpdate(); });
    if (drives.size() == 1) {
        if (!examinationFailed(drives.front().eligibility())) return &drives.front();  // says below why not
        sayNotExamined(drives.front(), drives.front().identity().id);
        return kExitFailure;
    }
    sayError(drives.empty() ? "no drive found." : "no drive may be updated (see `kdu list`).");
    return drives.empty() ? kExitUsage : kExitNotEligible;
}

}  // namespace

Json resultJson(const std::string& outcome, const DeviceData* drive, const UpdateReport* report, int status,
                const std::string& message) {
    Json line = event("result", drive ? std::optional<std::string>(drive->identity().id) : std::nullopt);
    line["outcome"] = outcome;
    line["exit_status"] = status;
    line["drive_state"] = report ? Json(std::string(driveStateKey(report->state))) : Json(nullptr);
    line["step"] = report ? Json(std::string(updateStepKey(report->step))) : Json(nullptr);
    line["message"] = message;
    line["revision_found"] = report && report->revisionFound ? Json(trimmed(*report->revisionFound)) : Json(nullptr);
    return line;
}

int runUpdate(const platform::BackendChoice& backend, const UpdateOptions& options) {
    // First, before any thread exists: every thread inherits the blocked signals.
    UpdateSignalGuard signals;
    const EventStream events(options.json);
    // Ends a refused run: the error for people, the result line for scripts.
    const auto refuse = [&](int status, const std::string& outcome, const DeviceData* drive, const std::string& text) {
        if (!text.empty()) sayError(text);
        events.emit(resultJson(outcome, drive, nullptr, status, text));
        return status;
    };
    if (!installBackend(backend)) return refuse(kExitFailure, "failed", nullptr, "");
    if (options.yes && options.drives.empty() && !options.all)
        return refuse(kExitUsage, "refused", nullptr, "--yes needs --drive to name the drive to update (see `kdu list`)");
    Images images;
    readImages(images);
    // Before any drive is listed: images the program cannot vouch for never cost a drive a command.
    if (images.fault.problem != ImageProblem::None)
        return refuse(kExitFailure, "failed", nullptr,
                      "the shipped images are unusable, so no drive can be updated: " +
                          escapeControls(imageFaultText(images.fault)));
    const PermissionWatch permissions;
    const std::vector<DeviceData> drives = listDrives(images.normal);
    if (options.all || options.drives.size() > 1) {
        const int status = runUpdateMany(drives, images, options, signals, events);
        if (status == kExitUsage) permissions.printHint(std::cerr);
        return status;
    }
    const std::variant<const DeviceData*, int> choice = chooseDrive(drives, options);
    if (const int* status = std::get_if<int>(&choice)) {
        if (*status == kExitUsage) permissions.printHint(std::cerr);
        return refuse(*status, "refused", nullptr, "");
    }
    const DeviceData& chosen = *std::get<const DeviceData*>(choice);

    if (!chosen.isEnableUpdate()) {
        Json result = resultJson("not_eligible", &chosen, nullptr, kExitNotEligible, "");
        result["reason"] = std::string(eligibilityKey(chosen.eligibility()));
        const std::string text = "drive " + escapeControls(chosen.identity().id) + " (" + driveName(chosen) +
                                 ") may not be updated: " + std::string(eligibilityText(chosen.eligibility()));
        result["message"] = text;
        sayError(text);
        events.emit(result);
        return kExitNotEligible;
    }

    if (!events.json())
        say("Updating " + driveName(chosen) + " to firmware " +
            escapeControls(images.normal.revision().value_or("?") + " (" + images.normal.date().value_or("?") + ")") + "\n");
    // A dry run changes nothing, so it needs no confirmation.
    if (!options.yes && !options.dryRun && !confirm(chosen)) {
        sayError("update cancelled; nothing was sent to the drive");
        events.emit(resultJson("cancelled", &chosen, nullptr, kExitCancelled, "update cancelled"));
        return kExitCancelled;
    }

    // The sequence refreshes the record it is given; the listing stays as it was.
    DeviceData drive = chosen;
    UpdateReport report;
    UpdateView view;
    view.write = [](std::string_view text) { answer(text); };
    view.terminal = ::isatty(STDOUT_FILENO) == 1;
    view.text = [](const std::string& text) { say(text); };
    const bool ok = installFirmware(drive, images, report, signals, options, events, view);
    if (report.dryRun()) {
        events.emit(resultJson("dry_run", &drive, &report, kExitOk, causeText(report.cause)));
        return kExitOk;
    }
    if (!ok) {
        const std::string text = "drive " + escapeControls(drive.identity().id) + ": " + report.message();
        if (!events.json()) say("Error!\n");
        sayError(text);
        events.emit(resultJson("failed", &drive, &report, kExitFailure, text));
        return kExitFailure;
    }
    if (!events.json()) say("Complete!\n");
    events.emit(resultJson("updated", &drive, &report, kExitOk, "Complete!"));
    return kExitOk;
}

}  // namespace cli
