#pragma once
// Reads one input event device (/dev/input/eventN) with libevdev on the thread that makes it, as
// the event loop says events have come, without taking the device from anyone else: the key goes
// on typing into whatever has the focus.

#include "config/inputdecoder.h"

#include <QObject>
#include <QString>
#include <memory>

class QSocketNotifier;
class QTimer;
struct libevdev;

namespace tavrel::platform {

class InputEventReader : public QObject {
    Q_OBJECT
public:
    // Opens the node for reading. pollPeriodMs 1 to 10000 also looks for events after every such
    // period, for emulated nodes that never say they have some; 0 does not. Check isOpen().
    InputEventReader(const QString& devnode, int pollPeriodMs, QObject* parent = nullptr);
    ~InputEventReader() override;

    const QString& devnode() const { return m_devnode; }
    bool isOpen() const { return m_device != nullptr; }
    // Why the node could not be opened or read: the errno, and the message.
    int errorCode() const { return m_errno; }
    const QString& error() const { return m_error; }
    // Lets go of the node now; nothing is read from it any more.
    void close();

signals:
    // Each event in the order the device reported it, with its time in milliseconds.
    void received(const tavrel::InputEvent& event, qint64 timeMs);
    // The node failed (it is gone, as a rule); nothing is read from it any more.
    void failed();

private:
    void readAvailable();
    void fail(int error, const char* what);

    QString m_devnode;
    int m_fd = -1;
    libevdev* m_device = nullptr;
    bool m_syncing = false;
    int m_errno = 0;
    QString m_error;
    QSocketNotifier* m_readable = nullptr;
    QTimer* m_poll = nullptr;
};

}  // namespace tavrel::platform
