#include "keyemu/hidrawnode.h"

#include "keyemu/keystate.h"

#include <umockdev.h>

#include <linux/hidraw.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <deque>
#include <map>
#include <stdexcept>

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
    return usbPath(l) + QStringLiteral("/1-%1:1.0").arg(l.port);
}

QString hex4(int value)
{
    return QStringLiteral("%1").arg(value, 4, 16, QLatin1Char('0')).toUpper();
}

QString hidPath(const KeyModel& m, const NodeLayout& l)
{
    return interfacePath(l)
           + QStringLiteral("/0003:%1:%2.%3").arg(hex4(m.vendorId), hex4(m.productId), hex4(l.hidSequence));
}

QString hidrawPath(const KeyModel& m, const NodeLayout& l)
{
    return hidPath(m, l) + QStringLiteral("/hidraw/hidraw%1").arg(l.minor);
}

QString phys(const NodeLayout& l)
{
    return QStringLiteral("usb-0000:00:14.0-%1/input0").arg(l.port);
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

QString usbDevicePath(int port)
{
    return QStringLiteral("/sys/devices/pci0000:00/0000:00:14.0/usb1/1-%1").arg(port);
}

struct HidrawNode::Link {
    std::shared_ptr<KeyState> state;
    std::atomic<bool> gone{false};
    QByteArray name, phys, uniq;  // what HIDIOCGRAWNAME, …PHYS and …UNIQ report
    // Each descriptor's reports not read yet, as hidraw gives every open descriptor its own copy
    // of each report sent after it was opened. Guarded by state->mutex. umockdev does not say
    // when a descriptor is closed, so a descriptor's queue stays with the node.
    std::map<const void*, std::deque<QByteArray>> queues;
};

namespace {

using LinkRef = std::shared_ptr<HidrawNode::Link>;

HidrawNode::Link& linkOf(gpointer data)
{
    return **static_cast<LinkRef*>(data);
}

void releaseLink(gpointer data, GClosure*)
{
    delete static_cast<LinkRef*>(data);
}

void complete(UMockdevIoctlClient* client, long result, int error)
{
    umockdev_ioctl_client_complete(client, result, error);
}

// Resolves the ioctl argument to a local copy of size bytes, which umockdev writes back.
UMockdevIoctlData* resolveArgument(UMockdevIoctlClient* client, std::size_t size)
{
    GError* error = nullptr;
    UMockdevIoctlData* data = umockdev_ioctl_data_resolve(umockdev_ioctl_client_get_arg(client), 0, size, &error);
    if (error)
        g_error_free(error);
    return data;
}

// The kernel copies the string with its terminating zero, cut to the caller's buffer, and
// returns the number of bytes copied.
void answerString(UMockdevIoctlClient* client, std::size_t size, const QByteArray& text)
{
    UMockdevIoctlData* data = resolveArgument(client, size);
    if (!data) {
        complete(client, -1, EFAULT);
        return;
    }
    const std::size_t length = std::min<std::size_t>(std::size_t(text.size()) + 1, size);
    std::memcpy(data->data, text.constData(), length);  // constData() ends in a zero
    g_object_unref(data);
    complete(client, long(length), 0);
}

template <typename T, typename Fill>
void answerStruct(UMockdevIoctlClient* client, Fill fill)
{
    UMockdevIoctlData* data = resolveArgument(client, sizeof(T));
    if (!data) {
        complete(client, -1, EFAULT);
        return;
    }
    T value;
    std::memcpy(&value, data->data, sizeof(T));
    const int error = fill(value);
    std::memcpy(data->data, &value, sizeof(T));
    g_object_unref(data);
    complete(client, error ? -1 : 0, error);
}

gboolean onIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer data)
{
    const HidrawNode::Link& link = linkOf(data);
    const unsigned long request = umockdev_ioctl_client_get_request(client);
    if (link.gone) {
        complete(client, -1, ENODEV);
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
        complete(client, -1, EPIPE);
    } else {
        complete(client, -1, ENOTTY);
    }
    return TRUE;
}

// hidraw gives one report per read, cut to the caller's buffer. The emulated node never
// blocks: with nothing to read it answers as a non-blocking descriptor does.
gboolean onRead(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer data)
{
    const HidrawNode::Link& link = linkOf(data);
    if (link.gone) {
        complete(client, -1, EIO);
        return TRUE;
    }
    std::optional<QByteArray> report;
    {
        std::lock_guard lock(link.state->mutex);
        auto& queues = linkOf(data).queues;
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
        complete(client, -1, EAGAIN);
        return TRUE;
    }
    UMockdevIoctlData* buffer = umockdev_ioctl_client_get_arg(client);
    const int length = std::min(buffer->data_len, int(report->size()));
    std::memcpy(buffer->data, report->constData(), std::size_t(length));
    complete(client, length, 0);
    return TRUE;
}

gboolean onWrite(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer data)
{
    const HidrawNode::Link& link = linkOf(data);
    if (link.gone) {
        complete(client, -1, ENODEV);
        return TRUE;
    }
    const UMockdevIoctlData* buffer = umockdev_ioctl_client_get_arg(client);
    const int length = buffer->data_len;
    if (length < 2 || length > HidMaxBufferSize) {
        complete(client, -1, EINVAL);
        return TRUE;
    }
    const QByteArray report(reinterpret_cast<const char*>(buffer->data), length);
    bool taken;
    {
        std::lock_guard lock(link.state->mutex);
        taken = link.state->firmware.receive(report, KeyState::nowMs());
    }
    link.state->receivedChanged.notify_all();
    if (taken)
        complete(client, length, 0);
    else
        complete(client, -1, EIO);
    return TRUE;
}

void onConnected(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer data)
{
    HidrawNode::Link& link = linkOf(data);
    ++link.state->opens;
    std::lock_guard lock(link.state->mutex);
    link.queues[client];
}

void connectHandler(UMockdevIoctlBase* handler, const char* signal, GCallback callback, const LinkRef& link)
{
    g_signal_connect_data(handler, signal, callback, new LinkRef(link), releaseLink, GConnectFlags(0));
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
    connectHandler(m_handler, "handle-ioctl", G_CALLBACK(onIoctl), m_link);
    connectHandler(m_handler, "handle-read", G_CALLBACK(onRead), m_link);
    connectHandler(m_handler, "handle-write", G_CALLBACK(onWrite), m_link);
    connectHandler(m_handler, "client-connected", G_CALLBACK(onConnected), m_link);

    const QByteArray devnode = m_devnode.toUtf8();
    GError* error = nullptr;
    if (!umockdev_testbed_attach_ioctl(m_testbed, devnode.constData(), m_handler, &error)) {
        const std::string message = error ? error->message : "unknown error";
        if (error)
            g_error_free(error);
        g_object_unref(m_handler);
        throw std::runtime_error("cannot attach a handler to " + devnode.toStdString() + ": " + message);
    }
    if (!umockdev_testbed_add_from_string(m_testbed, description.toUtf8().constData(), &error)) {
        const std::string message = error ? error->message : "unknown error";
        if (error)
            g_error_free(error);
        umockdev_testbed_detach_ioctl(m_testbed, devnode.constData(), nullptr);
        g_object_unref(m_handler);
        throw std::runtime_error("cannot add the key's devices: " + message);
    }
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
    const QString paths[] = {hidrawPath(model, m_layout), hidPath(model, m_layout), interfacePath(m_layout),
                             usbPath(m_layout)};
    for (const QString& path : paths) {
        const QByteArray p = path.toUtf8();
        umockdev_testbed_uevent(m_testbed, p.constData(), "remove");
        umockdev_testbed_remove_device(m_testbed, p.constData());
    }

    const QByteArray devnode = m_devnode.toUtf8();
    hangUpNode(m_testbed, devnode);
    umockdev_testbed_detach_ioctl(m_testbed, devnode.constData(), nullptr);
    g_object_unref(m_handler);
    m_handler = nullptr;
}

// The node is a pty whose master the testbed keeps open. Putting an empty pipe in the master's
// place closes it, so poll() on a descriptor still open on the node reports POLLHUP, as on a
// hidraw node whose device has gone; the testbed still owns the descriptor number. The kernel
// may then give the pty's number to a later node, and the testbed refuses to add a node whose
// pty it has a record of, so the record goes too. Where that record cannot be found the pty is
// left open rather than risk that refusal.
void hangUpNode(UMockdevTestbed* testbed, const QByteArray& devnode)
{
    const int master = umockdev_testbed_get_dev_fd(testbed, devnode.constData());
    char pts[64];
    if (master < 0 || ::ptsname_r(master, pts, sizeof pts) != 0)
        return;
    gchar* root = umockdev_testbed_get_root_dir(testbed);
    QByteArray record = QByteArray(root) + "/dev/.ptymap/" + QByteArray(pts).replace('/', '_');
    g_free(root);
    struct stat info;
    int pipeEnds[2];
    if (::lstat(record.constData(), &info) != 0 || ::pipe(pipeEnds) != 0)
        return;
    ::dup2(pipeEnds[0], master);
    ::close(pipeEnds[0]);
    ::close(pipeEnds[1]);
    ::unlink(record.constData());
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
