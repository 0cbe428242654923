// Identity and version fields of a simulated target drive. The shipped sample images are
// built with the same hardware, kernel and destination versions, so a default drive is
// eligible for them.
#pragma once

namespace sim {

inline constexpr char kDefaultVendor[] = "KESTORY";
inline constexpr char kDefaultProduct[] = "BD-RW KVL-MT38";
inline constexpr char kDefaultRevision[] = "1.20";   // older than the shipped "1.21"
inline constexpr char kDefaultDate[] = "20240612";
inline constexpr char kDefaultHardVersion[] = "MT38HW01";
inline constexpr char kDefaultKernelVersion[] = "KRNL0101";
inline constexpr char kDefaultDestVersion[] = "DEST0001";
inline constexpr char kDefaultJudgeKrnl[] = "KJ01";
inline constexpr char kDefaultClassName[] = "SimAuthoringDevice";

// A drive in kernel mode answers INQUIRY with this revision.
inline constexpr char kKernelModeRevision[] = "0000";
// The drive accepts only images whose product field contains this text.
inline constexpr char kTargetProduct[] = "BD-RW KVL-MT38";

}  // namespace sim
