// Shared by the drive suites: a fake drive with its interface chain open, images in a
// temporary resource folder, and capture of stderr, log lines and progress notices.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <mutex>
#include <ostream>
#include <string>
#include <vector>

#include "drive/STUCMethod.h"
#include "model/FirmwareImageFormat.h"
#include "model/FirmwareImages.h"
#include "model/NotificationNames.h"
#include "model/TempDir.h"
#include "model/Util.h"
#include "platform/Log.h"
#include "platform/NotificationCenter.h"
#include "platform/Registry.h"
#include "support/FakeBackend.h"
#include "tools/ImageMaker.h"

namespace kdu::test {

using Bytes = std::vector<std::uint8_t>;

// Parameter rows carry a name: it names the test and prints the row. (In the unnamed
// namespace that the suites' rows live in, where argument-dependent lookup finds it.)
namespace {
template <typename Row>
    requires requires(const Row& row) { row.name; }
void PrintTo(const Row& row, std::ostream* os) {
    *os << row.name;
}
}  // namespace
inline constexpr auto kRowName = [](const auto& info) { return std::string(info.param.name); };

inline std::string stderrOf(const std::function<void()>& action) {
    ::testing::internal::CaptureStderr();
    action();
    return ::testing::internal::GetCapturedStderr();
}

// Log lines written while it lives.
class LogCapture {
public:
    LogCapture() {
        platform::setSyslogEnabled(false);
        platform::setLogSink([this](platform::LogLevel, const std::string& line) {
            std::lock_guard lock(mutex_);
            lines_.push_back(line);
        });
    }
    ~LogCapture() { platform::setLogSink(nullptr); }
    std::vector<std::string> lines() const {
        std::lock_guard lock(mutex_);
        return lines_;
    }
    int count(const std::string& fragment) const {
        int n = 0;
        for (const std::string& line : lines()) n += line.find(fragment) != std::string::npos;
        return n;
    }

private:
    mutable std::mutex mutex_;
    std::vector<std::string> lines_;
};

// Values of "updateIndicatorNotify" posted while it lives.
class ProgressCapture {
public:
    ProgressCapture() {
        platform::NotificationCenter::defaultCenter().addObserver(
            this, kUpdateIndicatorNotify, [this](const platform::Notification& n) {
                std::lock_guard lock(mutex_);
                values_.push_back(n.object.value_or(INT64_MIN));
            });
    }
    ~ProgressCapture() { platform::NotificationCenter::defaultCenter().removeObserver(this); }
    std::vector<std::int64_t> values() const {
        std::lock_guard lock(mutex_);
        return values_;
    }

private:
    mutable std::mutex mutex_;
    std::vector<std::int64_t> values_;
};

// A temporary resource folder that the resource lookup points at while it lives.
struct ResourceFolder : TempDir {
    ResourceFolder() { Util::setResourceDirectoryOverride(path()); }
    ~ResourceFolder() { Util::setResourceDirectoryOverride(std::nullopt); }
    std::string kernelFile() const { return file(firmwareFileName(kKernelImageBaseName)); }
    std::string normalFile() const { return file(firmwareFileName(kNormalImageBaseName)); }
    void writeKernel(std::size_t size = image_format::kKernelImageSentLength + 1000) const {
        write(firmwareFileName(kKernelImageBaseName),
              image_maker::makeImage({.length = size, .sealedLength = image_format::kKernelImageSentLength}));
    }
    void writeNormal(std::size_t size) const {
        write(firmwareFileName(kNormalImageBaseName), image_maker::makeImage({.length = size, .seed = 2}));
    }
};

// A fake drive with its interface chain open. Every test ends with no task left alive:
// each command must release its task on every path.
class DriveCommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::installBackend(backend);
        service = platform::registry::retainService(drive);
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
    RecordedCommand onlyCommand() const {
        auto commands = drive->commands();
        EXPECT_EQ(commands.size(), 1u);
        return commands.empty() ? RecordedCommand{} : commands.front();
    }

    LogCapture log;
    std::shared_ptr<FakeBackend> backend = std::make_shared<FakeBackend>();
    std::shared_ptr<FakeDrive> drive = backend->addDrive("drive0");
    platform::io_service_t service = platform::IO_OBJECT_NULL;
    platform::IOCFPlugInInterface* plugIn = nullptr;
    platform::SCSITaskDeviceInterface* taskDevice = nullptr;
    platform::MMCDeviceInterface* mmc = nullptr;
};

}  // namespace kdu::test
