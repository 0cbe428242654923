// `kdu images [--json]`: the header fields of the two shipped firmware images.
#include <sstream>

#include "cli/Commands.h"
#include "cli/DriveReport.h"
#include "cli/Output.h"
#include "cli/ExitCodes.h"
#include "cli/Inventory.h"

namespace cli {

namespace {

void printImageText(std::ostream& out, const char* role, const FirmFileData& image) {
    out << role << " image: ";
    if (!image.isFileExists()) {
        out << "missing\n";
        return;
    }
    const auto text = [](const OptionalText& t) { return t ? "\"" + escapeControls(*t) + "\"" : std::string("-"); };
    out << "product " << text(image.product()) << ", revision " << text(image.revision()) << ", date "
        << text(image.date()) << ", hardware " << text(image.hard_version()) << ", kernel "
        << text(image.krnl_version()) << ", destination " << text(image.dest_version()) << "\n";
}

}  // namespace

int runImages(const ImagesOptions& options) {
    Images images;
    readImages(images);
    const bool usable = images.fault.problem == ImageProblem::None;
    if (options.json) {
        answer(jsonLine(document(Json{{"kernel", imageJson(images.kernel)},
                                      {"normal", imageJson(images.normal)},
                                      {"image_problem", imageProblemJson(images.fault)}})) +
               "\n");
    } else if (!usable) {
        answer("The shipped images are unusable: " + escapeControls(imageFaultText(images.fault)) + "\n");
    } else {
        std::ostringstream text;
        printImageText(text, "Kernel", images.kernel);
        printImageText(text, "Normal", images.normal);
        answer(text.str());
    }
    return usable ? kExitOk : kExitFailure;
}

}  // namespace cli
