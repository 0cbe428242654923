// The line under the progress bar that says what is happening now. Assistive technology
// knows it as a status bar, so each new text is read out as it comes.
#pragma once

#include <QLabel>

class StatusLine : public QLabel {
    Q_OBJECT
public:
    explicit StatusLine(QWidget* parent = nullptr);

    // Once per process, before the first window shows.
    static void installAccessibility();
};
