#include "platform/linux/SgIo.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/linux/FixedSense.h"

namespace platform::sgio {
namespace {

// Host adapter codes (DID_*) and driver codes (DRIVER_*) of the SCSI midlayer; the
// userspace headers do not carry them.
constexpr unsigned kHostNoConnect = 0x01;
constexpr unsigned kHostBusBusy = 0x02;
constexpr unsigned kHostTimeOut = 0x03;
constexpr unsigned kHostBadTarget = 0x04;
constexpr unsigned kHostRequeue = 0x0D;
constexpr unsigned kHostTransportDisrupted = 0x0E;
constexpr unsigned kDriverMask = 0x0F;  // the high nibble holds advice, not status
constexpr unsigned kDriverBusy = 0x01;
constexpr unsigned kDriverTimeout = 0x06;
constexpr unsigned kDriverSense = 0x08;

int directionOf(std::uint8_t direction) {
    switch (direction) {
        case kSCSIDataTransfer_FromInitiatorToTarget:
            return SG_DXFER_TO_DEV;
        case kSCSIDataTransfer_FromTargetToInitiator:
            return SG_DXFER_FROM_DEV;
        default:
            return SG_DXFER_NONE;
    }
}

IOReturn fromHostStatus(unsigned host) {
    switch (host) {
        case kHostTimeOut:
            return kIOReturnTimeout;
        case kHostNoConnect:
        case kHostBadTarget:
            return kIOReturnNoDevice;
        case kHostBusBusy:
        case kHostRequeue:
        case kHostTransportDisrupted:
            return kIOReturnBusy;
        default:
            return kIOReturnError;
    }
}

IOReturn fromDriverStatus(unsigned driver) {
    switch (driver) {
        case kDriverTimeout:
            return kIOReturnTimeout;
        case kDriverBusy:
            return kIOReturnBusy;
        default:
            return kIOReturnNoResources;
    }
}

}  // namespace

IOReturn fromErrno(int error) {
    switch (error) {
        case EACCES:
        case EPERM:
        case EROFS:
            return kIOReturnNotPrivileged;
        case EBUSY:
            return kIOReturnExclusiveAccess;
        case ENODEV:
        case ENXIO:
        case ENOENT:
        case EIO:
            return kIOReturnNoDevice;
        case ENOMEM:
            return kIOReturnNoMemory;
        case EINVAL:
        case EFAULT:
            return kIOReturnBadArgument;
        case ETIMEDOUT:
            return kIOReturnTimeout;
        default:
            return kIOReturnIOError;
    }
}

IOReturn buildHeader(const ScsiCommand& command, std::uint8_t (&sense)[kSenseBufferLength], sg_io_hdr_t& header) {
    std::memset(&header, 0, sizeof header);
    std::memset(sense, 0, sizeof sense);
    if (command.cdbLength == 0 || command.cdbLength > command.cdb.size()) {
        return kIOReturnBadArgument;
    }
    header.interface_id = 'S';
    header.cmd_len = command.cdbLength;
    header.cmdp = const_cast<unsigned char*>(command.cdb.data());
    header.mx_sb_len = kSenseBufferLength;
    header.sbp = sense;
    header.timeout = command.timeoutMs;

    const std::uint64_t wanted = command.transferCount < command.dataLength ? command.transferCount : command.dataLength;
    const int direction = directionOf(command.direction);
    if (direction == SG_DXFER_NONE || command.data == nullptr || wanted == 0) {
        header.dxfer_direction = SG_DXFER_NONE;
        return kIOReturnSuccess;
    }
    header.dxfer_direction = direction;
    header.dxferp = command.data;
    header.dxfer_len = static_cast<unsigned>(wanted);
    return kIOReturnSuccess;
}

IOReturn mapResult(int ioctlResult, int error, const sg_io_hdr_t& header, ScsiOutcome& out) {
    out = ScsiOutcome{};
    if (ioctlResult < 0) {
        out.status = kSCSITaskStatus_DeliveryFailure;
        return fromErrno(error);
    }
    if (header.host_status != 0) {
        out.status = kSCSITaskStatus_DeliveryFailure;
        return fromHostStatus(header.host_status);
    }
    const unsigned driver = header.driver_status & kDriverMask;
    if (driver != 0 && driver != kDriverSense) {
        out.status = kSCSITaskStatus_DeliveryFailure;
        return fromDriverStatus(driver);
    }

    out.status = header.status;
    if (out.status == kSCSITaskStatus_CHECK_CONDITION) {
        // The residual is not reliable when the command failed: report nothing moved.
        const std::size_t written = std::min<std::size_t>(header.sb_len_wr, header.mx_sb_len);
        out.sense = toFixedSense(header.sbp, written);
        return kIOReturnSuccess;
    }
    // Some adapters report a residual beyond the length or below zero: keep the count sane.
    const long long moved = static_cast<long long>(header.dxfer_len) - header.resid;
    if (moved < 0) {
        out.realizedCount = 0;
    } else if (moved > static_cast<long long>(header.dxfer_len)) {
        out.realizedCount = header.dxfer_len;
    } else {
        out.realizedCount = static_cast<std::uint64_t>(moved);
    }
    return kIOReturnSuccess;
}

}  // namespace platform::sgio
