#include "bench/BenchSupport.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <map>
#include <mutex>
#include <stdexcept>

#include "drive/STUCMethod.h"
#include "model/Util.h"
#include "log/Log.h"
#include "platform/sim/SimControl.h"
#include "tools/ImageMaker.h"

namespace bench {

// Forwards to the simulator backend and clocks every command its channels execute.
class SimulatedDrives::TimedBackend : public platform::Backend {
public:
    explicit TimedBackend(std::shared_ptr<platform::Backend> inner) : inner_(std::move(inner)) {}

    std::string name() const override { return inner_->name(); }
    std::vector<std::shared_ptr<platform::DeviceNode>> authoringDevices() override {
        std::vector<std::shared_ptr<platform::DeviceNode>> nodes;
        std::lock_guard lock(mutex_);
        for (const auto& node : inner_->authoringDevices()) {
            std::shared_ptr<platform::DeviceNode>& wrapped = nodes_[node.get()];
            if (!wrapped) wrapped = std::make_shared<Node>(node, nanoseconds_);
            nodes.push_back(wrapped);
        }
        return nodes;
    }
    std::unique_ptr<platform::EventSource> createEventSource() override { return inner_->createEventSource(); }
    std::vector<platform::DiskDescription> presentDisks() override { return inner_->presentDisks(); }

    std::atomic<std::int64_t> nanoseconds_{0};

private:
    class Channel : public platform::TaskChannel {
    public:
        Channel(std::unique_ptr<platform::TaskChannel> inner, std::atomic<std::int64_t>& clock)
            : inner_(std::move(inner)), clock_(clock) {}
        scsi::TransportError release() override { return inner_->release(); }
        scsi::Result execute(const scsi::Command& command) override {
            const auto start = std::chrono::steady_clock::now();
            scsi::Result result = inner_->execute(command);
            clock_ += std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() - start)
                          .count();
            return result;
        }

    private:
        std::unique_ptr<platform::TaskChannel> inner_;
        std::atomic<std::int64_t>& clock_;
    };
    class Node : public platform::DeviceNode {
    public:
        Node(std::shared_ptr<platform::DeviceNode> inner, std::atomic<std::int64_t>& clock)
            : inner_(std::move(inner)), clock_(clock) {}
        std::string key() const override { return inner_->key(); }
        scsi::DriveIdentity identity() const override { return inner_->identity(); }
        scsi::DriveModelNames modelNames() const override { return inner_->modelNames(); }
        scsi::TransportError className(std::string& out) const override { return inner_->className(out); }
        platform::Opened open() override {
            platform::Opened opened = inner_->open();
            if (opened.channel) opened.channel = std::make_unique<Channel>(std::move(opened.channel), clock_);
            return opened;
        }

    private:
        std::shared_ptr<platform::DeviceNode> inner_;
        std::atomic<std::int64_t>& clock_;
    };

    std::shared_ptr<platform::Backend> inner_;
    std::mutex mutex_;
    std::map<platform::DeviceNode*, std::shared_ptr<platform::DeviceNode>> nodes_;
};

double SimulatedDrives::simulatorSeconds() const { return static_cast<double>(timed_->nanoseconds_.load()) / 1e9; }

void SimulatedDrives::resetSimulatorTime() { timed_->nanoseconds_ = 0; }

SimulatedDrives::SimulatedDrives() {
    char pattern[] = "/tmp/kdu-bench-XXXXXX";
    if (!mkdtemp(pattern)) throw std::runtime_error("mkdtemp failed");
    root_ = pattern;
    folder_ = root_ / "drives";
    resources_ = root_ / "resources";
    std::filesystem::create_directories(folder_);
    std::filesystem::create_directories(resources_);
    kdulog::setSyslogEnabled(false);
    backend_ = sim::makeSimBackend(folder_);
    backend_->setRecording(false);  // as the front ends run it
    timed_ = std::make_shared<TimedBackend>(backend_);
    platform::installBackend(timed_);
}

SimulatedDrives::~SimulatedDrives() {
    platform::installBackend(nullptr);
    Util::setResourceDirectoryOverride(std::nullopt);
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
}

void SimulatedDrives::attach(const std::string& name, const sim::DriveSpec& profile) {
    if (auto error = sim::attach(folder_, name, profile)) throw std::runtime_error(*error);
}

void SimulatedDrives::provideImages(std::size_t normalLength) {
    if (const auto error = image_maker::writeShippedImages(resources_, normalLength)) throw std::runtime_error(*error);
    binding_.bindImagesIn(resources_);
    Util::setResourceDirectoryOverride(resources_.string());
}

OpenDrive::OpenDrive() {
    auto nodes = platform::backend().authoringDevices();
    if (nodes.empty()) throw std::runtime_error("no simulated drive");
    node_ = nodes.front();
    channel_ = CreateDeviceInterfaceForAuthoringDevice(*node_).channel;
    if (!channel_) throw std::runtime_error("the simulated drive cannot be opened");
}

QuietStreams::QuietStreams() {
    std::fflush(stdout);
    std::fflush(stderr);
    savedOut_ = dup(STDOUT_FILENO);
    savedErr_ = dup(STDERR_FILENO);
    int null = open("/dev/null", O_WRONLY);
    dup2(null, STDOUT_FILENO);
    dup2(null, STDERR_FILENO);
    close(null);
}

QuietStreams::~QuietStreams() {
    std::fflush(stdout);
    std::fflush(stderr);
    dup2(savedOut_, STDOUT_FILENO);
    dup2(savedErr_, STDERR_FILENO);
    close(savedOut_);
    close(savedErr_);
}

}  // namespace bench
