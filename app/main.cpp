// kestory-drive-updater: one copy at a time, then the window on Qt's event loop.
#include <QApplication>
#include <QSessionManager>
#include <cstdio>
#include <memory>

#include "app/CommandLine.h"
#include "app/KestoryDriveUpdaterAppDelegate.h"
#include "app/MainWindow.h"
#include "app/QtRunLoop.h"
#include "app/ScreenshotTour.h"
#include "app/Translations.h"
#include "log/LogRouting.h"
#include "model/Util.h"
#include "platform/BackendChoice.h"
#include "platform/RunLoop.h"

int main(int argc, char* argv[]) {
    if (Util::countLaunchedApp() > 1) {
        return 0;
    }
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Kestory"));
    QCoreApplication::setApplicationName(QStringLiteral("KestoryDriveUpdater"));
    QGuiApplication::setDesktopFileName(QStringLiteral("io.kestory.DriveUpdater"));
    // Before anything can schedule on the main run loop: Qt's loop is that loop.
    platform::installMainRunLoop(std::make_shared<QtRunLoop>());

    const ParsedOptions parsed = parseAppOptions(QCoreApplication::arguments());
    if (!parsed.options) {
        std::fprintf(parsed.exitCode == 0 ? stdout : stderr, "%s\n", qPrintable(parsed.message));
        return parsed.exitCode;
    }
    // The log lines go to the window's log file, and to stderr as well with -v.
    if (const auto error = kdulog::setRouting({kdulog::defaultLogFile("window.log"), 2u << 20, parsed.options->verbose}))
        std::fprintf(stderr, "%s\n", error->c_str());
    if (const auto error = platform::installChosenBackend(parsed.options->backend)) {
        std::fprintf(stderr, "%s\n", error->c_str());
        return 2;
    }
    installTranslations(app);

    MainWindow window;
    KestoryDriveUpdaterAppDelegate delegate(&window);
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
