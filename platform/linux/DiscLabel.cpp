#include "platform/linux/DiscLabel.h"

#include <blkid/blkid.h>
#include <fcntl.h>

#include <memory>

#include "platform/linux/Sysfs.h"
#include "log/UniqueFd.h"

namespace platform {
namespace {

struct ProbeDeleter {
    void operator()(blkid_struct_probe* probe) const { blkid_free_probe(probe); }
};
using Probe = std::unique_ptr<blkid_struct_probe, ProbeDeleter>;

}  // namespace

std::optional<std::string> readDiscLabel(const std::string& path) {
    // Opened here, without blocking: opening a drive's node may otherwise close its tray.
    const kdulog::UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    const Probe probe(blkid_new_probe());
    if (!fd || !probe || blkid_probe_set_device(probe.get(), fd.get(), 0, 0) != 0) {
        return std::nullopt;
    }
    char iso9660[] = "iso9660", udf[] = "udf";
    char* types[] = {iso9660, udf, nullptr};
    blkid_probe_enable_superblocks(probe.get(), 1);
    blkid_probe_set_superblocks_flags(probe.get(), BLKID_SUBLKS_LABEL | BLKID_SUBLKS_TYPE);
    blkid_probe_filter_superblocks_type(probe.get(), BLKID_FLTR_ONLYIN, types);
    // A bridge disc carries both: the first match (UDF, as the library orders them) names it.
    if (blkid_do_probe(probe.get()) != 0) {
        return std::nullopt;
    }
    const char* value = nullptr;
    if (blkid_probe_lookup_value(probe.get(), "LABEL", &value, nullptr) != 0 || value == nullptr) {
        return std::nullopt;
    }
    std::string label = sysfs::trimmed(value);
    if (label.empty()) {
        return std::nullopt;
    }
    return label;
}

}  // namespace platform
