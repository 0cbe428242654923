// A run of block device events (action, name, udev properties) as the hot-plug source
// hands them over, tracked against a device tree with nothing in it.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "ScratchFolder.h"
#include "platform/linux/DiskInspector.h"
#include "platform/linux/HotplugTrackers.h"
#include "platform/linux/UEvent.h"

namespace {

// A device tree with nothing in it.
std::string emptyTree() { return kdu::fuzz::scratchFolder("sysfs").string(); }

std::string pick(FuzzedDataProvider& input, std::initializer_list<const char*> usual) {
    if (input.ConsumeBool()) return input.ConsumeRandomLengthString(16);
    return *(usual.begin() + input.ConsumeIntegralInRange<std::size_t>(0, usual.size() - 1));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const platform::sysfs::Layout layout{emptyTree() + "/sys", emptyTree() + "/dev", emptyTree() + "/state"};
    platform::DiskEventTracker tracker(std::make_shared<platform::SystemDiskInspector>(layout));
    tracker.seed({"sr0"});
    int appeared = 0, disappeared = 0;
    while (input.remaining_bytes() > 0) {
        platform::UEvent event;
        event.action = pick(input, {"add", "change", "remove", "move"});
        event.subsystem = pick(input, {"block", "scsi_generic"});
        event.sysname = pick(input, {"sr0", "sr1", "sr10", "sda"});
        for (int n = input.ConsumeIntegralInRange<int>(0, 4); n > 0; --n) {
            const std::string name = pick(input, {"ID_CDROM_MEDIA", "ID_FS_LABEL", "ID_MODEL"});
            event.properties[name] = pick(input, {"1", "0", "", "BACKUP"});
        }
        platform::HotplugEvents out;
        tracker.handle(event, out);
        appeared += static_cast<int>(out.disksAppeared.size());
        disappeared += static_cast<int>(out.disksDisappeared.size());
        // A disc goes only after it came (the seeded drive is empty).
        if (disappeared > appeared) __builtin_trap();
    }
    return 0;
}
