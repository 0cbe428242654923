#include "app/ScreenshotTour.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QMessageBox>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <cstdio>

#include "app/MainWindow.h"

namespace {

constexpr int kPollMs = 100;
constexpr int kGiveUpPolls = 1200;  // two minutes

QMessageBox* visibleSheet(MainWindow& window) {
    for (QMessageBox* box : window.findChildren<QMessageBox*>()) {
        if (box->isVisible()) {
            return box;
        }
    }
    return nullptr;
}

QAbstractButton* buttonTitled(QMessageBox& box, const QString& title) {
    for (QAbstractButton* button : box.buttons()) {
        if (button->text() == title) {
            return button;
        }
    }
    return nullptr;
}

}  // namespace

ScreenshotTour::ScreenshotTour(MainWindow& window, QString directory)
    : window_(window), directory_(std::move(directory)) {
    timer_.setInterval(kPollMs);
    connect(&timer_, &QTimer::timeout, this, &ScreenshotTour::poll);
}

void ScreenshotTour::start() {
    QDir().mkpath(directory_);
    // Room above and around the window, so a sheet taller than the window shows whole.
    window_.move(60, 80);
    window_.resize(window_.width(), 260);
    timer_.start();
}

bool ScreenshotTour::save(const QString& name, bool wholeScreen) {
    QPixmap picture;
    // Sheets are windows of their own; only a grab of the screen shows them over the window.
    if (wholeScreen && QGuiApplication::primaryScreen() != nullptr) {
        picture = QGuiApplication::primaryScreen()->grabWindow(0);
        // The window and a sheet that reaches beyond it, as one picture.
        QRect area = window_.frameGeometry();
        if (const QMessageBox* sheet = visibleSheet(window_)) {
            area = area.united(sheet->frameGeometry());
        }
        picture = picture.copy(area);
    }
    if (picture.isNull() || picture.toImage().allGray()) {
        picture = window_.grab();
    }
    sheetPolls_ = 0;
    const QString path = QDir(directory_).filePath(name);
    const bool ok = picture.save(path);
    std::fprintf(stderr, "%s %s\n", ok ? "saved" : "could not save", qPrintable(path));
    return ok;
}

bool ScreenshotTour::placed() {
    // The window manager maps and frames a new sheet a moment after Qt shows it.
    return ++sheetPolls_ >= 3;
}

void ScreenshotTour::poll() {
    if (++polls_ > kGiveUpPolls) {
        std::fprintf(stderr, "screenshot run: the window never reached the next step\n");
        finish(1);
        return;
    }
    switch (step_) {
    case Step::WaitReady:
        if (window_.btnUpdate()->isEnabled() && window_.cmbDriveList()->count() > 0) {
            save(QStringLiteral("window-ready.png"), false);
            window_.btnUpdate()->click();
            step_ = Step::WaitSheet;
        }
        break;
    case Step::WaitSheet:
        if (QMessageBox* sheet = visibleSheet(window_); sheet != nullptr && placed()) {
            save(QStringLiteral("window-confirm.png"), true);
            if (QAbstractButton* ok = buttonTitled(*sheet, QStringLiteral("OK"))) {
                step_ = Step::WaitProgress;
                ok->click();  // runs the pre-update wait inside; polling goes on meanwhile
            }
        }
        break;
    case Step::WaitProgress: {
        QProgressBar* bar = window_.idctProgressUpdate();
        if (bar->isVisible() && bar->maximum() > 0 && bar->value() > bar->maximum() / 4) {
            save(QStringLiteral("window-updating.png"), false);
            step_ = Step::WaitResult;
        } else if (visibleSheet(window_) != nullptr) {
            step_ = Step::WaitResult;  // over before a progress value came
        }
        break;
    }
    case Step::WaitResult:
        // With the relisting after the update on screen, not the emptied pop-up before it.
        if (QMessageBox* sheet = visibleSheet(window_);
            sheet != nullptr && window_.cmbDriveList()->count() > 0 && placed()) {
            save(QStringLiteral("window-result.png"), true);
            firstResult_ = sheet->text();
            if (QAbstractButton* ok = buttonTitled(*sheet, QStringLiteral("OK"))) {
                ok->click();
            }
            step_ = Step::ChooseFailing;
        }
        break;
    case Step::ChooseFailing: {
        QComboBox* list = window_.cmbDriveList();
        if (!list->isEnabled() || visibleSheet(window_) != nullptr) {
            break;
        }
        int failing = -1;
        for (int i = 0; i < list->count(); ++i) {
            if (list->itemData(i, Qt::ToolTipRole).toString().contains(QStringLiteral("failing"))) {
                failing = i;
            }
        }
        if (failing < 0) {
            finish(firstResult_ == QStringLiteral("Complete!") ? 0 : 1);
            break;
        }
        list->setCurrentIndex(failing);
        emit list->activated(failing);
        step_ = Step::WaitFailSheet;
        break;
    }
    case Step::WaitFailSheet:
        if (QMessageBox* sheet = visibleSheet(window_)) {
            if (QAbstractButton* ok = buttonTitled(*sheet, QStringLiteral("OK"))) {
                step_ = Step::WaitFailure;
                ok->click();
            }
        } else if (window_.btnUpdate()->isEnabled()) {
            window_.btnUpdate()->click();
        }
        break;
    case Step::WaitFailure:
        if (QMessageBox* sheet = visibleSheet(window_);
            sheet != nullptr && window_.cmbDriveList()->count() > 0 && placed()) {
            save(QStringLiteral("window-failure.png"), true);
            if (QAbstractButton* ok = buttonTitled(*sheet, QStringLiteral("OK"))) {
                ok->click();
            }
            finish(firstResult_ == QStringLiteral("Complete!") && sheet->text() == QStringLiteral("Error!") ? 0 : 1);
        }
        break;
    }
}

void ScreenshotTour::finish(int exitCode) {
    timer_.stop();
    emit finished(exitCode);
}
