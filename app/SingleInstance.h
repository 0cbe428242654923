// One window per user session. The first launch listens on a local socket named for the
// user and the session; a later one asks it to raise its window and leaves. Another user's
// window, or one in another session, has another name and does not count.
#pragma once

#include <QLocalServer>
#include <QObject>
#include <QString>

// Under XDG_RUNTIME_DIR (the user's own) when there is one, else a name with the user's id;
// either way keyed by XDG_SESSION_ID, or the display when there is no session id.
QString instanceServerName();

class SingleInstance : public QObject {
    Q_OBJECT
public:
    // Asks the window listening on `name` to raise itself: true once it said it did.
    // Needs no display and no event loop.
    static bool handOver(const QString& name, int timeoutMs = 2000);

    // Starts listening; false when the name cannot be taken (the window runs without).
    bool listen(const QString& name);

signals:
    void raiseRequested();

private:
    void answer();

    QLocalServer server_;
};
