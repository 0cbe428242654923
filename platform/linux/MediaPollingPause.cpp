#include "platform/linux/MediaPollingPause.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <regex>

#include "log/Log.h"
#include "platform/linux/RuntimeFolder.h"

namespace fs = std::filesystem;

namespace platform {
namespace {

constexpr char kRecordPrefix[] = "media-polling-";
constexpr char kAttribute[] = "events_poll_msecs";

bool writeAttribute(const std::string& path, const std::string& value) {
    std::ofstream out(path);  // sysfs attributes exist already: never create one
    if (!out) {
        return false;
    }
    out << value << '\n';
    out.flush();
    return static_cast<bool>(out);
}

// One record per drive, named after the attribute's resolved path.
std::string recordName(const std::string& attribute) {
    std::string name = attribute;
    std::replace(name.begin(), name.end(), '/', '_');
    return kRecordPrefix + name;
}

struct Record {
    std::string attribute;  // resolved sysfs path
    std::string previous;   // what to write back
};

// A record open and locked by us; none when another process holds it or it was removed
// between the open and the lock.
kdulog::UniqueFd lockRecord(const std::string& path, int flags) {
    kdulog::UniqueFd fd(::open(path.c_str(), flags | O_RDWR | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!fd || ::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) return kdulog::UniqueFd{};
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0 || st.st_nlink == 0 || !S_ISREG(st.st_mode)) return kdulog::UniqueFd{};
    return fd;
}

std::optional<Record> readRecord(int fd) {
    std::string text(512, '\0');
    const ssize_t size = ::pread(fd, text.data(), text.size(), 0);
    if (size <= 0) return std::nullopt;
    text.resize(static_cast<std::size_t>(size));
    static const std::regex form("([^\n]+)\n(-?[0-9]+)\n");
    std::smatch parts;
    if (!std::regex_match(text, parts, form)) return std::nullopt;
    return Record{parts[1].str(), parts[2].str()};
}

bool writeRecord(int fd, const Record& record) {
    const std::string text = record.attribute + "\n" + record.previous + "\n";
    return ::ftruncate(fd, 0) == 0 &&
           ::pwrite(fd, text.data(), text.size(), 0) == static_cast<ssize_t>(text.size()) && ::fsync(fd) == 0;
}

// Only a polling attribute inside this sysfs tree is ever written from a record.
bool recordFits(const Record& record, const sysfs::Layout& layout) {
    std::error_code ec;
    const fs::path root = fs::canonical(layout.sysRoot, ec);
    const fs::path attribute(record.attribute);
    return !ec && attribute.filename() == kAttribute &&
           attribute.lexically_relative(root).string().rfind("..", 0) != 0 && attribute.is_absolute();
}

}  // namespace

MediaPollingPause::MediaPollingPause(const sysfs::Layout& layout, const std::string& blockName)
    : path_((fs::path(layout.sysRoot) / "block" / blockName / kAttribute).string()) {
    std::error_code ec;
    const fs::path attribute = fs::canonical(path_, ec);
    const auto current = ec ? std::nullopt : sysfs::readAttribute(path_);
    if (!current) {
        return;  // no such setting, or not readable
    }
    const auto folder = runtimeFolder(layout.stateDir);
    if (!folder) {
        KDU_LOG_WAR("MediaPollingPause::MediaPollingPause",
                    "no private runtime folder to record the media polling of %s in: polling left on",
                    blockName.c_str());
        return;
    }
    recordPath_ = (fs::path(*folder) / recordName(attribute.string())).string();
    kdulog::UniqueFd record = lockRecord(recordPath_, O_CREAT);
    if (!record) {
        return;  // another process pauses this drive now
    }
    // A record left by a run that ended while polling was off holds the setting to give back.
    std::string previous = sysfs::trimmed(*current);
    if (const auto left = readRecord(record.get()); left && left->attribute == attribute.string() && previous == "0") {
        previous = left->previous;
    }
    if (previous == "0" || !writeRecord(record.get(), {attribute.string(), previous}) ||
        !writeAttribute(path_, "0")) {
        ::unlink(recordPath_.c_str());
        return;  // already off, or not ours to change: nothing to give back
    }
    previous_ = previous;
    record_ = std::move(record);
}

MediaPollingPause::~MediaPollingPause() {
    if (!previous_) {
        return;
    }
    if (writeAttribute(path_, *previous_)) {
        ::unlink(recordPath_.c_str());
    }
}

void restoreMediaPolling(const sysfs::Layout& layout) {
    const auto folder = runtimeFolder(layout.stateDir);
    if (!folder) {
        return;
    }
    std::error_code ec;
    for (fs::directory_iterator it(*folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.rfind(kRecordPrefix, 0) != 0) continue;
        const kdulog::UniqueFd record = lockRecord(it->path().string(), 0);
        if (!record) continue;  // its process still runs
        const auto left = readRecord(record.get());
        // A drive that left since has come back, if at all, with polling of its own.
        if (left && recordFits(*left, layout) && fs::exists(left->attribute)) {
            const auto now = sysfs::readAttribute(left->attribute);
            if (now && sysfs::trimmed(*now) == "0" && writeAttribute(left->attribute, left->previous)) {
                KDU_LOG_WAR("restoreMediaPolling", "media polling of %s given back (%s ms): an earlier run ended "
                            "while it was paused", left->attribute.c_str(), left->previous.c_str());
            }
        }
        ::unlink(it->path().c_str());
    }
}

}  // namespace platform
