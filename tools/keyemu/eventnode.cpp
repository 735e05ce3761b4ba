#include "keyemu/eventnode.h"

#include "keyemu/emulatednode.h"
#include "keyemu/keystate.h"
#include "keys/inputcodes.h"

#include <QStringList>

#include <umockdev.h>

#include <linux/input.h>
#include <sys/ioctl.h>

#include <algorithm>
#include <atomic>
#include <bitset>
#include <cerrno>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>

namespace tavrel::emu {

namespace {

constexpr int InputMajor = 13;
// Events kept for a descriptor that does not read them; the oldest go first, as the kernel drops
// what a slow reader has not taken. A descriptor's queue goes when it is closed.
constexpr std::size_t EventQueueLimit = 1024;
constexpr int FirstEventMinor = 64;

// The keyboard and the mouse are the USB interfaces after the hidraw one.
QString interfacePath(const EventLayout& l, int interface)
{
    return usbInterfacePath(l.port, interface + 1);
}

QString hidPath(const KeyModel& m, const EventLayout& l, int interface)
{
    return hidDevicePath(m.vendorId, m.productId, l.port, interface + 1, l.hidSequence);
}

QString inputPath(const KeyModel& m, const EventLayout& l, int interface)
{
    return hidPath(m, l, interface) + QStringLiteral("/input/input%1").arg(l.inputNumber);
}

QString eventPath(const KeyModel& m, const EventLayout& l, int interface)
{
    return inputPath(m, l, interface) + QStringLiteral("/event%1").arg(l.eventMinor);
}

// What the interface's device reports, as EVIOCGBIT gives it.
struct Capabilities {
    std::bitset<EV_CNT> types;
    std::bitset<KEY_CNT> keys;
    std::bitset<REL_CNT> relative;
    std::bitset<MSC_CNT> misc;
    std::bitset<LED_CNT> leds;
};

Capabilities capabilitiesOf(int interface)
{
    Capabilities c;
    c.types.set(EV_SYN).set(EV_KEY).set(EV_MSC);
    c.misc.set(MSC_SCAN);
    if (interface == KeyboardInterface) {
        c.types.set(EV_LED).set(EV_REP);
        for (int usage = 0; usage < 0x100; ++usage)
            if (const unsigned code = keyCodeForUsage(usage))
                c.keys.set(code);
        c.leds.set(LED_NUML).set(LED_CAPSL).set(LED_SCROLLL).set(LED_COMPOSE).set(LED_KANA);
    } else {
        c.types.set(EV_REL);
        c.keys.set(BTN_LEFT).set(BTN_RIGHT).set(BTN_MIDDLE).set(BTN_SIDE).set(BTN_EXTRA);
        c.relative.set(REL_X).set(REL_Y).set(REL_WHEEL);
    }
    return c;
}

// The bits as the kernel lays out a bit array of longs on a little-endian machine: byte by byte.
template <std::size_t N>
QByteArray bitBytes(const std::bitset<N>& bits)
{
    QByteArray bytes((N + 7) / 8, '\0');
    for (std::size_t i = 0; i < N; ++i)
        if (bits.test(i))
            bytes[qsizetype(i / 8)] = char(quint8(bytes[qsizetype(i / 8)]) | (1u << (i % 8)));
    return bytes;
}

// The udev property of a bit array, as the kernel writes it: longs in hex from the highest,
// without leading zero longs.
template <std::size_t N>
QString bitProperty(const std::bitset<N>& bits)
{
    constexpr std::size_t Long = 64;
    QStringList longs;
    for (std::size_t first = 0; first < N; first += Long) {
        quint64 value = 0;
        for (std::size_t i = first; i < std::min(N, first + Long); ++i)
            if (bits.test(i))
                value |= quint64(1) << (i - first);
        longs.prepend(QString::number(value, 16));
    }
    while (longs.size() > 1 && longs.first() == QLatin1String("0"))
        longs.removeFirst();
    return longs.join(QLatin1Char(' '));
}

QString nameOf(const KeyModel& model, int interface)
{
    return model.product + (interface == KeyboardInterface ? QStringLiteral(" Keyboard") : QStringLiteral(" Mouse"));
}

}  // namespace

struct EventNode::Link {
    Capabilities capabilities;
    QByteArray name, phys, uniq;
    quint16 vendor = 0, product = 0;
    std::atomic<bool> gone{false};
    // Each descriptor's events not read yet. The handlers run on umockdev's thread, send()
    // on the owner's.
    mutable std::mutex mutex;
    std::map<const void*, std::deque<SentEvent>> queues;
};

namespace {

gboolean onIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer data)
{
    const EventNode::Link& link = linkOf<EventNode::Link>(data);
    const unsigned long request = umockdev_ioctl_client_get_request(client);
    if (link.gone) {
        umockdev_ioctl_client_complete(client, -1, ENODEV);
        return TRUE;
    }
    if (_IOC_TYPE(request) != 'E') {
        umockdev_ioctl_client_complete(client, -1, ENOTTY);
        return TRUE;
    }
    const unsigned nr = _IOC_NR(request);
    const std::size_t size = _IOC_SIZE(request);
    const Capabilities& c = link.capabilities;
    if (request == EVIOCGVERSION) {
        answerValue(client, int(EV_VERSION));
    } else if (request == EVIOCGID) {
        answerValue(client, input_id{BUS_USB, link.vendor, link.product, 0x0100});
    } else if (request == EVIOCGREP && c.types.test(EV_REP)) {
        answerValue(client, std::array<unsigned, 2>{250, 33});
    } else if (_IOC_DIR(request) == _IOC_READ && nr == _IOC_NR(EVIOCGNAME(0))) {
        answerString(client, size, link.name);
    } else if (_IOC_DIR(request) == _IOC_READ && nr == _IOC_NR(EVIOCGPHYS(0))) {
        answerString(client, size, link.phys);
    } else if (_IOC_DIR(request) == _IOC_READ && nr == _IOC_NR(EVIOCGUNIQ(0))) {
        answerString(client, size, link.uniq);
    } else if (_IOC_DIR(request) == _IOC_READ
               && (nr == _IOC_NR(EVIOCGPROP(0)) || nr == _IOC_NR(EVIOCGKEY(0)) || nr == _IOC_NR(EVIOCGLED(0))
                   || nr == _IOC_NR(EVIOCGSND(0)) || nr == _IOC_NR(EVIOCGSW(0)))) {
        // No properties; every key is up and every light off until the device says otherwise,
        // which the emulated one never does.
        answerBytes(client, size, QByteArray());
    } else if (_IOC_DIR(request) == _IOC_READ && nr >= _IOC_NR(EVIOCGBIT(0, 0))
               && nr < _IOC_NR(EVIOCGBIT(EV_MAX, 0)) + 1) {
        switch (nr - _IOC_NR(EVIOCGBIT(0, 0))) {
        case 0:
            answerBytes(client, size, bitBytes(c.types));
            break;
        case EV_KEY:
            answerBytes(client, size, bitBytes(c.keys));
            break;
        case EV_REL:
            answerBytes(client, size, bitBytes(c.relative));
            break;
        case EV_MSC:
            answerBytes(client, size, bitBytes(c.misc));
            break;
        case EV_LED:
            answerBytes(client, size, bitBytes(c.leds));
            break;
        default:
            answerBytes(client, size, QByteArray());
            break;
        }
    } else if (request == EVIOCGRAB || request == EVIOCSCLOCKID) {
        umockdev_ioctl_client_complete(client, 0, 0);
    } else {
        umockdev_ioctl_client_complete(client, -1, EINVAL);
    }
    return TRUE;
}

// Whole events that are due, as many as the buffer takes; the node never blocks, and with nothing
// due answers as a non-blocking descriptor does.
gboolean onRead(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer data)
{
    EventNode::Link& link = linkOf<EventNode::Link>(data);
    if (link.gone) {
        umockdev_ioctl_client_complete(client, -1, ENODEV);
        return TRUE;
    }
    UMockdevIoctlData* buffer = umockdev_ioctl_client_get_arg(client);
    const std::size_t room = std::size_t(buffer->data_len) / sizeof(input_event);
    if (room == 0) {
        umockdev_ioctl_client_complete(client, -1, EINVAL);
        return TRUE;
    }
    const qint64 now = KeyState::nowMs();
    std::size_t taken = 0;
    {
        std::lock_guard lock(link.mutex);
        std::deque<SentEvent>& queue = link.queues[client];
        while (taken < room && !queue.empty() && queue.front().dueMs <= now) {
            const SentEvent& e = queue.front();
            input_event ev{};
            const qint64 stampMs = e.dueMs + e.stampLaterMs;
            ev.input_event_sec = decltype(ev.input_event_sec)(stampMs / 1000);
            ev.input_event_usec = decltype(ev.input_event_usec)((stampMs % 1000) * 1000);
            ev.type = e.type;
            ev.code = e.code;
            ev.value = e.value;
            std::memcpy(buffer->data + taken * sizeof ev, &ev, sizeof ev);
            queue.pop_front();
            ++taken;
        }
    }
    if (taken == 0)
        umockdev_ioctl_client_complete(client, -1, EAGAIN);
    else
        umockdev_ioctl_client_complete(client, long(taken * sizeof(input_event)), 0);
    return TRUE;
}

// Writes set the lights; they change nothing here.
gboolean onWrite(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer data)
{
    const EventNode::Link& link = linkOf<EventNode::Link>(data);
    if (link.gone) {
        umockdev_ioctl_client_complete(client, -1, ENODEV);
        return TRUE;
    }
    umockdev_ioctl_client_complete(client, umockdev_ioctl_client_get_arg(client)->data_len, 0);
    return TRUE;
}

void onConnected(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer data)
{
    EventNode::Link& link = linkOf<EventNode::Link>(data);
    std::lock_guard lock(link.mutex);
    link.queues[client];
}

void onVanished(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer data)
{
    EventNode::Link& link = linkOf<EventNode::Link>(data);
    std::lock_guard lock(link.mutex);
    link.queues.erase(client);
}

}  // namespace

EventNode::EventNode(UMockdevTestbed* testbed, const KeyModel& model, int interface, const EventLayout& layout)
    : m_testbed(testbed), m_link(std::make_shared<Link>()), m_layout(layout), m_interface(interface)
{
    m_devnode = QStringLiteral("/dev/input/event%1").arg(layout.eventMinor);
    m_link->capabilities = capabilitiesOf(interface);
    m_link->name = nameOf(model, interface).toUtf8();
    m_link->phys = usbPhys(layout.port, interface + 1).toUtf8();
    m_link->uniq = model.serial.toUtf8();
    m_link->vendor = model.vendorId;
    m_link->product = model.productId;

    m_handler = umockdev_ioctl_base_new();
    connectLink(m_handler, "handle-ioctl", G_CALLBACK(onIoctl), m_link);
    connectLink(m_handler, "handle-read", G_CALLBACK(onRead), m_link);
    connectLink(m_handler, "handle-write", G_CALLBACK(onWrite), m_link);
    connectLink(m_handler, "client-connected", G_CALLBACK(onConnected), m_link);
    connectLink(m_handler, "client-vanished", G_CALLBACK(onVanished), m_link);

    attachNode(m_testbed, m_devnode.toUtf8(), m_handler, describe(model, interface, layout), "input devices");
    m_paths = {eventPath(model, layout, interface), inputPath(model, layout, interface),
               hidPath(model, layout, interface), interfacePath(layout, interface)};
}

EventNode::~EventNode()
{
    m_link->gone = true;
    // The kernel removes children first and tells about each device.
    removeNode(m_testbed, m_paths, m_devnode.toUtf8(), m_handler);
}

void EventNode::send(const std::vector<SentEvent>& events)
{
    std::lock_guard lock(m_link->mutex);
    for (auto& [client, queue] : m_link->queues) {
        for (const SentEvent& e : events)
            if (e.interface == m_interface)
                queue.push_back(e);
        while (queue.size() > EventQueueLimit)
            queue.pop_front();
    }
}

int EventNode::opens() const
{
    std::lock_guard lock(m_link->mutex);
    return int(m_link->queues.size());
}

int EventNode::unread() const
{
    std::lock_guard lock(m_link->mutex);
    std::size_t unread = 0;
    for (const auto& [client, queue] : m_link->queues)
        unread += queue.size();
    return int(unread);
}

QString EventNode::describe(const KeyModel& m, int interface, const EventLayout& layout)
{
    const auto devicePath = [](const QString& sysPath) { return sysPath.mid(4); };  // no "/sys"
    const Capabilities c = capabilitiesOf(interface);
    const bool keyboard = interface == KeyboardInterface;
    const QString productCode =
        QStringLiteral("%1/%2/100").arg(QString::number(m.vendorId, 16), QString::number(m.productId, 16));
    const QString phys = usbPhys(layout.port, interface + 1);
    const int minor = FirstEventMinor + layout.eventMinor;

    QString d;
    d += QStringLiteral("P: %1\n").arg(devicePath(interfacePath(layout, interface)));
    d += QStringLiteral("E: SUBSYSTEM=usb\nE: DEVTYPE=usb_interface\nE: INTERFACE=3/1/%1\n").arg(keyboard ? 1 : 2);
    d += QStringLiteral("E: PRODUCT=%1\n").arg(productCode);
    d += QStringLiteral("A: bInterfaceClass=03\nA: bInterfaceSubClass=01\n");
    d += QStringLiteral("A: bInterfaceProtocol=%1\nA: bInterfaceNumber=%2\n\n")
             .arg(keyboard ? QStringLiteral("01") : QStringLiteral("02"))
             .arg(interface + 1, 2, 10, QLatin1Char('0'));

    d += QStringLiteral("P: %1\n").arg(devicePath(hidPath(m, layout, interface)));
    d += QStringLiteral("E: SUBSYSTEM=hid\nE: DRIVER=hid-generic\n");
    d += QStringLiteral("E: HID_ID=0003:0000%1:0000%2\n").arg(hex4(m.vendorId), hex4(m.productId));
    d += QStringLiteral("E: HID_NAME=%1\nE: HID_PHYS=%2\nE: HID_UNIQ=%3\n\n").arg(m.product, phys, m.serial);

    d += QStringLiteral("P: %1\n").arg(devicePath(inputPath(m, layout, interface)));
    d += QStringLiteral("E: SUBSYSTEM=input\nE: PRODUCT=3/%1\n").arg(productCode);
    d += QStringLiteral("E: NAME=\"%1\"\nE: PHYS=\"%2\"\nE: UNIQ=\"%3\"\n").arg(nameOf(m, interface), phys, m.serial);
    d += QStringLiteral("E: EV=%1\nE: KEY=%2\nE: MSC=%3\n")
             .arg(bitProperty(c.types), bitProperty(c.keys), bitProperty(c.misc));
    d += keyboard ? QStringLiteral("E: LED=%1\n").arg(bitProperty(c.leds))
                  : QStringLiteral("E: REL=%1\n").arg(bitProperty(c.relative));
    d += QStringLiteral("E: ID_INPUT=1\nE: %1=1\n")
             .arg(keyboard ? QStringLiteral("ID_INPUT_KEYBOARD") : QStringLiteral("ID_INPUT_MOUSE"));
    d += QStringLiteral("A: name=%1\n\n").arg(nameOf(m, interface));

    d += QStringLiteral("P: %1\n").arg(devicePath(eventPath(m, layout, interface)));
    d += QStringLiteral("E: SUBSYSTEM=input\nE: DEVNAME=/dev/input/event%1\n").arg(layout.eventMinor);
    d += QStringLiteral("E: MAJOR=%1\nE: MINOR=%2\n").arg(InputMajor).arg(minor);
    d += QStringLiteral("E: ID_INPUT=1\nE: %1=1\n")
             .arg(keyboard ? QStringLiteral("ID_INPUT_KEYBOARD") : QStringLiteral("ID_INPUT_MOUSE"));
    d += QStringLiteral("A: dev=%1:%2\n").arg(InputMajor).arg(minor);
    d += QStringLiteral("N: input/event%1\n").arg(layout.eventMinor);
    return d;
}

}  // namespace tavrel::emu
