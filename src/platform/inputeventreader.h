#pragma once
// Reads one input event device (/dev/input/eventN) with libevdev on the thread that makes it, as
// the event loop says events have come, without taking the device from anyone else: the device goes
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
    // Whether the open node is the device udev listed: its device number (st_rdev) is
    // `deviceNumber`, and libevdev reads these bus, vendor and product. A node is opened by its
    // name, which another device may have taken since. When it is not, the node is let go of at
    // once and error() says what it is instead. A descriptor that is no input device at all (a
    // pseudo-terminal, a FIFO) stands in for the node under a device emulator: its ids are
    // checked, not its number; a real one would fail libevdev's questions before this.
    bool isDevice(quint64 deviceNumber, quint16 bus, quint16 vendor, quint16 product);

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
