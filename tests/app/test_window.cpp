// The real window over simulated drives: start-up, listing, control states, the update
// from confirmation to result, the refusals during an update and the launch messages.
#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QTest>

#include "model/FirmwareImages.h"
#include "model/NotificationNames.h"
#include "platform/NotificationCenter.h"
#include "platform/sim/SimBackend.h"
#include "tests/app/WindowHarness.h"

using apptest::settle;
using apptest::WindowHarness;

namespace {

// INQUIRY fields keep their blank padding: vendor 8, product 16, revision 4 characters.
const QString kTitle120 = QStringLiteral("KESTORY  BD-RW KVL-MT38   1.2020240612 ");
const QString kTitle121 = QStringLiteral("KESTORY  BD-RW KVL-MT38   1.2120240612 ");
const QString kNoDriveText = QStringLiteral("No drive that can be updated was found. The application will quit.");
const QString kConfirmText = QStringLiteral(
    "Do not disconnect the drive or turn off the computer while the firmware is updated. Start the update?");

sim::DriveSpec driveWith(const char* revision) {
    sim::DriveSpec spec = sim::defaultTargetDrive();
    spec.revision = revision;
    return spec;
}

QString imageVersionText() {
    FirmFileData kernel, normal;
    getFwFileInfo(kernel, normal);
    return QString::fromStdString(normal.product().value_or("") + " " + normal.revision().value_or("") +
                                  normal.date().value_or(""));
}

std::size_t commandsSentTo(const std::string& key) {
    auto backend = std::dynamic_pointer_cast<sim::SimBackend>(platform::currentBackend());
    return backend ? backend->sentCommands(key).size() : 0;
}

// Everything the progress bar goes through, in order.
class BarTrace : public QObject {
public:
    explicit BarTrace(QProgressBar* bar) : bar_(bar) {
        bar->installEventFilter(this);
        connect(bar, &QProgressBar::valueChanged, this, [this](int value) {
            steps.append(QStringLiteral("value %1/%2").arg(value).arg(bar_->maximum()));
        });
    }
    QStringList steps;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Show) steps.append(QStringLiteral("show/%1").arg(bar_->maximum()));
        if (event->type() == QEvent::Hide) steps.append(QStringLiteral("hide"));
        return false;
    }

private:
    QProgressBar* bar_;
};

}  // namespace

class WindowTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { apptest::setUpProcess(); }
    void startUpStateAndFirstListing();
    void identicalDrivesAreNumbered();
    void controlStates_data();
    void controlStates();
    void declinedConfirmationStartsNothing_data();
    void declinedConfirmationStartsNothing();
    void successfulUpdate();
    void failedUpdateKeepsRecord();
    void windowLockedDuringUpdate();
    void progressDisplay();
    void launchMessages_data();
    void launchMessages();
    void moveWritesUserDefaults();
};

void WindowTest::startUpStateAndFirstListing() {
    WindowHarness h;
    h.attach("a");
    AppDelegateTiming timing = WindowHarness::fastTiming();
    timing.firstListingDelay = std::chrono::hours(1);
    h.start(timing);
    settle();
    MainWindow& w = h.window();
    QCOMPARE(w.lblTitleTargetDrive()->text(), QStringLiteral("Target Drive"));
    QCOMPARE(w.lblTitleWillUpdateTo()->text(), QStringLiteral("will update to"));
    QVERIFY(w.lblTitleWillUpdateTo()->isHidden());
    QCOMPARE(w.lblTxtUpdateVersion()->text(), QString());
    QCOMPARE(w.btnUpdate()->text(), QStringLiteral("Update"));
    QVERIFY(!w.btnUpdate()->isEnabled());
    QVERIFY(w.idctProgressUpdate()->isHidden());
    QCOMPARE(w.idctProgressUpdate()->maximum(), 65536);

    // Until the first listing every relisting request is dropped.
    platform::NotificationCenter::defaultCenter().post(kAppearedDeviceNotify);
    platform::NotificationCenter::defaultCenter().post(kDisappearedDeviceNotify, 3);
    settle();
    QVERIFY(h.delegate().starting());
    QVERIFY(h.delegate().devices().empty());
    QCOMPARE(w.cmbDriveList()->count(), 0);

    h.waitForDriveWatcher();
    h.delegate().initDeviceList();
    settle();
    QVERIFY(!h.delegate().starting());
    QCOMPARE(h.titles().size(), 1);
    QCOMPARE(h.delegate().currentIndex(), 0);
    QVERIFY(h.sheet() == nullptr);
}

void WindowTest::identicalDrivesAreNumbered() {
    WindowHarness h;
    for (const char* name : {"a", "b", "c"}) h.attach(name);
    h.attach("d", driveWith("1.21"));
    h.startListed();
    const QString twin = kTitle120 + QStringLiteral(" [%1]");
    QCOMPARE(h.titles(), (QStringList{twin.arg(1), twin.arg(2), twin.arg(3), kTitle121}));
    QCOMPARE(h.window().cmbDriveList()->currentIndex(), 0);
}

void WindowTest::controlStates_data() {
    QTest::addColumn<QString>("situation");
    QTest::addColumn<bool>("captionShown");
    QTest::addColumn<QString>("versionText");
    QTest::addColumn<bool>("buttonEnabled");
    QTest::addColumn<bool>("popUpEnabled");
    QTest::newRow("may be updated") << "eligible" << true << imageVersionText() << true << true;
    QTest::newRow("needs no update") << "current" << false << "no need update" << false << true;
    QTest::newRow("user picks the up-to-date one") << "choose" << false << "no need update" << false << true;
    QTest::newRow("last drive leaves") << "gone" << true << "" << false << true;
}

void WindowTest::controlStates() {
    QFETCH(QString, situation);
    QFETCH(bool, captionShown);
    QFETCH(QString, versionText);
    QFETCH(bool, buttonEnabled);
    QFETCH(bool, popUpEnabled);
    WindowHarness h;
    h.attach("a", driveWith(situation == "current" ? "1.21" : "1.20"));
    if (situation != "gone") {
        h.attach("b", driveWith("1.21"));  // detaching it would relist on its own, unordered
    }
    h.startListed();
    if (situation == "choose") {
        h.window().cmbDriveList()->setCurrentIndex(1);
        emit h.window().cmbDriveList()->activated(1);
        settle();
        QCOMPARE(h.delegate().currentIndex(), 1);
    } else if (situation == "gone") {
        h.detach("a");
        h.delegate().updateDeviceList(nullptr);
        settle();
        QCOMPARE(h.delegate().currentIndex(), -1);
        QVERIFY(!h.delegate().currentDevice());
        QCOMPARE(h.window().cmbDriveList()->count(), 0);
    }
    MainWindow& w = h.window();
    QCOMPARE(!w.lblTitleWillUpdateTo()->isHidden(), captionShown);  // an empty list leaves it as it was
    QCOMPARE(w.lblTxtUpdateVersion()->text(), versionText);
    QCOMPARE(w.btnUpdate()->isEnabled(), buttonEnabled);
    QCOMPARE(w.cmbDriveList()->isEnabled(), popUpEnabled);
    QVERIFY(w.idctProgressUpdate()->isHidden());
}

void WindowTest::declinedConfirmationStartsNothing_data() {
    QTest::addColumn<bool>("pressReturn");
    QTest::newRow("Return") << true;
    QTest::newRow("Cancel") << false;
}

void WindowTest::declinedConfirmationStartsNothing() {
    QFETCH(bool, pressReturn);
    WindowHarness h;
    h.attach("a");
    h.startListed();
    const std::size_t before = commandsSentTo("a");
    h.window().btnUpdate()->click();
    QMessageBox* box = h.sheet();
    QVERIFY(box != nullptr);
    QCOMPARE(box->text(), kConfirmText);
    if (pressReturn) {
        QTest::keyClick(box, Qt::Key_Return);
    } else {
        h.press(box, "Cancel");
    }
    settle();
    QVERIFY(!h.delegate().updating());
    QVERIFY(h.sheet() == nullptr);
    QCOMPARE(commandsSentTo("a"), before);
    QVERIFY(h.window().btnUpdate()->isEnabled());
}

void WindowTest::successfulUpdate() {
    WindowHarness h;
    sim::DriveSpec slow = sim::defaultTargetDrive();
    slow.timing.installMs = 300;  // long enough for progress reports
    h.attach("a", slow);
    h.attach("b", slow);
    h.startListed();
    // The second drive is updated; afterwards the first listed drive is current again.
    h.window().cmbDriveList()->setCurrentIndex(1);
    emit h.window().cmbDriveList()->activated(1);
    settle();
    h.window().btnUpdate()->click();
    h.press(h.sheet(), "OK");
    // The worker's reports can't have been applied yet: nothing ran the event loop since
    // the pre-update wait showed the locked controls.
    QProgressBar* bar = h.window().idctProgressUpdate();
    QVERIFY(h.delegate().updating());
    QVERIFY(bar->isVisible());
    QCOMPARE(bar->maximum(), 0);  // indeterminate
    QVERIFY(!h.window().btnUpdate()->isEnabled());
    QVERIFY(!h.window().cmbDriveList()->isEnabled());
    BarTrace trace(bar);

    KDU_WAIT_FOR(h.sheet() != nullptr);
    QCOMPARE(h.sheet()->text(), QStringLiteral("Complete!"));
    QCOMPARE(h.sheet()->buttons().size(), 1);
    QVERIFY(h.sheet()->informativeText().isEmpty());

    // Then 65536 - v for each poll, and hidden after the last report.
    const QStringList determinate = trace.steps.filter(QRegularExpression("^value [1-9]\\d*/65536$"));
    QVERIFY2(!determinate.isEmpty(), qPrintable(trace.steps.join(", ")));
    QVERIFY2(trace.steps.indexOf("hide", trace.steps.lastIndexOf(determinate.last())) > 0,
             qPrintable(trace.steps.join(", ")));

    h.press(h.sheet(), "OK");
    KDU_WAIT_FOR(!h.delegate().updating());
    KDU_WAIT_FOR(h.delegate().devices().size() == 2 && h.delegate().devices()[1].revision() == "1.21");
    settle();
    QCOMPARE(h.delegate().currentIndex(), 0);
    QCOMPARE(h.titles(), (QStringList{kTitle120, kTitle121}));
    QVERIFY(h.window().btnUpdate()->isEnabled());
    QVERIFY(h.window().cmbDriveList()->isEnabled());
}

void WindowTest::failedUpdateKeepsRecord() {
    WindowHarness h;
    sim::DriveSpec faulty = sim::defaultTargetDrive();
    faulty.faults.modeChangeToKernel = true;
    h.attach("a", faulty);
    h.startListed();
    h.window().btnUpdate()->click();
    h.press(h.sheet(), "OK");
    KDU_WAIT_FOR(h.sheet() != nullptr);
    QCOMPARE(h.sheet()->text(), QStringLiteral("Error!"));
    h.press(h.sheet(), "OK");
    KDU_WAIT_FOR(!h.delegate().updating());
    settle();
    QCOMPARE(h.delegate().devices().size(), std::size_t{1});
    QCOMPARE(h.delegate().devices()[0].revision(), OptionalText("1.20"));
    QVERIFY(h.window().btnUpdate()->isEnabled());
    QVERIFY(h.window().idctProgressUpdate()->isHidden());
}

void WindowTest::windowLockedDuringUpdate() {
    WindowHarness h;
    sim::DriveSpec stuck = sim::defaultTargetDrive();
    stuck.faults.installNeverEnds = true;
    h.attach("a", stuck);
    h.startListed();
    QSignalSpy quit(&h.delegate(), &KestoryDriveUpdaterAppDelegate::quitApplication);
    h.window().btnUpdate()->click();
    h.press(h.sheet(), "OK");
    KDU_WAIT_FOR(h.window().idctProgressUpdate()->maximum() == 65536 && h.window().idctProgressUpdate()->isVisible());
    QVERIFY(h.delegate().updating());
    QVERIFY(!h.window().btnUpdate()->isEnabled());
    QVERIFY(!h.window().cmbDriveList()->isEnabled());

    // Close and quit are refused silently.
    QVERIFY(!h.window().close());
    QVERIFY(h.window().isVisible());
    h.window().actionQuit()->trigger();
    QCOMPARE(h.delegate().applicationShouldTerminate(nullptr), KestoryDriveUpdaterAppDelegate::TerminateCancel);
    settle();
    QCOMPARE(quit.count(), 0);
    QVERIFY(h.sheet() == nullptr);

    // A drive and a disc arriving now change nothing.
    h.attach("b", driveWith("1.21"));
    QVERIFY(!sim::insertDisc(h.folder(), "b", std::string("DATA")));
    platform::NotificationCenter::defaultCenter().post(kAppearedDeviceNotify);
    platform::NotificationCenter::defaultCenter().post(kAppearedDeviceNotify, 1);
    settle();
    QCOMPARE(h.titles().size(), 1);
    QCOMPARE(h.delegate().devices().size(), std::size_t{1});

    // Pulling the drive ends the update; then the list catches up.
    h.detach("a");
    KDU_WAIT_FOR(h.sheet() != nullptr);
    QCOMPARE(h.sheet()->text(), QStringLiteral("Error!"));
    h.press(h.sheet(), "OK");
    KDU_WAIT_FOR(!h.delegate().updating());
    KDU_WAIT_FOR(h.titles() == QStringList{kTitle121});
    QVERIFY(h.window().close());
    QCOMPARE(quit.count(), 1);
}

void WindowTest::progressDisplay() {
    WindowHarness h;
    h.attach("a");
    h.startListed();
    QProgressBar* bar = h.window().idctProgressUpdate();
    const auto report = [&](std::int64_t v) {
        h.delegate().updateIndicatorNotify(platform::Notification{kUpdateIndicatorNotify, v});
        settle();
    };
    report(0);
    QVERIFY(bar->isVisible());
    QCOMPARE(bar->value(), 65536);
    report(65535);
    QCOMPARE(bar->value(), 1);
    report(-1);
    QVERIFY(bar->isHidden());

    // Without a current drive only the end report counts.
    h.detach("a");
    h.delegate().updateDeviceList(nullptr);
    settle();
    QCOMPARE(h.delegate().currentIndex(), -1);
    bar->setHidden(false);
    bar->setValue(7);
    report(100);
    QCOMPARE(bar->value(), 7);
    report(-1);
    QVERIFY(bar->isHidden());
}

void WindowTest::launchMessages_data() {
    QTest::addColumn<bool>("withDrive");
    QTest::addColumn<bool>("withDisc");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("quits");
    QTest::newRow("no drive") << false << false << kNoDriveText << 1;
    QTest::newRow("mounted disc") << true << true << "Disc may be mounted. Please confirm eject the disk!" << 0;
}

void WindowTest::launchMessages() {
    QFETCH(bool, withDrive);
    QFETCH(bool, withDisc);
    QFETCH(QString, message);
    QFETCH(int, quits);
    WindowHarness h;
    if (withDrive) {
        sim::DriveSpec spec = sim::defaultTargetDrive();
        if (withDisc) spec.disc = sim::Disc{std::string("DATA")};
        h.attach("a", spec);
    }
    AppDelegateTiming timing = WindowHarness::fastTiming();
    timing.firstListingDelay = std::chrono::milliseconds(300);  // the present discs are reported first
    h.start(timing);
    QSignalSpy quit(&h.delegate(), &KestoryDriveUpdaterAppDelegate::quitApplication);
    KDU_WAIT_FOR(h.sheet() != nullptr);
    QCOMPARE(h.sheet()->text(), message);
    QCOMPARE(h.sheet()->buttons().size(), 1);
    h.press(h.sheet(), "OK");
    settle();
    QCOMPARE(quit.count(), quits);
    QVERIFY(h.sheet() == nullptr);  // one message only
}

void WindowTest::moveWritesUserDefaults() {
    WindowHarness h;
    h.attach("a");
    h.startListed();
    h.window().move(40, 60);
    settle();
    const QRect frame = h.window().frameGeometry();
    QSettings defaults;
    const QList<std::pair<const char*, int>> expected{{"Left", frame.x()}, {"Right", frame.y()},  // y under "Right"
                                                      {"Width", frame.width()}, {"Height", frame.height()}};
    for (const auto& [key, value] : expected) {
        QCOMPARE(defaults.value(QStringLiteral("kUserDefaultKeyMainWindow%1Key").arg(key)).toFloat(), float(value));
    }
    QVERIFY(!defaults.value("MainWindow").toByteArray().isEmpty());
}

QTEST_MAIN(WindowTest)
#include "test_window.moc"
