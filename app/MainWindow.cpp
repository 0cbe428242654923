#include "app/MainWindow.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QIcon>
#include <QMenu>
#include <QPainter>
#include <QShortcut>
#include <QSvgRenderer>

#include "ui_MainWindow.h"

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent), ui_(std::make_unique<Ui::MainWindow>()) {
    ui_->setupUi(this);
    applyTexts();
    // Hidden controls keep their room, so showing one never moves the others.
    for (QWidget* steady : {static_cast<QWidget*>(ui_->lblTitleWillUpdateTo), static_cast<QWidget*>(ui_->idctProgressUpdate)}) {
        QSizePolicy policy = steady->sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        steady->setSizePolicy(policy);
    }
    for (QLabel* quiet : std::initializer_list<QLabel*>{ui_->lblDriveDetails, ui_->lblTxtReason, ui_->lblStatus}) {
        quiet->setForegroundRole(QPalette::PlaceholderText);
    }
    setWindowIcon(applicationIcon());
    quitKey_ = ui_->actionQuit->shortcut();
    quitRefusal_ = new QShortcut(this);
    quitRefusal_->setContext(Qt::ApplicationShortcut);
    quitRefusal_->setEnabled(false);
    connect(quitRefusal_, &QShortcut::activated, this, &MainWindow::quitRefused);
}

void MainWindow::setQuitAllowed(bool allowed) {
    if (ui_->actionQuit->isEnabled() == allowed) {
        return;
    }
    // One owner of the key at a time, so the key is never ambiguous.
    ui_->actionQuit->setShortcut(allowed ? quitKey_ : QKeySequence());
    ui_->actionQuit->setEnabled(allowed);
    quitRefusal_->setKey(allowed ? QKeySequence() : quitKey_);
    quitRefusal_->setEnabled(!allowed);
}

QString MainWindow::displayName() { return QStringLiteral("Kestory Drive Updater"); }

QIcon MainWindow::applicationIcon() {
    // Drawn from the one SVG at the sizes window managers ask for; no image plug-in needed.
    QSvgRenderer svg(QStringLiteral(":/icons/io.kestory.DriveUpdater.svg"));
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        svg.render(&painter);
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

void MainWindow::applyTexts() {
    setWindowTitle(displayName());
    //% "&File"
    ui_->menuFile->setTitle(qtTrId("MENU_FILE"));
    //% "&Quit"
    ui_->actionQuit->setText(qtTrId("MENU_QUIT"));
    //% "&Help"
    ui_->menuHelp->setTitle(qtTrId("MENU_HELP"));
    //% "Update &History..."
    ui_->actionHistory->setText(qtTrId("MENU_HISTORY"));
    //% "&About %1"
    ui_->actionAbout->setText(qtTrId("MENU_ABOUT").arg(displayName()));
    //% "The drives of the model this program updates"
    ui_->cmbDriveList->setToolTip(qtTrId("TOOLTIP_DRIVE_LIST"));
    //% "Writes the shipped firmware into the chosen drive"
    ui_->btnUpdate->setToolTip(qtTrId("TOOLTIP_UPDATE_BUTTON"));
    // For assistive technology: the drive list is named by its label, the button by its
    // text, the lines by what they show; descriptions come from the tooltips.
    ui_->lblTitleTargetDrive->setBuddy(ui_->cmbDriveList);
    //% "Update progress"
    ui_->idctProgressUpdate->setAccessibleName(qtTrId("ACCESSIBLE_PROGRESS"));
    //% "The chosen drive"
    ui_->lblDriveDetails->setAccessibleDescription(qtTrId("ACCESSIBLE_DRIVE_DETAILS"));
}

MainWindow::~MainWindow() = default;

QComboBox* MainWindow::cmbDriveList() const { return ui_->cmbDriveList; }
QLabel* MainWindow::lblTitleTargetDrive() const { return ui_->lblTitleTargetDrive; }
QLabel* MainWindow::lblTitleWillUpdateTo() const { return ui_->lblTitleWillUpdateTo; }
QLabel* MainWindow::lblTxtUpdateVersion() const { return ui_->lblTxtUpdateVersion; }
QProgressBar* MainWindow::idctProgressUpdate() const { return ui_->idctProgressUpdate; }
QPushButton* MainWindow::btnUpdate() const { return ui_->btnUpdate; }
QAction* MainWindow::actionQuit() const { return ui_->actionQuit; }
QAction* MainWindow::actionAbout() const { return ui_->actionAbout; }
QAction* MainWindow::actionHistory() const { return ui_->actionHistory; }
ElidedLabel* MainWindow::lblDriveDetails() const { return ui_->lblDriveDetails; }
ElidedLabel* MainWindow::lblTxtReason() const { return ui_->lblTxtReason; }
QLabel* MainWindow::lblStatus() const { return ui_->lblStatus; }

void MainWindow::setShouldClose(std::function<bool()> shouldClose) { shouldClose_ = std::move(shouldClose); }

void MainWindow::closeEvent(QCloseEvent* event) {
    if (shouldClose_ && !shouldClose_()) {
        event->ignore();
        return;
    }
    QMainWindow::closeEvent(event);
}

void MainWindow::moveEvent(QMoveEvent* event) {
    QMainWindow::moveEvent(event);
    emit moved();
}

void MainWindow::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    emit resized();
}
