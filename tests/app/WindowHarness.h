// The real window and its delegate over a temporary folder of simulated drives.
#pragma once

#include <QtTest>
#include <QtWidgets>
#include <memory>
#include <optional>

#include "app/KestoryDriveUpdaterAppDelegate.h"
#include "app/MainWindow.h"
#include "app/Translations.h"
#include "platform/Backend.h"
#include "log/Log.h"
#include "simdrive/DriveFile.h"
#include "platform/sim/SimControl.h"

// Waits for a condition without asserting anything about how long it takes.
#define KDU_WAIT_FOR(condition) QTRY_VERIFY_WITH_TIMEOUT(condition, 120000)

namespace apptest {

inline void setUpProcess() {
    QStandardPaths::setTestModeEnabled(true);
    QApplication::setQuitOnLastWindowClosed(false);  // closing the window is under test
    QCoreApplication::setOrganizationName(QStringLiteral("Kestory"));
    QCoreApplication::setApplicationName(QStringLiteral("KestoryDriveUpdaterTests"));
    kdulog::setSyslogEnabled(false);
    // Update locks in a folder of this process's own, removed when it ends.
    static const QTemporaryDir runtime;
    qputenv("XDG_RUNTIME_DIR", runtime.path().toUtf8());
    // Updates take a sleep inhibitor: never from the machine's own logind in a test.
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/kdu-test-system-bus");
    installTranslations(*QCoreApplication::instance());
}

// Runs the widget changes posted so far, and the few rounds they post in turn.
inline void settle() {
    for (int round = 0; round < 5; ++round) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        QCoreApplication::sendPostedEvents();
    }
}

inline AppDelegateTiming fastTiming(std::chrono::milliseconds firstListingDelay = std::chrono::hours(1)) {
    AppDelegateTiming timing;
    timing.firstListingDelay = firstListingDelay;
    timing.preUpdateRunLoop = std::chrono::milliseconds(10);
    timing.preUpdateSleep = std::chrono::milliseconds(0);
    timing.update.pollInterval = std::chrono::milliseconds(5);
    return timing;
}

class WindowHarness {
public:
    WindowHarness() : folder_(dir_.path().toStdString()) { platform::installBackend(sim::makeSimBackend(folder_)); }
    ~WindowHarness() {
        delegate_.reset();
        if (window_) {
            for (QMessageBox* box : window_->findChildren<QMessageBox*>()) box->done(0);
        }
        window_.reset();
        settle();
    }

    const std::filesystem::path& folder() const { return folder_; }
    void attach(const std::string& name, const sim::DriveSpec& profile = sim::defaultTargetDrive()) {
        check(sim::attach(folder_, name, profile));
    }
    void detach(const std::string& name) { check(sim::detach(folder_, name)); }
    static void check(const sim::ControlError& error) { QVERIFY2(!error, error ? error->c_str() : ""); }

    // Makes the window and its delegate and starts them up.
    void start(AppDelegateTiming timing = fastTiming()) {
        window_ = std::make_unique<MainWindow>();
        delegate_ = std::make_unique<KestoryDriveUpdaterAppDelegate>(window_.get(), timing);
        window_->show();
        delegate_->awakeFromNib();
    }
    // Lets the window read and handle what the drive folder reported so far; once the listing
    // thread is idle the device manager has started (or given up) and its descriptor is watched.
    void settleWatch() {
        settle();
        KDU_WAIT_FOR(!delegate_->listing());
        settle();
    }
    void startListed(AppDelegateTiming timing = fastTiming()) {
        start(timing);
        settleWatch();
        initDeviceList();
    }
    // The first listing runs on the listing thread; waits until it is in and shown.
    void initDeviceList() {
        delegate_->initDeviceList();
        settleWatch();
    }

    MainWindow& window() { return *window_; }
    // The informative text of the last result sheet finishUpdate() saw.
    const QString& lastInformative() const { return informative_; }
    KestoryDriveUpdaterAppDelegate& delegate() { return *delegate_; }
    QStringList titles() {
        QStringList result;
        for (int i = 0; i < window_->cmbDriveList()->count(); ++i) result.append(window_->cmbDriveList()->itemText(i));
        return result;
    }
    void choose(int index) {
        window_->cmbDriveList()->setCurrentIndex(index);
        emit window_->cmbDriveList()->activated(index);
        settle();
    }

    std::optional<sim::DriveSpec> stateOf(const std::string& name) const {
        std::string error;
        return sim::loadDriveFile(sim::driveFilePath(folder_, name), error);
    }

    QMessageBox* sheet() {
        for (QMessageBox* box : window_->findChildren<QMessageBox*>()) {
            if (box->isVisible()) return box;
        }
        return nullptr;
    }
    void press(QMessageBox* box, const QString& button) {
        QVERIFY(box != nullptr);
        for (QAbstractButton* candidate : box->buttons()) {
            if (candidate->text() == button) return candidate->click();
        }
        QFAIL(qPrintable(QStringLiteral("no button %1").arg(button)));
    }
    // The sheet's OK, found by its role so that it is found in every language.
    void accept(QMessageBox* box) {
        QVERIFY(box != nullptr);
        for (QAbstractButton* candidate : box->buttons()) {
            if (box->buttonRole(candidate) == QMessageBox::AcceptRole) return candidate->click();
        }
        QFAIL("no OK button");
    }
    void startUpdate() {
        window_->btnUpdate()->click();
        accept(sheet());
    }
    // Waits for the result sheet (the bar is gone by then), dismisses it, waits for the worker.
    void finishUpdate(QString& result) {
        KDU_WAIT_FOR(sheet() != nullptr);
        result = sheet()->text();
        informative_ = sheet()->informativeText();
        QVERIFY(window_->idctProgressUpdate()->isHidden());
        accept(sheet());
        // The worker asks for its last listing before it counts itself ended; once that
        // listing is over, nothing more of this update reaches the window.
        KDU_WAIT_FOR(delegate_->updatesEnded() > updatesSeen_);
        updatesSeen_ = delegate_->updatesEnded();
        KDU_WAIT_FOR(!delegate_->updating() && !delegate_->listing());
        settle();
    }

private:
    QTemporaryDir dir_;
    std::filesystem::path folder_;
    std::unique_ptr<MainWindow> window_;
    std::unique_ptr<KestoryDriveUpdaterAppDelegate> delegate_;
    QString informative_;
    int updatesSeen_ = 0;
};

}  // namespace apptest
