// The simulated drive itself: answers each CDB from the drive's state as a real drive of
// the target model does, assembles the firmware images it receives in kernel mode, and
// installs them after the switch back. It does no file or lock work: the backend loads
// the state before a command and writes it back when the answer changed it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "scsi/Command.h"
#include "scsi/Result.h"
#include "simdrive/DriveFile.h"

namespace sim {

// Names as faults and diagnostics use them: "INQUIRY", "TEST UNIT READY", "READ BUFFER",
// "CHANGE DRIVE MODE" (WRITE BUFFER to buffer 0xFF), "WRITE BUFFER", else "OPCODE 0xNN".
std::string commandName(const std::uint8_t* cdb);

// Fixed-format sense data: response code 0x70, additional length 10.
scsi::Sense makeSense(SenseCodes codes);

// The 256 bytes of parameter data the drive requires with CHANGE DRIVE MODE.
std::vector<std::uint8_t> modeChangeParameterData();

// Image buffers reach at most this far (the 24-bit buffer offset of WRITE BUFFER).
inline constexpr std::size_t kMaxImageLength = 1u << 24;

class SimDrive {
public:
    // Ends an install whose time is up. True when `profile` changed.
    static bool settle(DriveSpec& profile, std::int64_t nowMs);
    // The progress value reported while installing: 0xFFFF at the start, down to 0.
    static std::uint16_t installProgress(const InstallState& install, std::int64_t nowMs);

    // Answers one command. True when the drive's own state in `profile` (mode, revision,
    // install) changed and must be written back.
    bool answer(DriveSpec& profile, const scsi::Command& command, scsi::Result& out,
                std::int64_t nowMs);

    // The drive lost power (detached): whatever it received is gone.
    void reset();

private:
    // A drive checks an image while it arrives: pieces received in order extend a running
    // CRC over the sealed region, so the check at the mode change costs nothing more. Pieces
    // out of order, or rewriting summed bytes, leave the whole check to the end.
    struct Image {
        std::vector<std::uint8_t> bytes;
        bool received = false;
        bool summing = true;
        std::size_t summedEnd = 96;   // the running CRC covers [96, summedEnd)
        std::uint32_t crc = 0;
        void receivedPiece(std::size_t offset, std::size_t length);
        bool sealHolds() const;
    };

    void inquiry(const DriveSpec& profile, const scsi::Command& command, scsi::Result& out) const;
    void testUnitReady(const DriveSpec& profile, scsi::Result& out, std::int64_t nowMs) const;
    void readBuffer(const DriveSpec& profile, const scsi::Command& command, scsi::Result& out) const;
    bool changeDriveMode(DriveSpec& profile, const scsi::Command& command, scsi::Result& out,
                         std::int64_t nowMs);
    void writeBuffer(const DriveSpec& profile, const scsi::Command& command, scsi::Result& out);
    // The install the received images start: the revision and date they carry, or no
    // revision when the drive refuses them.
    InstallState judgeImages(const DriveSpec& profile, std::int64_t nowMs) const;

    Image kernel_;
    Image normal_;
};

}  // namespace sim
