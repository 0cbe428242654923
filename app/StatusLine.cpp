#include "app/StatusLine.h"

#include <QAccessible>
#include <QAccessibleWidget>

namespace {

class StatusLineAccessible : public QAccessibleWidget {
public:
    explicit StatusLineAccessible(StatusLine* line) : QAccessibleWidget(line, QAccessible::StatusBar) {}

    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Name && widget()->accessibleName().isEmpty()) {
            return static_cast<const StatusLine*>(widget())->text();
        }
        return QAccessibleWidget::text(t);
    }
};

QAccessibleInterface* statusLineInterface(const QString& className, QObject* object) {
    if (className == QLatin1String("StatusLine") && object != nullptr && object->isWidgetType()) {
        return new StatusLineAccessible(static_cast<StatusLine*>(object));
    }
    return nullptr;
}

}  // namespace

StatusLine::StatusLine(QWidget* parent) : QLabel(parent) {
    installAccessibility();
}

void StatusLine::installAccessibility() {
    static const bool installed = [] {
        QAccessible::installFactory(statusLineInterface);
        return true;
    }();
    (void)installed;
}
