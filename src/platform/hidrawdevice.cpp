#include "platform/hidrawdevice.h"

#include <QDeadlineTimer>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/hidraw.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace tavrel::platform {

HidrawDevice::~HidrawDevice()
{
    close();
}

HidrawDevice::HidrawDevice(HidrawDevice&& other) noexcept
    : m_fd(std::exchange(other.m_fd, -1)), m_devnode(std::move(other.m_devnode)), m_lastErrno(other.m_lastErrno),
      m_lastError(std::move(other.m_lastError))
{
}

HidrawDevice& HidrawDevice::operator=(HidrawDevice&& other) noexcept
{
    if (this != &other) {
        close();
        m_fd = std::exchange(other.m_fd, -1);
        m_devnode = std::move(other.m_devnode);
        m_lastErrno = other.m_lastErrno;
        m_lastError = std::move(other.m_lastError);
    }
    return *this;
}

HidrawDevice HidrawDevice::open(const QString& devnode, Mode mode)
{
    HidrawDevice device;
    device.m_devnode = devnode;
    const int access = (mode == Mode::ReadWrite ? O_RDWR : O_RDONLY) | O_NONBLOCK;
    do {
        device.m_fd = ::open(devnode.toLocal8Bit().constData(), access | O_CLOEXEC);
    } while (device.m_fd < 0 && errno == EINTR);
    if (device.m_fd < 0)
        device.fail(errno, "open");
    return device;
}

bool HidrawDevice::nodeExists(const QString& devnode)
{
    struct stat st {};
    return ::stat(devnode.toLocal8Bit().constData(), &st) == 0;
}

bool HidrawDevice::mayReadWrite(const QString& devnode)
{
    return ::access(devnode.toLocal8Bit().constData(), R_OK | W_OK) == 0;
}

std::optional<HidrawDevice::NodeId> HidrawDevice::nodeId() const
{
    struct stat st {};
    if (m_fd < 0 || ::fstat(m_fd, &st) != 0)
        return std::nullopt;
    return NodeId{st.st_rdev, st.st_dev, st.st_ino, unsigned(st.st_mode & S_IFMT)};
}

void HidrawDevice::close()
{
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

void HidrawDevice::fail(int error, const char* what)
{
    m_lastErrno = error;
    m_lastError = QStringLiteral("%1 %2: %3")
                      .arg(QString::fromLatin1(what), m_devnode, QString::fromLocal8Bit(std::strerror(error)));
}

std::optional<HidIdentity> HidrawDevice::rawInfo()
{
    hidraw_devinfo info{};
    if (m_fd < 0 || ::ioctl(m_fd, HIDIOCGRAWINFO, &info) < 0) {
        fail(m_fd < 0 ? EBADF : errno, "HIDIOCGRAWINFO");
        return std::nullopt;
    }
    return HidIdentity{quint16(info.vendor), quint16(info.product), 0};
}

std::optional<QByteArray> HidrawDevice::reportDescriptor()
{
    int size = 0;
    if (m_fd < 0 || ::ioctl(m_fd, HIDIOCGRDESCSIZE, &size) < 0) {
        fail(m_fd < 0 ? EBADF : errno, "HIDIOCGRDESCSIZE");
        return std::nullopt;
    }
    hidraw_report_descriptor descriptor{};
    descriptor.size = quint32(std::clamp(size, 0, HID_MAX_DESCRIPTOR_SIZE));
    if (::ioctl(m_fd, HIDIOCGRDESC, &descriptor) < 0) {
        fail(errno, "HIDIOCGRDESC");
        return std::nullopt;
    }
    return QByteArray(reinterpret_cast<const char*>(descriptor.value), int(descriptor.size));
}

IoResult HidrawDevice::write(std::span<const quint8> report, int writeTimeoutMs)
{
    const auto failure = [this](int error) {
        fail(error, "write");
        return IoResult::fromErrno(error, m_lastError);
    };
    if (m_fd < 0)
        return failure(EBADF);
    QDeadlineTimer deadline(writeTimeoutMs);
    for (;;) {
        const ssize_t n = ::write(m_fd, report.data(), report.size());
        if (n >= 0) {
            if (std::size_t(n) == report.size())
                return IoResult::success(int(n));
            // The device got part of a request, which is no request: a failure, but not a sign that
            // the node went.
            m_lastErrno = EIO;
            m_lastError = QStringLiteral("write %1: %2 of %3 bytes taken").arg(m_devnode).arg(n).arg(report.size());
            return IoResult{IoResult::Status::Failed, int(n), EIO, m_lastError};
        }
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN)
            return failure(errno);
        if (deadline.hasExpired())
            return failure(ETIMEDOUT);
        pollfd p{m_fd, POLLOUT, 0};
        if (::poll(&p, 1, int(std::max<qint64>(1, std::min<qint64>(deadline.remainingTime(), 50)))) < 0
            && errno != EINTR)
            return failure(errno);
        if (p.revents & (POLLERR | POLLHUP | POLLNVAL))
            return failure(ENODEV);
    }
}

HidrawDevice::ReadResult HidrawDevice::readAvailable(int fd, std::span<quint8> buffer, bool withoutReportIds)
{
    const std::size_t offset = withoutReportIds ? 1 : 0;
    if (fd < 0)
        return {ReadResult::Failed, 0, EBADF};
    if (buffer.size() <= offset)
        return {ReadResult::Nothing};
    ssize_t got;
    do {
        got = ::read(fd, buffer.data() + offset, buffer.size() - offset);
    } while (got < 0 && errno == EINTR);
    if (got < 0) {
        if (errno == EAGAIN || errno == EWOULDBLOCK)
            return {ReadResult::Nothing};
        return {ReadResult::Failed, 0, errno};
    }
    // A hidraw node never reads as empty; a node whose other end hung up does.
    if (got == 0)
        return {ReadResult::Failed, 0, ENODEV};
    if (withoutReportIds)
        buffer[0] = 0;
    return {ReadResult::Report, int(got + offset), 0};
}

}  // namespace tavrel::platform
