#include "tests/app/WindowHarness.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QStandardPaths>
#include <QTest>
#include <QThread>
#include <memory>

#include "app/QtRunLoop.h"
#include "app/Translations.h"
#include "model/NotificationNames.h"
#include "platform/NotificationCenter.h"
#include "platform/Backend.h"
#include "platform/Log.h"
#include "platform/RunLoop.h"

namespace apptest {

void setUpProcess() {
    QStandardPaths::setTestModeEnabled(true);
    // Closing the window is under test; it must not end the test program.
    QApplication::setQuitOnLastWindowClosed(false);
    QCoreApplication::setOrganizationName(QStringLiteral("Kestory"));
    QCoreApplication::setApplicationName(QStringLiteral("KestoryDriveUpdaterTests"));
    platform::installMainRunLoop(std::make_shared<QtRunLoop>());
    platform::setSyslogEnabled(false);
    installTranslations(*QCoreApplication::instance());
}

void settle() {
    // Posted changes may post more; a few rounds reach the end of any chain we make.
    for (int round = 0; round < 5; ++round) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        QCoreApplication::sendPostedEvents();
    }
}

WindowHarness::WindowHarness() : folder_(dir_.path().toStdString()) {
    platform::installBackend(sim::makeSimBackend(folder_));
}

WindowHarness::~WindowHarness() { stop(); }

void WindowHarness::attach(const std::string& name, const sim::DriveSpec& spec) {
    const sim::ControlError error = sim::attach(folder_, name, spec);
    QVERIFY2(!error, error ? error->c_str() : "");
}

void WindowHarness::detach(const std::string& name) {
    const sim::ControlError error = sim::detach(folder_, name);
    QVERIFY2(!error, error ? error->c_str() : "");
}

AppDelegateTiming WindowHarness::fastTiming() {
    AppDelegateTiming timing;
    timing.firstListingDelay = std::chrono::milliseconds(20);
    timing.preUpdateRunLoop = std::chrono::milliseconds(10);
    timing.preUpdateSleep = std::chrono::milliseconds(0);
    timing.update.pollInterval = std::chrono::milliseconds(5);
    return timing;
}

void WindowHarness::start(AppDelegateTiming timing) {
    // The watcher posts "appeared" then "disappeared" from its own thread. An observer of
    // "disappeared" registered while "appeared" is handled comes after the delegate's, so
    // when it runs the delegate is done with both.
    auto& centre = platform::NotificationCenter::defaultCenter();
    QThread* gui = QThread::currentThread();
    centre.addObserver(this, kAppearedDeviceNotify, [this, gui, &centre](const platform::Notification&) {
        if (QThread::currentThread() == gui) return;
        centre.addObserver(this, kDisappearedDeviceNotify, [this, gui](const platform::Notification&) {
            if (QThread::currentThread() != gui) watcherNoticesHandled_ = true;
        });
    });
    window_ = std::make_unique<MainWindow>();
    delegate_ = std::make_unique<KestoryDriveUpdaterAppDelegate>(window_.get(), timing);
    window_->show();
    delegate_->awakeFromNib();
}

void WindowHarness::waitForDriveWatcher() { KDU_WAIT_FOR(watcherNoticesHandled_); }

void WindowHarness::startListed() {
    AppDelegateTiming timing = fastTiming();
    timing.firstListingDelay = std::chrono::hours(1);
    start(timing);
    waitForDriveWatcher();
    delegate_->initDeviceList();
    settle();
}

QStringList WindowHarness::titles() {
    QStringList result;
    for (int i = 0; i < window_->cmbDriveList()->count(); ++i) {
        result.append(window_->cmbDriveList()->itemText(i));
    }
    return result;
}

QMessageBox* WindowHarness::sheet() {
    for (QMessageBox* box : window_->findChildren<QMessageBox*>()) {
        if (box->isVisible()) {
            return box;
        }
    }
    return nullptr;
}

void WindowHarness::press(QMessageBox* box, const QString& button) {
    QVERIFY(box != nullptr);
    for (QAbstractButton* candidate : box->buttons()) {
        if (candidate->text() == button) {
            candidate->click();
            return;
        }
    }
    QFAIL(qPrintable(QStringLiteral("no button %1").arg(button)));
}

void WindowHarness::stop() {
    platform::NotificationCenter::defaultCenter().removeObserver(this);
    delegate_.reset();
    if (window_) {
        for (QMessageBox* box : window_->findChildren<QMessageBox*>()) {
            box->done(0);
        }
    }
    window_.reset();
    settle();
}

}  // namespace apptest
