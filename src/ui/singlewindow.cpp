#include "ui/singlewindow.h"

#include "platform/sharedfolder.h"
#include "ui/windowlog.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QGuiApplication>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <QTimer>
#include <QWidget>

namespace tavrel {

namespace {

constexpr char RaiseRequest[] = "raise\n";
constexpr char RaiseAnswer[] = "raised\n";
// How long a start waits for the running window to answer: it only has to come to the front.
constexpr int AnswerMs = 3000;
constexpr int RetryMs = 50;

// The display this program's windows go to, as a file name.
QString displayName()
{
    QString display = qEnvironmentVariable("DISPLAY");
    if (display.isEmpty())
        display = QGuiApplication::platformName() + qEnvironmentVariable("WAYLAND_DISPLAY");
    for (QChar& c : display)
        if (!(c.isLetterOrNumber() && c.unicode() < 128) && c != u'.' && c != u':' && c != u'-')
            c = u'_';
    return display;
}

}  // namespace

SingleWindow::SingleWindow()
{
    if (const platform::SharedFolder folder = platform::sharedFolder())
        m_path = folder.path + QStringLiteral("/window-") + displayName();
    else
        qCWarning(lcWindow) << "A second window is not told from the first:" << folder.outcome.message;
}

SingleWindow::~SingleWindow() = default;

bool SingleWindow::raiseRunning()
{
    if (m_path.isEmpty())
        return false;
    m_lock = std::make_unique<platform::FileLock>(m_path + QStringLiteral(".lock"));
    switch (m_lock->tryLock()) {
    case platform::FileLock::Attempt::Taken:
        startServer();
        return false;
    case platform::FileLock::Attempt::Failed:
        qCWarning(lcWindow) << "Cannot tell whether Tavrel's window is open already:" << m_lock->path();
        m_lock.reset();
        return false;
    case platform::FileLock::Attempt::Busy:
        break;
    }
    // The program holding the lock listens from its first moments; a start that comes in between
    // tries again shortly, before any window of its own exists.
    const QDeadlineTimer deadline(AnswerMs);
    while (!deadline.hasExpired()) {
        QLocalSocket socket;
        socket.connectToServer(m_path);
        if (socket.waitForConnected(int(deadline.remainingTime()))) {
            socket.write(RaiseRequest);
            while (!socket.canReadLine() && socket.waitForReadyRead(int(deadline.remainingTime()))) {}
            if (socket.readLine() == RaiseAnswer)
                return true;
        }
        QEventLoop pause;
        QTimer::singleShot(RetryMs, &pause, &QEventLoop::quit);
        pause.exec();
    }
    // A window that holds the lock but does not answer is stuck: this start opens one that works.
    qCWarning(lcWindow) << "Tavrel's window on this display does not answer; opening another.";
    m_lock.reset();
    return false;
}

void SingleWindow::startServer()
{
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    // A socket left by a program that crashed: its lock went with it, and this one holds it now.
    QLocalServer::removeServer(m_path);
    if (!m_server->listen(m_path)) {
        qCWarning(lcWindow) << "Later starts will open windows of their own:" << m_server->errorString();
        return;
    }
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = m_server->nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                if (!socket->canReadLine())
                    return;
                if (socket->readLine(64) == RaiseRequest && m_window) {
                    m_window->showNormal();
                    m_window->raise();
                    m_window->activateWindow();
                    socket->write(RaiseAnswer);
                }
                socket->disconnectFromServer();
            });
        }
    });
}

void SingleWindow::listen(QWidget* window)
{
    m_window = window;
}

}  // namespace tavrel
