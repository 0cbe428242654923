#include "support/FakeBackend.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <utility>

namespace kdu::test {

using namespace platform;

Answer checkCondition(std::uint8_t key, std::uint8_t asc, std::uint8_t ascq, std::uint8_t byte16,
                      std::uint8_t byte17) {
    Answer a{.status = scsi::Status::CheckCondition};
    a.sense[0] = 0x70;  // current error, fixed format
    a.sense[2] = key;
    a.sense[7] = 10;    // additional sense length
    a.sense[12] = asc;
    a.sense[13] = ascq;
    a.sense[16] = byte16;
    a.sense[17] = byte17;
    return a;
}

namespace {
void putText(std::vector<std::uint8_t>& buffer, std::size_t offset, std::size_t width, const std::string& text,
             char pad) {
    for (std::size_t i = 0; i < width; ++i)
        buffer[offset + i] = static_cast<std::uint8_t>(i < text.size() ? text[i] : pad);
}
}  // namespace

std::vector<std::uint8_t> inquiryData(const std::string& vendor, const std::string& product,
                                      const std::string& revision, const std::string& date) {
    // MMC device, removable, version 5, response format 2, additional length 51.
    std::vector<std::uint8_t> data{0x05, 0x80, 0x05, 0x02, 56 - 5};
    data.resize(56);
    putText(data, 8, 8, vendor, ' ');
    putText(data, 16, 16, product, ' ');
    putText(data, 32, 4, revision, ' ');
    putText(data, 36, 9, date, ' ');
    return data;
}

std::vector<std::uint8_t> readBufferData(const std::string& hardVersion, const std::string& krnlVersion,
                                         const std::string& destVersion, const std::string& judgeKrnl) {
    std::vector<std::uint8_t> data(48, 0);
    putText(data, 16, 8, hardVersion, '\0');
    putText(data, 24, 8, krnlVersion, '\0');
    putText(data, 32, 8, destVersion, '\0');
    putText(data, 40, 4, judgeKrnl, '\0');
    return data;
}

// FakeDrive -----------------------------------------------------------------------

class FakeTaskChannel : public TaskChannel {
public:
    explicit FakeTaskChannel(std::shared_ptr<FakeDrive> drive) : drive_(std::move(drive)) {}
    ~FakeTaskChannel() override { release(); }
    scsi::TransportError release() override {
        std::lock_guard lock(drive_->mutex_);
        if (drive_->holder_ != this) return scsi::TransportError::None;
        drive_->holder_ = nullptr;
        drive_->holds_.push_back("release");
        return drive_->faults_.refuseRelease ? scsi::TransportError::NotPermitted : scsi::TransportError::None;
    }
    scsi::Result execute(const scsi::Command& command) override {
        {
            std::lock_guard lock(drive_->mutex_);
            if (drive_->holder_ != this) {
                drive_->holds_.push_back("command after release");
                return {.error = scsi::TransportError::NotOpen};
            }
        }
        return drive_->execute(command);
    }

private:
    std::shared_ptr<FakeDrive> drive_;
};

Opened FakeDrive::open() {
    std::lock_guard lock(mutex_);
    if (faults_.open != scsi::TransportError::None) return {.error = faults_.open};
    if (faults_.busyOpens > 0) return --faults_.busyOpens, Opened{.error = scsi::TransportError::Busy};
    if (holder_) return {.error = scsi::TransportError::InUse};
    auto channel = std::make_unique<FakeTaskChannel>(shared_from_this());
    holder_ = channel.get();
    holds_.push_back("open");
    return {.channel = std::move(channel)};
}

scsi::Result FakeDrive::execute(const scsi::Command& command) {
    RecordedCommand recorded{{command.cdb.begin(), command.cdb.begin() + command.cdbLength},
                             command.direction, command.data.size(),
                             static_cast<std::uint32_t>(command.timeout.count()), {}};
    if (command.direction == scsi::Direction::ToDevice) recorded.dataOut.assign(command.data.begin(), command.data.end());

    Answer answer;
    Responder responder;
    {
        std::lock_guard lock(mutex_);
        commands_.push_back(recorded);
        if (!script_.empty()) {
            answer = std::move(script_.front());
            script_.pop_front();
        } else if (auto it = responders_.find(recorded.opcode()); it != responders_.end()) {
            responder = it->second;
        }
    }
    if (responder) answer = responder(recorded);  // outside the lock: it may script the drive further
    if (answer.error != scsi::TransportError::None) return {.error = answer.error};

    std::size_t moved = command.data.size();
    if (command.direction == scsi::Direction::FromDevice) {
        moved = std::min(moved, answer.dataIn.size());
        std::copy_n(answer.dataIn.begin(), moved, command.data.begin());
    }
    return {.status = answer.status, .sense = answer.sense, .transferred = answer.transferred.value_or(moved)};
}

// Event sources ---------------------------------------------------------------------

namespace {

// A pipe that becomes readable while events are pending.
class PipeEventSource : public EventSource {
public:
    struct State {
        std::mutex mutex;
        HotplugEvents pending;
        int fds[2] = {-1, -1};
        ~State() {
            for (int fd : fds)
                if (fd >= 0) ::close(fd);
        }
    };

    PipeEventSource() { [[maybe_unused]] int ok = ::pipe2(state_->fds, O_NONBLOCK | O_CLOEXEC); }
    int fd() const override { return state_->fds[0]; }
    void drain(HotplugEvents& out) override {
        std::lock_guard lock(state_->mutex);
        char buffer[64];
        while (::read(state_->fds[0], buffer, sizeof buffer) > 0) {
        }
        auto append = [](auto& to, auto& from) {
            to.insert(to.end(), std::make_move_iterator(from.begin()), std::make_move_iterator(from.end()));
            from.clear();
        };
        append(out.published, state_->pending.published);
        append(out.terminated, state_->pending.terminated);
        append(out.disksAppeared, state_->pending.disksAppeared);
        append(out.disksDisappeared, state_->pending.disksDisappeared);
    }
    std::shared_ptr<State> state_ = std::make_shared<State>();
};

using Sources = std::vector<std::weak_ptr<PipeEventSource::State>>;

}  // namespace

struct FakeBackend::Shared {
    std::mutex mutex;
    std::vector<std::shared_ptr<FakeDrive>> drives;
    std::vector<DiskDescription> disks;
    Sources sources;
    bool refuseSources = false;

    // Delivers an event to every live source.
    void post(const std::function<void(HotplugEvents&)>& fill) {
        std::erase_if(sources, [](const auto& s) { return s.expired(); });
        for (const auto& weak : sources) {
            if (auto state = weak.lock()) {
                std::lock_guard lock(state->mutex);
                fill(state->pending);
                [[maybe_unused]] ssize_t n = ::write(state->fds[1], "", 1);
            }
        }
    }
    std::unique_ptr<EventSource> source() {
        std::lock_guard lock(mutex);
        if (refuseSources) return nullptr;
        auto source = std::make_unique<PipeEventSource>();
        sources.push_back(source->state_);
        return source;
    }
};

FakeBackend::FakeBackend() : shared_(std::make_shared<Shared>()) {}
FakeBackend::~FakeBackend() = default;

std::shared_ptr<FakeDrive> FakeBackend::addDrive(const std::string& key) {
    std::lock_guard lock(shared_->mutex);
    for (const auto& drive : shared_->drives)
        if (drive->key() == key) return drive;
    auto drive = std::make_shared<FakeDrive>(key);
    shared_->drives.push_back(drive);
    shared_->post([&](HotplugEvents& e) { e.published.push_back(drive); });
    return drive;
}

void FakeBackend::removeDrive(const std::string& key) {
    std::lock_guard lock(shared_->mutex);
    auto& drives = shared_->drives;
    auto it = std::find_if(drives.begin(), drives.end(), [&](const auto& d) { return d->key() == key; });
    if (it == drives.end()) return;
    std::shared_ptr<DeviceNode> node = *it;
    drives.erase(it);
    shared_->post([&](HotplugEvents& e) { e.terminated.push_back(node); });
}

void FakeBackend::insertDisc(DiskDescription disk) {
    std::lock_guard lock(shared_->mutex);
    shared_->disks.push_back(disk);
    shared_->post([&](HotplugEvents& e) { e.disksAppeared.push_back(disk); });
}

void FakeBackend::ejectDisc(const std::string& bsdName) {
    std::lock_guard lock(shared_->mutex);
    auto& disks = shared_->disks;
    auto it = std::find_if(disks.begin(), disks.end(), [&](const auto& d) { return d.bsdName == bsdName; });
    if (it == disks.end()) return;
    DiskDescription gone = *it;
    disks.erase(it);
    shared_->post([&](HotplugEvents& e) { e.disksDisappeared.push_back(gone); });
}

std::vector<std::shared_ptr<DeviceNode>> FakeBackend::authoringDevices() {
    std::lock_guard lock(shared_->mutex);
    return {shared_->drives.begin(), shared_->drives.end()};
}

std::unique_ptr<EventSource> FakeBackend::createEventSource() { return shared_->source(); }

void FakeBackend::refuseEventSources(bool refuse) {
    std::lock_guard lock(shared_->mutex);
    shared_->refuseSources = refuse;
}

std::vector<DiskDescription> FakeBackend::presentDisks() {
    std::lock_guard lock(shared_->mutex);
    return shared_->disks;
}

}  // namespace kdu::test
