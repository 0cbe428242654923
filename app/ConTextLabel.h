// A label whose text colour shows whether it is enabled: black when enabled, grey when not.
#pragma once

#include <QColor>
#include <QFont>
#include <QLabel>

class ConTextLabel : public QLabel {
    Q_OBJECT
public:
    explicit ConTextLabel(QWidget* parent = nullptr);

    static QColor activeTextColor();
    static QColor inactiveTextColor();
    // The window's default text face: the system font at 13 points.
    static QFont defaultTextFont();

    // Sets the colour first, then the enabled state, so the text never shows in the
    // style's own disabled colour.
    void setEnabled(bool enabled);

protected:
    // Enabling through a parent bypasses setEnabled; the colour follows here too.
    void changeEvent(QEvent* event) override;

private:
    void applyTextColor(bool enabled);
};
