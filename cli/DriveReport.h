// How kdu shows drives and images: JSON objects (keys other tools rely on) and text.
#pragma once

#include <ostream>
#include <vector>

#include <nlohmann/json.hpp>

#include "log/Format.h"
#include "model/DeviceData.h"
#include "model/FirmFileData.h"
#include "model/ImageProof.h"

namespace cli {

using Json = nlohmann::ordered_json;

// One line of JSON. Text that is not UTF-8 is replaced rather than ending the program.
std::string jsonLine(const Json& value);

// The version of kdu's JSON documents (docs/cli.md, docs/*.schema.json): every document and
// event carries it as "schema"; a change that breaks a reader raises it.
inline constexpr int kJsonSchemaVersion = 1;

// {"index":1,"id":...,"vendor":"KESTORY",...,"may_update":false,"reason":...,"raw":{...}};
// texts trimmed, the drive's fixed-width fields as sent under "raw"; absent texts are null.
Json driveJson(const DeviceData& drive, int index);
Json drivesJson(const std::vector<DeviceData>& drives);
// {"drives":3,"may_update":1,"may_not_update":1,"not_examined":1}.
Json summaryJson(const std::vector<DeviceData>& drives);
// "3 drives: 1 may be updated, 1 may not be updated, 1 could not be examined." (counts of
// none left out), or "No drive found.".
std::string summaryText(const std::vector<DeviceData>& drives);
Json imageJson(const FirmFileData& image);
// {"file":..., "problem":"truncated", "text":"R7360501.121: truncated (...)"}, or null when none.
Json imageProblemJson(const ImageFault& fault);
// {"schema":1, ...fields}.
Json document(Json fields);
// One event of a JSON Lines stream: {"schema":1,"event":name,"time":RFC 3339 UTC,"drive":id or null}.
Json event(std::string_view name, const std::optional<std::string>& driveId);
using kdulog::rfc3339Now;
using kdulog::trimmed;
// The text as it is, or null.
Json textOrNull(const OptionalText& text);

// Several lines per drive: title, versions, disc, mode, verdict.
void printDriveText(std::ostream& out, const DeviceData& drive, int index);
// One line per drive, for event streams.
void printDriveShort(std::ostream& out, const DeviceData& drive, int index);
// Where a drive is, for people: "ID (NODE, NODE)", or just the id when it has no nodes.
std::string driveWhereText(const DeviceData& drive);
// "may be updated", "in update mode: update to recover", or "may not be updated: <why>".
std::string driveVerdictText(const DeviceData& drive);
// "product revisiondate", the version the drives are updated to, or why the images are unusable.
std::string shippedVersionText(const FirmFileData& normal, const ImageFault& fault);

}  // namespace cli
