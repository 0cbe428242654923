// Help > Update History...: the records in a table sorted by time (as instants, whatever
// the offset they were written with), every status in words, a failure's step, state and
// message at hand, unreadable lines counted; and the window's own updates recorded there.
#include <fstream>

#include "app/HistoryDialog.h"
#include "tests/app/WindowHarness.h"

using apptest::WindowHarness;

namespace {

UpdateRecord record(const char* time, const char* drive, HistoryStatus status, std::optional<std::string> result) {
    UpdateRecord r;
    r.timeStarted = time;
    r.drive = drive;
    r.model = "BD-RW KVL-MT38";
    r.revisionBefore = "1.20";
    r.imageRevision = "1.21";
    r.frontEnd = "kdu";
    r.status = status;
    r.result = std::move(result);
    return r;
}

UpdateHistory sample() {
    UpdateHistory history;
    UpdateRecord updated = record("2025-03-01T01:00:00.000Z", "bd-2", HistoryStatus::Ended, "updated");
    updated.revisionAfter = "1.21";
    updated.serial = "S-2";
    // Written with an offset: the earliest of all, though its text sorts last.
    UpdateRecord failed = record("2025-03-01T09:30:00.000+09:00", "bd-1", HistoryStatus::Ended, "failed");
    failed.frontEnd = "window";
    failed.failedStep = "write_normal_image";
    failed.driveState = "update_mode";
    failed.message = "the drive refused piece 3 of 47";
    history.updates = {updated, failed,
                       record("2025-03-02T08:00:00.000Z", "bd-3", HistoryStatus::Interrupted, std::nullopt),
                       record("2025-03-03T08:00:00.000Z", "bd-4", HistoryStatus::InProgress, std::nullopt)};
    history.skippedLines = 2;
    return history;
}

QStringList column(HistoryDialog& dialog, int column) {
    QStringList texts;
    const QAbstractItemModel* model = dialog.table()->model();
    for (int row = 0; row < model->rowCount(); ++row) texts.append(model->index(row, column).data().toString());
    return texts;
}

}  // namespace

class HistoryDialogTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { apptest::setUpProcess(); }
    void cleanup() { installTranslations(*QCoreApplication::instance(), QLocale(QLocale::English)); }

    void tableOfRecords() {
        HistoryDialog dialog(sample());
        QCOMPARE(column(dialog, HistoryDialog::Drive), (QStringList{"bd-4", "bd-3", "bd-2", "bd-1"}));
        QCOMPARE(column(dialog, HistoryDialog::Result), (QStringList{"in progress", "interrupted", "updated", "failed"}));
        QCOMPARE(column(dialog, HistoryDialog::Revision), (QStringList{"1.20 → ?", "1.20 → ?", "1.20 → 1.21", "1.20 → ?"}));
        QCOMPARE(column(dialog, HistoryDialog::FrontEnd), (QStringList{"kdu", "kdu", "kdu", "window"}));
        const QAbstractItemModel* model = dialog.table()->model();
        const QString why = model->index(3, HistoryDialog::Result).data(Qt::ToolTipRole).toString();
        QVERIFY(why.contains("writing the firmware"));
        QVERIFY(why.contains("the drive is in its update mode"));
        QCOMPARE(model->index(3, HistoryDialog::Message).data().toString(), QStringLiteral("the drive refused piece 3 of 47"));
        QVERIFY(model->index(2, HistoryDialog::Drive).data(Qt::ToolTipRole).toString().contains("S-2"));
        QVERIFY(dialog.statusLine()->text().contains("Updates recorded: 4"));
        QVERIFY(dialog.statusLine()->text().contains("unreadable lines skipped: 2"));

        // A click on a header sorts by that column, and again the other way.
        QHeaderView* header = dialog.table()->horizontalHeader();
        const int at = header->sectionViewportPosition(HistoryDialog::Time) + 2;
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(at, header->height() / 2));
        QCOMPARE(column(dialog, HistoryDialog::Drive), (QStringList{"bd-1", "bd-2", "bd-3", "bd-4"}));
        dialog.table()->sortByColumn(HistoryDialog::Result, Qt::AscendingOrder);
        QCOMPARE(column(dialog, HistoryDialog::Result).first(), QStringLiteral("failed"));

        installTranslations(*QCoreApplication::instance(), QLocale("de"));
        HistoryDialog german(sample());
        QCOMPARE(column(german, HistoryDialog::Result), (QStringList{"läuft", "unterbrochen", "aktualisiert", "fehlgeschlagen"}));
        QCOMPARE(german.table()->model()->headerData(HistoryDialog::Time, Qt::Horizontal).toString(), QStringLiteral("Zeit"));
        QVERIFY(german.table()->model()->index(3, HistoryDialog::Result).data(Qt::ToolTipRole).toString().contains("Firmware"));
    }

    // The window records its update; Help > Update History... shows it with the file's
    // unreadable line counted.
    void windowUpdateShowsInItsHistory() {
        WindowHarness h;
        h.attach("a");
        QTemporaryDir state;
        const HistoryFile file{std::filesystem::path(state.path().toStdString()) / "history.jsonl"};
        {
            std::ofstream(file.path) << "not a record\n";
        }
        h.startListed();
        h.delegate().recordUpdates({file, "window", "9.9"});
        h.startUpdate();
        QString result;
        h.finishUpdate(result);
        QCOMPARE(result, QStringLiteral("Complete!"));

        h.window().actionHistory()->trigger();
        apptest::settle();
        QPointer<HistoryDialog> dialog = h.window().findChild<HistoryDialog*>();
        QVERIFY(dialog != nullptr && dialog->isVisible());
        QCOMPARE(column(*dialog, HistoryDialog::Result), QStringList{"updated"});
        QCOMPARE(column(*dialog, HistoryDialog::FrontEnd), QStringList{"window"});
        QCOMPARE(column(*dialog, HistoryDialog::Revision), QStringList{"1.20 → 1.21"});
        QVERIFY(dialog->statusLine()->text().contains("unreadable lines skipped: 1"));
        // Escape closes it.
        QTest::keyClick(dialog, Qt::Key_Escape);
        apptest::settle();
        QVERIFY(!dialog || !dialog->isVisible());
    }
};

QTEST_MAIN(HistoryDialogTest)
#include "test_history_dialog.moc"
