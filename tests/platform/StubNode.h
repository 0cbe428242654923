// A drive node whose channel answers every command with GOOD and records it.
#pragma once

#include <string>
#include <vector>

#include "platform/Backend.h"

namespace platform_test {

struct StubChannel : platform::TaskChannel {
    std::vector<platform::ScsiCommand>* log;
    explicit StubChannel(std::vector<platform::ScsiCommand>* l) : log(l) {}
    platform::IOReturn obtainExclusiveAccess() override { return platform::kIOReturnSuccess; }
    platform::IOReturn releaseExclusiveAccess() override { return platform::kIOReturnSuccess; }
    platform::IOReturn execute(const platform::ScsiCommand& command, platform::ScsiOutcome& out) override {
        log->push_back(command);
        out.status = platform::kSCSITaskStatus_CHECK_CONDITION;
        out.sense[2] = 0x05;
        out.sense[12] = 0x20;
        out.realizedCount = command.transferCount;
        return platform::kIOReturnSuccess;
    }
};

struct StubNode : platform::DeviceNode {
    std::string name;
    std::vector<platform::ScsiCommand> commands;
    explicit StubNode(std::string n) : name(std::move(n)) {}
    std::string key() const override { return name; }
    platform::IOReturn className(std::string& out) const override {
        out = "StubDrive";
        return platform::kIOReturnSuccess;
    }
    platform::IOReturn createPlugIn() override { return platform::kIOReturnSuccess; }
    platform::HRESULT queryMMCInterface() override { return platform::S_OK; }
    std::unique_ptr<platform::TaskChannel> openTaskChannel() override {
        return std::make_unique<StubChannel>(&commands);
    }
};

struct StubBackend : platform::Backend {
    std::vector<std::shared_ptr<platform::DeviceNode>> nodes;
    std::string name() const override { return "stub"; }
    std::vector<std::shared_ptr<platform::DeviceNode>> authoringDevices() override { return nodes; }
    std::unique_ptr<platform::EventSource> createDeviceEventSource() override { return nullptr; }
    std::unique_ptr<platform::EventSource> createDiskEventSource() override { return nullptr; }
    std::vector<platform::DiskDescription> presentDisks() override { return {}; }
};

}  // namespace platform_test
