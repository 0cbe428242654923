#include <gtest/gtest.h>

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

// Scripted medium states per drive: a label, or none for an empty drive.
class ScriptedInspector : public DiskInspector {
public:
    DiskState inspect(const std::string& blockName, const DeviceProperties&) override {
        const auto it = media.find(blockName);
        if (it == media.end() || !it->second) return {false, DiskDescription{blockName, {}, {}}};
        return {true, DiskDescription{blockName, it->second, "BD-RW KVL-MT38"}};
    }
    std::map<std::string, std::optional<std::string>> media;
};

struct Step {
    const char* drive;
    std::optional<std::string> medium;  // what the drive holds when the event comes
    const char* action;
    std::vector<std::string> appeared, disappeared;  // volume names
};

}  // namespace

TEST(DiskEvents, MediaChangesBecomeAppearancesAndDisappearances) {
    auto media = std::make_shared<ScriptedInspector>();
    media->media = {{"sr0", "FIRST"}, {"sr1", std::nullopt}};
    DiskEventTracker tracker{media};
    tracker.seed({"sr0", "sr1"});
    const std::vector<Step> steps{
        {"sr1", std::nullopt, "change", {}, {}},           // still empty
        {"sr0", "FIRST", "change", {}, {}},                // a repeated change is nothing
        {"sr0", "SECOND", "change", {"SECOND"}, {"FIRST"}},  // a swapped disc is both
        {"sr0", std::nullopt, "change", {}, {"SECOND"}},   // remembered: the disc is gone
        {"sr0", "THIRD", "change", {"THIRD"}, {}},
        {"sr3", "LOADED", "add", {"LOADED"}, {}},          // a drive arriving with a disc
        {"sr3", "LOADED", "remove", {}, {"LOADED"}},
        {"sr3", std::nullopt, "remove", {}, {}},
        {"sda", "DISK", "add", {}, {}},                    // not an optical drive
    };
    for (const Step& step : steps) {
        media->media[step.drive] = step.medium;
        HotplugEvents out;
        tracker.handle({step.action, "block", step.drive, {{"DISK_MEDIA_CHANGE", "1"}}}, out);
        std::vector<std::string> appeared, disappeared;
        for (const auto& d : out.disksAppeared) appeared.push_back(d.volumeName.value_or("?"));
        for (const auto& d : out.disksDisappeared) disappeared.push_back(d.volumeName.value_or("?"));
        EXPECT_EQ(appeared, step.appeared) << step.drive << " " << step.action;
        EXPECT_EQ(disappeared, step.disappeared) << step.drive << " " << step.action;
    }
}
