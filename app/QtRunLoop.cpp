#include "app/QtRunLoop.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>
#include <thread>

QtRunLoop::QtRunLoop() : context_(new QObject(QCoreApplication::instance())), guiThread_(QThread::currentThread()) {}

QtRunLoop::~QtRunLoop() { delete context_.data(); }

bool QtRunLoop::onGuiThread() const { return QThread::currentThread() == guiThread_; }

void QtRunLoop::perform(std::function<void()> work) {
    if (QObject* context = context_.data()) {
        QMetaObject::invokeMethod(context, std::move(work), Qt::QueuedConnection);
    }
}

platform::RunLoop::SourceId QtRunLoop::addSource(int fd, std::function<void()> onReadable) {
    const SourceId id = nextId_.fetch_add(1);
    if (onGuiThread()) {
        addSourceOnGui(id, fd, std::move(onReadable));
    } else {
        perform([this, id, fd, cb = std::move(onReadable)]() mutable { addSourceOnGui(id, fd, std::move(cb)); });
    }
    return id;
}

void QtRunLoop::removeSource(SourceId id) {
    if (onGuiThread()) {
        removeSourceOnGui(id);
    } else {
        perform([this, id] { removeSourceOnGui(id); });
    }
}

void QtRunLoop::addSourceOnGui(SourceId id, int fd, std::function<void()> onReadable) {
    if (context_.isNull()) {
        return;
    }
    auto* notifier = new QSocketNotifier(fd, QSocketNotifier::Read, context_.data());
    QObject::connect(notifier, &QSocketNotifier::activated, context_.data(),
                     [cb = std::move(onReadable)] { cb(); });
    notifiers_[id] = notifier;
}

void QtRunLoop::removeSourceOnGui(SourceId id) {
    auto it = notifiers_.find(id);
    if (it == notifiers_.end()) {
        return;
    }
    if (QSocketNotifier* notifier = it->second.data()) {
        notifier->setEnabled(false);
        // The source may be removed from inside its own callback.
        notifier->deleteLater();
    }
    notifiers_.erase(it);
}

void QtRunLoop::runNested(QEventLoop& loop) {
    nested_.emplace_back(&loop);
    loop.exec();
    nested_.pop_back();
}

void QtRunLoop::run() {
    if (!onGuiThread()) {
        return;
    }
    QEventLoop loop;
    runNested(loop);
}

void QtRunLoop::runFor(std::chrono::milliseconds duration) {
    if (!onGuiThread()) {
        // Only the GUI thread can turn Qt's loop; elsewhere the wait is all there is.
        std::this_thread::sleep_for(duration);
        return;
    }
    QEventLoop loop;
    QTimer::singleShot(duration, &loop, &QEventLoop::quit);
    runNested(loop);
}

void QtRunLoop::stop() {
    if (onGuiThread()) {
        stopOnGui();
    } else {
        perform([this] { stopOnGui(); });
    }
}

void QtRunLoop::stopOnGui() {
    while (!nested_.empty() && nested_.back().isNull()) {
        nested_.pop_back();
    }
    if (!nested_.empty()) {
        nested_.back()->quit();
    } else {
        QCoreApplication::quit();
    }
}
