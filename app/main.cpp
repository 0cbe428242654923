// kestory-drive-updater: the options, one window per user session, then the window on
// Qt's event loop.
#include <QApplication>
#include <QSessionManager>
#include <cstdio>
#include <memory>

#include "app/CommandLine.h"
#include "app/KestoryDriveUpdaterAppDelegate.h"
#include "app/MainWindow.h"
#include "app/ScreenshotTour.h"
#include "app/SingleInstance.h"
#include "app/Translations.h"
#include "log/LogRouting.h"
#include "platform/BackendChoice.h"

namespace {

void nameTheApplication() {
    QCoreApplication::setOrganizationName(QStringLiteral("Kestory"));
    QCoreApplication::setApplicationName(QStringLiteral("KestoryDriveUpdater"));
    QCoreApplication::setApplicationVersion(programVersion());
}

}  // namespace

int main(int argc, char* argv[]) {
    // Before anything opens a file: a closed stdout must not hand its number to the log.
    kdulog::occupyClosedStandardDescriptors();
    ParsedOptions parsed;
    const QString instanceName = instanceServerName();
    {
        // The options and the hand-over to a running window need no display.
        QCoreApplication console(argc, argv);
        nameTheApplication();
        parsed = parseAppOptions(QCoreApplication::arguments());
        if (!parsed.options) {
            std::fprintf(parsed.exitCode == 0 ? stdout : stderr, "%s\n", qPrintable(parsed.message));
            return parsed.exitCode;
        }
        // The screenshot run works on a folder of its own, beside a window that may be open.
        if (!parsed.options->screenshotDir && SingleInstance::handOver(instanceName)) {
            std::fprintf(stderr, "kestory-drive-updater: already open in this session; its window was raised\n");
            return 0;
        }
    }
    QApplication app(argc, argv);
    nameTheApplication();
    QGuiApplication::setApplicationDisplayName(MainWindow::displayName());
    QGuiApplication::setDesktopFileName(QStringLiteral("io.kestory.DriveUpdater"));

    // The log lines go to the window's log file, and to stderr as well with -v.
    const std::filesystem::path logFile = kdulog::defaultLogFile("window.log");
    if (const auto error = kdulog::setRouting({logFile, 2u << 20, parsed.options->verbose}))
        std::fprintf(stderr, "%s\n", error->c_str());
    if (const auto error = platform::installChosenBackend(parsed.options->backend)) {
        std::fprintf(stderr, "%s\n", error->c_str());
        return 2;
    }
    installTranslations(app);

    MainWindow window;
    SingleInstance instance;
    if (!parsed.options->screenshotDir) {
        instance.listen(instanceName);
    }
    QObject::connect(&instance, &SingleInstance::raiseRequested, &window, [&window] {
        window.showNormal();
        window.raise();
        window.activateWindow();
    });
    KestoryDriveUpdaterAppDelegate delegate(&window);
    delegate.setLogFile(logFile);
    if (!parsed.options->screenshotDir) {
        delegate.recordUpdates({HistoryFile::standard(), "window", programVersion().toStdString()});
    }
    QObject::connect(&delegate, &KestoryDriveUpdaterAppDelegate::quitApplication, &app, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    // Logging out or shutting down mid-update would leave the drive in its update mode.
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &delegate, [&delegate](QSessionManager& manager) {
        if (!delegate.mayEndSession()) {
            manager.cancel();
        }
    });
    delegate.awakeFromNib();  // restores the saved frame before the window first shows
    window.show();

    std::unique_ptr<ScreenshotTour> tour;
    if (parsed.options->screenshotDir) {
        tour = std::make_unique<ScreenshotTour>(window, *parsed.options->screenshotDir);
        QObject::connect(tour.get(), &ScreenshotTour::finished, &app, &QCoreApplication::exit, Qt::QueuedConnection);
        tour->start();
    }
    return app.exec();
}
