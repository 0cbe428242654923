// How kdu shows drives and images: JSON objects (keys other tools rely on) and text.
#pragma once

#include <ostream>
#include <vector>

#include <nlohmann/json.hpp>

#include "model/DeviceData.h"
#include "model/FirmFileData.h"

namespace cli {

using Json = nlohmann::ordered_json;

// One line of JSON. Text that is not UTF-8 is replaced rather than ending the program.
std::string jsonLine(const Json& value);

// {"index":1,"title":...,"vendor":...,...,"sameNo":1}; absent texts are null.
Json driveJson(const DeviceData& drive, int index);
Json drivesJson(const std::vector<DeviceData>& drives);
Json imageJson(const FirmFileData& image);

// Several lines per drive: title, versions, disc, mode, verdict.
void printDriveText(std::ostream& out, const DeviceData& drive, int index);
// One line per drive, for event streams.
void printDriveShort(std::ostream& out, const DeviceData& drive, int index);
// Where a drive is, for people: "ID (NODE, NODE)", or just the id when it has no nodes.
std::string driveWhereText(const DeviceData& drive);
// "may be updated", "in update mode: update to recover", or "may not be updated: <why>".
std::string driveVerdictText(const DeviceData& drive);
// "product revisiondate", the version the drives are updated to, or a note that it is missing.
std::string shippedVersionText(const FirmFileData& normal);

}  // namespace cli
