// Matching dictionaries and the search for matching services.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <variant>

#include "platform/IOTypes.h"

namespace platform {

class Dictionary;
using CFMutableDictionaryRef = std::shared_ptr<Dictionary>;
using CFDictionaryRef = std::shared_ptr<const Dictionary>;

class Dictionary {
public:
    using Value = std::variant<std::string, CFDictionaryRef>;
    void set(const std::string& key, Value value) { values_[key] = std::move(value); }
    const Value* get(const std::string& key) const;
    std::size_t size() const { return values_.size(); }

private:
    std::map<std::string, Value> values_;
};

inline constexpr char kIOPropertyMatchKey[] = "IOPropertyMatch";
inline constexpr char kIOPropertySCSITaskDeviceCategory[] = "SCSITaskDeviceCategory";
inline constexpr char kIOPropertySCSITaskAuthoringDevice[] = "SCSITaskAuthoringDevice";

// A new empty dictionary, or null when it cannot be made.
CFMutableDictionaryRef CFDictionaryCreateMutable();
void CFDictionarySetValue(const CFMutableDictionaryRef& dict, const std::string& key, Dictionary::Value value);

// True when the dictionary asks for SCSI authoring devices in the property-match form.
bool IsAuthoringDeviceMatch(const Dictionary& matching);

// Takes over the caller's reference to `matching`. On success *existing is an iterator
// (with one reference for the caller) over the matching services, each with one reference
// that IOIteratorNext hands to the caller.
kern_return_t IOServiceGetMatchingServices(mach_port_t masterPort, CFDictionaryRef matching,
                                           io_iterator_t* existing);

namespace testing {
// Fault switches for tests of the callers: the next dictionary creations fail; the
// matching call returns the given code and/or a zero iterator. Reset with resetFaults().
void failDictionaryCreation(int count);
void setMatchingOutcome(std::optional<kern_return_t> result, bool zeroIterator);
void resetMatchingFaults();
}  // namespace testing

}  // namespace platform
