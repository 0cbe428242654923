#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <vector>

#include "FakeSysfs.h"
#include "platform/linux/DiscLabel.h"
#include "platform/linux/HotplugTrackers.h"

using namespace platform;

namespace {

// A mastering tool from the system, or none (the test then says which one is missing).
std::optional<std::string> tool(const std::string& name) {
    const std::string path = std::getenv("PATH") ? std::getenv("PATH") : "";
    std::vector<std::string> folders{"/usr/sbin", "/sbin"};
    for (std::size_t at = 0; at <= path.size();) {
        const std::size_t colon = std::min(path.find(':', at), path.size());
        folders.insert(folders.begin(), path.substr(at, colon - at));
        at = colon + 1;
    }
    for (const auto& folder : folders) {
        const auto candidate = std::filesystem::path(folder) / name;
        if (!folder.empty() && ::access(candidate.c_str(), X_OK) == 0) return candidate.string();
    }
    return std::nullopt;
}

bool run(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()) == 0; }

void zeroFile(const std::filesystem::path& file, std::uintmax_t size) {
    std::ofstream{file};
    std::filesystem::resize_file(file, size);
}

// Disc images as the mastering tools write them, in the fake tree's /dev.
class DiscImages : public ::testing::Test {
protected:
    std::filesystem::path iso(const std::string& name, const std::string& volumeId, const std::string& options = "") {
        const auto maker = tool("genisoimage");
        if (!maker) return {};
        const auto content = sys.dev("content");
        std::filesystem::create_directories(content);
        std::ofstream(content / "firmware.txt") << "payload\n";
        const auto image = sys.dev(name);
        EXPECT_TRUE(run(*maker + " -quiet " + options + " -V '" + volumeId + "' -o '" + image.string() + "' '" +
                        content.string() + "'"));
        return image;
    }
    // An empty UDF 2.50 file system laid out for a BD-R, as on BD discs.
    std::filesystem::path udf(const std::string& name, const std::string& label) {
        const auto maker = tool("mkudffs");
        if (!maker) return {};
        const auto image = sys.dev(name);
        zeroFile(image, 8 << 20);
        EXPECT_TRUE(run(*maker + " --media-type=bdr --udfrev=2.50 --lvid='" + label + "' '" + image.string() + "'"));
        return image;
    }
    FakeSysfs sys;
};

#define REQUIRE_IMAGE(image, maker) \
    if ((image).empty()) GTEST_SKIP() << maker " is not installed (scripts/deps installs it)"

TEST_F(DiscImages, Iso9660VolumeIdentifierTrimmed) {
    const auto image = iso("data.iso", "FIRMWARE_DISC");
    REQUIRE_IMAGE(image, "genisoimage");
    EXPECT_EQ(readDiscLabel(image.string()), "FIRMWARE_DISC");
    EXPECT_EQ(readDiscLabel(iso("blank.iso", "").string()), std::nullopt);
}

TEST_F(DiscImages, UdfLogicalVolumeIdentifierWithBlanksKept) {
    const auto image = udf("bd.img", "BD VIDEO DISC");
    REQUIRE_IMAGE(image, "mkudffs");
    EXPECT_EQ(readDiscLabel(image.string()), "BD VIDEO DISC");
}

TEST_F(DiscImages, BridgeDiscIsNamedOnce) {
    const auto image = iso("bridge.iso", "BRIDGE_DISC", "-udf");
    REQUIRE_IMAGE(image, "genisoimage");
    EXPECT_EQ(readDiscLabel(image.string()), "BRIDGE_DISC");
}

TEST_F(DiscImages, NoFileSystemShortOrMissingMediaHaveNoLabel) {
    zeroFile(sys.dev("zeros.img"), 1 << 20);
    std::ofstream(sys.dev("short.img")) << "tiny";
    for (const char* name : {"zeros.img", "short.img", "absent.img"})
        EXPECT_EQ(readDiscLabel(sys.dev(name).string()), std::nullopt) << name;
}

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
    const auto image = udf("disc.img", "ON_DISC");
    REQUIRE_IMAGE(image, "mkudffs");
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
