// The mapping between one SCSI task and one SG_IO request, kept free of system calls
// so it can be checked without a kernel.
#pragma once

#include <scsi/sg.h>

#include "platform/Backend.h"

namespace platform::sgio {

inline constexpr unsigned char kSenseLength = 18;

// Fills `header` for `command`, pointing its sense buffer at `sense`; the header refers
// to the command's CDB and buffer, so both must outlive it. A transfer that
// names a direction but no buffer is sent as no transfer, so the kernel never touches a
// null pointer. kIOReturnBadArgument for a CDB length the kernel would refuse.
IOReturn buildHeader(const ScsiCommand& command, std::uint8_t (&sense)[kSenseLength], sg_io_hdr_t& header);

// The result of an SG_IO ioctl that returned `ioctlResult` (with `error` = errno when -1).
// Success: `out` holds the SCSI status, the sense data (CHECK CONDITION) and the bytes moved.
// Otherwise a code saying which layer failed: the ioctl, the host adapter or the driver.
IOReturn mapResult(int ioctlResult, int error, const sg_io_hdr_t& header, ScsiOutcome& out);

// Codes for a failed ioctl (errno), also used for opening the generic node.
IOReturn fromErrno(int error);

}  // namespace platform::sgio
