// The window's small parts on their own: the command line, the result texts and their
// translations, the status line's words, the drive's description and its cut line.
#include <QLocale>
#include <QTest>

#include "app/CommandLine.h"
#include "app/DriveDescription.h"
#include "app/ElidedLabel.h"
#include "app/Translations.h"
#include "app/UpdateReportText.h"
#include "app/UpdateStatus.h"
#include "model/DeviceData.h"

namespace {

// One failed report per cause, per change seen at the second look and per image problem, and
// one per step before Done and per state; the particulars carry numbers a translation must keep.
std::vector<UpdateReport> everyReport() {
    std::vector<UpdateReport> reports;
    const auto failed = [&](UpdateCause cause, UpdateStep step = UpdateStep::WriteNormalImage,
                            DriveState state = DriveState::UpdateMode) {
        cause.number = 17;
        cause.count = 47;
        cause.found = "1.19";
        cause.expected = "1.20";
        cause.detail = "cannot use the lock folder /run/x: Permission denied";
        cause.eligibility = UpdateEligibility::OtherHardware;
        UpdateReport report;
        report.step = step;
        report.state = state;
        report.cause = std::move(cause);
        reports.push_back(report);
    };
    for (int kind = 1; kind <= int(UpdateCauseKind::NotGivenBack); ++kind) {
        if (UpdateCauseKind(kind) != UpdateCauseKind::ImageRefused && UpdateCauseKind(kind) != UpdateCauseKind::DriveChanged)
            failed(UpdateCause(UpdateCauseKind(kind)));
    }
    for (int change = 1; change <= int(DriveChange::NoLongerEligible); ++change)
        failed(UpdateCause::driveChanged(DriveChange(change)));
    for (int problem = 1; problem <= int(ImageProblem::MissingAtStart); ++problem)
        failed(UpdateCause::refusedImage(ImageFault(ImageProblem(problem), "R7360501.121", 4095, 4096, "1.19")));
    for (int step = 0; step < int(UpdateStep::Done); ++step)
        failed(UpdateCause(UpdateCauseKind::DriveGone), UpdateStep(step));
    for (int state = 0; state <= int(DriveState::Updated); ++state)
        failed(UpdateCause(UpdateCauseKind::DriveGone), UpdateStep::Install, DriveState(state));
    UpdateReport success;
    success.step = UpdateStep::Done;
    success.state = DriveState::Updated;
    reports.push_back(success);
    return reports;
}

}  // namespace

class PartsTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { installTranslations(*QCoreApplication::instance(), QLocale(QLocale::English)); }

    void phaseTexts_data() {
        QTest::addColumn<int>("step");
        QTest::addColumn<qulonglong>("done");
        QTest::addColumn<qulonglong>("total");
        QTest::addColumn<QString>("text");
        const auto row = [](const char* name, UpdateStep step, qulonglong done, qulonglong total, const char* text) {
            QTest::newRow(name) << int(step) << done << total << QString::fromUtf8(text);
        };
        row("writing", UpdateStep::WriteNormalImage, 412 * 1024, 1535 * 1024 - 100, "Writing firmware: 412 of 1535 KiB");
        row("a part KiB counts whole", UpdateStep::WriteNormalImage, 1000, 1000, "Writing firmware: 1 of 1 KiB");
        row("releasing says nothing new", UpdateStep::ReleaseDrive, 0, 0, "");
    }
    void phaseTexts() {
        QFETCH(int, step);
        QFETCH(qulonglong, done);
        QFETCH(qulonglong, total);
        UpdateStatus status;
        QTEST(status.phase(UpdateProgress{UpdateStep(step), done, total}), "text");
    }

    // v = 65536 - done; the time left comes from the pace since the first report.
    void installTimeLeft_data() {
        QTest::addColumn<int>("v");
        QTest::addColumn<int>("atMs");
        QTest::addColumn<QString>("text");
        QTest::newRow("first report") << 65536 << 0 << "Installing: 0 %";
        QTest::newRow("too early to tell") << 37355 << 900 << "Installing: 43 %";
        QTest::newRow("43 % after 15 s") << 37355 << 15000 << "Installing: 43 % (about 20 s left)";
        QTest::newRow("no progress yet") << 65536 << 5000 << "Installing: 0 %";
        QTest::newRow("done") << 0 << 30000 << "Installing: 100 % (about 0 s left)";
    }
    void installTimeLeft() {
        QFETCH(int, v);
        QFETCH(int, atMs);
        UpdateStatus status;
        status.install(65536, 0);
        QTEST(status.install(v, atMs), "text");
    }

    void driveDescription_data() {
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("eligible");
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("tipEnd");
        QTest::newRow("normal, may be updated") << 0 << true << "id pci-1 · serial S1 · /dev/sg3, /dev/sr0" << "May be updated";
        QTest::newRow("left in update mode") << 1 << true
            << "id pci-1 · serial S1 · in update mode: update to recover · /dev/sg3, /dev/sr0"
            << "in update mode: update to recover";
        QTest::newRow("up to date") << 0 << false << "id pci-1 · serial S1 · /dev/sg3, /dev/sr0" << "its firmware is up to date";
    }
    void driveDescription() {
        QFETCH(int, mode);
        QFETCH(bool, eligible);
        DeviceData drive;
        drive.setIdentity(scsi::DriveIdentity{"pci-1", {"/dev/sg3", "/dev/sr0"}, std::string("S1")});
        drive.setRevision(mode ? "0000" : "1.20");
        drive.setEligibility(eligible ? UpdateEligibility::Eligible : UpdateEligibility::UpToDate);
        QTEST(driveDetailsLine(drive), "line");
        QFETCH(QString, tipEnd);
        const QString tip = driveToolTip(drive);
        QVERIFY2(tip.startsWith("Device: /dev/sg3, /dev/sr0\nIdentity: pci-1\nSerial number: S1\n"), qPrintable(tip));
        QVERIFY2(tip.endsWith(tipEnd), qPrintable(tip));
    }

    // A details line too long for the window keeps both ends and gives the whole as its
    // tooltip; once there is room, the whole line shows and the tooltip goes.
    void elidedLabelKeepsBothEnds() {
        ElidedLabel label;
        const QString line = QStringLiteral("id pci-0000:00:17.0-ata-2 · serial 5RB2A1B4C0 · /dev/sg3, /dev/sr0");
        label.resize(120, 20);
        label.show();  // resized from then on as in the window
        label.setFullText(line);
        QVERIFY(label.text().length() < line.length());
        QVERIFY(label.text().startsWith(QLatin1String("id ")));
        QVERIFY(label.text().endsWith(QLatin1String("sr0")));
        QCOMPARE(label.toolTip(), line);
        label.resize(label.fontMetrics().horizontalAdvance(line) + 20, 20);
        QCOMPARE(label.text(), line);
        QVERIFY(label.toolTip().isEmpty());
        QCOMPARE(label.fullText(), line);
    }

    void commandLine_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("folder");  // null: refused
        QTest::addColumn<bool>("verbose");
        QTest::newRow("demo folder") << QStringList{"--simulate"} << "" << false;
        QTest::newRow("given folder") << QStringList{"--simulate=/tmp/d"} << "/tmp/d" << false;
        QTest::newRow("empty folder") << QStringList{"--simulate="} << QString() << false;
        QTest::newRow("unknown option") << QStringList{"--bogus"} << QString() << false;
        QTest::newRow("-v") << QStringList{"--simulate", "-v"} << "" << true;
        QTest::newRow("--verbose") << QStringList{"--verbose", "--simulate"} << "" << true;
    }
    void commandLine() {
        QFETCH(QStringList, arguments);
        QFETCH(QString, folder);
        const ParsedOptions parsed = parseAppOptions(QStringList{"prog"} + arguments);
        QCOMPARE(parsed.options.has_value(), !folder.isNull());
        if (!parsed.options) {
            QCOMPARE(parsed.exitCode, 2);
            QVERIFY(!parsed.message.isEmpty());
            return;
        }
        QVERIFY(parsed.options->backend.simulate);
        QCOMPARE(QString::fromStdString(parsed.options->backend.folder.value_or("")), folder);
        QTEST(parsed.options->verbose, "verbose");
    }

    // In English the window says exactly what kdu says; in German and Japanese every part is
    // translated and keeps its particulars.
    void reportTextsMatchTheCommandLineAndAreTranslated() {
        const std::vector<UpdateReport> reports = everyReport();
        QStringList english;
        for (const UpdateReport& report : reports) {
            english.append(updateReportText(report));
            QCOMPARE(english.back(), QString::fromStdString(report.message()) + QLatin1Char('.'));
        }
        for (const char* language : {"de", "ja"}) {
            installTranslations(*QCoreApplication::instance(), QLocale(QString::fromLatin1(language)));
            for (std::size_t i = 0; i < reports.size(); ++i) {
                const QString local = updateReportText(reports[i]);
                const UpdateCause& cause = reports[i].cause;
                QVERIFY2(local != english[int(i)] && !local.contains(QLatin1Char('%')),
                         qPrintable(language + QStringLiteral(": ") + local));
                if (english[int(i)].contains(QLatin1String("17"))) QVERIFY2(local.contains(QLatin1String("17")), qPrintable(local));
                if (english[int(i)].contains(QLatin1String("1.19"))) QVERIFY2(local.contains(QLatin1String("1.19")), qPrintable(local));
                if (cause.kind == UpdateCauseKind::ImageRefused) QVERIFY(local.contains(QLatin1String("R7360501.121")));
            }
        }
        installTranslations(*QCoreApplication::instance(), QLocale(QLocale::English));
    }
};

QTEST_MAIN(PartsTest)
#include "test_parts.moc"
