// Hot-plug from the drive folder: drives attached and detached, discs inserted and ejected.
#include <gtest/gtest.h>

#include <poll.h>

#include "model/TempDir.h"
#include "platform/sim/SimControl.h"

using namespace platform;
using Names = std::vector<std::string>;

namespace {

Names keys(const std::vector<std::shared_ptr<DeviceNode>>& nodes) {
    Names out;
    for (const auto& n : nodes) out.push_back(n->key());
    return out;
}

Names names(const std::vector<DiskDescription>& disks) {
    Names out;
    for (const auto& d : disks) out.push_back(d.bsdName + "=" + d.volumeName.value_or("(none)"));
    return out;
}

class SimEventsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(sim::attach(dir.path(), "old", sim::defaultTargetDrive()));
        source = backend->createEventSource();
        ASSERT_TRUE(source);
    }
    HotplugEvents drain() {
        HotplugEvents events;
        source->drain(events);
        return events;
    }
    bool readable() {
        pollfd p{source->fd(), POLLIN, 0};
        return ::poll(&p, 1, 0) == 1;
    }

    TempDir dir;
    std::shared_ptr<sim::SimBackend> backend = sim::makeSimBackend(dir.path());
    std::unique_ptr<EventSource> source;
};

TEST_F(SimEventsTest, RewritingADriveFileIsNotADetach) {
    ASSERT_FALSE(sim::insertDisc(dir.path(), "old", "DATA"));
    drain();
    std::string error;
    ASSERT_TRUE(sim::updateDriveFile(
        sim::driveFilePath(dir.path(), "old"), [](nlohmann::json& doc) { doc["mode"] = "kernel"; }, error));
    HotplugEvents events = drain();
    EXPECT_TRUE(events.published.empty() && events.terminated.empty());
    EXPECT_TRUE(events.disksAppeared.empty() && events.disksDisappeared.empty()) << "the disc stayed";
}

TEST_F(SimEventsTest, DeletedAndMadeAgainInOneDrainIsANewDrive) {
    auto before = backend->authoringDevices();
    EXPECT_FALSE(readable());
    ASSERT_FALSE(sim::detach(dir.path(), "old"));
    ASSERT_FALSE(sim::attach(dir.path(), "old", sim::defaultTargetDrive()));
    ASSERT_TRUE(readable());
    HotplugEvents events = drain();
    EXPECT_FALSE(readable());
    EXPECT_EQ(keys(events.terminated), Names{"old"});
    ASSERT_EQ(keys(events.published), Names{"old"});
    EXPECT_NE(events.published[0], before.at(0));
    EXPECT_EQ(backend->authoringDevices().at(0), events.published[0]);
}

TEST_F(SimEventsTest, DiscsAppearAndDisappear) {
    sim::DriveSpec other = sim::defaultTargetDrive();
    other.product = "DVD-RAM KVL-D20";
    ASSERT_FALSE(sim::attach(dir.path(), "dvd", other));
    ASSERT_FALSE(sim::insertDisc(dir.path(), "old", "BACKUP"));
    ASSERT_FALSE(sim::insertDisc(dir.path(), "dvd", std::nullopt));
    HotplugEvents inserted = drain();
    EXPECT_EQ(names(inserted.disksAppeared), (Names{"dvd=(none)", "old=BACKUP"}));
    EXPECT_TRUE(inserted.disksDisappeared.empty());
    EXPECT_EQ(names(backend->presentDisks()), (Names{"dvd=(none)", "old=BACKUP"}));

    ASSERT_FALSE(sim::detach(dir.path(), "dvd"));  // a detached drive takes its disc along, in one drain
    HotplugEvents detached = drain();
    EXPECT_EQ(names(detached.disksDisappeared), Names{"dvd=(none)"});
    EXPECT_EQ(keys(detached.terminated), Names{"dvd"});
    EXPECT_EQ(names(backend->presentDisks()), Names{"old=BACKUP"});
}

}  // namespace
