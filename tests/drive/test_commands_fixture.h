// A fake drive with its interface chain open, for the command tests. Every test ends
// with no task left alive: each command must release its task on every path.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <memory>
#include <string>

#include "drive/STUCMethod.h"
#include "platform/Registry.h"
#include "support/FakeBackend.h"
#include "test_update_support.h"

namespace kdu::test {

// Parameter rows print as their name in test output.
template <typename Row>
    requires requires(const Row& row) { row.name; }
void PrintTo(const Row& row, std::ostream* os) {
    *os << row.name;
}

class DriveCommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        backend = std::make_shared<FakeBackend>();
        platform::installBackend(backend);
        drive = backend->addDrive("drive0");
        service = platform::registry::retainService(backend->node("drive0"));
        CreateDeviceInterfaceForAuthoringDevice(service, &plugIn, &taskDevice, &mmc);
        ASSERT_NE(taskDevice, nullptr);
    }

    void TearDown() override {
        EXPECT_EQ(platform::testing::liveInterfaces().tasks, 0);
        if (taskDevice) taskDevice->Release();
        if (mmc) mmc->Release();
        if (plugIn) platform::IODestroyPlugInInterface(plugIn);
        platform::IOObjectRelease(service);
        platform::installBackend(nullptr);
    }

    // What `action` writes to the standard error.
    static std::string stderrOf(const std::function<void()>& action) {
        ::testing::internal::CaptureStderr();
        action();
        return ::testing::internal::GetCapturedStderr();
    }

    RecordedCommand onlyCommand() const {
        auto commands = drive->commands();
        EXPECT_EQ(commands.size(), 1u);
        return commands.empty() ? RecordedCommand{} : commands.front();
    }

    LogCapture log;
    std::shared_ptr<FakeBackend> backend;
    std::shared_ptr<FakeDrive> drive;
    platform::io_service_t service = platform::IO_OBJECT_NULL;
    platform::IOCFPlugInInterface* plugIn = nullptr;
    platform::SCSITaskDeviceInterface* taskDevice = nullptr;
    platform::MMCDeviceInterface* mmc = nullptr;
};

}  // namespace kdu::test
