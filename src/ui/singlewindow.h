#pragma once
// One window per user and display, as desktop programs have it: a start while the window is open
// asks that window to come to the front and ends, instead of opening a second window on the same
// devices. The window that runs holds a lock in the user's shared folder (the kernel lets it go
// however the program ends) and takes such requests on a local socket beside it.

#include <QObject>
#include <QPointer>
#include <QWidget>
#include <memory>

class QLocalServer;

namespace tavrel {

namespace platform {
class FileLock;
}

class SingleWindow : public QObject {
    Q_OBJECT
public:
    SingleWindow();
    ~SingleWindow() override;

    // Whether a window of this user's is open on this display and was asked to come to the
    // front; then this start has nothing more to do. Otherwise this program's window is the one,
    // and later starts find it once listen() ran.
    bool raiseRunning();
    // Brings `window` to the front whenever another start asks.
    void listen(QWidget* window);

private:
    void startServer();

    QString m_path;
    QPointer<QWidget> m_window;
    std::unique_ptr<platform::FileLock> m_lock;
    QLocalServer* m_server = nullptr;
};

}  // namespace tavrel
