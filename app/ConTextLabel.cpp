#include "app/ConTextLabel.h"

#include <QApplication>
#include <QEvent>
#include <QPalette>

ConTextLabel::ConTextLabel(QWidget* parent) : QLabel(parent) { applyTextColor(isEnabled()); }

QColor ConTextLabel::activeTextColor() { return QColor::fromRgbF(0.0f, 0.0f, 0.0f, 1.0f); }

QColor ConTextLabel::inactiveTextColor() { return QColor::fromRgb(100, 100, 100, 255); }

QFont ConTextLabel::defaultTextFont() {
    QFont font = QApplication::font();
    font.setPointSizeF(13.0);
    return font;
}

void ConTextLabel::setEnabled(bool enabled) {
    applyTextColor(enabled);
    QLabel::setEnabled(enabled);
}

void ConTextLabel::changeEvent(QEvent* event) {
    if (event->type() == QEvent::EnabledChange) {
        applyTextColor(isEnabled());
    }
    QLabel::changeEvent(event);
}

void ConTextLabel::applyTextColor(bool enabled) {
    const QColor color = enabled ? activeTextColor() : inactiveTextColor();
    QPalette pal = palette();
    // Every group: a disabled label is drawn from the Disabled group.
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        pal.setColor(group, QPalette::WindowText, color);
    }
    setPalette(pal);
}
