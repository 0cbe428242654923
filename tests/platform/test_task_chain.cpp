#include <gtest/gtest.h>

#include "StubNode.h"
#include "platform/Registry.h"
#include "platform/SCSITaskLib.h"

using namespace platform;

class TaskChainTest : public ::testing::Test {
protected:
    void SetUp() override {
        node_ = std::make_shared<platform_test::StubNode>("drive");
        service_ = registry::retainService(node_);
        platform::testing::clearInterfaceTrace();
    }
    void TearDown() override {
        IOObjectRelease(service_);
        EXPECT_EQ(platform::testing::liveInterfaces(), platform::testing::LiveInterfaces{});
    }
    std::shared_ptr<platform_test::StubNode> node_;
    io_service_t service_ = IO_OBJECT_NULL;
};

TEST_F(TaskChainTest, ChainOpensRunsATaskAndReleasesInOrder) {
    IOCFPlugInInterface* plugIn = nullptr;
    std::int32_t score = -1;
    ASSERT_EQ(IOCreatePlugInInterfaceForService(service_, kIOMMCDeviceUserClientTypeID, kIOCFPlugInInterfaceID,
                                                &plugIn, &score),
              kIOReturnSuccess);
    MMCDeviceInterface* mmc = nullptr;
    ASSERT_EQ(plugIn->QueryInterface(kIOMMCDeviceInterfaceID, &mmc), S_OK);
    SCSITaskDeviceInterface* device = mmc->GetSCSITaskDeviceInterface();
    ASSERT_NE(device, nullptr);
    ASSERT_EQ(device->ObtainExclusiveAccess(), kIOReturnSuccess);

    SCSITaskInterface* task = device->CreateSCSITask();
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
    EXPECT_EQ(sense[12], 0x20);
    EXPECT_EQ(realized, 256u);
    task->Release();

    ASSERT_EQ(node_->commands.size(), 1u);
    EXPECT_EQ(node_->commands[0].cdbLength, 6);
    EXPECT_EQ(node_->commands[0].timeoutMs, 500000u);
    EXPECT_EQ(node_->commands[0].data, buffer);

    device->ReleaseExclusiveAccess();
    device->Release();
    mmc->Release();
    IODestroyPlugInInterface(plugIn);
    EXPECT_EQ(platform::testing::interfaceTrace(),
              (std::vector<std::string>{"plugin.create", "mmc.create", "taskdevice.create", "exclusive.obtain",
                                        "task.create", "task.execute", "task.release", "exclusive.release",
                                        "taskdevice.release", "mmc.release", "plugin.destroy"}));
}

TEST_F(TaskChainTest, TransferCountBeyondTheRangeIsRefused) {
    IOCFPlugInInterface* plugIn = nullptr;
    IOCreatePlugInInterfaceForService(service_, kIOMMCDeviceUserClientTypeID, kIOCFPlugInInterfaceID, &plugIn,
                                      nullptr);
    MMCDeviceInterface* mmc = nullptr;
    plugIn->QueryInterface(kIOMMCDeviceInterfaceID, &mmc);
    SCSITaskDeviceInterface* device = mmc->GetSCSITaskDeviceInterface();
    SCSITaskInterface* task = device->CreateSCSITask();
    std::uint8_t buffer[16] = {};
    IOVirtualRange range{buffer, sizeof buffer};
    EXPECT_EQ(task->SetScatterGatherEntries(&range, 1, 17, kSCSIDataTransfer_FromInitiatorToTarget),
              kIOReturnBadArgument);
    EXPECT_EQ(task->SetScatterGatherEntries(nullptr, 0, 1, kSCSIDataTransfer_NoDataTransfer), kIOReturnBadArgument);
    task->Release();
    device->Release();
    mmc->Release();
    IODestroyPlugInInterface(plugIn);
}

TEST_F(TaskChainTest, WrongTypeIdsAreRefused) {
    IOCFPlugInInterface* plugIn = nullptr;
    EXPECT_NE(IOCreatePlugInInterfaceForService(service_, kIOCFPlugInInterfaceID, kIOCFPlugInInterfaceID, &plugIn,
                                                nullptr),
              kIOReturnSuccess);
    EXPECT_EQ(plugIn, nullptr);
    ASSERT_EQ(IOCreatePlugInInterfaceForService(service_, kIOMMCDeviceUserClientTypeID, kIOCFPlugInInterfaceID,
                                                &plugIn, nullptr),
              kIOReturnSuccess);
    MMCDeviceInterface* mmc = nullptr;
    EXPECT_EQ(plugIn->QueryInterface(kIOCFPlugInInterfaceID, &mmc), E_NOINTERFACE);
    EXPECT_EQ(mmc, nullptr);
    IODestroyPlugInInterface(plugIn);
}
