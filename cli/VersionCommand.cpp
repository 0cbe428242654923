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
    const std::string firmware = normal.isFileExists() && normal.revision()
                                     ? escapeControls(*normal.revision() + (normal.date() ? " (" + *normal.date() + ")" : std::string()))
                                     : "missing";
    answer("kdu " KDU_VERSION "\ngit revision " KDU_GIT_REVISION "\nshipped firmware " + firmware + "\n");
    return kExitOk;
}

}  // namespace cli
