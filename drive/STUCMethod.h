// The drive command layer: discovery, the five SCSI commands with their common
// execution frame, sense decoding, diagnostic dumps, the listing of drives and the
// firmware update sequence. Plain functions that report by return value only.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "drive/UnitReadiness.h"
#include "drive/UpdateReport.h"
#include "model/DeviceData.h"
#include "model/FirmFileData.h"
#include "platform/Backend.h"
#include "scsi/Result.h"
#include "scsi/Sense.h"

// Discovery ---------------------------------------------------------------

inline constexpr std::uint32_t kFindMethodAuthoringDevices = 5;

// Only method 5 (authoring devices) is implemented; another finds nothing.
std::vector<std::shared_ptr<platform::DeviceNode>> FindDevicesUsing(std::uint32_t method);
// The drive among those attached now (DriveIdentity::sameDriveAs); null when it is not.
std::shared_ptr<platform::DeviceNode> attachedDrive(const scsi::DriveIdentity& drive);
// Opens the drive for this process alone; a drive held elsewhere is asked again a few times
// over about a second before the refusal stands.
platform::Opened CreateDeviceInterfaceForAuthoringDevice(platform::DeviceNode& node);
// Refused by a drive that is there (held elsewhere, not ours to open), as opposed to one
// that cannot be opened at all.
bool accessRefused(scsi::TransportError error);

// Commands ----------------------------------------------------------------

inline constexpr std::uint32_t kCommandTimeoutMs = 500000;
inline constexpr std::uint32_t kWriteBufferMaxLength = 0x8000;

scsi::Result CommandInquiry(platform::TaskChannel& channel, DeviceData* record);
// What the drive says of its readiness. With a record: whether it holds a disc, and its
// install progress while it installs.
UnitReadiness CommandTestUnitReady(platform::TaskChannel& channel, DeviceData* record);
// The record's version fields are set only on GOOD.
scsi::Result CommandReadBufferForDevice(platform::TaskChannel& channel, DeviceData* record);
scsi::Result CommandChangeDriveMode(platform::TaskChannel& channel, DeviceData* record);
// Sends one piece of an image: buffer 0xFE when isKernel is non-zero, else 0xF0.
// A length over 32768 bytes is refused unsent (logged): BadArgument.
scsi::Result CommandWriteBuffer(platform::TaskChannel& channel, std::uint32_t isKernel, DeviceData* record,
                                std::span<const std::uint8_t> data, std::uint32_t offset, std::uint32_t length);

// Diagnostics (standard error) -------------------------------------------------

// One line: sense key name, ", ", then the meaning of ASC/ASCQ. With addRawValues the
// line starts with the three codes in numbers.
void PrintSenseString(const scsi::Sense* sense, bool addRawValues);
void PrintSCSIInquiryDataUsing(const std::uint8_t* data, std::uint32_t size);
void PrintReadBuffer(const std::uint8_t* data, std::uint32_t size);

// Listing and update -----------------------------------------------------------

// Appends one record per attached drive of the target model, in discovery order. A drive
// that could not be examined (held elsewhere, refused, not answering) is listed too, unless
// the system knows it to be another model: its record has the identity, the model names the
// system holds, and the reason as its eligibility, so list numbers stay the same.
void ExecListDeviceMain(const std::vector<std::shared_ptr<platform::DeviceNode>>& nodes, std::vector<DeviceData>& list,
                        const FirmFileData& normal);
// The drive's record, or none when it is not listed (held elsewhere, another model...).
// Opens the drive, examines it and gives it back. `unexaminedOut`, when given, receives why
// a drive could not be examined (none for a drive that was, whatever its model).
std::optional<DeviceData> GetDeviceInfo(platform::DeviceNode& node, const FirmFileData& normal, bool imagesProven,
                                        std::optional<UpdateEligibility>* unexaminedOut = nullptr);
// INQUIRY, TEST UNIT READY and READ BUFFER of a drive already held, judged by the one
// eligibility rule; none for a drive of another model. The listing and the update's second
// look at the drive both use it. `unansweredOut` is set when INQUIRY gave no product.
std::optional<DeviceData> IdentifyHeldDrive(platform::TaskChannel& channel, const FirmFileData& normal,
                                            bool imagesProven, bool* unansweredOut = nullptr);

struct UpdateTiming {
    std::chrono::milliseconds pollInterval{100};     // pause between TEST UNIT READY polls
    std::chrono::milliseconds waitLimit{10 * 60 * 1000};  // give up waiting for the install after this
    // An answer that is no part of an install ends the wait only when it lasts this long.
    std::chrono::milliseconds faultPersistence{10 * 1000};
};
// The whole update of one drive. True when the drive reports the target revision after it.
// `drive` is the record that was confirmed: the update goes on only with that very drive,
// still eligible. `report`, when given, says how it ended.
bool ExecUpdateMain(DeviceData& drive, const FirmFileData& normal, const FirmFileData& kernel,
                    const UpdateTiming& timing = {}, const UpdateHooks& hooks = {}, UpdateReport* report = nullptr);
// The commands ExecUpdateMain sends after its checks, in order, for a drive in `driveMode`
// and a normal image of `normalLength` bytes (the install polls shown once).
std::vector<PlannedCommand> updatePlan(DriveMode driveMode, std::uint32_t normalLength);
