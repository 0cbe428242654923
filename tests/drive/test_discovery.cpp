#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "drive/STUCMethod.h"
#include "platform/Matching.h"
#include "platform/Registry.h"
#include "support/FakeBackend.h"
#include "test_commands_fixture.h"

namespace kdu::test {
namespace {

using ::testing::HasSubstr;
using ::testing::internal::CaptureStderr;
using ::testing::internal::CaptureStdout;
using ::testing::internal::GetCapturedStderr;
using ::testing::internal::GetCapturedStdout;

class DiscoveryTest : public ::testing::Test {
protected:
    void SetUp() override {
        backend = std::make_shared<FakeBackend>();
        platform::installBackend(backend);
        liveObjectsBefore = platform::IORegistryLiveObjectCount();
    }
    void TearDown() override {
        platform::testing::resetMatchingFaults();
        platform::installBackend(nullptr);
    }

    LogCapture log;
    std::shared_ptr<FakeBackend> backend;
    std::size_t liveObjectsBefore = 0;
};

class FindDevicesUnimplementedMethod : public DiscoveryTest, public ::testing::WithParamInterface<std::uint32_t> {};

TEST_P(FindDevicesUnimplementedMethod, ReportsNoDictionaryAndLeavesIteratorAlone) {
    backend->addDrive("drive0");
    platform::io_iterator_t iterator = 0x5A5A;
    CaptureStdout();
    CaptureStderr();
    const bool found = FindDevicesUsing(GetParam(), platform::kIOMasterPortDefault, &iterator);
    const std::string err = GetCapturedStderr();
    EXPECT_EQ(GetCapturedStdout(), "no implement..");
    EXPECT_EQ(err, "Couldn't create a matching dictionary.\n");
    EXPECT_FALSE(found);
    EXPECT_EQ(iterator, 0x5A5Au);
    EXPECT_EQ(platform::IORegistryLiveObjectCount(), liveObjectsBefore);
}

INSTANTIATE_TEST_SUITE_P(Methods, FindDevicesUnimplementedMethod, ::testing::Values(0u, 4u, 6u, 0xFFFFFFFFu));

TEST_F(DiscoveryTest, FailedDictionaryIsReportedWithoutMatching) {
    platform::testing::failDictionaryCreation(1);
    platform::io_iterator_t iterator = 0;
    CaptureStderr();
    EXPECT_FALSE(FindDevicesUsing(kFindMethodAuthoringDevices, platform::kIOMasterPortDefault, &iterator));
    EXPECT_EQ(GetCapturedStderr(), "Couldn't create a matching dictionary.\n");
    EXPECT_EQ(iterator, 0u);
}

TEST_F(DiscoveryTest, DictionaryAsksForAuthoringDevicesOnly) {
    platform::CFMutableDictionaryRef dict;
    CreateMatchingDictionaryForAuthoringDevices(&dict);
    ASSERT_TRUE(dict);
    EXPECT_EQ(dict->size(), 1u);
    EXPECT_TRUE(platform::IsAuthoringDeviceMatch(*dict));
    EXPECT_EQ(dict.use_count(), 1);
}

struct MatchingFault {
    const char* name;
    std::optional<platform::kern_return_t> result;
    bool zeroIterator;
};

class FindDevicesMatchingFault : public DiscoveryTest, public ::testing::WithParamInterface<MatchingFault> {};

TEST_P(FindDevicesMatchingFault, IsNotFound) {
    backend->addDrive("a");
    platform::testing::setMatchingOutcome(GetParam().result, GetParam().zeroIterator);
    platform::io_iterator_t iterator = 0;
    EXPECT_FALSE(FindDevicesUsing(kFindMethodAuthoringDevices, platform::kIOMasterPortDefault, &iterator));
    if (iterator) platform::IOObjectRelease(iterator);
    EXPECT_EQ(platform::IORegistryLiveObjectCount(), liveObjectsBefore);
}

INSTANTIATE_TEST_SUITE_P(Faults, FindDevicesMatchingFault,
                         ::testing::Values(MatchingFault{"Error", platform::kIOReturnNoMemory, false},
                                           MatchingFault{"ZeroIterator", std::nullopt, true}),
                         [](const auto& p) { return std::string(p.param.name); });

// Interface chain ---------------------------------------------------------------

struct ChainCase {
    const char* name;
    platform::IOReturn plugInResult;
    platform::HRESULT mmcResult;
    bool taskChannel;
    bool expectPlugIn, expectMMC, expectTaskDevice;
    const char* expectedLog;     // the one error line's message, or empty
    const char* expectedStderr;  // besides log lines
};

class InterfaceChain : public DiscoveryTest, public ::testing::WithParamInterface<ChainCase> {};

TEST_P(InterfaceChain, OutParametersShowWhatWasObtainedAndAllIsGivenBack) {
    const ChainCase& c = GetParam();
    auto drive = backend->addDrive("drive0");
    drive->setPlugInResult(c.plugInResult);
    drive->setMMCResult(c.mmcResult);
    drive->setTaskChannelAvailable(c.taskChannel);
    const platform::io_service_t service = platform::registry::retainService(backend->node("drive0"));
    const auto interfacesBefore = platform::testing::liveInterfaces();
    const auto retainBefore = platform::IOObjectGetRetainCount(service);

    // Non-null sentinels: every out-parameter must be written.
    auto* plugIn = reinterpret_cast<platform::IOCFPlugInInterface*>(0x1);
    auto* taskDevice = reinterpret_cast<platform::SCSITaskDeviceInterface*>(0x1);
    auto* mmc = reinterpret_cast<platform::MMCDeviceInterface*>(0x1);
    CaptureStderr();
    CreateDeviceInterfaceForAuthoringDevice(service, &plugIn, &taskDevice, &mmc);
    const std::string err = GetCapturedStderr();

    EXPECT_EQ(plugIn != nullptr, c.expectPlugIn);
    EXPECT_EQ(mmc != nullptr, c.expectMMC);
    EXPECT_EQ(taskDevice != nullptr, c.expectTaskDevice);
    if (*c.expectedLog) {
        ASSERT_EQ(log.lines().size(), 1u);
        EXPECT_THAT(log.lines()[0], HasSubstr("CreateDeviceInterfaceForAuthoringDevice("));
        EXPECT_THAT(log.lines()[0], HasSubstr(std::string("[ERR] ") + c.expectedLog));
    } else {
        EXPECT_TRUE(log.lines().empty());
    }
    EXPECT_THAT(err, HasSubstr(c.expectedStderr));

    if (taskDevice) taskDevice->Release();
    if (mmc) mmc->Release();
    if (plugIn) platform::IODestroyPlugInInterface(plugIn);
    EXPECT_EQ(platform::testing::liveInterfaces(), interfacesBefore);
    EXPECT_EQ(platform::IOObjectGetRetainCount(service), retainBefore);
    EXPECT_EQ(drive->openChannels(), 0);
    platform::IOObjectRelease(service);
}

INSTANTIATE_TEST_SUITE_P(
    Steps, InterfaceChain,
    ::testing::Values(
        ChainCase{"AllSteps", platform::kIOReturnSuccess, platform::S_OK, true, true, true, true, "", ""},
        ChainCase{"PlugInFails", platform::kIOReturnNoResources, platform::S_OK, true, false, false, false,
                  "Couldn't create a plugin interface for the io_service_t. (0xe00002be)", ""},
        ChainCase{"MMCFails", platform::kIOReturnSuccess, platform::E_NOINTERFACE, true, true, false, false,
                  "Couldn't create MMC device interface. (-2147483644)", ""},
        ChainCase{"NoTaskDevice", platform::kIOReturnSuccess, platform::S_OK, false, true, true, false, "",
                  "GetSCSITaskDeviceInterface returned NULL\n"}),
    [](const auto& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace kdu::test
