// The mapping between one SCSI task and one SG_IO request, kept free of system calls
// so it can be checked without a kernel.
#pragma once

#include <scsi/sg.h>

#include "platform/Backend.h"

namespace platform::sgio {

// Room for descriptor-format sense with several descriptors: the midlayer keeps at most
// 96 bytes of sense per command.
inline constexpr unsigned char kSenseBufferLength = 96;

// Fills `header` for `command`, pointing its sense buffer at `sense`; the header refers
// to the command's CDB and buffer, so both must outlive it. A transfer that
// names a direction but no buffer is sent as no transfer, so the kernel never touches a
// null pointer. kIOReturnBadArgument for a CDB length the kernel would refuse.
IOReturn buildHeader(const ScsiCommand& command, std::uint8_t (&sense)[kSenseBufferLength], sg_io_hdr_t& header);

// The result of an SG_IO ioctl that returned `ioctlResult` (with `error` = errno when -1).
// Success: `out` holds the SCSI status, the sense data in fixed form (CHECK CONDITION) and
// the bytes moved. Otherwise a code saying which layer failed: the ioctl, the host adapter
// or the driver; kIOReturnNoDevice when the drive has gone.
IOReturn mapResult(int ioctlResult, int error, const sg_io_hdr_t& header, ScsiOutcome& out);

// Codes for a failed ioctl (errno), also used for opening the generic node. ENODEV, ENXIO,
// ENOENT and EIO mean the drive has gone (kIOReturnNoDevice): the sg driver answers so
// once the device is detached, in the middle of a command or at the next open.
IOReturn fromErrno(int error);

}  // namespace platform::sgio
