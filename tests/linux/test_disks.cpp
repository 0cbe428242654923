#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "FakeSysfs.h"
#include "platform/linux/HotplugTrackers.h"
#include "platform/linux/IsoLabel.h"

using namespace platform;

namespace {

// An image with a primary volume descriptor, as a mastering tool lays it out.
void writeIsoImage(const std::filesystem::path& file, const std::string& volumeId, bool valid = true) {
    std::vector<char> image(18 * 2048, 0);
    char* pvd = image.data() + 16 * 2048;
    pvd[0] = 1;
    std::memcpy(pvd + 1, valid ? "CD001" : "CD002", 5);
    pvd[6] = 1;
    std::memset(pvd + 40, ' ', 32);
    std::memcpy(pvd + 40, volumeId.data(), std::min<std::size_t>(volumeId.size(), 32));
    std::ofstream(file, std::ios::binary).write(image.data(), static_cast<std::streamsize>(image.size()));
}

}  // namespace

struct LabelCase {
    const char* name;
    std::string volumeId;
    bool valid;
    std::optional<std::string> expected;
};

class IsoLabel : public ::testing::TestWithParam<LabelCase> {
protected:
    FakeSysfs sys;
};

TEST_P(IsoLabel, ReadsTheTrimmedVolumeIdentifier) {
    const auto& c = GetParam();
    writeIsoImage(sys.dev("image.iso"), c.volumeId, c.valid);
    EXPECT_EQ(readIsoVolumeLabel(sys.dev("image.iso").string()), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Descriptors, IsoLabel,
    ::testing::Values(LabelCase{"Padded", "FIRMWARE_DISC", true, "FIRMWARE_DISC"},
                      LabelCase{"FullWidth", std::string(32, 'X'), true, std::string(32, 'X')},
                      LabelCase{"Blank", "", true, std::nullopt},
                      LabelCase{"NotIso", "FIRMWARE_DISC", false, std::nullopt}),
    [](const auto& caseInfo) { return std::string(caseInfo.param.name); });

TEST(IsoLabelFile, ShortOrMissingMediaHaveNoLabel) {
    FakeSysfs sys;
    std::ofstream(sys.dev("short.iso")) << "tiny";
    EXPECT_EQ(readIsoVolumeLabel(sys.dev("short.iso").string()), std::nullopt);
    EXPECT_EQ(readIsoVolumeLabel(sys.dev("absent.iso").string()), std::nullopt);
}

TEST(IsoLabelFile, ReadsAnImageFromTheMasteringTool) {
    FakeSysfs sys;
    const auto iso = sys.dev("made.iso");
    const std::string command = "genisoimage -quiet -V KDU_LABEL -o " + iso.string() + " " + sys.sys("block").string() +
                                " >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0) {
        GTEST_SKIP() << "genisoimage not available";
    }
    EXPECT_EQ(readIsoVolumeLabel(iso.string()), "KDU_LABEL");
}

TEST(SystemDiskInspector, TakesUdevsWordAndAsksTheKernelOtherwise) {
    FakeSysfs sys;
    sys.addDevice(1, 1, 5, 0);
    SystemDiskInspector inspector(sys.layout());

    auto state = inspector.inspect("sr0", {{"ID_CDROM_MEDIA", "1"}, {"ID_FS_LABEL", "FROM_UDEV"}, {"ID_MODEL", "BD-RW_KVL-MT38"}});
    EXPECT_TRUE(state.present);
    EXPECT_EQ(state.description.volumeName, "FROM_UDEV");
    EXPECT_EQ(state.description.deviceModel, "BD-RW KVL-MT38");  // the kernel's text, blanks kept
    EXPECT_FALSE(inspector.inspect("sr0", {{"ID_CDROM_MEDIA", "0"}}).present);

    // No udev, and the node is no drive: the medium size decides, the label comes from the medium.
    EXPECT_FALSE(inspector.inspect("sr0", {}).present);
    FakeSysfs::write(sys.sys("block/sr0/size"), "36");
    writeIsoImage(sys.dev("sr0"), "ON_DISC");
    state = inspector.inspect("sr0", {});
    EXPECT_TRUE(state.present);
    EXPECT_EQ(state.description.bsdName, "sr0");
    EXPECT_EQ(state.description.volumeName, "ON_DISC");
}

// Scripted medium states per drive.
class ScriptedInspector : public DiskInspector {
public:
    DiskState inspect(const std::string& blockName, const DeviceProperties&) override { return media[blockName]; }
    void load(const std::string& drive, std::optional<std::string> volume) {
        media[drive] = DiskState{true, DiskDescription{drive, std::move(volume), "BD-RW KVL-MT38"}};
    }
    void eject(const std::string& drive) { media[drive] = DiskState{false, DiskDescription{drive, {}, {}}}; }
    std::map<std::string, DiskState> media;
};

class DiskEvents : public ::testing::Test {
protected:
    HotplugEvents change(const std::string& drive, const std::string& action = "change") {
        HotplugEvents out;
        tracker.handle({action, "block", drive, {{"DISK_MEDIA_CHANGE", "1"}}}, out);
        return out;
    }
    std::shared_ptr<ScriptedInspector> media = std::make_shared<ScriptedInspector>();
    DiskEventTracker tracker{media};
};

TEST_F(DiskEvents, MediaChangesBecomeAppearancesAndDisappearances) {
    media->load("sr0", "FIRST");
    media->eject("sr1");
    tracker.seed({"sr0", "sr1"});

    EXPECT_TRUE(change("sr1").disksAppeared.empty());  // still empty

    media->eject("sr0");
    auto out = change("sr0");
    ASSERT_EQ(out.disksDisappeared.size(), 1u);
    EXPECT_EQ(out.disksDisappeared[0].volumeName, "FIRST");  // remembered: the disc is gone
    EXPECT_TRUE(out.disksAppeared.empty());

    media->load("sr0", "SECOND");
    out = change("sr0");
    ASSERT_EQ(out.disksAppeared.size(), 1u);
    EXPECT_EQ(out.disksAppeared[0].volumeName, "SECOND");
    EXPECT_TRUE(out.disksDisappeared.empty());
}

TEST_F(DiskEvents, ASwappedDiscIsBothAndARepeatedChangeIsNothing) {
    media->load("sr0", "FIRST");
    tracker.seed({"sr0"});
    EXPECT_TRUE(change("sr0").disksAppeared.empty());

    media->load("sr0", "SECOND");
    const auto out = change("sr0");
    ASSERT_EQ(out.disksDisappeared.size(), 1u);
    ASSERT_EQ(out.disksAppeared.size(), 1u);
    EXPECT_EQ(out.disksDisappeared[0].volumeName, "FIRST");
    EXPECT_EQ(out.disksAppeared[0].volumeName, "SECOND");
}

TEST_F(DiskEvents, DrivesArrivingAndLeavingWithADisc) {
    media->load("sr3", "LOADED");
    EXPECT_EQ(change("sr3", "add").disksAppeared.size(), 1u);
    EXPECT_EQ(change("sr3", "remove").disksDisappeared.size(), 1u);
    EXPECT_TRUE(change("sr3", "remove").disksDisappeared.empty());
    EXPECT_TRUE(change("sda", "add").disksAppeared.empty());  // not an optical drive
}
