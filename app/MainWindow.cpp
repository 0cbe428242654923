#include "app/MainWindow.h"

#include <QCloseEvent>

#include "ui_MainWindow.h"

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent), ui_(std::make_unique<Ui::MainWindow>()) {
    ui_->setupUi(this);
}

MainWindow::~MainWindow() = default;

QComboBox* MainWindow::cmbDriveList() const { return ui_->cmbDriveList; }
QLabel* MainWindow::lblTitleTargetDrive() const { return ui_->lblTitleTargetDrive; }
QLabel* MainWindow::lblTitleWillUpdateTo() const { return ui_->lblTitleWillUpdateTo; }
QLabel* MainWindow::lblTxtUpdateVersion() const { return ui_->lblTxtUpdateVersion; }
QProgressBar* MainWindow::idctProgressUpdate() const { return ui_->idctProgressUpdate; }
QPushButton* MainWindow::btnUpdate() const { return ui_->btnUpdate; }
QAction* MainWindow::actionQuit() const { return ui_->actionQuit; }

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
