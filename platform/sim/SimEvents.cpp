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

// Drives and discs from one watch of the folder: both compare with the same drain's removals.
class FolderEventSource : public EventSource {
public:
    explicit FolderEventSource(std::shared_ptr<SimFolder> folder)
        : folder_(std::move(folder)), watch_(folder_->path()) {
        for (const auto& node : folder_->attachedDrives()) drives_[node->key()] = node;
        for (DiskDescription& disk : folder_->presentDisks()) disks_[disk.bsdName] = std::move(disk);
    }
    bool valid() const { return watch_.fd() >= 0; }
    int fd() const override { return watch_.fd(); }

    void drain(HotplugEvents& out) override {
        const std::set<std::string> removed = watch_.drain();
        // One look at the folder for both, so a disc is never reported for a drive not yet reported.
        const SimFolder::NodeMap now = drainDrives(removed, out);
        drainDisks(now, removed, out);
    }

private:
    SimFolder::NodeMap drainDrives(const std::set<std::string>& removed, HotplugEvents& out) {
        // A name deleted and made again since the last drain is a new drive; a name only
        // replaced by rename keeps its node.
        SimFolder::NodeMap stale;
        for (const std::string& name : removed)
            if (auto it = drives_.find(name); it != drives_.end()) stale.insert(*it);
        SimFolder::NodeMap now;
        for (const auto& node : folder_->attachedDrives(stale)) now[node->key()] = node;
        for (const auto& [key, node] : drives_) {
            auto it = now.find(key);
            if (it == now.end() || it->second != node) out.terminated.push_back(node);
        }
        for (const auto& [key, node] : now) {
            auto it = drives_.find(key);
            if (it == drives_.end() || it->second != node) out.published.push_back(node);
        }
        drives_ = now;
        return now;
    }

    void drainDisks(const SimFolder::NodeMap& drives, const std::set<std::string>& removed, HotplugEvents& out) {
        std::map<std::string, std::optional<DiskDescription>> now;
        for (const auto& [name, node] : drives) {
            std::string error;
            std::optional<DriveSpec> profile = loadDriveFile(driveFilePath(folder_->path(), name), error);
            if (!profile) {
                // Unreadable for now (a hand edit in progress): keep what we knew.
                if (auto it = disks_.find(name); it != disks_.end()) now[name] = it->second;
                continue;
            }
            if (profile->disc) now[name] = describeDisc(name, *profile);
        }
        for (const auto& [name, disk] : disks_) {
            auto it = now.find(name);
            const bool gone = it == now.end() || !it->second || removed.count(name) ||
                              it->second->volumeName != disk.volumeName;
            if (gone) out.disksDisappeared.push_back(disk);
        }
        std::map<std::string, DiskDescription> next;
        for (auto& [name, disk] : now) {
            if (!disk) continue;
            auto it = disks_.find(name);
            const bool fresh =
                it == disks_.end() || removed.count(name) || it->second.volumeName != disk->volumeName;
            if (fresh) out.disksAppeared.push_back(*disk);
            next[name] = std::move(*disk);
        }
        disks_ = std::move(next);
    }

    const std::shared_ptr<SimFolder> folder_;
    FolderWatch watch_;
    SimFolder::NodeMap drives_;
    std::map<std::string, DiskDescription> disks_;
};

}  // namespace

std::unique_ptr<EventSource> SimBackend::createEventSource() {
    auto source = std::make_unique<FolderEventSource>(folder_);
    if (!source->valid()) {
        KDU_LOG_ERR("sim::SimBackend::createEventSource", "cannot watch the drive folder %s: %s",
                    folder_->path().c_str(), std::strerror(errno));
        return nullptr;
    }
    return source;
}

}  // namespace sim
