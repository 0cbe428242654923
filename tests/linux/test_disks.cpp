#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <vector>

#include "FakeSysfs.h"
#include "platform/linux/DiscLabel.h"
#include "platform/linux/HotplugTrackers.h"

using namespace platform;

namespace {

// Runs a command with the system folders where the mastering tools live.
bool run(const std::string& command) {
    return std::system(("PATH=\"$PATH:/usr/sbin:/sbin\" " + command + " >/dev/null 2>&1").c_str()) == 0;
}

void zeroFile(const std::filesystem::path& file, std::uintmax_t size) {
    std::ofstream{file};
    std::filesystem::resize_file(file, size);
}

enum class Image { Iso, Bridge, Udf, Zeros, Short, Absent };

// Disc images as the mastering tools write them, in the fake tree's /dev; empty when the
// tool is missing.
class DiscImages : public ::testing::Test {
protected:
    std::filesystem::path make(Image kind, const std::string& label) {
        const auto image = sys.dev("disc.img");
        const char* maker = kind == Image::Udf ? "mkudffs" : "genisoimage";
        if (kind <= Image::Udf && !run(std::string("command -v ") + maker)) return {};
        if (kind == Image::Udf) {  // an empty UDF 2.50 file system laid out for a BD-R
            zeroFile(image, 8 << 20);
            EXPECT_TRUE(run("mkudffs --media-type=bdr --udfrev=2.50 --lvid='" + label + "' '" + image.string() + "'"));
        } else if (kind <= Image::Bridge) {
            const auto content = sys.dev("content");
            std::filesystem::create_directories(content);
            std::ofstream(content / "firmware.txt") << "payload\n";
            EXPECT_TRUE(run(std::string("genisoimage -quiet ") + (kind == Image::Bridge ? "-udf" : "") + " -V '" + label +
                            "' -o '" + image.string() + "' '" + content.string() + "'"));
        } else if (kind == Image::Zeros) {
            zeroFile(image, 1 << 20);
        } else if (kind == Image::Short) {
            std::ofstream(image) << "tiny";
        }
        return image;
    }
    FakeSysfs sys;
};

struct LabelCase {
    const char* name;
    Image image;
    const char* label;
    std::optional<std::string> expected;
};
void PrintTo(const LabelCase& c, std::ostream* os) { *os << c.name; }

class DiscLabel : public DiscImages, public ::testing::WithParamInterface<LabelCase> {};

TEST_P(DiscLabel, IsReadFromTheFileSystemOnTheMedium) {
    const LabelCase& c = GetParam();
    const auto image = make(c.image, c.label);
    if (image.empty()) GTEST_SKIP() << "a mastering tool is not installed (scripts/deps installs it)";
    EXPECT_EQ(readDiscLabel(image.string()), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Media, DiscLabel,
    ::testing::Values(LabelCase{"Iso9660Trimmed", Image::Iso, "FIRMWARE_DISC", "FIRMWARE_DISC"},
                      LabelCase{"Iso9660Blank", Image::Iso, "", std::nullopt},
                      LabelCase{"UdfWithBlanksKept", Image::Udf, "BD VIDEO DISC", "BD VIDEO DISC"},
                      LabelCase{"BridgeNamedOnce", Image::Bridge, "BRIDGE_DISC", "BRIDGE_DISC"},
                      LabelCase{"NoFileSystem", Image::Zeros, "", std::nullopt},
                      LabelCase{"Short", Image::Short, "", std::nullopt},
                      LabelCase{"Missing", Image::Absent, "", std::nullopt}),
    [](const auto& row) { return std::string(row.param.name); });

TEST_F(DiscImages, InspectorTakesUdevsWordAndAsksTheKernelOtherwise) {
    sys.addDevice(1, 1, 5, 0);
    SystemDiskInspector inspector(sys.layout());
    auto state = inspector.inspect("sr0", {{"ID_CDROM_MEDIA", "1"}, {"ID_FS_LABEL", "FROM_UDEV"}, {"ID_MODEL", "BD-RW_KVL-MT38"}});
    EXPECT_TRUE(state.present);
    EXPECT_EQ(state.description.volumeName, "FROM_UDEV");
    EXPECT_EQ(state.description.deviceModel, "BD-RW KVL-MT38");  // the kernel's text, blanks kept
    EXPECT_FALSE(inspector.inspect("sr0", {{"ID_CDROM_MEDIA", "0"}}).present);

    // No udev, and the node is no drive: the medium size decides, the label comes from the medium.
    EXPECT_FALSE(inspector.inspect("sr0", {}).present);
    const auto image = make(Image::Udf, "ON_DISC");
    if (image.empty()) GTEST_SKIP() << "mkudffs is not installed (scripts/deps installs it)";
    std::filesystem::copy_file(image, sys.dev("sr0"), std::filesystem::copy_options::overwrite_existing);
    FakeSysfs::write(sys.sys("block/sr0/size"), "16384");
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
