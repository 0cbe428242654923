#include "drive/UpdateHistory.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fstream>
#include <map>
#include <random>
#include <utility>

#include <nlohmann/json.hpp>

#include "log/Format.h"
#include "log/Log.h"
#include "log/LogRouting.h"
#include "log/UniqueFd.h"

namespace {

using Json = nlohmann::ordered_json;

constexpr char kFunction[] = "UpdateHistory";

std::string systemError(const std::string& what, const std::filesystem::path& path) {
    return what + " " + path.string() + ": " + std::strerror(errno);
}

// A new file's name lives in the folder: syncing the folder keeps it across a power cut.
void syncFolder(const std::filesystem::path& folder) {
    const kdulog::UniqueFd fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd) ::fsync(fd.get());
}

std::string newUpdateId() {
    std::random_device random;
    std::uniform_int_distribution<unsigned> nibble(0, 15);
    std::string id(32, '0');
    for (char& c : id) c = "0123456789abcdef"[nibble(random)];
    return id;
}

std::optional<std::string> trimmedText(const OptionalText& text) {
    if (!text) return std::nullopt;
    return kdulog::trimmed(*text);
}

// The optional texts of a record under their keys, in the order a line carries them.
using TextField = std::optional<std::string> UpdateRecord::*;
constexpr std::pair<const char*, TextField> kTextFields[] = {
    {"serial", &UpdateRecord::serial},
    {"model", &UpdateRecord::model},
    {"revision_before", &UpdateRecord::revisionBefore},
    {"revision_after", &UpdateRecord::revisionAfter},
    {"image_revision", &UpdateRecord::imageRevision},
    {"result", &UpdateRecord::result},
    {"failed_step", &UpdateRecord::failedStep},
    {"drive_state", &UpdateRecord::driveState},
    {"message", &UpdateRecord::message},
    {"version", &UpdateRecord::version},
    {"front_end", &UpdateRecord::frontEnd},
};

void putText(Json& json, const char* key, const std::optional<std::string>& text) {
    if (text) json[key] = *text;
}

// What both events and the paired update carry, absent fields left out.
void putFields(Json& json, const UpdateRecord& r) {
    json["update_id"] = r.updateId;
    json["drive"] = r.drive;
    for (const auto& [key, field] : kTextFields) putText(json, key, r.*field);
    if (r.pid) json["pid"] = *r.pid;
    putText(json, "boot_id", r.bootId);
}

void takeText(const Json& json, const char* key, std::optional<std::string>& text) {
    if (const auto it = json.find(key); it != json.end()) text = it->get<std::string>();
}

// Fields of one event into the update's record; throws on a field of the wrong type.
void takeFields(const Json& json, UpdateRecord& r) {
    json.at("drive").get_to(r.drive);
    for (const auto& [key, field] : kTextFields) takeText(json, key, r.*field);
    if (const auto it = json.find("pid"); it != json.end()) r.pid = it->get<std::int64_t>();
    takeText(json, "boot_id", r.bootId);
}

bool processAlive(std::int64_t pid) {
    return pid > 0 && (::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM);
}

}  // namespace

HistoryFile HistoryFile::standard() { return {kdulog::defaultLogFile("history.jsonl")}; }

std::filesystem::path HistoryFile::older() const { return path.parent_path() / "history.1.jsonl"; }

std::string_view historyStatusKey(HistoryStatus status) {
    switch (status) {
        case HistoryStatus::Ended: return "ended";
        case HistoryStatus::Interrupted: return "interrupted";
        case HistoryStatus::InProgress: return "in progress";
    }
    return "ended";
}

std::optional<std::string> currentBootId() {
    std::ifstream in("/proc/sys/kernel/random/boot_id");
    std::string id;
    if (!std::getline(in, id) || id.empty()) return std::nullopt;
    return id;
}

std::optional<std::string> appendHistoryLine(const HistoryFile& file, const std::string& line) {
    std::error_code ec;
    std::filesystem::create_directories(file.path.parent_path(), ec);
    // Another writer may rotate the file between our open and our lock: then the name
    // leads to a new file, and the line goes there.
    for (int attempt = 0; attempt < 8; ++attempt) {
        const kdulog::UniqueFd fd(::open(file.path.c_str(),
                                 O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY, 0600));
        if (fd.get() < 0) return systemError("cannot open", file.path);
        int locked;
        while ((locked = ::flock(fd.get(), LOCK_EX)) != 0 && errno == EINTR) {
        }
        if (locked != 0) return systemError("cannot lock", file.path);
        struct stat held{}, named{};
        if (::fstat(fd.get(), &held) != 0) return systemError("cannot examine", file.path);
        if (!S_ISREG(held.st_mode)) return file.path.string() + " is not a regular file";
        if (::stat(file.path.c_str(), &named) != 0 || named.st_ino != held.st_ino || named.st_dev != held.st_dev)
            continue;
        const auto size = static_cast<std::uintmax_t>(held.st_size);
        if (size > 0 && size + line.size() > file.maxBytes) {
            if (::rename(file.path.c_str(), file.older().c_str()) != 0) return systemError("cannot rotate", file.path);
            continue;
        }
        // One write: a reader or another writer sees the line whole or not at all.
        const ssize_t written = ::write(fd.get(), line.data(), line.size());
        if (written < 0) return systemError("cannot write", file.path);
        if (static_cast<std::size_t>(written) != line.size()) return "cannot write all of a line to " + file.path.string();
        if (::fsync(fd.get()) != 0) return systemError("cannot sync", file.path);
        if (size == 0) syncFolder(file.path.parent_path());
        return std::nullopt;
    }
    return "cannot append to " + file.path.string() + ": it keeps being replaced";
}

UpdateRecorder::UpdateRecorder(const UpdateHistorySource* source, const DeviceData& drive, const FirmFileData& image)
    : source_(source) {
    if (!source_) return;
    record_.updateId = newUpdateId();
    record_.drive = drive.identity().id;
    record_.serial = drive.identity().serial;
    record_.model = trimmedText(drive.product());
    record_.revisionBefore = trimmedText(drive.revision());
    record_.imageRevision = trimmedText(image.revision());
    record_.version = source_->version;
    record_.frontEnd = source_->frontEnd;
    record_.pid = ::getpid();
    record_.bootId = currentBootId();
}

void UpdateRecorder::started() {
    started_ = write("started");
}

void UpdateRecorder::ended(const DeviceData& drive, UpdateReport& report) {
    if (!source_ || report.dryRun()) return;
    UpdateRecord& r = record_;
    if (!drive.identity().id.empty()) r.drive = drive.identity().id;  // it may have come back elsewhere
    r.revisionAfter = trimmedText(report.revisionFound);
    if (report.ok()) {
        r.result = "updated";
    } else {
        r.result = !started_ ? "refused" : report.cause.kind == UpdateCauseKind::StoppedWaiting ? "stopped" : "failed";
        r.failedStep = std::string(updateStepKey(report.step));
        r.message = report.message();
    }
    r.driveState = std::string(driveStateKey(report.state));
    write("ended");
    if (problem_) report.historyProblem = problem_;
}

bool UpdateRecorder::write(const char* event) {
    if (!source_) return false;
    Json line{{"event", event}, {"time", kdulog::rfc3339Now()}};
    putFields(line, record_);
    std::optional<std::string> error =
        appendHistoryLine(source_->file, line.dump(-1, ' ', false, Json::error_handler_t::replace) + "\n");
    if (!error) return true;
    KDU_LOG_WAR(kFunction, "the update's %s event was not recorded: %s", event, error->c_str());
    if (!problem_) problem_ = std::move(error);
    return false;
}

UpdateHistory readUpdateHistory(const HistoryFile& file) { return readUpdateHistory(file, currentBootId(), processAlive); }

UpdateHistory readUpdateHistory(const HistoryFile& file, const std::optional<std::string>& bootId,
                                bool (*alive)(std::int64_t pid)) {
    UpdateHistory history;
    // Shared: no writer rotates the files while both are read.
    const kdulog::UniqueFd current(::open(file.path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY));
    if (current.get() >= 0) {
        while (::flock(current.get(), LOCK_SH) != 0 && errno == EINTR) {
        }
    }
    std::map<std::string, std::size_t> byId;  // index into updates, in order of first appearance
    for (const std::filesystem::path& path : {file.older(), file.path}) {
        std::ifstream in(path);
        for (std::string text; std::getline(in, text);) {
            if (text.find_first_not_of(" \t\r") == std::string::npos) continue;
            try {
                const Json line = Json::parse(text);
                const std::string event = line.at("event").get<std::string>();
                if (event != "started" && event != "ended") throw std::invalid_argument(event);
                const std::string id = line.at("update_id").get<std::string>();
                const std::string time = line.at("time").get<std::string>();
                const auto known = byId.find(id);
                UpdateRecord parsed = known != byId.end() ? history.updates[known->second] : UpdateRecord{};
                parsed.updateId = id;
                takeFields(line, parsed);
                (event == "started" ? parsed.timeStarted : parsed.timeEnded) = time;
                if (known != byId.end()) {
                    history.updates[known->second] = std::move(parsed);
                } else {
                    byId.emplace(id, history.updates.size());
                    history.updates.push_back(std::move(parsed));
                }
            } catch (const std::exception&) {
                ++history.skippedLines;
            }
        }
    }
    for (UpdateRecord& r : history.updates) {
        if (r.timeEnded) continue;
        const bool running = bootId && r.bootId == bootId && r.pid && alive(*r.pid);
        r.status = running ? HistoryStatus::InProgress : HistoryStatus::Interrupted;
    }
    std::reverse(history.updates.begin(), history.updates.end());
    return history;
}

nlohmann::ordered_json updateRecordJson(const UpdateRecord& record) {
    Json json{{"update_id", record.updateId}, {"status", std::string(historyStatusKey(record.status))}};
    putText(json, "time_started", record.timeStarted);
    putText(json, "time_ended", record.timeEnded);
    putFields(json, record);
    return json;
}
