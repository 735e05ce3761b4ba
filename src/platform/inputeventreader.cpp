#include "platform/inputeventreader.h"

#include <QPointer>
#include <QSocketNotifier>
#include <QTimer>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <libevdev/libevdev.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace tavrel::platform {

namespace {

// Events taken at one turn of the event loop, so that a flood cannot starve the rest.
constexpr int EventsPerTurn = 256;
constexpr int MaxPollPeriod = 10000;

}  // namespace

InputEventReader::InputEventReader(const QString& devnode, int pollPeriodMs, QObject* parent)
    : QObject(parent), m_devnode(devnode)
{
    do {
        m_fd = ::open(devnode.toLocal8Bit().constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    } while (m_fd < 0 && errno == EINTR);
    if (m_fd < 0) {
        fail(errno, "open");
        return;
    }
    const int rc = libevdev_new_from_fd(m_fd, &m_device);
    if (rc < 0) {
        m_device = nullptr;
        fail(-rc, "libevdev_new_from_fd");
        return;
    }
    m_readable = new QSocketNotifier(qintptr(m_fd), QSocketNotifier::Read, this);
    connect(m_readable, &QSocketNotifier::activated, this, &InputEventReader::readAvailable);
    if (pollPeriodMs > 0 && pollPeriodMs <= MaxPollPeriod) {
        m_poll = new QTimer(this);
        connect(m_poll, &QTimer::timeout, this, &InputEventReader::readAvailable);
        m_poll->start(pollPeriodMs);
    }
}

InputEventReader::~InputEventReader()
{
    close();
}

void InputEventReader::close()
{
    delete std::exchange(m_readable, nullptr);
    delete std::exchange(m_poll, nullptr);
    if (m_device)
        libevdev_free(std::exchange(m_device, nullptr));
    if (m_fd >= 0)
        ::close(std::exchange(m_fd, -1));
}

bool InputEventReader::isDevice(quint64 deviceNumber, quint16 bus, quint16 vendor, quint16 product)
{
    if (!m_device)
        return false;
    struct stat st {};
    QString other;
    if (::fstat(m_fd, &st) != 0) {
        other = QStringLiteral("fstat failed: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
    } else if (S_ISCHR(st.st_mode) && major(st.st_rdev) == major(dev_t(deviceNumber))
               && quint64(st.st_rdev) != deviceNumber) {
        other = QStringLiteral("device %1:%2, where udev lists %3:%4")
                    .arg(major(st.st_rdev))
                    .arg(minor(st.st_rdev))
                    .arg(major(dev_t(deviceNumber)))
                    .arg(minor(dev_t(deviceNumber)));
    } else {
        const auto ids = [](int b, int v, int p) {
            return QStringLiteral("%1:%2:%3")
                .arg(b, 4, 16, QLatin1Char('0'))
                .arg(v, 4, 16, QLatin1Char('0'))
                .arg(p, 4, 16, QLatin1Char('0'));
        };
        const QString has =
            ids(libevdev_get_id_bustype(m_device), libevdev_get_id_vendor(m_device), libevdev_get_id_product(m_device));
        if (has != ids(bus, vendor, product))
            other = QStringLiteral("bus, vendor and product %1, not %2").arg(has, ids(bus, vendor, product));
    }
    if (other.isEmpty())
        return true;
    m_errno = ENODEV;
    m_error = QStringLiteral("%1 is not the device udev listed: %2").arg(m_devnode, other);
    close();
    return false;
}

void InputEventReader::fail(int error, const char* what)
{
    m_errno = error;
    m_error = QStringLiteral("%1 %2: %3")
                  .arg(QString::fromLatin1(what), m_devnode, QString::fromLocal8Bit(std::strerror(error)));
    close();
}

void InputEventReader::readAvailable()
{
    const QPointer<InputEventReader> alive(this);
    for (int n = 0; n < EventsPerTurn && m_device; ++n) {
        input_event ev{};
        const int rc =
            libevdev_next_event(m_device, m_syncing ? LIBEVDEV_READ_FLAG_SYNC : LIBEVDEV_READ_FLAG_NORMAL, &ev);
        // A signal (the state snapshot's, say) cut the read short: nothing is lost, the next
        // turn reads on.
        if (rc == -EINTR)
            return;
        if (rc == -EAGAIN) {
            // The events that brought libevdev's view up to the device after a SYN_DROPPED are
            // through: the device's own events follow.
            if (!std::exchange(m_syncing, false))
                return;
            continue;
        }
        if (rc == LIBEVDEV_READ_STATUS_SYNC) {
            m_syncing = true;
        } else if (rc != LIBEVDEV_READ_STATUS_SUCCESS) {
            fail(-rc, "read");
            emit failed();
            return;
        }
        const qint64 timeMs = qint64(ev.input_event_sec) * 1000 + qint64(ev.input_event_usec) / 1000;
        emit received(InputEvent{ev.type, ev.code, ev.value}, timeMs);
        if (!alive)
            return;
    }
}

}  // namespace tavrel::platform
