#include <gtest/gtest.h>

#include "platform/Registry.h"
#include "platform/SCSITaskLib.h"
#include "support/FakeBackend.h"

using namespace platform;

class TaskChainTest : public ::testing::Test {
protected:
    TaskChainTest() { platform::testing::clearInterfaceTrace(); }
    ~TaskChainTest() override {
        IOObjectRelease(service_);
        EXPECT_EQ(platform::testing::liveInterfaces(), platform::testing::LiveInterfaces{});
    }
    void open() {
        ASSERT_EQ(IOCreatePlugInInterfaceForService(service_, kIOMMCDeviceUserClientTypeID, kIOCFPlugInInterfaceID,
                                                    &plugIn_, nullptr),
                  kIOReturnSuccess);
        ASSERT_EQ(plugIn_->QueryInterface(kIOMMCDeviceInterfaceID, &mmc_), S_OK);
        ASSERT_NE(device_ = mmc_->GetSCSITaskDeviceInterface(), nullptr);
    }
    void close() {
        device_->Release();
        mmc_->Release();
        IODestroyPlugInInterface(plugIn_);
    }
    kdu::test::FakeBackend backend_;
    std::shared_ptr<kdu::test::FakeDrive> drive_ = backend_.addDrive("drive");
    io_service_t service_ = registry::retainService(drive_);
    IOCFPlugInInterface* plugIn_ = nullptr;
    MMCDeviceInterface* mmc_ = nullptr;
    SCSITaskDeviceInterface* device_ = nullptr;
};

TEST_F(TaskChainTest, ChainOpensRunsATaskAndReleasesInOrder) {
    kdu::test::Answer answer;
    answer.status = kSCSITaskStatus_CHECK_CONDITION;
    answer.sense[2] = 0x05;
    answer.sense[12] = 0x20;
    answer.dataIn.assign(56, 0xA5);
    drive_->queue(answer);
    ASSERT_NO_FATAL_FAILURE(open());
    ASSERT_EQ(device_->ObtainExclusiveAccess(), kIOReturnSuccess);
    SCSITaskInterface* task = device_->CreateSCSITask();
    ASSERT_NE(task, nullptr);
    std::uint8_t cdb[6] = {0x12, 0, 0, 0, 0x38, 0};
    std::uint8_t buffer[256] = {};
    IOVirtualRange range{buffer, sizeof buffer};
    EXPECT_EQ(task->SetCommandDescriptorBlock(cdb, 6), kIOReturnSuccess);
    EXPECT_EQ(task->SetScatterGatherEntries(&range, 1, 256, kSCSIDataTransfer_FromTargetToInitiator), kIOReturnSuccess);
    EXPECT_EQ(task->SetTimeoutDuration(500000), kIOReturnSuccess);
    SCSI_Sense_Data sense{};
    SCSITaskStatus status = 0;
    std::uint64_t realized = 0;
    EXPECT_EQ(task->ExecuteTaskSync(&sense, &status, &realized), kIOReturnSuccess);
    EXPECT_EQ(status, kSCSITaskStatus_CHECK_CONDITION);
    EXPECT_EQ(sense[2], 0x05);
    EXPECT_EQ(sense[12], 0x20);
    EXPECT_EQ(realized, 56u);
    EXPECT_EQ(buffer[55], 0xA5);  // the caller's own buffer was filled
    EXPECT_EQ(buffer[56], 0x00);
    task->Release();
    device_->ReleaseExclusiveAccess();
    close();
    EXPECT_EQ(platform::testing::interfaceTrace(),
              (std::vector<std::string>{"plugin.create", "mmc.create", "taskdevice.create", "exclusive.obtain",
                                        "task.create", "task.execute", "task.release", "exclusive.release",
                                        "taskdevice.release", "mmc.release", "plugin.destroy"}));
}

TEST_F(TaskChainTest, WrongTypeIdsAndTransferCountsBeyondTheRangeAreRefused) {
    EXPECT_NE(IOCreatePlugInInterfaceForService(service_, kIOCFPlugInInterfaceID, kIOCFPlugInInterfaceID, &plugIn_,
                                                nullptr),
              kIOReturnSuccess);
    EXPECT_EQ(plugIn_, nullptr);
    ASSERT_NO_FATAL_FAILURE(open());
    MMCDeviceInterface* wrong = nullptr;
    EXPECT_EQ(plugIn_->QueryInterface(kIOCFPlugInInterfaceID, &wrong), E_NOINTERFACE);
    EXPECT_EQ(wrong, nullptr);

    SCSITaskInterface* task = device_->CreateSCSITask();
    std::uint8_t buffer[16] = {};
    IOVirtualRange range{buffer, sizeof buffer};
    EXPECT_EQ(task->SetScatterGatherEntries(&range, 1, 17, kSCSIDataTransfer_FromInitiatorToTarget),
              kIOReturnBadArgument);
    EXPECT_EQ(task->SetScatterGatherEntries(nullptr, 0, 1, kSCSIDataTransfer_NoDataTransfer), kIOReturnBadArgument);
    task->Release();
    close();
}
