// The primary volume descriptor of a disc (the input is its sector 16) and the trimming
// of texts read from the kernel's device tree.
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/linux/IsoLabel.h"
#include "platform/linux/Sysfs.h"

namespace {

constexpr off_t kDescriptorOffset = 16 * 2048;

int discImage() {
    static const int fd = ::memfd_create("kdu-fuzz-disc", MFD_CLOEXEC);
    if (fd < 0) std::abort();
    return fd;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const int fd = discImage();
    // A disc shorter than the descriptor's sector, or exactly as long as the input says.
    if (::ftruncate(fd, 0) != 0) std::abort();
    const std::size_t written = std::min<std::size_t>(size, 4096);
    if (::pwrite(fd, data, written, kDescriptorOffset) != static_cast<ssize_t>(written)) std::abort();
    if (const auto label = platform::readIsoVolumeLabelFrom(fd)) {
        if (label->empty() || label->size() > 32) __builtin_trap();
    }

    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::string trimmed = platform::sysfs::trimmed(text);
    if (trimmed.size() > text.size() || platform::sysfs::trimmed(trimmed) != trimmed) __builtin_trap();
    return 0;
}
