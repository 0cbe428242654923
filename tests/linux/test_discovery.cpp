#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <functional>

#include "FakeSysfs.h"
#include "platform/linux/HotplugTrackers.h"
#include "platform/linux/LinuxBackend.h"
#include "drive/DriveList.h"
#include "log/Log.h"
#include "platform/linux/LinuxTaskChannel.h"

using namespace platform;
using namespace kdulog;

class SysfsDiscovery : public ::testing::Test {
protected:
    std::shared_ptr<Backend> backend() { return makeLinuxBackend(sys.options()); }
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

TEST_F(SysfsDiscovery, NodesKeepTheirIdentityAndNameTheirDriverOnceBound) {
    sys.addDevice(1, 1, 5, 0);
    sys.addDevice(2, 2, 5);  // no block driver bound
    auto real = backend();
    const auto first = real->authoringDevices();
    ASSERT_EQ(first.size(), 2u);
    EXPECT_EQ(first[0], real->authoringDevices()[0]);
    std::string name;
    EXPECT_EQ(first[0]->className(name), scsi::TransportError::None);
    EXPECT_EQ(name, "sr");
    EXPECT_NE(first[0]->open().channel, nullptr);
    EXPECT_EQ(first[1]->className(name), scsi::TransportError::NotFound);
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

// Descriptors this process holds on nodes of the fake /dev.
std::vector<std::string> openNodes(const FakeSysfs& sys) {
    std::vector<std::string> nodes;
    const auto devRoot = sys.dev("sg0").parent_path();
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        std::error_code ec;
        const auto target = std::filesystem::read_symlink(entry.path(), ec);
        if (!ec && target.parent_path() == devRoot) nodes.push_back(target.filename().string());
    }
    std::sort(nodes.begin(), nodes.end());
    return nodes;
}

std::vector<std::string> records(const FakeSysfs& sys) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(sys.run()))
        names.push_back(FakeSysfs::read(entry.path()));
    return names;
}

class ExclusiveAccess : public ::testing::Test {
protected:
    void SetUp() override {
        setSyslogEnabled(false);
        setLogSink([this](LogLevel, const std::string& line) { log.push_back(line); });
        FakeSysfs::write(poll, "2000");
    }
    void TearDown() override { setLogSink(nullptr); }
    bool logged(const std::string& text) const {
        return std::any_of(log.begin(), log.end(),
                           [&](const std::string& l) { return l.find(text) != std::string::npos; });
    }
    Opened take() { return LinuxTaskChannel::open(sys.layout(), device, "sg1"); }
    // A run that took the drive and died without giving anything back.
    void crashWhileHolding() {
        const pid_t child = ::fork();
        if (child == 0) {
            ::_exit(take().channel.release() != nullptr ? 0 : 1);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        ASSERT_EQ(FakeSysfs::read(poll), "0");
    }

    FakeSysfs sys;
    const std::string device = sys.addDevice(1, 1, 5, 0).string();
    const std::filesystem::path poll = sys.sys("block/sr0/events_poll_msecs");
    const std::string pollResolved = std::filesystem::canonical(poll).string();
    std::vector<std::string> log;
};

TEST_F(ExclusiveAccess, HoldsBothNodesAndPausesMediaPollingUntilReleaseOrDestruction) {
    std::unique_ptr<TaskChannel> channel = take().channel;
    ASSERT_TRUE(channel);
    EXPECT_EQ(FakeSysfs::read(poll), "0");
    EXPECT_EQ(openNodes(sys), (std::vector<std::string>{"sg1", "sr0"}));
    EXPECT_EQ(records(sys), std::vector<std::string>{pollResolved});  // recorded before the change
    EXPECT_EQ(channel->release(), scsi::TransportError::None);
    EXPECT_EQ(FakeSysfs::read(poll), "2000");
    EXPECT_TRUE(openNodes(sys).empty());  // the next drive of a listing finds this one free
    EXPECT_TRUE(records(sys).empty());
    EXPECT_EQ(channel->release(), scsi::TransportError::None);
    channel = take().channel;  // and held when destroyed
    ASSERT_TRUE(channel);
    channel.reset();
    EXPECT_EQ(FakeSysfs::read(poll), "2000");
    EXPECT_TRUE(openNodes(sys).empty());
    EXPECT_TRUE(records(sys).empty());
}

TEST_F(ExclusiveAccess, CommandsNeedTheDriveHeldAndAnSgNode) {
    std::unique_ptr<TaskChannel> channel = take().channel;
    ASSERT_TRUE(channel);
    const scsi::Command inquiry{.cdb = {0x12, 0, 0, 0, 56, 0}, .cdbLength = 6};
    // The fake node is a plain file: the SG_IO ioctl itself fails.
    EXPECT_EQ(channel->execute(inquiry).error, scsi::TransportError::IOError);
    channel->release();
    EXPECT_EQ(channel->execute(inquiry).error, scsi::TransportError::NotOpen);

    std::filesystem::remove(sys.dev("sg1"));
    EXPECT_EQ(take().error, scsi::TransportError::NoDevice);
}

TEST_F(ExclusiveAccess, PollingACrashedRunPausedIsGivenBackAtTheNextStartOrByTheNextHolder) {
    for (const bool nextHolder : {false, true}) {
        SCOPED_TRACE(nextHolder);
        crashWhileHolding();
        EXPECT_EQ(records(sys).size(), 1u);
        if (nextHolder) {
            ASSERT_TRUE(take().channel);
        } else {
            makeLinuxBackend(sys.options());
            EXPECT_TRUE(logged("[WAR] media polling of " + pollResolved + " given back (2000 ms)"));
        }
        EXPECT_EQ(FakeSysfs::read(poll), "2000");
        EXPECT_TRUE(records(sys).empty());
    }
}

TEST_F(ExclusiveAccess, ALiveHoldersPauseIsLeftAloneAtStart) {
    std::unique_ptr<TaskChannel> channel = take().channel;
    ASSERT_TRUE(channel);
    makeLinuxBackend(sys.options());
    EXPECT_EQ(FakeSysfs::read(poll), "0");
    EXPECT_EQ(records(sys).size(), 1u);
    channel->release();
    EXPECT_EQ(FakeSysfs::read(poll), "2000");
}

TEST_F(ExclusiveAccess, RecordsThatNoLongerApplyAreDroppedWithoutWriting) {
    crashWhileHolding();
    FakeSysfs::write(poll, "500");  // changed by someone else since
    const auto outside = sys.dev("events_poll_msecs");
    FakeSysfs::write(outside, "0");
    FakeSysfs::write(sys.run() / "media-polling-outside", outside.string() + "\n2000");
    const auto gone = sys.sys("devices/pci0000:00/virtio0/host9/9:0:0:0/block/sr9/events_poll_msecs");
    FakeSysfs::write(sys.run() / "media-polling-gone", gone.string() + "\n2000");
    FakeSysfs::write(sys.run() / "media-polling-garbled", "\x01\x02");
    makeLinuxBackend(sys.options());
    EXPECT_EQ(FakeSysfs::read(poll), "500");
    EXPECT_EQ(FakeSysfs::read(outside), "0");  // only polling attributes inside the tree are written
    EXPECT_TRUE(records(sys).empty());
}

TEST_F(ExclusiveAccess, WithoutAPrivatePlaceForTheRecordPollingStaysOn) {
    std::filesystem::permissions(sys.run(), std::filesystem::perms::all);
    ASSERT_TRUE(take().channel);
    EXPECT_EQ(FakeSysfs::read(poll), "2000");
    EXPECT_TRUE(logged("[WAR] no private runtime folder to record the media polling of sr0 in"));
}

// What may have happened to /dev/sg1 and sysfs between the listing and the open.
struct Replacement {
    const char* name;
    std::function<void(FakeSysfs&)> change;
    const char* logged;
};

class NodeReplaced : public ::testing::TestWithParam<Replacement> {};

TEST_P(NodeReplaced, IsNeverOpenedAndTheDriveIsGone) {
    FakeSysfs sys;
    const std::string device = sys.addDevice(1, 1, 5, 0).string();
    FakeSysfs::write(sys.sys("block/sr0/events_poll_msecs"), "2000");
    std::vector<std::string> log;
    setSyslogEnabled(false);
    setLogSink([&](LogLevel, const std::string& line) { log.push_back(line); });
    GetParam().change(sys);
    EXPECT_EQ(LinuxTaskChannel::open(sys.layout(), device, "sg1").error, scsi::TransportError::NoDevice);
    setLogSink(nullptr);
    EXPECT_TRUE(openNodes(sys).empty());
    EXPECT_EQ(FakeSysfs::read(sys.sys("block/sr0/events_poll_msecs")), "2000");
    ASSERT_EQ(log.size(), 1u);
    EXPECT_NE(log[0].find(GetParam().logged), std::string::npos) << log[0];
}

INSTANTIATE_TEST_SUITE_P(
    Changes, NodeReplaced,
    ::testing::Values(
        Replacement{"NumberHandedToAnotherDevice",
                    [](FakeSysfs& sys) { FakeSysfs::write(sys.sys("class/scsi_generic/sg1/dev"), "21:7"); },
                    "is no longer the drive that was listed (" },
        Replacement{"GenericNameNowAnotherDrives",
                    [](FakeSysfs& sys) {
                        std::filesystem::remove(sys.sys("class/scsi_generic/sg1"));
                        sys.addDevice(2, 1, 5);
                    },
                    "sg1 now belongs to "},
        Replacement{"GenericDeviceGone",
                    [](FakeSysfs& sys) { std::filesystem::remove(sys.sys("class/scsi_generic/sg1")); },
                    "sg1 is no longer in sysfs"},
        Replacement{"NodeGone", [](FakeSysfs& sys) { std::filesystem::remove(sys.dev("sg1")); }, "sg1 is gone"},
        Replacement{"NoNumberListed",
                    [](FakeSysfs& sys) { std::filesystem::remove(sys.sys("class/scsi_generic/sg1/dev")); },
                    "sysfs lists no device number for "},
        Replacement{"BlockNodeAnotherDevice",
                    [](FakeSysfs& sys) { FakeSysfs::write(sys.sys("block/sr0/dev"), "11:3"); },
                    "is not the drive's block device ("}),
    [](const auto& caseInfo) { return std::string(caseInfo.param.name); });

// A listing on real-drive nodes gives every drive back.
TEST(LinuxListing, LeavesNoNodeOpen) {
    FakeSysfs sys;
    sys.addDevice(1, 1, 5, 0);
    sys.addDevice(2, 2, 5, 1);
    setSyslogEnabled(false);
    setLogSink([](LogLevel, const std::string&) {});  // the fake nodes answer no command
    installBackend(makeLinuxBackend(sys.options()));
    std::vector<DeviceData> list;
    ListTargetDrives(list, FirmFileData{});
    EXPECT_EQ(list.size(), 2u);
    EXPECT_TRUE(openNodes(sys).empty());
    installBackend(nullptr);
    setLogSink(nullptr);
}
