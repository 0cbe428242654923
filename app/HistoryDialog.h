// Help > Update History...: every recorded update in a table that sorts by any column; a
// failed update's message in its own column and, with its step and the drive's state, in
// the tooltip of its result. The line below counts the updates and the unreadable lines.
#pragma once

#include <QDialog>

#include "drive/UpdateHistory.h"

class QLabel;
class QSortFilterProxyModel;
class QStandardItemModel;
class QTableView;

class HistoryDialog : public QDialog {
    Q_OBJECT
public:
    enum Column { Time, Drive, Model, Revision, Image, Result, FrontEnd, Message, ColumnCount };

    explicit HistoryDialog(const UpdateHistory& history, QWidget* parent = nullptr);

    QTableView* table() const { return table_; }
    QLabel* statusLine() const { return status_; }

private:
    void fill(const UpdateHistory& history);

    QStandardItemModel* model_;
    QSortFilterProxyModel* sorted_;
    QTableView* table_;
    QLabel* status_;
};
