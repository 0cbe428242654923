// The real window over simulated drives: start-up, listing, the update from confirmation
// to result, the refusals during an update and the launch messages.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <future>

#include "platform/sim/SimBackend.h"
#include "tests/app/WindowHarness.h"

using apptest::settle;
using apptest::WindowHarness;

namespace {

// INQUIRY fields keep their blank padding: vendor 8, product 16, revision 4 characters.
const QString kTitle120 = QStringLiteral("KESTORY  BD-RW KVL-MT38   1.2020240612 ");
const QString kTitle121 = QStringLiteral("KESTORY  BD-RW KVL-MT38   1.2120240612 ");
// An updated drive reports the date of the firmware it now runs.
const QString kTitleUpdated = QStringLiteral("KESTORY  BD-RW KVL-MT38   1.2120261120 ");
const QString kTwin = kTitle120 + QStringLiteral(" [%1]");

sim::DriveSpec driveWith(const char* revision) {
    sim::DriveSpec profile = sim::defaultTargetDrive();
    profile.revision = revision;
    return profile;
}

std::size_t commandsSentTo(const std::string& key) {
    return std::dynamic_pointer_cast<sim::SimBackend>(platform::currentBackend())->sentCommands(key).size();
}

}  // namespace

class WindowTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { apptest::setUpProcess(); }

    void startUpStateAndFirstListing() {
        WindowHarness h;
        for (const char* name : {"a", "b", "c"}) h.attach(name);
        h.attach("d", driveWith("1.21"));
        h.start();
        settle();
        MainWindow& w = h.window();
        QVERIFY(w.lblTitleWillUpdateTo()->isHidden());
        QVERIFY(!w.btnUpdate()->isEnabled());
        QVERIFY(w.idctProgressUpdate()->isHidden());
        QCOMPARE(w.lblStatus()->text(), QStringLiteral("Looking for drives…"));

        // Until the first listing every relisting request is dropped.
        h.settleWatch();
        h.attach("e");
        h.detach("e");
        h.settleWatch();
        QVERIFY(h.delegate().starting());
        QVERIFY(h.delegate().devices().empty());
        QCOMPARE(w.cmbDriveList()->count(), 0);

        h.initDeviceList();
        QVERIFY(!h.delegate().starting());
        QVERIFY(w.lblStatus()->text().isEmpty());
        // Identical drives are numbered; a drive without a twin keeps one trailing blank.
        QCOMPARE(h.titles(), (QStringList{kTwin.arg(1), kTwin.arg(2), kTwin.arg(3), kTitle121}));
        QCOMPARE(h.delegate().currentIndex(), 0);
        QCOMPARE(w.cmbDriveList()->currentIndex(), 0);
        QVERIFY(h.sheet() == nullptr);
    }

    // A drive another program holds is shown greyed with the reason and is not chosen; once
    // free, the next relisting makes it an entry like any other.
    void aDriveHeldElsewhereIsGreyedWithItsReason() {
        WindowHarness h;
        h.attach("a");
        h.attach("b", driveWith("1.20"));
        const int held = ::open((h.folder() / ".a.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        QCOMPARE(::flock(held, LOCK_EX | LOCK_NB), 0);
        h.startListed();
        QCOMPARE(h.titles(), (QStringList{QStringLiteral("KESTORY BD-RW KVL-MT38 (in use by another program)"), kTitle120}));
        QComboBox* list = h.window().cmbDriveList();
        const auto* entries = qobject_cast<QStandardItemModel*>(list->model());
        QVERIFY(entries != nullptr);
        QVERIFY(!entries->item(0)->isEnabled());
        QVERIFY(entries->item(1)->isEnabled());
        QVERIFY(list->itemData(0, Qt::ToolTipRole).toString().endsWith(QStringLiteral("in use by another program")));
        QCOMPARE(h.delegate().currentIndex(), 1);  // the first entry that may be chosen
        QVERIFY(h.window().btnUpdate()->isEnabled());

        ::close(held);
        h.delegate().updateDeviceList(nullptr);
        settle();
        QCOMPARE(h.titles(), (QStringList{kTwin.arg(1), kTwin.arg(2)}));
        QVERIFY(entries->item(0)->isEnabled());
        QCOMPARE(h.delegate().currentIndex(), 1);
    }

    void declinedConfirmationStartsNothing_data() {
        QTest::addColumn<bool>("pressReturn");
        QTest::newRow("Return") << true;
        QTest::newRow("Cancel") << false;
    }
    void declinedConfirmationStartsNothing() {
        QFETCH(bool, pressReturn);
        WindowHarness h;
        h.attach("a");
        h.startListed();
        const std::size_t before = commandsSentTo("a");
        h.window().btnUpdate()->click();
        QMessageBox* box = h.sheet();
        QVERIFY(box != nullptr);
        QCOMPARE(box->text(), QStringLiteral("Do not disconnect the drive or turn off the computer while the "
                                             "firmware is updated. Start the update?"));
        pressReturn ? QTest::keyClick(box, Qt::Key_Return) : h.press(box, "Cancel");
        settle();
        QVERIFY(!h.delegate().updating());
        QVERIFY(h.sheet() == nullptr);
        QCOMPARE(commandsSentTo("a"), before);
        QVERIFY(h.window().btnUpdate()->isEnabled());

        // The last drive leaving takes the choice and the button with it.
        h.detach("a");
        h.delegate().updateDeviceList(nullptr);
        settle();
        QCOMPARE(h.delegate().currentIndex(), -1);
        QCOMPARE(h.window().cmbDriveList()->count(), 0);
        QVERIFY(!h.window().btnUpdate()->isEnabled());
    }

    // The second drive is updated; afterwards the list is read again with the first current.
    void updateResult_data() {
        QTest::addColumn<bool>("fails");
        QTest::addColumn<QString>("result");
        QTest::addColumn<QStringList>("titles");
        QTest::newRow("success") << false << "Complete!" << QStringList{kTitle120, kTitleUpdated};
        QTest::newRow("failure keeps the record") << true << "Error!" << QStringList{kTwin.arg(1), kTwin.arg(2)};
    }
    void updateResult() {
        QFETCH(bool, fails);
        WindowHarness h;
        sim::DriveSpec target = sim::defaultTargetDrive();
        target.timing.installMs = 300;  // long enough for progress reports
        target.faults.modeChangeToKernel = fails;
        h.attach("a");
        h.attach("b", target);
        std::promise<void> checked;  // the worker waits until the locked window has been checked
        AppDelegateTiming timing = apptest::fastTiming();
        timing.workerGate = [gate = checked.get_future().share()] { gate.wait(); };
        h.startListed(timing);
        h.choose(1);
        h.startUpdate();
        QProgressBar* bar = h.window().idctProgressUpdate();
        QVERIFY(h.delegate().updating());
        QVERIFY(bar->isVisible());
        QCOMPARE(bar->maximum(), 0);  // indeterminate
        QVERIFY(!h.window().btnUpdate()->isEnabled());
        QVERIFY(!h.window().cmbDriveList()->isEnabled());
        QList<int> determinate;
        QObject::connect(bar, &QProgressBar::valueChanged, bar, [&](int v) {
            if (bar->maximum() == 65536 && v > 0) determinate.append(v);
        });
        checked.set_value();

        QString result;
        h.finishUpdate(result);  // the bar is hidden by the time the result shows
        QTEST(result, "result");
        QCOMPARE(determinate.isEmpty(), fails);
        if (fails) {  // the step that failed and what state the drive is in
            QVERIFY2(h.lastInformative().contains(QStringLiteral("the drive still runs its old firmware")),
                     qPrintable(h.lastInformative()));
        }
        KDU_WAIT_FOR(h.delegate().devices().size() == 2 && (h.delegate().devices()[1].revision() == "1.21") == !fails);
        settle();
        QCOMPARE(h.delegate().currentIndex(), 1);  // the choice is kept across the relisting
        QTEST(h.titles(), "titles");
        QCOMPARE(h.window().btnUpdate()->isEnabled(), fails);  // a drive just updated is up to date
        QVERIFY(h.window().cmbDriveList()->isEnabled());
        h.choose(0);  // the other drive may be updated
        QVERIFY(h.window().btnUpdate()->isEnabled());
    }

    // The status line follows the update's own reports, phase by phase, the bar never goes
    // back once filled, and the result names the drive and both revisions.
    void statusLineFollowsThePhases() {
        WindowHarness h;
        sim::DriveSpec target = sim::defaultTargetDrive();
        target.timing.installMs = 300;  // several install reports
        h.attach("a", target);
        h.startListed();
        QStringList said;
        QObject::connect(&h.delegate(), &KestoryDriveUpdaterAppDelegate::statusChanged, &h.delegate(),
                         [&](const QString& text) { said.append(text); });
        QProgressBar* bar = h.window().idctProgressUpdate();
        QList<int> filled;
        QObject::connect(bar, &QProgressBar::valueChanged, bar, [&](int v) {
            if (bar->maximum() == 65536 && bar->isVisible()) filled.append(v);
        });
        h.startUpdate();
        QString result;
        h.finishUpdate(result);
        QCOMPARE(result, QStringLiteral("Complete!"));

        // Each phase in order; within one, repeats of the same kind of text.
        const QList<QRegularExpression> phases{
            QRegularExpression("^Preparing the update$"),
            QRegularExpression("^Switching the drive to update mode$"),
            QRegularExpression("^Writing the update loader$"),
            QRegularExpression("^Writing firmware: (\\d+) of (\\d+) KiB$"),
            QRegularExpression("^Starting the install$"),
            QRegularExpression("^Installing: \\d+ %( \\(about \\d+ s left\\))?$"),
            QRegularExpression("^Checking the new firmware$"),
            QRegularExpression("^$"),
        };
        qsizetype phase = 0;
        for (const QString& text : said) {
            while (phase < phases.size() && !phases[phase].match(text).hasMatch()) ++phase;
            QVERIFY2(phase < phases.size(), qPrintable("out of order: " + text + " in " + said.join(" | ")));
        }
        QCOMPARE(phase, phases.size() - 1);
        for (const QRegularExpression& expected : phases) {
            QVERIFY2(!said.filter(expected).isEmpty(), qPrintable(expected.pattern() + " never said"));
        }
        const QRegularExpressionMatch written = phases[3].match(said.filter(phases[3]).last());
        QCOMPARE(written.captured(1), written.captured(2));  // the last report: all of it
        QVERIFY(!filled.isEmpty());
        QVERIFY(std::is_sorted(filled.begin(), filled.end()));
        QVERIFY(h.lastInformative().contains(QStringLiteral("Firmware revision 1.20 before, 1.21 now.")));
        QVERIFY(h.lastInformative().contains(QStringLiteral("KVL-MT38")));
    }

    // The sheet asks about the drive that was current when Update was pressed: a drive
    // listed before it meanwhile changes nothing, and the chosen drive gone is refused.
    void sheetKeepsItsDriveAcrossARelisting_data() {
        QTest::addColumn<bool>("chosenLeaves");
        QTest::newRow("another drive listed first") << false;
        QTest::newRow("the chosen drive leaves") << true;
    }
    void sheetKeepsItsDriveAcrossARelisting() {
        QFETCH(bool, chosenLeaves);
        WindowHarness h;
        h.attach("b");
        h.attach("c");
        h.startListed();
        h.choose(1);
        h.window().btnUpdate()->click();
        QMessageBox* confirm = h.sheet();
        QVERIFY(confirm != nullptr);
        chosenLeaves ? h.detach("c") : h.attach("a");  // "a" is listed first
        h.delegate().updateDeviceList(nullptr);
        settle();
        KDU_WAIT_FOR(h.delegate().devices().size() == (chosenLeaves ? 1u : 3u));
        if (!chosenLeaves) QCOMPARE(h.delegate().currentDevice()->identity().id, std::string("c"));
        h.press(confirm, QStringLiteral("OK"));
        if (chosenLeaves) {
            settle();
            QVERIFY(!h.delegate().updating());
            KDU_WAIT_FOR(h.sheet() != nullptr);
            QVERIFY(h.sheet()->text().contains(QStringLiteral("no longer attached")));
        } else {
            QString result;
            h.finishUpdate(result);
            QCOMPARE(result, QStringLiteral("Complete!"));
            QCOMPARE(h.stateOf("c")->revision, std::string("1.21"));
            QCOMPARE(h.stateOf("a")->revision, std::string("1.20"));
        }
        QCOMPARE(h.stateOf("b")->revision, std::string("1.20"));
        QVERIFY(!h.stateOf("b")->install.has_value());
    }

    void windowLockedDuringUpdate() {
        WindowHarness h;
        sim::DriveSpec stuck = sim::defaultTargetDrive();
        stuck.faults.installNeverEnds = true;
        h.attach("a", stuck);
        AppDelegateTiming timing = apptest::fastTiming();
        timing.update.waitLimit = std::chrono::seconds(3);  // what a drive pulled for good is given to come back
        h.startListed(timing);
        QSignalSpy quit(&h.delegate(), &KestoryDriveUpdaterAppDelegate::quitApplication);
        h.startUpdate();
        QProgressBar* bar = h.window().idctProgressUpdate();
        KDU_WAIT_FOR(bar->maximum() == 65536 && bar->isVisible());

        // Close, quit and the quit key are refused, each with the sheet that says why;
        // File > Quit is no choice meanwhile.
        const QString why = QStringLiteral("The drive is being updated. Closing now could leave it unusable.");
        QVERIFY(!h.window().actionQuit()->isEnabled());
        h.window().actionQuit()->trigger();  // a disabled action does nothing
        settle();
        QVERIFY(h.sheet() == nullptr);
        const std::function<void()> requests[] = {
            [&] { QVERIFY(!h.window().close()); },
            [&] { h.delegate().terminate(nullptr); },
            // Through the window system, where shortcuts are matched, to the active window.
            [&] {
                h.window().activateWindow();
                QVERIFY(QTest::qWaitForWindowActive(&h.window()));
                QTest::keyClick(h.window().windowHandle(), Qt::Key_Q, Qt::ControlModifier);
            },
        };
        for (const auto& request : requests) {
            request();
            settle();
            QVERIFY(h.window().isVisible());
            if (h.sheet() == nullptr) h.detach("a");  // ends the update, so the failure ends too
            QVERIFY(h.sheet() != nullptr);
            QCOMPARE(h.sheet()->text(), why);
            h.press(h.sheet(), "OK");
            settle();
        }
        QCOMPARE(h.delegate().applicationShouldTerminate(nullptr), KestoryDriveUpdaterAppDelegate::TerminateCancel);
        QVERIFY(!h.delegate().mayEndSession());
        QCOMPARE(quit.count(), 0);
        QVERIFY(h.sheet() == nullptr);

        // A drive and a disc arriving now change nothing.
        h.attach("b", driveWith("1.21"));
        QVERIFY(!sim::insertDisc(h.folder(), "b", std::string("DATA")));
        h.settleWatch();
        QCOMPARE(h.titles().size(), 1);
        QCOMPARE(h.delegate().devices().size(), std::size_t{1});

        // Pulling the drive: the window waits for it to come back, then gives up; the list catches up.
        h.detach("a");
        KDU_WAIT_FOR(h.window().lblStatus()->text() == QStringLiteral("Waiting for the drive to come back"));
        QString result;
        h.finishUpdate(result);
        QCOMPARE(result, QStringLiteral("Error!"));
        QVERIFY(h.lastInformative().contains(QStringLiteral("the drive went away while installing")));
        KDU_WAIT_FOR(h.titles() == QStringList{kTitle121});
        QVERIFY(h.window().actionQuit()->isEnabled());
        QVERIFY(h.window().close());
        QCOMPARE(quit.count(), 1);
    }

    void launchMessages_data() {
        QTest::addColumn<bool>("withDrive");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("quits");
        QTest::newRow("no drive") << false << "No drive that can be updated was found. The application will quit." << 1;
        QTest::newRow("mounted disc") << true << "Disc may be mounted. Please confirm eject the disk!" << 0;
    }
    void launchMessages() {
        QFETCH(bool, withDrive);
        WindowHarness h;
        if (withDrive) {
            sim::DriveSpec profile = sim::defaultTargetDrive();
            profile.disc = sim::Disc{std::string("DATA")};
            h.attach("a", profile);
        }
        h.start(apptest::fastTiming(std::chrono::milliseconds(300)));  // present discs are reported first
        QSignalSpy quit(&h.delegate(), &KestoryDriveUpdaterAppDelegate::quitApplication);
        KDU_WAIT_FOR(h.sheet() != nullptr);
        QTEST(h.sheet()->text(), "message");
        QCOMPARE(h.sheet()->buttons().size(), 1);
        h.press(h.sheet(), "OK");
        settle();
        QTEST(int(quit.count()), "quits");
        QVERIFY(h.sheet() == nullptr);  // one message only
    }
};

QTEST_MAIN(WindowTest)
#include "test_window.moc"
