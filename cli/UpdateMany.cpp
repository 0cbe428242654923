// `kdu update --all` and `kdu update --drive A --drive B ...`: one thread per drive (at most
// --jobs at once), each update with its own lock, second look, critical section and report,
// as `kdu update --drive` alone would run it. One sleep inhibitor covers them all; a signal
// is held while any of them is critical. A drive that fails never stops another.
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <exception>
#include <iostream>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "cli/DriveBoard.h"
#include "cli/ExitCodes.h"
#include "cli/TextTable.h"
#include "cli/UpdateRun.h"
#include "log/LogRouting.h"
#include "model/Eligibility.h"
#include "platform/PowerInhibitor.h"

namespace cli {

namespace {

enum class Outcome { Pending, Updated, Failed, Refused, UpToDate, NotEligible, Cancelled, DryRun };

std::string_view outcomeKey(Outcome outcome) {
    switch (outcome) {
        case Outcome::Pending: break;
        case Outcome::Updated: return "updated";
        case Outcome::Failed: return "failed";
        case Outcome::Refused: return "refused";
        case Outcome::UpToDate: return "up_to_date";
        case Outcome::NotEligible: return "not_eligible";
        case Outcome::Cancelled: return "cancelled";
        case Outcome::DryRun: return "dry_run";
    }
    return "failed";
}

// One drive of the run, from its listing to its verdict.
struct DriveRun {
    DeviceData drive;  // as listed; the update refreshes it
    std::optional<std::string> revisionBefore;
    Outcome outcome = Outcome::Pending;
    UpdateReport report;
    bool ran = false;    // its update was started
    bool begun = false;  // a command that changes the drive was due
    std::string message;  // what went wrong, as said on stderr; empty when nothing did
};

std::string shownId(const DriveRun& run) { return escapeControls(run.drive.identity().id); }

std::optional<std::string> revisionOf(const DeviceData& drive) {
    if (!drive.revision()) return std::nullopt;
    return trimmed(*drive.revision());
}

// `--all` passes over a drive that may not be updated; a drive named on purpose counts.
bool settled(const DriveRun& run, bool all) {
    switch (run.outcome) {
        case Outcome::Updated:
        case Outcome::UpToDate:
        case Outcome::DryRun: return true;
        case Outcome::NotEligible: return all;
        default: return false;
    }
}

DriveRun judge(const DeviceData& drive, const std::string& word, bool named) {
    DriveRun run;
    run.drive = drive;
    run.revisionBefore = revisionOf(drive);
    if (drive.isEnableUpdate()) return run;
    if (examinationFailed(drive.eligibility())) {
        run.outcome = Outcome::Refused;
        run.message = notExaminedText(drive, escapeControls(word));
    } else if (drive.eligibility() == UpdateEligibility::UpToDate) {
        run.outcome = Outcome::UpToDate;
    } else {
        run.outcome = Outcome::NotEligible;
        if (named)
            run.message = "drive " + escapeControls(word) + " (" + driveName(drive) +
                          ") may not be updated: " + std::string(eligibilityText(drive.eligibility()));
    }
    return run;
}

// The drives of the run in listing order, or none when a name names no drive (said).
std::optional<std::vector<DriveRun>> chooseDrives(const std::vector<DeviceData>& drives, const UpdateOptions& options) {
    std::vector<DriveRun> runs;
    if (options.all) {
        for (const DeviceData& drive : drives) runs.push_back(judge(drive, drive.identity().id, false));
        return runs;
    }
    std::set<std::string> seen;
    for (const std::string& word : options.drives) {
        const DeviceData* named = namedDrive(drives, word);
        if (named == nullptr) {
            pickDrive(drives, word);  // says why
            return std::nullopt;
        }
        if (seen.insert(named->identity().id).second) runs.push_back(judge(*named, word, true));
    }
    return runs;
}

bool confirmAll(const std::vector<DriveRun>& runs) {
    std::string question = "Do not disconnect the drives or turn the computer off until the updates have finished.\n";
    std::size_t count = 0;
    for (const DriveRun& run : runs) {
        if (run.outcome != Outcome::Pending) continue;
        question += "  " + driveName(run.drive) + " at " + escapeControls(driveWhereText(run.drive)) + "\n";
        ++count;
    }
    std::cerr << question << "Update these " << count << " drives now? [y/N] " << std::flush;
    return readYes();
}

// Each line of `text` starting with the drive's id.
std::string prefixed(const std::string& id, const std::string& text) {
    std::string out;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find('\n', start);
        const std::size_t stop = end == std::string::npos ? text.size() : end + 1;
        out += id + ": " + text.substr(start, stop - start);
        start = stop;
    }
    return out;
}

Json summaryEvent(const std::vector<DriveRun>& runs, int status) {
    Json drives = Json::array();
    for (const DriveRun& run : runs) {
        const bool ran = run.ran;
        std::optional<std::string> after = run.revisionBefore;
        if (ran) after = run.report.revisionFound ? std::optional(trimmed(*run.report.revisionFound)) : std::nullopt;
        drives.push_back(Json{{"drive", run.drive.identity().id},
                              {"revision_before", run.revisionBefore ? Json(*run.revisionBefore) : Json(nullptr)},
                              {"revision_after", after ? Json(*after) : Json(nullptr)},
                              {"outcome", std::string(outcomeKey(run.outcome))},
                              {"drive_state", ran ? Json(std::string(driveStateKey(run.report.state))) : Json(nullptr)},
                              {"changed", run.begun},
                              {"message", run.message}});
    }
    Json line = event("summary", std::nullopt);
    line["exit_status"] = status;
    line["drives"] = std::move(drives);
    return line;
}

// drive  before  after  result  state: one row per drive, columns as wide as their texts.
std::string summaryTable(const std::vector<DriveRun>& runs) {
    std::vector<std::vector<std::string>> rows{{"drive", "before", "after", "result", "state"}};
    for (const DriveRun& run : runs) {
        const std::string before = run.revisionBefore ? escapeControls(*run.revisionBefore) : "-";
        std::string after = before, state = "-";
        if (run.ran) {
            after = run.report.revisionFound ? escapeControls(trimmed(*run.report.revisionFound)) : "-";
            state = std::string(driveStateKey(run.report.state));
        }
        std::string result(outcomeKey(run.outcome));
        std::replace(result.begin(), result.end(), '_', ' ');
        std::replace(state.begin(), state.end(), '_', ' ');
        rows.push_back({shownId(run), before, after, result, state});
    }
    std::string text;
    for (const std::string& line : alignedRows(rows)) text += line + "\n";
    return text;
}

// Updates every pending drive, at most `jobs` at once.
void updateAll(std::vector<DriveRun>& runs, const Images& images, const UpdateOptions& options,
               UpdateSignalGuard& signals, const EventStream& events) {
    std::vector<DriveRun*> queue;
    for (DriveRun& run : runs)
        if (run.outcome == Outcome::Pending) queue.push_back(&run);
    std::vector<std::string> ids;
    for (const DriveRun* run : queue) ids.push_back(shownId(*run));
    signals.track(queue.size());

    // Sleep or shutdown in the middle would leave the drives in their update mode.
    const platform::SystemSleepInhibitor noSleep("Updating the firmware of optical drives");
    const bool shown = !events.json() && verbosity() != Verbosity::Quiet;
    DriveBoard board(ids, ::isatty(STDOUT_FILENO) == 1 && verbosity() == Verbosity::Normal, shown);
    signals.setHeldNotice([&board](std::string_view line) {
        board.above([line] { kdulog::writeFully(STDERR_FILENO, line); });
    });
    struct NoticeReset {
        UpdateSignalGuard& signals;
        ~NoticeReset() { signals.setHeldNotice({}); }
    } noticeReset{signals};

    // `fault`: an exception that ended the update, else empty.
    const auto finish = [&](std::size_t k, bool ok, const std::string& fault) {
        DriveRun& run = *queue[k];
        const std::string& id = ids[k];
        if (run.report.dryRun()) {
            run.outcome = Outcome::DryRun;
            board.settle(k, "Dry run: every check passed");
            events.emit(resultJson("dry_run", &run.drive, &run.report, kExitOk, causeText(run.report.cause)));
            return;
        }
        if (ok) {
            run.outcome = Outcome::Updated;
            board.settle(k, "Complete!");
            events.emit(resultJson("updated", &run.drive, &run.report, kExitOk, "Complete!"));
            return;
        }
        run.outcome = run.report.cause.kind == UpdateCauseKind::Cancelled ? Outcome::Cancelled : Outcome::Failed;
        run.message = "drive " + id + ": " + (fault.empty() ? run.report.message() : fault);
        board.settle(k, "Error!");
        board.above([&run] { sayError(run.message); });
        events.emit(resultJson(std::string(outcomeKey(run.outcome)), &run.drive, &run.report, kExitFailure, run.message));
    };
    std::atomic<std::size_t> next{0};
    const auto work = [&] {
        for (std::size_t k; (k = next++) < queue.size();) {
            DriveRun& run = *queue[k];
            if (signals.stopRequested()) {  // stopped before its turn: nothing was sent to it
                run.report.step = UpdateStep::TakeDrive;
                run.report.state = run.drive.driveMode() == DriveMode::Kernel ? DriveState::UpdateMode : DriveState::OldFirmware;
                run.report.cause = UpdateCause(UpdateCauseKind::Cancelled);
                signals.setPhase(k, UpdateSignalGuard::Phase::After);
                finish(k, false, {});
                continue;
            }
            UpdateView view;
            view.write = board.writer(k);
            view.terminal = board.terminal();
            view.text = [&board, &ids, k](const std::string& text) { board.above([&] { say(prefixed(ids[k], text)); }); };
            view.slot = k;
            view.callerInhibitsSleep = true;
            view.begunOut = &run.begun;
            run.ran = true;
            bool ok = false;
            std::string fault;
            try {
                ok = installFirmware(run.drive, images, run.report, signals, options, events, view);
            } catch (const std::exception& error) {
                // A fault nobody foresaw ends this drive's update, not the others'.
                signals.setPhase(k, UpdateSignalGuard::Phase::After);
                run.report.state = DriveState::Unknown;
                fault = error.what();
            }
            finish(k, ok, fault);
        }
    };
    const std::size_t limit = options.jobs > 0 ? static_cast<std::size_t>(options.jobs) : kMaxUpdateJobs;
    {
        std::vector<std::jthread> workers;
        for (std::size_t i = 0; i < std::min(limit, queue.size()); ++i) workers.emplace_back(work);
    }
    board.close();
}

}  // namespace

int runUpdateMany(const std::vector<DeviceData>& drives, const Images& images, const UpdateOptions& options,
                  UpdateSignalGuard& signals, const EventStream& events) {
    const auto refuse = [&](int status, const std::string& outcome, const std::string& text) {
        if (!text.empty()) sayError(text);
        events.emit(resultJson(outcome, nullptr, nullptr, status, text));
        return status;
    };
    if (options.all && drives.empty()) return refuse(kExitUsage, "refused", "no drive found.");
    std::optional<std::vector<DriveRun>> chosen = chooseDrives(drives, options);
    if (!chosen) return refuse(kExitUsage, "refused", "");
    std::vector<DriveRun>& runs = *chosen;

    const auto pending = std::count_if(runs.begin(), runs.end(), [](const DriveRun& r) { return r.outcome == Outcome::Pending; });
    const bool anyFault = std::any_of(runs.begin(), runs.end(), [&](const DriveRun& r) {
        return r.outcome != Outcome::Pending && !settled(r, options.all);
    });
    for (const DriveRun& run : runs) {
        if (run.message.empty()) continue;
        sayError(run.message);
        events.emit(resultJson(std::string(outcomeKey(run.outcome)), &run.drive, nullptr, kExitFailure, run.message));
    }
    if (pending == 0 && !anyFault) {
        const bool allUpToDate = std::all_of(runs.begin(), runs.end(), [](const DriveRun& r) { return r.outcome == Outcome::UpToDate; });
        if (!events.json())
            say(allUpToDate ? "every drive is up to date\n" : "nothing to update: no drive may be updated (see `kdu list`)\n");
        events.emit(summaryEvent(runs, kExitOk));
        return kExitOk;
    }

    if (pending > 0) {
        if (!events.json())
            say("Updating " + std::to_string(pending) + (pending == 1 ? " drive" : " drives") + " to firmware " +
                escapeControls(images.normal.revision().value_or("?") + " (" + images.normal.date().value_or("?") + ")") + "\n");
        // A dry run changes nothing, so it needs no confirmation.
        if (!options.yes && !options.dryRun && !confirmAll(runs)) {
            sayError("update cancelled; nothing was sent to the drives");
            events.emit(resultJson("cancelled", nullptr, nullptr, kExitCancelled, "update cancelled"));
            return kExitCancelled;
        }
        updateAll(runs, images, options, signals, events);
    }

    const bool allSettled = std::all_of(runs.begin(), runs.end(), [&](const DriveRun& r) { return settled(r, options.all); });
    const int status = allSettled ? kExitOk : kExitFailure;
    if (!events.json()) say(summaryTable(runs));
    events.emit(summaryEvent(runs, status));
    return status;
}

}  // namespace cli
