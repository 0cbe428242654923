// `kdu sim attach|detach|insert|eject|demo`: changes to the simulated drive folder, as a
// person makes them while the window or `kdu watch` is running.
#include <filesystem>

#include "cli/Commands.h"
#include "cli/ExitCodes.h"
#include "cli/Output.h"
#include "simdrive/DriveFile.h"
#include "platform/sim/SimControl.h"

namespace cli {

namespace {

sim::DriveSpec specFor(const SimOptions& options) {
    sim::DriveSpec profile = sim::defaultTargetDrive();
    if (options.model == "other") {
        profile.product = "DVD-RAM KVL-D20";
        profile.revision = "2.05";
    }
    if (options.revision) profile.revision = *options.revision;
    if (options.kernel) profile.mode = sim::DriveMode::Kernel;
    if (options.volume) profile.disc = sim::Disc{options.volume};
    return profile;
}

// A text argument as the drive file carries it, checked by the reader every listing uses:
// what the listing would refuse is never written.
sim::ControlError refusedText(const char* option, const std::optional<std::string>& value, const char* object,
                              const char* key) {
    if (!value) return std::nullopt;
    const std::string label = std::string(option) + " \"" + *value + "\"";
    const nlohmann::json document{{object, {{key, *value}}}};
    try {
        (void)document.dump();
    } catch (const nlohmann::json::exception&) {
        return label + ": not UTF-8 text";
    }
    std::string error;
    if (sim::fromJson(document, label, error)) return std::nullopt;
    return error;
}

sim::ControlError refusedArgument(const SimOptions& options) {
    if (options.action == SimOptions::Action::Demo) return std::nullopt;
    if (sim::ControlError error = sim::checkName(options.name)) return error;
    const bool attach = options.action == SimOptions::Action::Attach;
    if (sim::ControlError error = refusedText(attach ? "--disc" : "--volume", options.volume, "disc", "volume"))
        return error;
    return refusedText("--revision", options.revision, "identity", "revision");
}

// Every drive goes, so the demo drives come back in their first state.
sim::ControlError recreateDemoFolder(const std::filesystem::path& folder) {
    std::error_code ec;
    if (std::filesystem::is_directory(folder, ec)) {
        for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
            if (!sim::driveNameOf(entry.path())) continue;
            std::filesystem::remove(entry.path(), ec);
            if (ec) return "cannot remove " + entry.path().string() + ": " + ec.message();
        }
        if (ec) return "cannot read " + folder.string() + ": " + ec.message();
    }
    return sim::createDemoFolder(folder);
}

sim::ControlError perform(const std::filesystem::path& folder, const SimOptions& options) {
    switch (options.action) {
        case SimOptions::Action::Attach:
            return sim::attach(folder, options.name, specFor(options));
        case SimOptions::Action::Detach:
            return sim::detach(folder, options.name);
        case SimOptions::Action::Insert:
            return sim::insertDisc(folder, options.name, options.volume);
        case SimOptions::Action::Eject:
            return sim::ejectDisc(folder, options.name);
        case SimOptions::Action::Demo:
            return recreateDemoFolder(folder);
    }
    return std::nullopt;
}

}  // namespace

int runSim(const platform::BackendChoice& backend, const SimOptions& options) {
    if (const sim::ControlError error = refusedArgument(options)) {
        sayError(*error);
        return kExitUsage;
    }
    const std::filesystem::path folder = backend.folder.value_or(platform::defaultSimulationFolder());
    if (const sim::ControlError error = perform(folder, options)) {
        sayError(*error);
        return kExitFailure;
    }
    return kExitOk;
}

}  // namespace cli
