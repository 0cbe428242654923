#include "app/ElidedLabel.h"

#include <QEvent>
#include <QFontMetrics>

ElidedLabel::ElidedLabel(QWidget* parent) : QLabel(parent) {
    setTextFormat(Qt::PlainText);
    // Any width will do: the text gives way, never the window.
    setMinimumWidth(0);
}

void ElidedLabel::setFullText(const QString& text) {
    fullText_ = text;
    // Read out whole, however it is cut on screen.
    setAccessibleName(text);
    elide();
}

void ElidedLabel::resizeEvent(QResizeEvent* event) {
    QLabel::resizeEvent(event);
    elide();
}

void ElidedLabel::changeEvent(QEvent* event) {
    QLabel::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange) elide();
}

void ElidedLabel::elide() {
    const QString shown = fontMetrics().elidedText(fullText_, Qt::ElideMiddle, contentsRect().width());
    if (shown != text()) setText(shown);
    const QString tip = shown == fullText_ ? QString() : fullText_;
    if (tip != toolTip()) setToolTip(tip);
}
