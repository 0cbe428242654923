#include <string>

#include "cli/Commands.h"
#include "cli/ExitCodes.h"
#include "cli/Inventory.h"
#include "cli/Output.h"

namespace cli {

int runVersion() {
    Images images;
    readImages(images);
    const FirmFileData& normal = images.normal;
    std::string firmware = "missing";
    if (images.fault.problem != ImageProblem::None)
        firmware = "unusable: " + escapeControls(imageFaultText(images.fault));
    else if (normal.isFileExists() && normal.revision())
        firmware = escapeControls(*normal.revision() + (normal.date() ? " (" + *normal.date() + ")" : std::string()));
    answer("kdu " KDU_VERSION "\ngit revision " KDU_GIT_REVISION "\nshipped firmware " + firmware + "\n");
    return kExitOk;
}

}  // namespace cli
