// The firmware update sequence of one drive: kernel mode, both images, normal mode, the
// wait while the drive installs, and the check of the revision it reports afterwards.
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <thread>

#include "drive/DriveAccess.h"
#include "drive/STUCMethod.h"
#include "model/FirmwareImageFormat.h"
#include "model/FirmwareImages.h"
#include "model/NotificationNames.h"
#include "model/Util.h"
#include "platform/Log.h"
#include "platform/NotificationCenter.h"
#include "platform/Registry.h"

namespace {

constexpr char kFunction[] = "ExecUpdateMain";
constexpr std::uint32_t kPieceLength = kWriteBufferMaxLength;
constexpr std::uint32_t kTransferGranule = 256;
// Buffer offsets travel in 24 bits.
constexpr std::uint64_t kMaxNormalImageLength = 16u * 1024 * 1024;

struct KernelPiece {
    std::uint32_t offset, length;
};
constexpr KernelPiece kKernelPieces[] = {{0, 32768}, {32768, 32768}, {65536, 4608}};
static_assert(32768 + 32768 + 4608 == image_format::kKernelImageSentLength);

std::uint32_t roundUpToGranule(std::uint32_t n) {
    return (n + kTransferGranule - 1) / kTransferGranule * kTransferGranule;
}

std::optional<std::uint64_t> resourceFileLength(const std::string& name) {
    const OptionalText path = Util::fullPath(name);
    if (!path) return std::nullopt;
    struct stat st{};
    if (::stat(path->c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
    return static_cast<std::uint64_t>(st.st_size);
}

// Refuses images the drive must never receive: a truncated kernel image, an empty or
// oversized normal image, an image that vanished since start-up, or nothing to send.
// Returns the normal image's length (0 when it is not to be sent), or none when refused.
std::optional<std::uint32_t> checkImages(const FirmFileData& normal, const FirmFileData& kernel) {
    if (!normal.isFileExists() && !kernel.isFileExists()) {
        KDU_LOG_ERR(kFunction, "no firmware image to send.");
        return std::nullopt;
    }
    if (kernel.isFileExists()) {
        const std::string name = firmwareFileName(kKernelImageBaseName);
        const std::optional<std::uint64_t> length = resourceFileLength(name);
        if (!length) {
            KDU_LOG_ERR(kFunction, "kernel image %s is missing.", name.c_str());
            return std::nullopt;
        }
        if (*length < image_format::kKernelImageSentLength) {
            KDU_LOG_ERR(kFunction, "kernel image too short. (%llu < %zu)", static_cast<unsigned long long>(*length),
                        image_format::kKernelImageSentLength);
            return std::nullopt;
        }
    }
    if (!normal.isFileExists()) return 0u;
    const std::string name = firmwareFileName(kNormalImageBaseName);
    const std::optional<std::uint64_t> length = resourceFileLength(name);
    if (!length) {
        KDU_LOG_ERR(kFunction, "normal image %s is missing.", name.c_str());
        return std::nullopt;
    }
    if (*length == 0 || *length > kMaxNormalImageLength) {
        KDU_LOG_ERR(kFunction, "normal image size out of range. (%llu)", static_cast<unsigned long long>(*length));
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(*length);
}

void sendKernelImage(platform::SCSITaskDeviceInterface* interface, DeviceData& drive) {
    std::unique_ptr<FileHandle> file = Util::openFile(firmwareFileName(kKernelImageBaseName));
    if (!file) return;
    for (const KernelPiece& piece : kKernelPieces) {
        const std::vector<std::uint8_t> bytes =
            Util::readFile(*file, piece.offset, static_cast<std::int32_t>(piece.length));
        CommandWriteBuffer(interface, 1, &drive, bytes, piece.offset, piece.length);
    }
    Util::closeFile(file);
}

void sendNormalImage(platform::SCSITaskDeviceInterface* interface, DeviceData& drive, std::uint32_t fileLength) {
    std::uint32_t remaining = roundUpToGranule(fileLength);
    std::unique_ptr<FileHandle> file = Util::openFile(firmwareFileName(kNormalImageBaseName));
    if (!file) return;
    std::uint32_t offset = 0;
    for (int chunk = 1;; ++chunk) {
        const std::vector<std::uint8_t> bytes =
            Util::readFile(*file, offset, static_cast<std::int32_t>(std::min(remaining, kPieceLength)));
        const auto n = static_cast<std::uint32_t>(bytes.size());
        if (n < 1) break;
        const std::uint32_t transferLength = roundUpToGranule(n);
        if (n < kPieceLength) {
            std::printf("last one\n");
            if (n != transferLength) KDU_LOG_ERR(kFunction, "last data. (len != allocLen)");
        }
        CommandWriteBuffer(interface, 0, &drive, bytes, offset, transferLength);
        remaining -= transferLength;
        offset += transferLength;
        std::printf("write..(%d) 0x%x \n", chunk, remaining);
    }
    Util::closeFile(file);
}

// Polls until the drive stops reporting that it is installing. False when it never stops
// within the limit.
bool waitForInstall(platform::SCSITaskDeviceInterface* interface, DeviceData& drive, const UpdateTiming& timing) {
    auto& center = platform::NotificationCenter::defaultCenter();
    const auto deadline = std::chrono::steady_clock::now() + timing.waitLimit;
    bool discPresent = false;
    std::uint32_t progress = 0;
    bool finished = false;
    for (;;) {
        const std::uint16_t result = CommandTestUnitReady(interface, &drive, &discPresent, &progress);
        center.post(kUpdateIndicatorNotify, static_cast<std::int64_t>(progress));
        if (result != 0) {
            finished = true;
            break;
        }
        if (std::chrono::steady_clock::now() >= deadline) break;
        std::this_thread::sleep_for(timing.pollInterval);
    }
    center.post(kUpdateIndicatorNotify, -1);
    if (!finished)
        KDU_LOG_ERR(kFunction, "drive still installing after %lld ms.",
                    static_cast<long long>(timing.waitLimit.count()));
    return finished;
}

// Only a revision the drive reports now counts: a failed INQUIRY must not let the
// revision kept from before the update pass for the new one.
bool identifiesAsTarget(platform::SCSITaskDeviceInterface* interface, DeviceData& drive) {
    OptionalText previous = drive.revision();
    drive.setRevision(std::nullopt);
    CommandInquiry(interface, &drive);
    if (!drive.revision()) {
        drive.setRevision(std::move(previous));
        return false;
    }
    return Util::cmpCurVersion(drive.revision(), OptionalText{kTargetRevision}) == 0;
}

// Steps from the first mode change to the final identification, with access held.
bool runUpdate(platform::SCSITaskDeviceInterface* interface, DeviceData& drive, const FirmFileData& normal,
               const FirmFileData& kernel, std::uint32_t normalLength, const UpdateTiming& timing) {
    bool modeChanged = false;
    if (kernel.isFileExists()) {
        if (drive.driveMode() == 0) {
            modeChanged = true;
            if (!CommandChangeDriveMode(interface, &drive)) {
                KDU_LOG_ERR(kFunction, "change drive mode.( -> Kernel)");
                return false;
            }
        }
        sendKernelImage(interface, drive);
    }
    if (normal.isFileExists()) {
        if (drive.driveMode() == 0 && !modeChanged && !CommandChangeDriveMode(interface, &drive)) {
            KDU_LOG_ERR(kFunction, "change drive mode.( -> Kernel)");
            return false;
        }
        sendNormalImage(interface, drive, normalLength);
    }
    std::printf("write completed.\n");

    if (!CommandChangeDriveMode(interface, &drive)) {
        KDU_LOG_ERR(kFunction, "change drive mode.( -> Normal)");
        return false;
    }
    if (!waitForInstall(interface, drive, timing)) return false;

    return identifiesAsTarget(interface, drive);
}

}  // namespace

bool ExecUpdateMain(DeviceData& drive, const FirmFileData& normal, const FirmFileData& kernel,
                    const UpdateTiming& timing) {
    const platform::io_service_t service = drive.scsiDevice();
    if (service == platform::IO_OBJECT_NULL) return false;

    platform::io_name_t className{};
    const platform::kern_return_t kr = platform::IOObjectGetClass(service, className);
    if (kr != platform::kIOReturnSuccess)
        KDU_LOG_ERR(kFunction, "ExecWriteMain() Failed to get class name. (0x%08x)\n", static_cast<unsigned>(kr));
    else
        std::fprintf(stderr, "ExecWriteMain() Found device class \"%s\" using .\n", className);

    drive_access::DriveInterfaces interfaces(service);
    platform::SCSITaskDeviceInterface* interface = interfaces.taskDevice();
    if (interface == nullptr) return false;

    const std::optional<std::uint32_t> normalLength = checkImages(normal, kernel);
    if (!normalLength) return false;

    drive_access::ExclusiveAccess access(interface);
    if (!access.held()) {
        KDU_LOG_WAR(kFunction, "ObtainExclusiveAccess failed.(1) (0x%08x)\n",
                    static_cast<unsigned>(access.obtainResult()));
        return false;
    }

    bool result = runUpdate(interface, drive, normal, kernel, *normalLength, timing);
    std::fflush(stdout);

    const platform::IOReturn released = access.release();
    if (released != platform::kIOReturnSuccess) {
        KDU_LOG_ERR(kFunction, "ReleaseExclusiveAccess failed. (0x%08x)\n", static_cast<unsigned>(released));
        result = false;
    }
    return result;
}
