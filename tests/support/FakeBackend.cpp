#include "support/FakeBackend.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <utility>

namespace kdu::test {

using namespace platform;

// Answers ---------------------------------------------------------------------

Answer Answer::good(std::vector<std::uint8_t> data) {
    Answer a;
    a.dataIn = std::move(data);
    return a;
}

Answer Answer::checkCondition(std::uint8_t senseKey, std::uint8_t asc, std::uint8_t ascq, std::uint8_t byte16,
                              std::uint8_t byte17) {
    Answer a;
    a.status = kSCSITaskStatus_CHECK_CONDITION;
    a.sense[0] = 0x70;  // current error, fixed format
    a.sense[2] = senseKey;
    a.sense[7] = 10;    // additional sense length
    a.sense[12] = asc;
    a.sense[13] = ascq;
    a.sense[16] = byte16;
    a.sense[17] = byte17;
    return a;
}

Answer Answer::withStatus(SCSITaskStatus status) {
    Answer a;
    a.status = status;
    return a;
}

Answer Answer::deliveryFailure(IOReturn result) {
    Answer a;
    a.result = result;
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
    std::vector<std::uint8_t> data(56, 0);
    data[0] = 0x05;  // MMC device
    data[1] = 0x80;  // removable
    data[2] = 0x05;
    data[3] = 0x02;
    data[4] = 56 - 5;
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

// FakeDrive ---------------------------------------------------------------------

void FakeDrive::queue(Answer answer) {
    std::lock_guard lock(mutex_);
    script_.push_back(std::move(answer));
}

std::size_t FakeDrive::queuedAnswers() const {
    std::lock_guard lock(mutex_);
    return script_.size();
}

void FakeDrive::setResponder(std::uint8_t opcode, Responder responder) {
    std::lock_guard lock(mutex_);
    responders_[opcode] = std::move(responder);
}

std::vector<RecordedCommand> FakeDrive::commands() const {
    std::lock_guard lock(mutex_);
    return commands_;
}

std::vector<RecordedCommand> FakeDrive::commandsWithOpcode(std::uint8_t opcode) const {
    std::lock_guard lock(mutex_);
    std::vector<RecordedCommand> out;
    std::copy_if(commands_.begin(), commands_.end(), std::back_inserter(out),
                 [opcode](const RecordedCommand& c) { return c.opcode() == opcode; });
    return out;
}

void FakeDrive::clearCommands() {
    std::lock_guard lock(mutex_);
    commands_.clear();
}

void FakeDrive::setPlugInResult(IOReturn result) {
    std::lock_guard lock(mutex_);
    plugInResult_ = result;
}

void FakeDrive::setMMCResult(HRESULT result) {
    std::lock_guard lock(mutex_);
    mmcResult_ = result;
}

void FakeDrive::setTaskChannelAvailable(bool available) {
    std::lock_guard lock(mutex_);
    taskChannelAvailable_ = available;
}

void FakeDrive::failTaskCreations(int count) {
    std::lock_guard lock(mutex_);
    failingTaskCreations_ = count;
}

void FakeDrive::setClassName(std::string name) {
    std::lock_guard lock(mutex_);
    className_ = std::move(name);
}

void FakeDrive::setExclusiveAccessResult(IOReturn result) {
    std::lock_guard lock(mutex_);
    exclusiveResult_ = result;
}

bool FakeDrive::exclusivelyHeld() const {
    std::lock_guard lock(mutex_);
    return exclusiveHolder_ != nullptr;
}

int FakeDrive::openChannels() const {
    std::lock_guard lock(mutex_);
    return openChannels_;
}

bool FakeDrive::takeTaskCreation() {
    std::lock_guard lock(mutex_);
    if (failingTaskCreations_ > 0) {
        --failingTaskCreations_;
        return false;
    }
    return true;
}

IOReturn FakeDrive::obtain(const void* channel) {
    std::lock_guard lock(mutex_);
    if (exclusiveResult_ != kIOReturnSuccess) return exclusiveResult_;
    if (exclusiveHolder_ && exclusiveHolder_ != channel) return kIOReturnExclusiveAccess;
    exclusiveHolder_ = channel;
    return kIOReturnSuccess;
}

IOReturn FakeDrive::release(const void* channel) {
    std::lock_guard lock(mutex_);
    if (exclusiveHolder_ != channel) return kIOReturnNotOpen;
    exclusiveHolder_ = nullptr;
    return kIOReturnSuccess;
}

IOReturn FakeDrive::execute(const ScsiCommand& command, ScsiOutcome& out) {
    RecordedCommand recorded;
    recorded.cdb.assign(command.cdb.begin(), command.cdb.begin() + command.cdbLength);
    recorded.direction = command.direction;
    recorded.dataLength = command.dataLength;
    recorded.transferCount = command.transferCount;
    recorded.timeoutMs = command.timeoutMs;
    const std::size_t movable =
        command.data ? static_cast<std::size_t>(std::min<std::uint64_t>(command.transferCount, command.dataLength)) : 0;
    if (command.direction == kSCSIDataTransfer_FromInitiatorToTarget && movable > 0)
        recorded.dataOut.assign(command.data, command.data + movable);

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
    // Outside the lock: a responder may script the drive further.
    if (responder) answer = responder(recorded);
    if (answer.result != kIOReturnSuccess) return answer.result;

    std::uint64_t moved = 0;
    if (command.direction == kSCSIDataTransfer_FromTargetToInitiator && movable > 0) {
        moved = std::min(movable, answer.dataIn.size());
        if (moved > 0) std::memcpy(command.data, answer.dataIn.data(), static_cast<std::size_t>(moved));
    } else if (command.direction == kSCSIDataTransfer_FromInitiatorToTarget) {
        moved = movable;
    }
    out.status = answer.status;
    out.sense = answer.sense;
    out.realizedCount = answer.realizedCount.value_or(moved);
    return kIOReturnSuccess;
}

// Channel and node ----------------------------------------------------------------

class FakeTaskChannel : public TaskChannel {
public:
    explicit FakeTaskChannel(std::shared_ptr<FakeDrive> drive) : drive_(std::move(drive)) {
        std::lock_guard lock(drive_->mutex_);
        ++drive_->openChannels_;
    }
    ~FakeTaskChannel() override {
        drive_->release(this);
        std::lock_guard lock(drive_->mutex_);
        --drive_->openChannels_;
    }
    IOReturn obtainExclusiveAccess() override { return drive_->obtain(this); }
    IOReturn releaseExclusiveAccess() override { return drive_->release(this); }
    bool canCreateTask() override { return drive_->takeTaskCreation(); }
    IOReturn execute(const ScsiCommand& command, ScsiOutcome& out) override { return drive_->execute(command, out); }

private:
    std::shared_ptr<FakeDrive> drive_;
};

class FakeDeviceNode : public DeviceNode {
public:
    explicit FakeDeviceNode(std::shared_ptr<FakeDrive> drive) : drive_(std::move(drive)) {}
    std::string key() const override { return drive_->key(); }
    IOReturn className(std::string& out) const override {
        std::lock_guard lock(drive_->mutex_);
        out = drive_->className_;
        return kIOReturnSuccess;
    }
    IOReturn createPlugIn() override {
        std::lock_guard lock(drive_->mutex_);
        return drive_->plugInResult_;
    }
    HRESULT queryMMCInterface() override {
        std::lock_guard lock(drive_->mutex_);
        return drive_->mmcResult_;
    }
    std::unique_ptr<TaskChannel> openTaskChannel() override {
        {
            std::lock_guard lock(drive_->mutex_);
            if (!drive_->taskChannelAvailable_) return nullptr;
        }
        return std::make_unique<FakeTaskChannel>(drive_);
    }

private:
    std::shared_ptr<FakeDrive> drive_;
};

// Event sources -------------------------------------------------------------------

namespace {

// A pipe that becomes readable while events are pending.
class PipeEventSource : public EventSource {
public:
    struct State {
        std::mutex mutex;
        HotplugEvents pending;
        int readFd = -1, writeFd = -1;

        void signal() {
            const char byte = 1;
            [[maybe_unused]] ssize_t n = ::write(writeFd, &byte, 1);
        }
    };

    PipeEventSource() : state_(std::make_shared<State>()) {
        int fds[2];
        if (::pipe2(fds, O_NONBLOCK | O_CLOEXEC) == 0) {
            state_->readFd = fds[0];
            state_->writeFd = fds[1];
        }
    }
    ~PipeEventSource() override {
        std::lock_guard lock(state_->mutex);
        if (state_->readFd >= 0) ::close(state_->readFd);
        if (state_->writeFd >= 0) ::close(state_->writeFd);
        state_->readFd = state_->writeFd = -1;
    }
    int fd() const override { return state_->readFd; }
    void drain(HotplugEvents& out) override {
        std::lock_guard lock(state_->mutex);
        char buffer[64];
        while (state_->readFd >= 0 && ::read(state_->readFd, buffer, sizeof buffer) > 0) {
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
    std::weak_ptr<State> state() const { return state_; }

private:
    std::shared_ptr<State> state_;
};

}  // namespace

struct FakeBackend::Shared {
    std::mutex mutex;
    std::vector<std::pair<std::shared_ptr<FakeDrive>, std::shared_ptr<FakeDeviceNode>>> drives;
    std::vector<DiskDescription> disks;
    std::vector<std::weak_ptr<PipeEventSource::State>> deviceSources, diskSources;

    // Delivers an event to every live source of one kind.
    template <typename Fill>
    void post(std::vector<std::weak_ptr<PipeEventSource::State>>& sources, Fill fill) {
        for (auto it = sources.begin(); it != sources.end();) {
            auto state = it->lock();
            if (!state) {
                it = sources.erase(it);
                continue;
            }
            std::lock_guard lock(state->mutex);
            if (state->writeFd >= 0) {
                fill(state->pending);
                state->signal();
            }
            ++it;
        }
    }
};

FakeBackend::FakeBackend() : shared_(std::make_shared<Shared>()) {}
FakeBackend::~FakeBackend() = default;

std::shared_ptr<FakeDrive> FakeBackend::addDrive(const std::string& key) {
    std::lock_guard lock(shared_->mutex);
    for (auto& [drive, node] : shared_->drives)
        if (drive->key() == key) return drive;
    auto drive = std::make_shared<FakeDrive>(key);
    auto node = std::make_shared<FakeDeviceNode>(drive);
    shared_->drives.emplace_back(drive, node);
    shared_->post(shared_->deviceSources, [&](HotplugEvents& e) { e.published.push_back(node); });
    return drive;
}

void FakeBackend::removeDrive(const std::string& key) {
    std::lock_guard lock(shared_->mutex);
    auto& drives = shared_->drives;
    auto it = std::find_if(drives.begin(), drives.end(), [&](const auto& d) { return d.first->key() == key; });
    if (it == drives.end()) return;
    std::shared_ptr<DeviceNode> node = it->second;
    drives.erase(it);
    shared_->post(shared_->deviceSources, [&](HotplugEvents& e) { e.terminated.push_back(node); });
}

std::shared_ptr<FakeDrive> FakeBackend::drive(const std::string& key) const {
    std::lock_guard lock(shared_->mutex);
    for (auto& [drive, node] : shared_->drives)
        if (drive->key() == key) return drive;
    return nullptr;
}

std::shared_ptr<DeviceNode> FakeBackend::node(const std::string& key) const {
    std::lock_guard lock(shared_->mutex);
    for (auto& [drive, node] : shared_->drives)
        if (drive->key() == key) return node;
    return nullptr;
}

void FakeBackend::insertDisc(DiskDescription disk) {
    std::lock_guard lock(shared_->mutex);
    shared_->disks.push_back(disk);
    shared_->post(shared_->diskSources, [&](HotplugEvents& e) { e.disksAppeared.push_back(disk); });
}

void FakeBackend::ejectDisc(const std::string& bsdName) {
    std::lock_guard lock(shared_->mutex);
    auto& disks = shared_->disks;
    auto it = std::find_if(disks.begin(), disks.end(), [&](const auto& d) { return d.bsdName == bsdName; });
    if (it == disks.end()) return;
    DiskDescription gone = *it;
    disks.erase(it);
    shared_->post(shared_->diskSources, [&](HotplugEvents& e) { e.disksDisappeared.push_back(gone); });
}

std::vector<std::shared_ptr<DeviceNode>> FakeBackend::authoringDevices() {
    std::lock_guard lock(shared_->mutex);
    std::vector<std::shared_ptr<DeviceNode>> nodes;
    for (auto& [drive, node] : shared_->drives) nodes.push_back(node);
    return nodes;
}

std::unique_ptr<EventSource> FakeBackend::createDeviceEventSource() {
    auto source = std::make_unique<PipeEventSource>();
    std::lock_guard lock(shared_->mutex);
    shared_->deviceSources.push_back(source->state());
    return source;
}

std::unique_ptr<EventSource> FakeBackend::createDiskEventSource() {
    auto source = std::make_unique<PipeEventSource>();
    std::lock_guard lock(shared_->mutex);
    shared_->diskSources.push_back(source->state());
    return source;
}

std::vector<DiskDescription> FakeBackend::presentDisks() {
    std::lock_guard lock(shared_->mutex);
    return shared_->disks;
}

}  // namespace kdu::test
