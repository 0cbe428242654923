// A drop-down list whose entries, in the closed box and in the open list alike, are cut in
// the middle when too long, so both the start and the end that tells twins apart ("[2]")
// stay readable; the whole entry is the closed box's tooltip then.
#pragma once

#include <QComboBox>

class ElidedComboBox : public QComboBox {
    Q_OBJECT
public:
    explicit ElidedComboBox(QWidget* parent = nullptr);

    // The current entry as drawn.
    QString shownText() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;

private:
    int textWidth() const;
};
