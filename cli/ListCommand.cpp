// `kdu list [--json]`: the drives of the target model and whether each may be updated.
#include <iostream>
#include <sstream>

#include "cli/Commands.h"
#include "cli/DriveReport.h"
#include "cli/Output.h"
#include "cli/ExitCodes.h"
#include "cli/Inventory.h"
#include "cli/PermissionHint.h"

namespace cli {

int runList(const platform::BackendChoice& backend, const ListOptions& options) {
    if (!installBackend(backend)) return kExitFailure;
    Images images;
    readImages(images);
    const PermissionWatch permissions;
    const std::vector<DeviceData> drives = listDrives(images.normal);

    if (options.json) {
        answer(jsonLine(document(Json{{"image_problem", imageProblemJson(images.fault)},
                                      {"drives", drivesJson(drives)},
                                      {"summary", summaryJson(drives)}})) +
               "\n");
    } else {
        std::ostringstream text;
        text << "Shipped firmware: " << shippedVersionText(images.normal, images.fault) << "\n";
        for (std::size_t i = 0; i < drives.size(); ++i) printDriveText(text, drives[i], static_cast<int>(i) + 1);
        text << summaryText(drives) << "\n";
        answer(text.str());
    }
    permissions.printHint(std::cerr);
    return kExitOk;
}

}  // namespace cli
