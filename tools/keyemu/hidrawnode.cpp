#include "keyemu/hidrawnode.h"

#include "keyemu/emulatednode.h"
#include "keyemu/keystate.h"

#include <umockdev.h>

#include <linux/hidraw.h>
#include <sys/ioctl.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <deque>
#include <map>

#ifndef HIDIOCGRAWUNIQ
#define HIDIOCGRAWUNIQ(len) _IOC(_IOC_READ, 'H', 0x08, len)
#endif

namespace tavrel::emu {

namespace {

constexpr int HidrawMajor = 243;
constexpr int HidMaxBufferSize = 16384;
constexpr int HidMaxDescriptorSize = 4096;

QString usbPath(const NodeLayout& l)
{
    return usbDevicePath(l.port);
}

QString interfacePath(const NodeLayout& l)
{
    return usbInterfacePath(l.port, 0);
}

QString hidPath(const KeyModel& m, const NodeLayout& l)
{
    return hidDevicePath(m.vendorId, m.productId, l.port, 0, l.hidSequence);
}

QString hidrawPath(const KeyModel& m, const NodeLayout& l)
{
    return hidPath(m, l) + QStringLiteral("/hidraw/hidraw%1").arg(l.minor);
}

QString phys(const NodeLayout& l)
{
    return usbPhys(l.port, 0);
}

// Sysfs attribute values in a udev description escape backslashes and line feeds.
QString attribute(const QString& value)
{
    QString v = value;
    v.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    v.replace(QLatin1Char('\n'), QLatin1String("\\n"));
    return v;
}

}  // namespace

struct HidrawNode::Link {
    std::shared_ptr<KeyState> state;
    std::atomic<bool> gone{false};
    QByteArray name, phys, uniq;  // what HIDIOCGRAWNAME, …PHYS and …UNIQ report
    // Each descriptor's reports not read yet, as hidraw gives every open descriptor its own copy
    // of each report sent after it was opened; the queue goes when the descriptor is closed.
    // Guarded by state->mutex.
    std::map<const void*, std::deque<QByteArray>> queues;
};

namespace {

gboolean onIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer data)
{
    const HidrawNode::Link& link = linkOf<HidrawNode::Link>(data);
    const unsigned long request = umockdev_ioctl_client_get_request(client);
    if (link.gone) {
        umockdev_ioctl_client_complete(client, -1, ENODEV);
        return TRUE;
    }
    const QByteArray& descriptor = link.state->descriptor;
    const KeyModel& model = link.state->model;

    if (request == HIDIOCGRDESCSIZE) {
        answerStruct<int>(client, [&](int& size) {
            size = int(descriptor.size());
            return 0;
        });
    } else if (request == HIDIOCGRDESC) {
        answerStruct<hidraw_report_descriptor>(client, [&](hidraw_report_descriptor& d) {
            if (d.size > HidMaxDescriptorSize - 1)
                return EINVAL;
            std::memcpy(d.value, descriptor.constData(), std::min<std::size_t>(d.size, std::size_t(descriptor.size())));
            return 0;
        });
    } else if (request == HIDIOCGRAWINFO) {
        answerStruct<hidraw_devinfo>(client, [&](hidraw_devinfo& info) {
            info.bustype = 0x03;  // BUS_USB
            info.vendor = qint16(model.vendorId);
            info.product = qint16(model.productId);
            return 0;
        });
    } else if (_IOC_TYPE(request) == 'H' && _IOC_DIR(request) == _IOC_READ
               && (_IOC_NR(request) == _IOC_NR(HIDIOCGRAWNAME(0)) || _IOC_NR(request) == _IOC_NR(HIDIOCGRAWPHYS(0))
                   || _IOC_NR(request) == _IOC_NR(HIDIOCGRAWUNIQ(0)))) {
        const unsigned nr = _IOC_NR(request);
        const QByteArray& text = nr == _IOC_NR(HIDIOCGRAWNAME(0))   ? link.name
                                 : nr == _IOC_NR(HIDIOCGRAWPHYS(0)) ? link.phys
                                                                    : link.uniq;
        answerString(client, _IOC_SIZE(request), text);
    } else if (_IOC_TYPE(request) == 'H' && _IOC_NR(request) >= 0x06 && _IOC_NR(request) <= 0x0C
               && _IOC_NR(request) != 0x08) {
        // Feature and input/output report requests: the key has no such reports and stalls.
        umockdev_ioctl_client_complete(client, -1, EPIPE);
    } else {
        umockdev_ioctl_client_complete(client, -1, ENOTTY);
    }
    return TRUE;
}

// hidraw gives one report per read, cut to the caller's buffer. The emulated node never
// blocks: with nothing to read it answers as a non-blocking descriptor does.
gboolean onRead(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer data)
{
    const HidrawNode::Link& link = linkOf<HidrawNode::Link>(data);
    if (link.gone) {
        umockdev_ioctl_client_complete(client, -1, EIO);
        return TRUE;
    }
    std::optional<QByteArray> report;
    {
        std::lock_guard lock(link.state->mutex);
        auto& queues = linkOf<HidrawNode::Link>(data).queues;
        // What the firmware has sent by now goes to every descriptor, each keeping as many
        // unread reports as hidraw keeps.
        while (const auto sent = link.state->firmware.nextInput(KeyState::nowMs())) {
            for (auto& [reader, queue] : queues) {
                queue.push_back(*sent);
                if (queue.size() > InputQueueLimit)
                    queue.pop_front();
            }
        }
        std::deque<QByteArray>& own = queues[client];
        if (!own.empty()) {
            report = std::move(own.front());
            own.pop_front();
        }
    }
    if (!report) {
        umockdev_ioctl_client_complete(client, -1, EAGAIN);
        return TRUE;
    }
    UMockdevIoctlData* buffer = umockdev_ioctl_client_get_arg(client);
    const int length = std::min(buffer->data_len, int(report->size()));
    std::memcpy(buffer->data, report->constData(), std::size_t(length));
    umockdev_ioctl_client_complete(client, length, 0);
    return TRUE;
}

gboolean onWrite(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer data)
{
    const HidrawNode::Link& link = linkOf<HidrawNode::Link>(data);
    if (link.gone) {
        umockdev_ioctl_client_complete(client, -1, ENODEV);
        return TRUE;
    }
    const UMockdevIoctlData* buffer = umockdev_ioctl_client_get_arg(client);
    const int length = buffer->data_len;
    if (length < 2 || length > HidMaxBufferSize) {
        umockdev_ioctl_client_complete(client, -1, EINVAL);
        return TRUE;
    }
    const QByteArray report(reinterpret_cast<const char*>(buffer->data), length);
    bool taken;
    int limit;
    {
        std::lock_guard lock(link.state->mutex);
        limit = link.state->firmware.writeLimit();
        taken = (limit > 0 && limit < length) || link.state->firmware.receive(report, KeyState::nowMs());
    }
    link.state->receivedChanged.notify_all();
    if (taken && limit > 0 && limit < length)
        umockdev_ioctl_client_complete(client, limit, 0);
    else if (taken)
        umockdev_ioctl_client_complete(client, length, 0);
    else
        umockdev_ioctl_client_complete(client, -1, EIO);
    return TRUE;
}

void onConnected(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer data)
{
    HidrawNode::Link& link = linkOf<HidrawNode::Link>(data);
    ++link.state->opens;
    std::lock_guard lock(link.state->mutex);
    link.queues[client];
}

void onVanished(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer data)
{
    HidrawNode::Link& link = linkOf<HidrawNode::Link>(data);
    std::lock_guard lock(link.state->mutex);
    link.queues.erase(client);
}

}  // namespace

HidrawNode::HidrawNode(UMockdevTestbed* testbed, std::shared_ptr<KeyState> state, const NodeLayout& layout)
    : m_testbed(testbed), m_link(std::make_shared<Link>()), m_layout(layout)
{
    const KeyModel& model = state->model;
    m_devnode = QStringLiteral("/dev/hidraw%1").arg(layout.minor);
    m_link->name = model.product.toUtf8();
    m_link->phys = phys(layout).toUtf8();
    m_link->uniq = model.serial.toUtf8();
    const QString description = describe(*state, layout);
    m_link->state = std::move(state);

    m_handler = umockdev_ioctl_base_new();
    connectLink(m_handler, "handle-ioctl", G_CALLBACK(onIoctl), m_link);
    connectLink(m_handler, "handle-read", G_CALLBACK(onRead), m_link);
    connectLink(m_handler, "handle-write", G_CALLBACK(onWrite), m_link);
    connectLink(m_handler, "client-connected", G_CALLBACK(onConnected), m_link);
    connectLink(m_handler, "client-vanished", G_CALLBACK(onVanished), m_link);

    attachNode(m_testbed, m_devnode.toUtf8(), m_handler, description, "devices");
}

HidrawNode::~HidrawNode()
{
    remove();
}

QString HidrawNode::syspath() const
{
    return hidrawPath(m_link->state->model, m_layout);
}

void HidrawNode::remove()
{
    m_link->gone = true;
    const KeyModel& model = m_link->state->model;
    // The kernel removes children first and tells about each device.
    removeNode(m_testbed,
               {hidrawPath(model, m_layout), hidPath(model, m_layout), interfacePath(m_layout), usbPath(m_layout)},
               m_devnode.toUtf8(), m_handler);
    m_handler = nullptr;
}

QString HidrawNode::describe(const KeyState& state, const NodeLayout& layout)
{
    const KeyModel& m = state.model;
    const QString vid = hex4(m.vendorId).toLower();
    const QString pid = hex4(m.productId).toLower();
    const QString productCode =
        QStringLiteral("%1/%2/100").arg(QString::number(m.vendorId, 16), QString::number(m.productId, 16));
    const auto devicePath = [](const QString& sysPath) { return sysPath.mid(4); };  // no "/sys"

    QString d;
    d += QStringLiteral("P: %1\n").arg(devicePath(usbPath(layout)));
    d += QStringLiteral("E: SUBSYSTEM=usb\nE: DEVTYPE=usb_device\n");
    d += QStringLiteral("E: PRODUCT=%1\n").arg(productCode);
    d += QStringLiteral("E: BUSNUM=001\nE: DEVNUM=%1\n").arg(layout.devnum, 3, 10, QLatin1Char('0'));
    d += QStringLiteral("A: idVendor=%1\nA: idProduct=%2\nA: bcdDevice=0100\n").arg(vid, pid);
    if (!m.product.isEmpty())
        d += QStringLiteral("A: product=%1\n").arg(attribute(m.product));
    if (!m.serial.isEmpty())
        d += QStringLiteral("A: serial=%1\n").arg(attribute(m.serial));
    d += QStringLiteral("A: busnum=1\nA: devnum=%1\nA: speed=12\n").arg(layout.devnum);
    // The vendor interface, then the keyboard and the mouse interface (EventNode).
    d += QStringLiteral("A: bDeviceClass=00\nA: bNumInterfaces= 3\n\n");

    d += QStringLiteral("P: %1\n").arg(devicePath(interfacePath(layout)));
    d += QStringLiteral("E: SUBSYSTEM=usb\nE: DEVTYPE=usb_interface\nE: INTERFACE=3/0/0\n");
    d += QStringLiteral("E: PRODUCT=%1\n").arg(productCode);
    d += QStringLiteral("A: bInterfaceClass=03\nA: bInterfaceSubClass=00\n");
    d += QStringLiteral("A: bInterfaceProtocol=00\nA: bInterfaceNumber=00\n\n");

    d += QStringLiteral("P: %1\n").arg(devicePath(hidPath(m, layout)));
    d += QStringLiteral("E: SUBSYSTEM=hid\nE: DRIVER=hid-generic\n");
    d += QStringLiteral("E: HID_ID=0003:0000%1:0000%2\n").arg(hex4(m.vendorId), hex4(m.productId));
    d += QStringLiteral("E: HID_NAME=%1\n").arg(m.product);
    d += QStringLiteral("E: HID_PHYS=%1\n").arg(phys(layout));
    d += QStringLiteral("E: HID_UNIQ=%1\n").arg(m.serial);
    d += QStringLiteral("E: MODALIAS=hid:b0003g0001v0000%1p0000%2\n").arg(hex4(m.vendorId), hex4(m.productId));
    if (!state.descriptor.isEmpty())
        d += QStringLiteral("H: report_descriptor=%1\n").arg(QString::fromLatin1(state.descriptor.toHex().toUpper()));
    d += QLatin1Char('\n');

    d += QStringLiteral("P: %1\n").arg(devicePath(hidrawPath(m, layout)));
    d += QStringLiteral("E: SUBSYSTEM=hidraw\nE: DEVNAME=/dev/hidraw%1\n").arg(layout.minor);
    d += QStringLiteral("E: MAJOR=%1\nE: MINOR=%2\n").arg(HidrawMajor).arg(layout.minor);
    d += QStringLiteral("A: dev=%1:%2\n").arg(HidrawMajor).arg(layout.minor);
    d += QStringLiteral("N: hidraw%1\n").arg(layout.minor);
    return d;
}

}  // namespace tavrel::emu
