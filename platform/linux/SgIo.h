// The mapping between one SCSI task and one SG_IO request, kept free of system calls
// so it can be checked without a kernel.
#pragma once

#include <scsi/sg.h>

#include "scsi/Command.h"
#include "scsi/Result.h"

namespace platform::sgio {

// Room for descriptor-format sense with several descriptors: the midlayer keeps at most
// 96 bytes of sense per command.
inline constexpr unsigned char kSenseBufferLength = 96;

// Fills `header` for `command`, pointing its sense buffer at `sense`; the header refers
// to the command's CDB and buffer, so both must outlive it. A transfer that
// names a direction but no buffer is sent as no transfer, so the kernel never touches a
// null pointer. BadArgument for a CDB length the kernel would refuse.
scsi::TransportError buildHeader(const scsi::Command& command, std::uint8_t (&sense)[kSenseBufferLength],
                                 sg_io_hdr_t& header);

// The result of an SG_IO ioctl that returned `ioctlResult` (with `error` = errno when -1).
// Delivered: the SCSI status, the sense data in fixed form (CHECK CONDITION) and the bytes
// moved. Otherwise an error saying which layer failed: the ioctl, the host adapter or the
// driver; NoDevice when the drive has gone.
scsi::Result mapResult(int ioctlResult, int error, const sg_io_hdr_t& header);

// Codes for a failed ioctl (errno), also used for opening the generic node. ENODEV, ENXIO,
// ENOENT and EIO mean the drive has gone (NoDevice): the sg driver answers so once the
// device is detached, in the middle of a command or at the next open.
scsi::TransportError fromErrno(int error);

}  // namespace platform::sgio
