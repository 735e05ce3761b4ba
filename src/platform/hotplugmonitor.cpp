#include "platform/hotplugmonitor.h"

#include "platform/udevcontext.h"

#include <QPointer>
#include <QSocketNotifier>
#include <libudev.h>
#include <utility>
#include <vector>

namespace tavrel::platform {

HotplugMonitor::HotplugMonitor(std::shared_ptr<UdevContext> context, QObject* parent, const char* subsystem)
    : QObject(parent), m_context(std::move(context))
{
    if (!m_context)
        return;
    m_monitor = udev_monitor_new_from_netlink(m_context->handle(), "udev");
    if (!m_monitor)
        return;
    if (udev_monitor_filter_add_match_subsystem_devtype(m_monitor, subsystem, nullptr) < 0
        || udev_monitor_enable_receiving(m_monitor) < 0) {
        udev_monitor_unref(m_monitor);
        m_monitor = nullptr;
        return;
    }
    m_notifier = new QSocketNotifier(udev_monitor_get_fd(m_monitor), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &HotplugMonitor::receive);
}

HotplugMonitor::~HotplugMonitor()
{
    delete m_notifier;
    if (m_monitor)
        udev_monitor_unref(m_monitor);
}

void HotplugMonitor::receive()
{
    // Every queued event is taken off the socket before anyone hears of it, so a receiver that
    // runs the event loop does not get this call again for the same events.
    enum class Action { Added, Removed, Changed };
    std::vector<std::pair<Action, QString>> events;
    while (udev_device* device = udev_monitor_receive_device(m_monitor)) {
        const char* action = udev_device_get_action(device);
        const Action kind = qstrcmp(action, "add") == 0      ? Action::Added
                            : qstrcmp(action, "remove") == 0 ? Action::Removed
                                                             : Action::Changed;
        events.emplace_back(kind, QString::fromUtf8(udev_device_get_syspath(device)));
        udev_device_unref(device);
    }
    const QPointer<HotplugMonitor> alive(this);
    for (std::size_t i = 0; i < events.size() && alive; ++i) {
        const auto& [kind, syspath] = events[i];
        switch (kind) {
        case Action::Added:
            emit deviceAdded(syspath);
            break;
        case Action::Removed:
            emit deviceRemoved(syspath);
            break;
        case Action::Changed:
            emit deviceChanged(syspath);
            break;
        }
    }
}

}  // namespace tavrel::platform
