// The result sheet's Copy Details: one plain text on the clipboard with the program, the
// firmware, the drive, its revisions, the report and the last lines of the window's log,
// in the window's language; the log lines stay as written. The sheet stays open.
#include "app/CommandLine.h"
#include "app/UpdateDetails.h"
#include "log/Log.h"
#include "log/LogRouting.h"
#include "tests/app/WindowHarness.h"

using apptest::WindowHarness;

namespace {

QStringList fileLines(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

QAbstractButton* actionButton(QMessageBox& box) {
    for (QAbstractButton* button : box.buttons()) {
        if (box.buttonRole(button) == QMessageBox::ActionRole) return button;
    }
    return nullptr;
}

}  // namespace

class CopyDetailsTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { apptest::setUpProcess(); }
    void cleanup() {
        kdulog::resetRouting();
        installTranslations(*QCoreApplication::instance(), QLocale(QLocale::English));
    }

    void clipboardHoldsTheWholeStory_data() {
        QTest::addColumn<QString>("language");
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<QStringList>("absent");
        const QString program = QStringLiteral("Kestory Drive Updater ") + programVersion();
        QTest::newRow("English, updated")
            << "en" << "" << QStringList{"Program: " + program, "Result: Complete!", "Firmware revision before: 1.20",
                                         "Firmware revision after: 1.21", "Drive state: the drive runs the new firmware"}
            << QStringList{"Failed step", "Message:"};
        QTest::newRow("English, refused mode change")
            << "en" << "mode" << QStringList{"Result: Error!", "Failed step: switching the drive to its update mode",
                                            "Drive state: the drive still runs its old firmware",
                                            "Message: the drive refused to switch to its update mode",
                                            "Firmware revision after: unknown"}
            << QStringList{};
        QTest::newRow("German, wrong revision installed")
            << "de" << "revision" << QStringList{"Programm: " + program, "Firmware-Revision vorher: 1.20",
                                                "Firmware-Revision nachher: 1.19", "Fehlgeschlagener Schritt: ",
                                                "Zustand des Laufwerks: ", "Letzte Zeilen des Fensterprotokolls:"}
            << QStringList{"revision before", "Drive state"};
        QTest::newRow("Japanese, refused mode change")
            << "ja" << "mode" << QStringList{"プログラム: " + program, "更新前のファームウェアリビジョン: 1.20",
                                            "更新後のファームウェアリビジョン: 不明", "失敗した手順: ", "ドライブの状態: ",
                                            "ウィンドウのログの最後の行:"}
            << QStringList{"revision before", "Drive state"};
    }
    void clipboardHoldsTheWholeStory() {
        QFETCH(QString, language);
        QFETCH(QString, fault);
        QFETCH(QStringList, expected);
        QFETCH(QStringList, absent);
        installTranslations(*QCoreApplication::instance(), QLocale(language));
        QTemporaryDir logs;
        const QString logPath = logs.filePath("window.log");
        QVERIFY(!kdulog::setRouting({logPath.toStdString()}));
        // More lines than the text takes, so only the last ones may be in it.
        for (int i = 0; i < kDetailsLogLines + 20; ++i) KDU_LOG_WAR("copyDetailsTest", "earlier line %d", i);

        WindowHarness h;
        sim::DriveSpec drive = sim::defaultTargetDrive();
        drive.faults.modeChangeToKernel = fault == "mode";
        if (fault == "revision") drive.faults.installRevision = "1.19";
        h.attach("a", drive);
        h.startListed();
        h.delegate().setLogFile(logPath.toStdString());
        const std::string id = h.delegate().devices().at(0).identity().id;
        h.startUpdate();

        KDU_WAIT_FOR(h.sheet() != nullptr);
        QMessageBox* sheet = h.sheet();
        QAbstractButton* copy = actionButton(*sheet);
        QVERIFY(copy != nullptr);
        const QString title = copy->text();
        QGuiApplication::clipboard()->clear();
        copy->click();
        apptest::settle();
        QVERIFY(sheet->isVisible());
        QVERIFY(copy->text() != title);  // says it was copied
        const QString text = QGuiApplication::clipboard()->text();

        for (const QString& part : expected) QVERIFY2(text.contains(part), qPrintable(part + " missing in:\n" + text));
        for (const QString& part : absent) QVERIFY2(!text.contains(part), qPrintable(part + " found in:\n" + text));
        QVERIFY(text.contains(QString::fromStdString(id)));
        QVERIFY(text.contains("1.21"));  // the shipped firmware
        // The log's last lines, untranslated and in order, end the text.
        const QStringList log = fileLines(logPath);
        QVERIFY(log.size() > kDetailsLogLines);
        QVERIFY(text.endsWith(log.mid(log.size() - kDetailsLogLines).join('\n') + '\n'));
        const QStringList lines = text.split('\n');  // ends with an empty one
        QVERIFY(lines.at(lines.size() - kDetailsLogLines - 2).endsWith(':'));  // the heading, then just those lines
        QString result;
        h.finishUpdate(result);
    }
};

QTEST_MAIN(CopyDetailsTest)
#include "test_copy_details.moc"
