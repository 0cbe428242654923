#include "app/HistoryDialog.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QSortFilterProxyModel>
#include <QStandardItemModel>
#include <QTableView>
#include <QVBoxLayout>

#include "app/UpdateReportText.h"

namespace {

QString text(const std::optional<std::string>& s) { return s ? QString::fromStdString(*s) : QString(); }

QString orUnknown(const std::optional<std::string>& s) {
    //% "?"
    return s && !s->empty() ? QString::fromStdString(*s) : qtTrId("HISTORY_UNKNOWN");
}

// The record keeps stable words; the table shows them in the reader's language.
template <typename Value, typename Key, typename Label>
QString labelOf(const std::optional<std::string>& key, Value first, Value last, Key keyOf, Label label) {
    if (!key) return QString();
    for (int v = static_cast<int>(first); v <= static_cast<int>(last); ++v) {
        if (keyOf(static_cast<Value>(v)) == *key) return label(static_cast<Value>(v));
    }
    return QString::fromStdString(*key);
}

QString statusText(const UpdateRecord& record) {
    switch (record.status) {
    case HistoryStatus::Interrupted:
        //% "interrupted"
        return qtTrId("HISTORY_INTERRUPTED");
    case HistoryStatus::InProgress:
        //% "in progress"
        return qtTrId("HISTORY_IN_PROGRESS");
    case HistoryStatus::Ended:
        break;
    }
    const std::string result = record.result.value_or("");
    if (result == "updated") {
        //% "updated"
        return qtTrId("HISTORY_UPDATED");
    }
    if (result == "failed") {
        //% "failed"
        return qtTrId("HISTORY_FAILED");
    }
    if (result == "stopped") {
        //% "stopped waiting"
        return qtTrId("HISTORY_STOPPED");
    }
    if (result == "refused") {
        //% "refused"
        return qtTrId("HISTORY_REFUSED");
    }
    return QString::fromStdString(result);
}

QString frontEndText(const std::optional<std::string>& frontEnd) {
    if (frontEnd == "window") {
        //% "window"
        return qtTrId("HISTORY_FRONT_END_WINDOW");
    }
    return text(frontEnd);  // "kdu": the command's own name
}

QStandardItem* cell(const QString& shown, const QVariant& sortKey = QVariant()) {
    auto* item = new QStandardItem(shown);
    item->setEditable(false);
    item->setData(sortKey.isValid() ? sortKey : QVariant(shown), Qt::UserRole);
    return item;
}

}  // namespace

HistoryDialog::HistoryDialog(const UpdateHistory& history, QWidget* parent)
    : QDialog(parent),
      model_(new QStandardItemModel(0, ColumnCount, this)),
      sorted_(new QSortFilterProxyModel(this)),
      table_(new QTableView(this)),
      status_(new QLabel(this)) {
    //% "Update History"
    setWindowTitle(qtTrId("HISTORY_TITLE"));
    //% "Time"
    //% "Drive"
    //% "Model"
    //% "Revision"
    //% "Image"
    //% "Result"
    //% "Run from"
    //% "Message"
    const QStringList headers{qtTrId("HISTORY_COLUMN_TIME"),  qtTrId("HISTORY_COLUMN_DRIVE"),
                              qtTrId("HISTORY_COLUMN_MODEL"), qtTrId("HISTORY_COLUMN_REVISION"),
                              qtTrId("HISTORY_COLUMN_IMAGE"), qtTrId("HISTORY_COLUMN_RESULT"),
                              qtTrId("HISTORY_COLUMN_FRONT_END"), qtTrId("HISTORY_COLUMN_MESSAGE")};
    model_->setHorizontalHeaderLabels(headers);
    sorted_->setSourceModel(model_);
    sorted_->setSortRole(Qt::UserRole);
    table_->setModel(sorted_);
    table_->setObjectName(QStringLiteral("historyTable"));
    table_->setSortingEnabled(true);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setAlternatingRowColors(true);
    table_->setWordWrap(false);
    table_->setTextElideMode(Qt::ElideMiddle);
    table_->verticalHeader()->hide();
    table_->horizontalHeader()->setStretchLastSection(true);
    //% "Recorded updates"
    table_->setAccessibleName(qtTrId("HISTORY_TABLE_NAME"));
    status_->setObjectName(QStringLiteral("historyStatus"));
    status_->setForegroundRole(QPalette::PlaceholderText);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(table_);
    layout->addWidget(status_);
    layout->addWidget(buttons);

    fill(history);
    table_->resizeColumnsToContents();
    table_->sortByColumn(Time, Qt::DescendingOrder);
    resize(860, 380);
}

void HistoryDialog::fill(const UpdateHistory& history) {
    const QLocale locale;
    for (const UpdateRecord& r : history.updates) {
        const QString iso = QString::fromStdString(r.time());
        const QDateTime when = QDateTime::fromString(iso, Qt::ISODateWithMs);
        const QString shownTime = when.isValid() ? locale.toString(when.toLocalTime(), QLocale::ShortFormat) : iso;
        //% "%1 → %2"
        const QString revisions = qtTrId("HISTORY_REVISIONS").arg(orUnknown(r.revisionBefore), orUnknown(r.revisionAfter));
        QList<QStandardItem*> row{cell(shownTime, when.isValid() ? QVariant(when.toMSecsSinceEpoch()) : QVariant(iso)),
                                  cell(QString::fromStdString(r.drive)),
                                  cell(text(r.model)),
                                  cell(revisions),
                                  cell(text(r.imageRevision)),
                                  cell(statusText(r)),
                                  cell(frontEndText(r.frontEnd)),
                                  cell(text(r.message))};
        if (r.serial) {
            //% "Serial number: %1"
            row[Drive]->setToolTip(qtTrId("TOOLTIP_DRIVE_SERIAL").arg(text(r.serial)));
        }
        QStringList why;
        if (r.failedStep) {
            //% "Failed step: %1"
            why.append(qtTrId("DETAILS_STEP").arg(
                labelOf(r.failedStep, UpdateStep::CheckImages, UpdateStep::Done, updateStepKey, updateStepLabel)));
        }
        if (r.driveState && r.result != "updated") {
            //% "Drive state: %1"
            why.append(qtTrId("DETAILS_STATE").arg(
                labelOf(r.driveState, DriveState::OldFirmware, DriveState::Updated, driveStateKey, driveStateLabel)));
        }
        if (r.message) why.append(text(r.message));
        row[Result]->setToolTip(why.join(QLatin1Char('\n')));
        row[Message]->setToolTip(text(r.message));
        model_->appendRow(row);
    }
    //% "Updates recorded: %1"
    QString status = qtTrId("HISTORY_COUNT").arg(history.updates.size());
    if (history.skippedLines > 0) {
        //% "unreadable lines skipped: %1"
        status += QStringLiteral(" · ") + qtTrId("HISTORY_SKIPPED").arg(history.skippedLines);
    }
    status_->setText(status);
}
