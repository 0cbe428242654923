// A disc's file system as libblkid reads it for its label: the input is the disc's first
// sectors from the ISO 9660 volume descriptors on (UDF's descriptors follow them there too).
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/linux/DiscLabel.h"
#include "platform/linux/Sysfs.h"

namespace {

constexpr off_t kDescriptorOffset = 16 * 2048;
constexpr std::size_t kLargestDisc = 1 << 20;

int discImage() {
    static const int fd = ::memfd_create("kdu-fuzz-disc", MFD_CLOEXEC);
    if (fd < 0) std::abort();
    return fd;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const int fd = discImage();
    if (::ftruncate(fd, 0) != 0) std::abort();
    const std::size_t written = std::min(size, kLargestDisc);
    if (::pwrite(fd, data, written, kDescriptorOffset) != static_cast<ssize_t>(written)) std::abort();
    if (const auto label = platform::readDiscLabel("/proc/self/fd/" + std::to_string(fd))) {
        if (label->empty() || platform::sysfs::trimmed(*label) != *label) __builtin_trap();
    }

    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::string trimmed = platform::sysfs::trimmed(text);
    if (trimmed.size() > text.size() || platform::sysfs::trimmed(trimmed) != trimmed) __builtin_trap();
    return 0;
}
