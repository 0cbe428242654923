// Hot-plug for the simulator: inotify on the drive folder. Each drain compares the folder
// with what the source saw last, so an edit that replaces a drive file by rename is not
// taken for a detach and an attach.
#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <optional>

#include "log/Log.h"
#include "simdrive/DriveFile.h"
#include "platform/sim/SimBackend.h"
#include "platform/sim/SimFolder.h"

namespace sim {

using namespace platform;

namespace {

class FolderWatch {
public:
    explicit FolderWatch(const std::filesystem::path& folder) : fd_(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
        if (fd_ < 0) return;
        if (::inotify_add_watch(fd_, folder.c_str(), IN_CLOSE_WRITE | IN_MOVED_TO | IN_MOVED_FROM | IN_DELETE) < 0) {
            ::close(fd_);
            fd_ = -1;
        }
    }
    FolderWatch(const FolderWatch&) = delete;
    FolderWatch& operator=(const FolderWatch&) = delete;
    ~FolderWatch() {
        if (fd_ >= 0) ::close(fd_);
    }

    int fd() const { return fd_; }

    // Reads every pending event. Returns the drives whose files were deleted or moved away
    // (they may exist again by now: then they were attached anew).
    std::set<std::string> drain() {
        std::set<std::string> removed;
        alignas(inotify_event) char buffer[16384];
        for (;;) {
            const ssize_t n = ::read(fd_, buffer, sizeof buffer);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            for (ssize_t at = 0; at < n;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
                if (event->len > 0 && (event->mask & (IN_DELETE | IN_MOVED_FROM))) {
                    if (std::optional<std::string> name = driveNameOf(event->name)) removed.insert(*name);
                }
                at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            }
        }
        return removed;
    }

private:
    int fd_;
};

class DeviceEventSource : public EventSource {
public:
    explicit DeviceEventSource(std::shared_ptr<SimFolder> folder)
        : folder_(std::move(folder)), watch_(folder_->path()) {
        for (const auto& node : folder_->attachedDrives()) known_[node->key()] = node;
    }
    bool valid() const { return watch_.fd() >= 0; }
    int fd() const override { return watch_.fd(); }

    void drain(HotplugEvents& out) override {
        const std::set<std::string> removed = watch_.drain();
        // A name deleted and made again since the last drain is a new drive; a name only
        // replaced by rename keeps its node.
        SimFolder::NodeMap stale;
        for (const std::string& name : removed)
            if (auto it = known_.find(name); it != known_.end()) stale.insert(*it);
        SimFolder::NodeMap now;
        for (const auto& node : folder_->attachedDrives(stale)) now[node->key()] = node;
        for (const auto& [key, node] : known_) {
            auto it = now.find(key);
            if (it == now.end() || it->second != node) out.terminated.push_back(node);
        }
        for (const auto& [key, node] : now) {
            auto it = known_.find(key);
            if (it == known_.end() || it->second != node) out.published.push_back(node);
        }
        known_ = std::move(now);
    }

private:
    const std::shared_ptr<SimFolder> folder_;
    FolderWatch watch_;
    SimFolder::NodeMap known_;
};

class DiskEventSource : public EventSource {
public:
    explicit DiskEventSource(std::shared_ptr<SimFolder> folder) : folder_(std::move(folder)), watch_(folder_->path()) {
        for (DiskDescription& disk : folder_->presentDisks()) known_[disk.bsdName] = std::move(disk);
    }
    bool valid() const { return watch_.fd() >= 0; }
    int fd() const override { return watch_.fd(); }

    void drain(HotplugEvents& out) override {
        const std::set<std::string> removed = watch_.drain();
        std::map<std::string, std::optional<DiskDescription>> now;
        for (const std::string& name : folder_->driveNames()) {
            std::string error;
            std::optional<DriveSpec> profile = loadDriveFile(driveFilePath(folder_->path(), name), error);
            if (!profile) {
                // Unreadable for now (a hand edit in progress): keep what we knew.
                if (auto it = known_.find(name); it != known_.end()) now[name] = it->second;
                continue;
            }
            if (profile->disc) now[name] = describeDisc(name, *profile);
        }
        for (const auto& [name, disk] : known_) {
            auto it = now.find(name);
            const bool gone = it == now.end() || !it->second || removed.count(name) ||
                              it->second->volumeName != disk.volumeName;
            if (gone) out.disksDisappeared.push_back(disk);
        }
        std::map<std::string, DiskDescription> next;
        for (auto& [name, disk] : now) {
            if (!disk) continue;
            auto it = known_.find(name);
            const bool fresh =
                it == known_.end() || removed.count(name) || it->second.volumeName != disk->volumeName;
            if (fresh) out.disksAppeared.push_back(*disk);
            next[name] = std::move(*disk);
        }
        known_ = std::move(next);
    }

private:
    const std::shared_ptr<SimFolder> folder_;
    FolderWatch watch_;
    std::map<std::string, DiskDescription> known_;
};

template <typename Source>
std::unique_ptr<EventSource> makeSource(const std::shared_ptr<SimFolder>& folder, const char* function) {
    auto source = std::make_unique<Source>(folder);
    if (!source->valid()) {
        KDU_LOG_ERR(function, "cannot watch the drive folder %s: %s", folder->path().c_str(), std::strerror(errno));
        return nullptr;
    }
    return source;
}

}  // namespace

std::unique_ptr<EventSource> SimBackend::createDeviceEventSource() {
    return makeSource<DeviceEventSource>(folder_, "sim::SimBackend::createDeviceEventSource");
}

std::unique_ptr<EventSource> SimBackend::createDiskEventSource() {
    return makeSource<DiskEventSource>(folder_, "sim::SimBackend::createDiskEventSource");
}

}  // namespace sim
