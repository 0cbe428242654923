#include "simdrive/DriveFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <limits>
#include <sstream>

#include "log/UniqueFd.h"

namespace sim {

using nlohmann::json;

namespace {

constexpr char kExtension[] = ".json";

// Checks a document against the expected shape and fills a DriveSpec. Every failure names
// the file and the field, so a hand-edited drive file is quick to fix.
class ProfileReader {
public:
    ProfileReader(const std::string& label, std::string& error) : label_(label), error_(error) {}

    bool read(const json& doc, DriveSpec& profile) {
        if (!doc.is_object()) return fail("(document)", "expected an object");
        if (!onlyKeys(doc, "", {"identity", "readBuffer", "mode", "disc", "className", "timing", "faults", "install"}))
            return false;
        if (const json* identity = member(doc, "identity")) {
            if (!object(*identity, "identity") ||
                !onlyKeys(*identity, "identity.", {"vendor", "product", "revision", "date"}) ||
                !text(*identity, "identity.", "vendor", 8, profile.vendor) ||
                !text(*identity, "identity.", "product", 16, profile.product) ||
                !text(*identity, "identity.", "revision", 4, profile.revision) ||
                !text(*identity, "identity.", "date", 9, profile.date))
                return false;
        }
        if (const json* versions = member(doc, "readBuffer")) {
            if (!object(*versions, "readBuffer") ||
                !onlyKeys(*versions, "readBuffer.", {"hard_version", "krnl_version", "dest_version", "judgeKrnl"}) ||
                !text(*versions, "readBuffer.", "hard_version", 8, profile.hard_version) ||
                !text(*versions, "readBuffer.", "krnl_version", 8, profile.krnl_version) ||
                !text(*versions, "readBuffer.", "dest_version", 8, profile.dest_version) ||
                !text(*versions, "readBuffer.", "judgeKrnl", 4, profile.judgeKrnl))
                return false;
        }
        if (const json* mode = member(doc, "mode")) {
            if (*mode == "normal") profile.mode = DriveMode::Normal;
            else if (*mode == "kernel") profile.mode = DriveMode::Kernel;
            else return fail("mode", "expected \"normal\" or \"kernel\"");
        }
        if (const json* disc = member(doc, "disc"); disc && !disc->is_null()) {
            Disc d;
            if (!object(*disc, "disc") || !onlyKeys(*disc, "disc.", {"volume"}) ||
                !optionalText(*disc, "disc.", "volume", d.volume))
                return false;
            profile.disc = d;
        }
        if (!text(doc, "", "className", 127, profile.className)) return false;
        if (const json* timing = member(doc, "timing")) {
            if (!object(*timing, "timing") ||
                !onlyKeys(*timing, "timing.", {"commandLatencyMs", "bytesPerSecond", "installMs"}) ||
                !unsignedNumber(*timing, "timing.", "commandLatencyMs", profile.timing.commandLatencyMs) ||
                !unsignedNumber(*timing, "timing.", "bytesPerSecond", profile.timing.bytesPerSecond) ||
                !unsignedNumber(*timing, "timing.", "installMs", profile.timing.installMs))
                return false;
        }
        if (const json* faults = member(doc, "faults"); faults && !readFaults(*faults, profile.faults)) return false;
        if (const json* install = member(doc, "install"); install && !install->is_null()) {
            InstallState state;
            if (!object(*install, "install") ||
                !onlyKeys(*install, "install.", {"startedAtMs", "durationMs", "resultRevision", "resultDate"}) ||
                !signedNumber(*install, "install.", "startedAtMs", state.startedAtMs) ||
                !unsignedNumber(*install, "install.", "durationMs", state.durationMs) ||
                !optionalText(*install, "install.", "resultRevision", state.resultRevision) ||
                !optionalText(*install, "install.", "resultDate", state.resultDate, 9))
                return false;
            profile.install = state;
        }
        return true;
    }

private:
    bool readFaults(const json& faults, DriveFaults& out) {
        const std::string p = "faults.";
        if (!object(faults, "faults") ||
            !onlyKeys(faults, p,
                      {"plugin", "mmc", "taskDevice", "className", "exclusiveAccess", "release", "task", "modeChange",
                       "writeBufferPiece", "commands", "installNeverEnds", "installRevision", "vanishAtCommand",
                       "vanishWhileInstallingMs"}) ||
            !code(faults, p, "plugin", out.plugIn) || !code(faults, p, "mmc", out.mmc) ||
            !flag(faults, p, "taskDevice", out.taskDevice) || !code(faults, p, "className", out.className) ||
            !flag(faults, p, "exclusiveAccess", out.exclusiveAccess) || !flag(faults, p, "release", out.release) ||
            !flag(faults, p, "task", out.task) || !flag(faults, p, "installNeverEnds", out.installNeverEnds) ||
            !optionalText(faults, p, "installRevision", out.installRevision) ||
            !positive(faults, p, "vanishAtCommand", out.vanishAtCommand) ||
            !positive(faults, p, "vanishWhileInstallingMs", out.vanishWhileInstallingMs))
            return false;
        if (const json* modeChange = member(faults, "modeChange")) {
            if (*modeChange == "toKernel") out.modeChangeToKernel = true;
            else if (*modeChange == "toNormal") out.modeChangeToNormal = true;
            else if (*modeChange == "both") out.modeChangeToKernel = out.modeChangeToNormal = true;
            else return fail("faults.modeChange", "expected \"toKernel\", \"toNormal\" or \"both\"");
        }
        // A piece of either image refused by the drive: a command fault in short.
        std::optional<std::uint32_t> piece;
        if (!positive(faults, p, "writeBufferPiece", piece)) return false;
        if (piece) {
            CommandFault fault;
            fault.name = "WRITE BUFFER";
            fault.occurrence = piece;
            fault.sense = {0x03, 0x0C, 0x00};  // medium error, write error
            out.commands.push_back(fault);
        }
        if (const json* commands = member(faults, "commands")) {
            if (!commands->is_array()) return fail("faults.commands", "expected an array");
            for (std::size_t i = 0; i < commands->size(); ++i) {
                CommandFault fault;
                if (!readCommandFault((*commands)[i], "faults.commands[" + std::to_string(i) + "]", fault)) return false;
                out.commands.push_back(fault);
            }
        }
        return true;
    }

    bool readCommandFault(const json& entry, const std::string& path, CommandFault& fault) {
        const std::string p = path + ".";
        if (!object(entry, path) || !onlyKeys(entry, p, {"command", "occurrence", "sense", "status", "delivery", "holdMs"}) ||
            !positive(entry, p, "occurrence", fault.occurrence))
            return false;
        const json* command = member(entry, "command");
        if (!command) return fail(p + "command", "missing: give a command name or operation code");
        if (std::optional<std::uint8_t> opcode; byte(*command, opcode)) {
            fault.opcode = opcode;
        } else if (command->is_string()) {
            fault.name = command->get<std::string>();
        } else {
            return fail(p + "command", "expected a command name or an operation code 0-255");
        }
        const json* sense = member(entry, "sense");
        const json* status = member(entry, "status");
        const json* delivery = member(entry, "delivery");
        const json* hold = member(entry, "holdMs");
        if ((sense != nullptr) + (status != nullptr) + (delivery != nullptr) + (hold != nullptr) > 1)
            return fail(path, "give only one of \"sense\", \"status\", \"delivery\" and \"holdMs\"");
        if (hold) {
            fault.kind = CommandFault::Kind::Hold;
            return unsignedNumber(entry, p, "holdMs", fault.holdMs);
        }
        if (sense) {
            std::optional<std::uint8_t> key, asc, ascq;
            if (!object(*sense, p + "sense") || !onlyKeys(*sense, p + "sense.", {"key", "asc", "ascq"}) ||
                !byteField(*sense, p + "sense.", "key", key) || !byteField(*sense, p + "sense.", "asc", asc) ||
                !byteField(*sense, p + "sense.", "ascq", ascq))
                return false;
            if (!key) return fail(p + "sense.key", "missing");
            fault.kind = CommandFault::Kind::CheckCondition;
            fault.sense = {*key, asc.value_or(0), ascq.value_or(0)};
        } else if (status) {
            std::optional<std::uint8_t> value;
            if (!byte(*status, value)) return fail(p + "status", "expected a task status 0-255");
            fault.kind = CommandFault::Kind::Status;
            fault.status = static_cast<scsi::Status>(*value);
        } else if (delivery) {
            fault.kind = CommandFault::Kind::DeliveryFailure;
            if (*delivery == false || delivery->is_null()) return fail(p + "delivery", "expected true or a code");
            if (!delivery->is_boolean()) {
                std::optional<scsi::TransportError> error;
                if (!code(entry, p, "delivery", error)) return false;
                fault.deliveryError = *error;
            }
        }
        return true;
    }

    bool fail(const std::string& field, const std::string& what) {
        error_ = label_ + ": " + field + ": " + what;
        return false;
    }
    static const json* member(const json& obj, const char* key) {
        auto it = obj.find(key);
        return it == obj.end() ? nullptr : &*it;
    }
    bool object(const json& value, const std::string& path) {
        return value.is_object() || fail(path, "expected an object");
    }
    bool onlyKeys(const json& obj, const std::string& prefix, std::initializer_list<const char*> known) {
        for (auto it = obj.begin(); it != obj.end(); ++it) {
            bool found = false;
            for (const char* k : known) found = found || it.key() == k;
            if (!found) return fail(prefix + it.key(), "unknown field");
        }
        return true;
    }
    bool text(const json& obj, const std::string& prefix, const char* key, std::size_t maxLength, std::string& out) {
        const json* value = member(obj, key);
        if (!value) return true;
        if (!value->is_string()) return fail(prefix + key, "expected a text");
        std::string s = value->get<std::string>();
        if (s.size() > maxLength) return fail(prefix + key, "longer than " + std::to_string(maxLength) + " bytes");
        out = std::move(s);
        return true;
    }
    bool optionalText(const json& obj, const std::string& prefix, const char* key, std::optional<std::string>& out,
                      std::size_t maxLength = std::string::npos) {
        const json* value = member(obj, key);
        if (!value || value->is_null()) return true;
        if (!value->is_string()) return fail(prefix + key, "expected a text or null");
        std::string s = value->get<std::string>();
        if (s.size() > maxLength) return fail(prefix + key, "longer than " + std::to_string(maxLength) + " bytes");
        out = std::move(s);
        return true;
    }
    bool flag(const json& obj, const std::string& prefix, const char* key, bool& out) {
        const json* value = member(obj, key);
        if (!value) return true;
        if (!value->is_boolean()) return fail(prefix + key, "expected true or false");
        out = value->get<bool>();
        return true;
    }
    template <typename T>
    bool unsignedNumber(const json& obj, const std::string& prefix, const char* key, T& out) {
        const json* value = member(obj, key);
        if (!value) return true;
        if (!value->is_number_unsigned() || value->get<std::uint64_t>() > std::numeric_limits<T>::max())
            return fail(prefix + key, "expected a non-negative integer");
        out = value->get<T>();
        return true;
    }
    bool signedNumber(const json& obj, const std::string& prefix, const char* key, std::int64_t& out) {
        const json* value = member(obj, key);
        if (!value) return fail(prefix + key, "missing");
        // Bounded so that times computed from it cannot overflow (about 30000 years of ms).
        constexpr std::int64_t kLimit = 1'000'000'000'000'000;
        if (!value->is_number_integer() || (value->is_number_unsigned() && value->get<std::uint64_t>() > kLimit) ||
            value->get<std::int64_t>() > kLimit || value->get<std::int64_t>() < -kLimit)
            return fail(prefix + key, "expected an integer within +/-10^15");
        out = value->get<std::int64_t>();
        return true;
    }
    bool positive(const json& obj, const std::string& prefix, const char* key, std::optional<std::uint32_t>& out) {
        const json* value = member(obj, key);
        if (!value || value->is_null()) return true;
        if (!value->is_number_unsigned() || value->get<std::uint64_t>() == 0 ||
            value->get<std::uint64_t>() > std::numeric_limits<std::uint32_t>::max())
            return fail(prefix + key, "expected a positive integer");
        out = value->get<std::uint32_t>();
        return true;
    }
    // A byte as a number or a "0x.." text.
    static bool byte(const json& value, std::optional<std::uint8_t>& out) {
        std::optional<std::uint64_t> n = numberOrHex(value);
        if (!n || *n > 0xFF) return false;
        out = static_cast<std::uint8_t>(*n);
        return true;
    }
    bool byteField(const json& obj, const std::string& prefix, const char* key, std::optional<std::uint8_t>& out) {
        const json* value = member(obj, key);
        if (!value) return true;
        return byte(*value, out) || fail(prefix + key, "expected a byte 0-255 (a number or \"0x..\")");
    }
    // A 32-bit return code as a number or a "0x.." text (codes read best in hexadecimal).
    template <typename T>
    bool code(const json& obj, const std::string& prefix, const char* key, std::optional<T>& out) {
        const json* value = member(obj, key);
        if (!value || value->is_null()) return true;
        std::optional<std::uint64_t> n = numberOrHex(*value);
        if (!n || *n > 0xFFFFFFFFu) return fail(prefix + key, "expected a 32-bit code (a number or \"0x..\")");
        out = static_cast<T>(static_cast<std::uint32_t>(*n));
        return true;
    }
    static std::optional<std::uint64_t> numberOrHex(const json& value) {
        if (value.is_number_unsigned()) return value.get<std::uint64_t>();
        if (!value.is_string()) return std::nullopt;
        const std::string s = value.get<std::string>();
        if (s.size() < 3 || s.size() > 18 || s[0] != '0' || (s[1] != 'x' && s[1] != 'X')) return std::nullopt;
        std::uint64_t n = 0;
        for (std::size_t i = 2; i < s.size(); ++i) {
            const char c = s[i];
            int digit;
            if (c >= '0' && c <= '9') digit = c - '0';
            else if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
            else if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
            else return std::nullopt;
            n = n * 16 + static_cast<std::uint64_t>(digit);
        }
        return n;
    }

    const std::string& label_;
    std::string& error_;
};

std::string hex32(std::uint32_t value) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "0x%08X", value);
    return buffer;
}

json faultsToJson(const DriveFaults& f) {
    json out = json::object();
    if (f.plugIn) out["plugin"] = hex32(static_cast<std::uint32_t>(*f.plugIn));
    if (f.mmc) out["mmc"] = hex32(static_cast<std::uint32_t>(*f.mmc));
    if (f.taskDevice) out["taskDevice"] = true;
    if (f.className) out["className"] = hex32(static_cast<std::uint32_t>(*f.className));
    if (f.exclusiveAccess) out["exclusiveAccess"] = true;
    if (f.release) out["release"] = true;
    if (f.task) out["task"] = true;
    if (f.modeChangeToKernel || f.modeChangeToNormal)
        out["modeChange"] = f.modeChangeToKernel && f.modeChangeToNormal ? "both"
                            : f.modeChangeToKernel                     ? "toKernel"
                                                                       : "toNormal";
    if (!f.commands.empty()) {
        json list = json::array();
        for (const CommandFault& c : f.commands) {
            json entry;
            if (c.name) entry["command"] = *c.name;
            else entry["command"] = c.opcode.value_or(0);
            if (c.occurrence) entry["occurrence"] = *c.occurrence;
            switch (c.kind) {
            case CommandFault::Kind::CheckCondition:
                entry["sense"] = {{"key", c.sense.key}, {"asc", c.sense.asc}, {"ascq", c.sense.ascq}};
                break;
            case CommandFault::Kind::Status: entry["status"] = static_cast<unsigned>(c.status); break;
            case CommandFault::Kind::DeliveryFailure:
                entry["delivery"] = hex32(static_cast<std::uint32_t>(c.deliveryError));
                break;
            case CommandFault::Kind::Hold: entry["holdMs"] = c.holdMs; break;
            }
            list.push_back(entry);
        }
        out["commands"] = list;
    }
    if (f.installNeverEnds) out["installNeverEnds"] = true;
    if (f.installRevision) out["installRevision"] = *f.installRevision;
    if (f.vanishAtCommand) out["vanishAtCommand"] = *f.vanishAtCommand;
    if (f.vanishWhileInstallingMs) out["vanishWhileInstallingMs"] = *f.vanishWhileInstallingMs;
    return out;
}

json installToJson(const std::optional<InstallState>& install) {
    if (!install) return nullptr;
    json out{{"startedAtMs", install->startedAtMs}, {"durationMs", install->durationMs}};
    out["resultRevision"] = install->resultRevision ? json(*install->resultRevision) : json(nullptr);
    out["resultDate"] = install->resultDate ? json(*install->resultDate) : json(nullptr);
    return out;
}

const char* modeText(DriveMode mode) { return mode == DriveMode::Kernel ? "kernel" : "normal"; }

// Serialises read-modify-write cycles on drive files of one folder, across threads and
// processes (each holder opens its own descriptor, so flock excludes within a process too).
class FolderStateLock {
public:
    explicit FolderStateLock(const std::filesystem::path& folder)
        : fd_(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
        if (fd_ >= 0) {
            while (::flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
            }
        }
    }
    FolderStateLock(const FolderStateLock&) = delete;
    FolderStateLock& operator=(const FolderStateLock&) = delete;
    ~FolderStateLock() {
        if (fd_ >= 0) ::close(fd_);  // closing drops the lock
    }
    bool held() const { return fd_ >= 0; }

private:
    int fd_;
};

// Drive files come from an untrusted folder: only a regular file of at most 1 MiB is read
// (a FIFO would block the reader, a device or a huge file would exhaust memory).
constexpr std::uintmax_t kMaxDriveFileBytes = 1u << 20;

FileId fileIdOf(const struct stat& st) { return FileId{st.st_dev, st.st_ino}; }

bool readWhole(const std::filesystem::path& path, std::string& out, bool& missing, std::string* why = nullptr,
               FileId* id = nullptr) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        missing = errno == ENOENT;
        return false;
    }
    const kdulog::UniqueFd closer(fd);
    struct stat st{};
    if (::fstat(fd, &st) != 0) return false;
    if (id) *id = fileIdOf(st);
    if (!S_ISREG(st.st_mode)) {
        if (why) *why = "not a regular file";
        return false;
    }
    if (static_cast<std::uintmax_t>(st.st_size) > kMaxDriveFileBytes) {
        if (why) *why = "larger than 1 MiB";
        return false;
    }
    out.clear();
    char buffer[8192];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) return true;
        out.append(buffer, static_cast<std::size_t>(n));
        if (out.size() > kMaxDriveFileBytes) {  // grew while being read
            if (why) *why = "larger than 1 MiB";
            return false;
        }
    }
}

bool parseDocument(const std::filesystem::path& path, const std::string& text, json& doc, std::string& error) {
    try {
        doc = json::parse(text);
        return true;
    } catch (const json::parse_error& e) {
        // The position only: the file's own bytes never reach a message.
        error = path.filename().string() + ": malformed JSON near byte " + std::to_string(e.byte);
        return false;
    } catch (const json::exception&) {  // out_of_range too: a number beyond a double
        error = path.filename().string() + ": malformed JSON (a value out of range)";
        return false;
    }
}

// Writes all of `text` to a new file; the reason when it cannot (a full file system, say).
std::optional<std::string> writeNewFile(const std::filesystem::path& file, const std::string& text, FileId& id) {
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (fd < 0) return std::strerror(errno);
    int failure = 0;
    for (std::size_t at = 0; at < text.size();) {
        const ssize_t n = ::write(fd, text.data() + at, text.size() - at);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            failure = errno;
            break;
        }
        at += static_cast<std::size_t>(n);
    }
    struct stat st{};
    if (failure == 0 && ::fstat(fd, &st) != 0) failure = errno;
    // Some file systems report a lack of space only when the file is closed.
    if (::close(fd) != 0 && failure == 0) failure = errno;
    if (failure != 0) return std::strerror(failure);
    id = fileIdOf(st);
    return std::nullopt;
}

bool replaceFile(const std::filesystem::path& path, const json& doc, std::string& error, FileId* written = nullptr) {
    static std::atomic<unsigned> counter{0};
    // Hidden temporary beside the target: the folder watcher ignores hidden names.
    const std::filesystem::path temp = path.parent_path() / ("." + path.filename().string() + ".tmp." +
                                                             std::to_string(::getpid()) + "." +
                                                             std::to_string(counter.fetch_add(1)));
    FileId id;
    if (std::optional<std::string> why = writeNewFile(temp, doc.dump(2) + '\n', id)) {
        error = path.filename().string() + ": cannot write " + temp.filename().string() + ": " + *why;
        std::error_code ignored;
        std::filesystem::remove(temp, ignored);
        return false;
    }
    if (::rename(temp.c_str(), path.c_str()) != 0) {
        error = path.filename().string() + ": cannot replace the file: " + std::strerror(errno);
        std::error_code ignored;
        std::filesystem::remove(temp, ignored);
        return false;
    }
    if (written) *written = id;
    return true;
}

// Read-modify-write under the folder's state lock. With `own`, only that file is changed
// (`replaced` is set when another took its place).
bool rewriteDriveFile(const std::filesystem::path& path, const std::function<void(json&)>& change,
                      std::string& error, const FileId* own = nullptr, bool* replaced = nullptr,
                      FileId* written = nullptr) {
    FolderStateLock lock(path.parent_path());
    if (!lock.held()) {
        error = path.parent_path().string() + ": cannot open the drive folder";
        return false;
    }
    std::string text;
    bool missing = false;
    FileId read;
    if (!readWhole(path, text, missing, nullptr, &read)) {
        error = path.filename().string() + (missing ? ": no such drive file" : ": cannot be read");
        return false;
    }
    if (own && read != *own) {
        if (replaced) *replaced = true;
        error = path.filename().string() + ": replaced by another file";
        return false;
    }
    json doc;
    if (!parseDocument(path, text, doc, error)) return false;
    if (!doc.is_object()) {
        error = path.filename().string() + ": (document): expected an object";
        return false;
    }
    change(doc);
    return replaceFile(path, doc, error, written);
}

}  // namespace

json toJson(const DriveSpec& profile) {
    json doc;
    doc["identity"] = {{"vendor", profile.vendor}, {"product", profile.product}, {"revision", profile.revision}, {"date", profile.date}};
    doc["readBuffer"] = {{"hard_version", profile.hard_version},
                         {"krnl_version", profile.krnl_version},
                         {"dest_version", profile.dest_version},
                         {"judgeKrnl", profile.judgeKrnl}};
    doc["mode"] = modeText(profile.mode);
    if (profile.disc) {
        doc["disc"] = {{"volume", profile.disc->volume ? json(*profile.disc->volume) : json(nullptr)}};
    } else {
        doc["disc"] = nullptr;
    }
    doc["className"] = profile.className;
    doc["timing"] = {{"commandLatencyMs", profile.timing.commandLatencyMs},
                     {"bytesPerSecond", profile.timing.bytesPerSecond},
                     {"installMs", profile.timing.installMs}};
    doc["faults"] = faultsToJson(profile.faults);
    doc["install"] = installToJson(profile.install);
    return doc;
}

std::optional<DriveSpec> fromJson(const json& document, const std::string& label, std::string& error) {
    DriveSpec profile;
    ProfileReader reader(label, error);
    if (!reader.read(document, profile)) return std::nullopt;
    return profile;
}

std::filesystem::path driveFilePath(const std::filesystem::path& folder, const std::string& name) {
    return folder / (name + kExtension);
}

std::optional<std::string> driveNameOf(const std::filesystem::path& file) {
    const std::string fileName = file.filename().string();
    const std::size_t extLength = std::strlen(kExtension);
    if (fileName.size() <= extLength || fileName.compare(fileName.size() - extLength, extLength, kExtension) != 0)
        return std::nullopt;
    std::string name = fileName.substr(0, fileName.size() - extLength);
    if (!isValidDriveName(name)) return std::nullopt;
    return name;
}

bool isValidDriveName(const std::string& name) {
    if (name.empty() || name.size() > 200 || name[0] == '.') return false;
    for (char c : name) {
        const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
                        c == '_' || c == '.';
        if (!ok) return false;
    }
    return true;
}

std::optional<DriveSpec> loadDriveFile(const std::filesystem::path& path, std::string& error, bool* missing,
                                       FileId* id) {
    std::string text;
    bool absent = false;
    if (missing) *missing = false;
    std::string why;
    if (!readWhole(path, text, absent, &why, id)) {
        if (missing) *missing = absent;
        error = path.filename().string() + (absent ? ": no such drive file" : ": cannot be read") +
                (why.empty() ? "" : " (" + why + ")");
        return std::nullopt;
    }
    json doc;
    if (!parseDocument(path, text, doc, error)) return std::nullopt;
    return fromJson(doc, path.filename().string(), error);
}

bool writeDriveFile(const std::filesystem::path& path, const DriveSpec& profile, std::string& error) {
    return replaceFile(path, toJson(profile), error);
}

bool updateDriveFile(const std::filesystem::path& path, const std::function<void(json&)>& change, std::string& error) {
    return rewriteDriveFile(path, change, error);
}

std::optional<std::filesystem::path> sendDriveAway(const std::filesystem::path& path, std::string& error) {
    FolderStateLock lock(path.parent_path());
    if (!lock.held()) {
        error = path.parent_path().string() + ": cannot open the drive folder";
        return std::nullopt;
    }
    const std::filesystem::path away = path.parent_path() / ("." + path.filename().string() + ".away");
    std::string text;
    bool missing = false;
    json doc;
    if (!readWhole(path, text, missing) || !parseDocument(path, text, doc, error) || !doc.is_object()) {
        if (error.empty()) error = path.filename().string() + ": cannot be read";
        return std::nullopt;
    }
    // Once: the drive that comes back stays.
    if (doc.contains("faults") && doc["faults"].is_object()) doc["faults"].erase("vanishWhileInstallingMs");
    std::error_code ec;
    if (!replaceFile(path, doc, error)) return std::nullopt;
    std::filesystem::rename(path, away, ec);
    if (ec) {
        error = path.filename().string() + ": cannot be moved away: " + ec.message();
        return std::nullopt;
    }
    return away;
}

bool bringDriveBack(const std::filesystem::path& away, const std::filesystem::path& path) {
    // A link never replaces a drive file made meanwhile.
    if (::link(away.c_str(), path.c_str()) != 0) return false;
    ::unlink(away.c_str());
    return true;
}

SaveResult saveDriveState(const std::filesystem::path& path, const DriveSpec& profile, std::string& error,
                          const FileId* own, FileId* written) {
    bool replaced = false;
    const bool saved = rewriteDriveFile(
        path,
        [&](json& doc) {
            doc["mode"] = modeText(profile.mode);
            if (!doc.contains("identity") || !doc["identity"].is_object()) doc["identity"] = json::object();
            doc["identity"]["revision"] = profile.revision;
            doc["identity"]["date"] = profile.date;
            doc["install"] = installToJson(profile.install);
        },
        error, own, &replaced, written);
    return saved ? SaveResult::Saved : replaced ? SaveResult::Replaced : SaveResult::Failed;
}

}  // namespace sim
