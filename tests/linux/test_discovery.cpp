#include <gtest/gtest.h>

#include "FakeSysfs.h"
#include "platform/linux/HotplugTrackers.h"
#include "platform/linux/LinuxBackend.h"
#include "platform/linux/LinuxTaskChannel.h"

using namespace platform;

class SysfsDiscovery : public ::testing::Test {
protected:
    std::shared_ptr<Backend> backend() { return makeLinuxBackend({sys.layout().sysRoot, sys.layout().devRoot}); }
    FakeSysfs sys;
};

TEST_F(SysfsDiscovery, FindsOnlyMmcDevicesInGenericNodeOrder) {
    EXPECT_TRUE(backend()->authoringDevices().empty());
    sys.addDevice(3, 10, 5, 2);
    sys.addDevice(0, 0, 0);  // a disk
    sys.addDevice(1, 2, 5, 0);
    const auto devices = sysfs::scanMmcDevices(sys.layout());
    ASSERT_EQ(devices.size(), 2u);
    EXPECT_EQ(devices[0].genericName, "sg2");
    EXPECT_EQ(devices[0].blockName, "sr0");
    EXPECT_EQ(devices[1].genericName, "sg10");  // numerically after sg2
    EXPECT_EQ(devices[1].blockName, "sr2");
    EXPECT_EQ(sysfs::modelOfBlock(sys.layout(), "sr0"), "BD-RW KVL-MT38");
}

TEST_F(SysfsDiscovery, NodesKeepTheirIdentityAndNameTheirDriver) {
    sys.addDevice(1, 1, 5, 0);
    auto real = backend();
    const auto first = real->authoringDevices();
    ASSERT_EQ(first.size(), 1u);
    EXPECT_EQ(first[0], real->authoringDevices()[0]);
    std::string name;
    EXPECT_EQ(first[0]->className(name), kIOReturnSuccess);
    EXPECT_EQ(name, "sr");
    EXPECT_NE(first[0]->openTaskChannel(), nullptr);
}

TEST_F(SysfsDiscovery, AChainCannotBeOpenedWithoutItsNodes) {
    sys.addDevice(1, 1, 5);  // no block driver bound
    auto nodes = backend()->authoringDevices();
    ASSERT_EQ(nodes.size(), 1u);
    std::string name;
    EXPECT_EQ(nodes[0]->className(name), kIOReturnNotFound);
    std::filesystem::remove(sys.dev("sg1"));
    EXPECT_EQ(nodes[0]->openTaskChannel(), nullptr);
}

TEST_F(SysfsDiscovery, GenericNodeEventsPublishAndTerminateTheSameNode) {
    DeviceEventTracker tracker(sys.layout(), std::make_shared<DeviceNodeCache>(sys.layout()));
    sys.addDevice(0, 0, 0);
    sys.addDevice(1, 1, 5, 0);
    HotplugEvents events;
    tracker.handle({"add", "scsi_generic", "sg0", {}}, events);
    tracker.handle({"add", "scsi_generic", "sg1", {}}, events);
    ASSERT_EQ(events.published.size(), 1u);
    EXPECT_EQ(events.published[0]->key(), std::filesystem::canonical(sys.sys("class/scsi_generic/sg1/device")));

    std::filesystem::remove(sys.sys("class/scsi_generic/sg1"));
    tracker.handle({"remove", "scsi_generic", "sg0", {}}, events);  // never announced
    tracker.handle({"remove", "scsi_generic", "sg1", {}}, events);
    ASSERT_EQ(events.terminated.size(), 1u);
    EXPECT_EQ(events.terminated[0], events.published[0]);
}

class ExclusiveAccess : public ::testing::Test {
protected:
    FakeSysfs sys;
    const std::string device = sys.addDevice(1, 1, 5, 0).string();
    const std::filesystem::path poll = sys.sys("block/sr0/events_poll_msecs");
};

TEST_F(ExclusiveAccess, PausesMediaPollingWhileHeldAndRestoresItOnReleaseOrDestruction) {
    FakeSysfs::write(poll, "2000");
    {
        LinuxTaskChannel channel(sys.layout(), device, "sg1");
        ASSERT_EQ(channel.obtainExclusiveAccess(), kIOReturnSuccess);
        EXPECT_EQ(FakeSysfs::read(poll), "0");
        EXPECT_EQ(channel.obtainExclusiveAccess(), kIOReturnExclusiveAccess);
        EXPECT_EQ(channel.releaseExclusiveAccess(), kIOReturnSuccess);
        EXPECT_EQ(FakeSysfs::read(poll), "2000");
        EXPECT_EQ(channel.releaseExclusiveAccess(), kIOReturnNotOpen);
        ASSERT_EQ(channel.obtainExclusiveAccess(), kIOReturnSuccess);  // and held when destroyed
    }
    EXPECT_EQ(FakeSysfs::read(poll), "2000");
}

TEST_F(ExclusiveAccess, CommandsNeedTheDriveHeldAndAnSgNode) {
    LinuxTaskChannel channel(sys.layout(), device, "sg1");
    const ScsiCommand inquiry{.cdb = {0x12, 0, 0, 0, 56, 0}, .cdbLength = 6};
    ScsiOutcome out;
    EXPECT_EQ(channel.execute(inquiry, out), kIOReturnNotOpen);
    ASSERT_EQ(channel.obtainExclusiveAccess(), kIOReturnSuccess);
    // The fake node is a plain file: the SG_IO ioctl itself fails.
    EXPECT_EQ(channel.execute(inquiry, out), kIOReturnIOError);
    EXPECT_EQ(out.status, kSCSITaskStatus_DeliveryFailure);
    channel.releaseExclusiveAccess();

    std::filesystem::remove(sys.dev("sg1"));
    EXPECT_EQ(channel.obtainExclusiveAccess(), kIOReturnNoDevice);
}
