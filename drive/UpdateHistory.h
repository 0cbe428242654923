// The record of every update: one JSON line per event in the state folder, "started" before
// the first command that changes the drive and "ended" once the result is known, read back
// paired by update. Writing it never stops or fails an update: the drive matters more.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "drive/UpdateReport.h"
#include "model/DeviceData.h"
#include "model/FirmFileData.h"

inline constexpr std::uintmax_t kHistoryMaxBytes = 1u << 20;

struct HistoryFile {
    std::filesystem::path path;  // history.jsonl; the older lines in history.1.jsonl beside it
    std::uintmax_t maxBytes = kHistoryMaxBytes;

    // "$XDG_STATE_HOME/kestory-drive-updater/history.jsonl".
    static HistoryFile standard();
    std::filesystem::path older() const;
};

// Who runs the updates a process records: attached by each front end to its updates.
struct UpdateHistorySource {
    HistoryFile file;
    std::string frontEnd;  // "kdu", "window"
    std::string version;   // the program's
};

// How an update stands in the record.
enum class HistoryStatus { Ended, Interrupted, InProgress };
std::string_view historyStatusKey(HistoryStatus status);  // "ended", "interrupted", "in progress"

// One update with its events paired; absent is unknown, never a guess.
struct UpdateRecord {
    std::string updateId;
    std::optional<std::string> timeStarted, timeEnded;
    std::string drive;  // the id kdu shows for it
    std::optional<std::string> serial, model, revisionBefore, revisionAfter, imageRevision;
    // "updated", "failed", "stopped" (the wait for the install was given up) or "refused"
    // (ended before anything was sent that changes the drive: then it was never "started").
    std::optional<std::string> result;
    std::optional<std::string> failedStep, driveState, message;  // updateStepKey, driveStateKey, the report's message
    std::optional<std::string> version, frontEnd, bootId;
    std::optional<std::int64_t> pid;
    HistoryStatus status = HistoryStatus::Ended;

    // The time it is known by: its start, or its end when it never started.
    const std::string& time() const { return timeStarted ? *timeStarted : *timeEnded; }
};

// Appends one event (a JSON object) as one line: a line written by another process at the
// same time never interleaves with it, the line is synced before this returns, and the
// file is rotated first when the line would take it past its size. An error text when the
// line could not be written.
std::optional<std::string> appendHistoryLine(const HistoryFile& file, const std::string& line);

// The record of one update as it runs; inert without a source.
class UpdateRecorder {
public:
    UpdateRecorder(const UpdateHistorySource* source, const DeviceData& drive, const FirmFileData& image);
    // Right before the first command that changes the drive.
    void started();
    // Once the report is final; a problem with the record goes into it. A dry run is not
    // recorded; an update refused before it started has its "ended" line alone.
    void ended(const DeviceData& drive, UpdateReport& report);

private:
    bool write(const char* event);

    const UpdateHistorySource* source_;
    UpdateRecord record_;
    bool started_ = false;
    std::optional<std::string> problem_;
};

struct UpdateHistory {
    std::vector<UpdateRecord> updates;  // newest first
    std::size_t skippedLines = 0;       // lines that were no event this program wrote
};

// Both files, older first; a file that is not there is no error. `bootId` and `alive` tell
// a running update from one that was cut off (defaults: this boot, kill(pid, 0)).
UpdateHistory readUpdateHistory(const HistoryFile& file);
UpdateHistory readUpdateHistory(const HistoryFile& file, const std::optional<std::string>& bootId,
                                bool (*alive)(std::int64_t pid));

// The paired update, with "status"; texts absent stay out.
nlohmann::ordered_json updateRecordJson(const UpdateRecord& record);

// /proc/sys/kernel/random/boot_id, none when unreadable.
std::optional<std::string> currentBootId();
