#include "platform/linux/SgIo.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/linux/FixedSense.h"

namespace platform::sgio {
namespace {

using Error = scsi::TransportError;

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

int directionOf(scsi::Direction direction) {
    switch (direction) {
        case scsi::Direction::ToDevice:
            return SG_DXFER_TO_DEV;
        case scsi::Direction::FromDevice:
            return SG_DXFER_FROM_DEV;
        default:
            return SG_DXFER_NONE;
    }
}

Error fromHostStatus(unsigned host) {
    switch (host) {
        case kHostTimeOut:
            return Error::Timeout;
        case kHostNoConnect:
        case kHostBadTarget:
            return Error::NoDevice;
        case kHostBusBusy:
        case kHostRequeue:
        case kHostTransportDisrupted:
            return Error::Busy;
        default:
            return Error::Failed;
    }
}

Error fromDriverStatus(unsigned driver) {
    switch (driver) {
        case kDriverTimeout:
            return Error::Timeout;
        case kDriverBusy:
            return Error::Busy;
        default:
            return Error::NoResources;
    }
}

}  // namespace

Error fromErrno(int error) {
    switch (error) {
        case EACCES:
        case EPERM:
        case EROFS:
            return Error::NotPrivileged;
        case EBUSY:
            return Error::InUse;
        case ENODEV:
        case ENXIO:
        case ENOENT:
        case EIO:
            return Error::NoDevice;
        case ENOMEM:
            return Error::NoMemory;
        case EINVAL:
        case EFAULT:
            return Error::BadArgument;
        case ETIMEDOUT:
            return Error::Timeout;
        default:
            return Error::IOError;
    }
}

Error buildHeader(const scsi::Command& command, std::uint8_t (&sense)[kSenseBufferLength], sg_io_hdr_t& header) {
    std::memset(&header, 0, sizeof header);
    std::memset(sense, 0, sizeof sense);
    if (command.cdbLength == 0 || command.cdbLength > command.cdb.size()) {
        return Error::BadArgument;
    }
    header.interface_id = 'S';
    header.cmd_len = command.cdbLength;
    header.cmdp = const_cast<unsigned char*>(command.cdb.data());
    header.mx_sb_len = kSenseBufferLength;
    header.sbp = sense;
    header.timeout = static_cast<unsigned>(command.timeout.count());

    const int direction = directionOf(command.direction);
    if (direction == SG_DXFER_NONE || command.data.empty()) {
        header.dxfer_direction = SG_DXFER_NONE;
        return Error::None;
    }
    header.dxfer_direction = direction;
    header.dxferp = command.data.data();
    header.dxfer_len = static_cast<unsigned>(command.data.size());
    return Error::None;
}

scsi::Result mapResult(int ioctlResult, int error, const sg_io_hdr_t& header) {
    scsi::Result out;
    if (ioctlResult < 0) {
        out.error = fromErrno(error);
        return out;
    }
    if (header.host_status != 0) {
        out.error = fromHostStatus(header.host_status);
        return out;
    }
    const unsigned driver = header.driver_status & kDriverMask;
    if (driver != 0 && driver != kDriverSense) {
        out.error = fromDriverStatus(driver);
        return out;
    }

    out.status = static_cast<scsi::Status>(header.status);
    if (out.status == scsi::Status::CheckCondition) {
        // The residual is not reliable when the command failed: report nothing moved.
        const std::size_t written = std::min<std::size_t>(header.sb_len_wr, header.mx_sb_len);
        out.sense = toFixedSense(header.sbp, written);
        return out;
    }
    // Some adapters report a residual beyond the length or below zero: keep the count sane.
    const long long moved = static_cast<long long>(header.dxfer_len) - header.resid;
    if (moved < 0) {
        out.transferred = 0;
    } else if (moved > static_cast<long long>(header.dxfer_len)) {
        out.transferred = header.dxfer_len;
    } else {
        out.transferred = static_cast<std::size_t>(moved);
    }
    return out;
}

}  // namespace platform::sgio
