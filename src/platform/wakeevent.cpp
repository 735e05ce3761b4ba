#include "platform/wakeevent.h"

#include "platform/platformlog.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <sys/eventfd.h>
#include <unistd.h>

namespace tavrel::platform {

WakeEvent::WakeEvent() : m_fd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
{
    if (m_fd < 0)
        qCWarning(lcPlatform) << "No wake-up descriptor:" << std::strerror(errno);
}

WakeEvent::~WakeEvent()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

void WakeEvent::signal()
{
    const std::uint64_t one = 1;
    // A full counter still reads as signalled, so a failed write loses nothing.
    [[maybe_unused]] const ssize_t n = ::write(m_fd, &one, sizeof one);
}

void WakeEvent::drain()
{
    std::uint64_t count = 0;
    [[maybe_unused]] const ssize_t n = ::read(m_fd, &count, sizeof count);
}

}  // namespace tavrel::platform
