#include "hid/hidnode.h"

#include <cerrno>
#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace tavrel {

using platform::HidrawDevice;

IoResult THidNode::open(HidrawDevice& handle, HidrawDevice::Mode mode, HidrawDevice::Wait wait)
{
    handle.close();
    // Held while opening, so that no opening starts after markGone() or suspend() returned.
    std::lock_guard lock(m_mutex);
    if (m_gone)
        return IoResult::fromErrno(ENODEV, QStringLiteral("%1 is gone").arg(m_path));
    if (m_suspended)
        return IoResult::fromErrno(ENODEV, QStringLiteral("%1 failed; waiting for the next scan").arg(m_path));

    HidrawDevice opened = HidrawDevice::open(m_path, mode, wait);
    if (!opened.isOpen()) {
        m_suspended = true;
        return IoResult::fromErrno(opened.lastErrno(), opened.lastError());
    }
    const auto id = opened.nodeId();
    if (!id) {
        m_suspended = true;
        return IoResult::fromErrno(EIO, QStringLiteral("fstat %1 failed").arg(m_path));
    }
    if (!m_first) {
        // The name may stand for another device than at the scan: the descriptor must be the
        // device udev numbered. One that is no device of that kind at all (a FIFO, a
        // pseudo-terminal) stands in for the node under a device emulator and is taken as it is.
        if (m_udevNumber && id->type == S_IFCHR && major(dev_t(id->rdev)) == major(dev_t(*m_udevNumber))
            && id->rdev != *m_udevNumber) {
            m_gone = true;
            return IoResult::fromErrno(ENODEV, QStringLiteral("%1 now belongs to another device").arg(m_path));
        }
        m_first = id;
    } else if (*m_first != *id) {
        m_gone = true;
        return IoResult::fromErrno(ENODEV, QStringLiteral("%1 now belongs to another device").arg(m_path));
    }
    handle = std::move(opened);
    return IoResult::success(0);
}

void THidNode::suspend()
{
    std::lock_guard lock(m_mutex);
    m_suspended = true;
}

void THidNode::settle()
{
    std::lock_guard lock(m_mutex);
    m_suspended = false;
}

void THidNode::markGone()
{
    std::lock_guard lock(m_mutex);
    m_gone = true;
}

bool THidNode::gone() const
{
    std::lock_guard lock(m_mutex);
    return m_gone;
}

bool THidNode::suspended() const
{
    std::lock_guard lock(m_mutex);
    return m_suspended;
}

}  // namespace tavrel
