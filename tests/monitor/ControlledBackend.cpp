#include "ControlledBackend.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <chrono>

#include "model/NotificationNames.h"
#include "platform/NotificationCenter.h"

using namespace platform;

namespace monitor_test {

struct ControlledBackend::Channel {
    std::mutex mutex;
    HotplugEvents pending;
    int fd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    ~Channel() { ::close(fd); }

    void push(const HotplugEvents& events) {
        std::lock_guard lock(mutex);
        auto append = [](auto& to, const auto& from) { to.insert(to.end(), from.begin(), from.end()); };
        append(pending.published, events.published);
        append(pending.terminated, events.terminated);
        append(pending.disksAppeared, events.disksAppeared);
        append(pending.disksDisappeared, events.disksDisappeared);
        const std::uint64_t one = 1;
        [[maybe_unused]] auto written = ::write(fd, &one, sizeof one);
    }
};

namespace {

class ChannelSource : public EventSource {
public:
    explicit ChannelSource(std::shared_ptr<ControlledBackend::Channel> channel) : channel_(std::move(channel)) {}
    int fd() const override { return channel_->fd; }
    void drain(HotplugEvents& out) override {
        std::lock_guard lock(channel_->mutex);
        std::uint64_t count;
        [[maybe_unused]] auto got = ::read(channel_->fd, &count, sizeof count);
        out = std::move(channel_->pending);
        channel_->pending = {};
    }

private:
    std::shared_ptr<ControlledBackend::Channel> channel_;
};

struct TestNode : DeviceNode {
    std::string name;
    explicit TestNode(std::string n) : name(std::move(n)) {}
    std::string key() const override { return name; }
    IOReturn className(std::string& out) const override {
        out = "TestDrive";
        return kIOReturnSuccess;
    }
    IOReturn createPlugIn() override { return kIOReturnUnsupported; }
    HRESULT queryMMCInterface() override { return E_NOINTERFACE; }
    std::unique_ptr<TaskChannel> openTaskChannel() override { return nullptr; }
};

void pushTo(std::mutex& mutex, std::vector<std::weak_ptr<ControlledBackend::Channel>>& channels,
            const HotplugEvents& events) {
    std::lock_guard lock(mutex);
    for (auto& weak : channels)
        if (auto channel = weak.lock()) channel->push(events);
}

}  // namespace

ControlledBackend::ControlledBackend() = default;
ControlledBackend::~ControlledBackend() = default;

std::shared_ptr<DeviceNode> ControlledBackend::drive(const std::string& key) { return std::make_shared<TestNode>(key); }

DiskDescription ControlledBackend::disk(const std::string& bsdName, std::optional<std::string> volume,
                                        std::optional<std::string> model) {
    return DiskDescription{bsdName, std::move(volume), std::move(model)};
}

void ControlledBackend::pushDeviceEvents(HotplugEvents events) { pushTo(mutex_, deviceChannels_, events); }
void ControlledBackend::pushDiskEvents(HotplugEvents events) { pushTo(mutex_, diskChannels_, events); }

void ControlledBackend::setPresentDisks(std::vector<DiskDescription> disks) {
    std::lock_guard lock(mutex_);
    presentDisks_ = std::move(disks);
}

void ControlledBackend::refuseSources(bool refuse) {
    std::lock_guard lock(mutex_);
    refuse_ = refuse;
}

std::unique_ptr<EventSource> ControlledBackend::createDeviceEventSource() {
    std::lock_guard lock(mutex_);
    if (refuse_) return nullptr;
    auto channel = std::make_shared<Channel>();
    deviceChannels_.push_back(channel);
    return std::make_unique<ChannelSource>(channel);
}

std::unique_ptr<EventSource> ControlledBackend::createDiskEventSource() {
    std::lock_guard lock(mutex_);
    if (refuse_) return nullptr;
    auto channel = std::make_shared<Channel>();
    diskChannels_.push_back(channel);
    return std::make_unique<ChannelSource>(channel);
}

std::vector<DiskDescription> ControlledBackend::presentDisks() {
    std::lock_guard lock(mutex_);
    return presentDisks_;
}

NoticeLog::NoticeLog() {
    for (const char* name : {kAppearedDeviceNotify, kDisappearedDeviceNotify}) {
        NotificationCenter::defaultCenter().addObserver(this, name, [this](const Notification& notice) {
            {
                std::lock_guard lock(mutex_);
                entries_.push_back(Entry{notice.name, notice.object, std::this_thread::get_id()});
            }
            changed_.notify_all();
        });
    }
}

NoticeLog::~NoticeLog() { NotificationCenter::defaultCenter().removeObserver(this); }

std::vector<NoticeLog::Entry> NoticeLog::entries() const {
    std::lock_guard lock(mutex_);
    return entries_;
}

std::vector<std::string> NoticeLog::names() const {
    std::vector<std::string> names;
    for (const Entry& entry : entries()) names.push_back(entry.name);
    return names;
}

bool NoticeLog::waitForCount(std::size_t count) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::minutes(2), [&] { return entries_.size() >= count; });
}

}  // namespace monitor_test
