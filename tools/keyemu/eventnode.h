#pragma once
// One input interface of a plugged-in emulated key, keyboard or mouse: the USB interface, its hid
// device, the input device and its /dev/input/eventN node, with the handler that answers the
// ioctl() and read() calls libevdev makes on it. Every descriptor open on the node gets each event
// sent after it was opened, as on a real event device, up to a limit of events not read. Removing it sends the remove uevents; a
// descriptor still open then fails as on an event device that has gone.

#include "keyemu/emulateddevice.h"
#include "keyemu/firmware.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

typedef struct _UMockdevTestbed UMockdevTestbed;
typedef struct _UMockdevIoctlBase UMockdevIoctlBase;

namespace tavrel::emu {

struct EventLayout {
    int port = 1;         // the USB port of the key's USB device
    int hidSequence = 2;  // the hid device's instance number, new on every plug
    int inputNumber = 0;  // inputN, new on every plug
    int eventMinor = 0;   // eventN, new on every plug
};

class EventNode {
public:
    // `interface` is KeyboardInterface or MouseInterface. The key's USB device must be in the
    // testbed already. Throws std::runtime_error on failure.
    EventNode(UMockdevTestbed* testbed, const KeyModel& model, int interface, const EventLayout& layout);
    ~EventNode();
    EventNode(const EventNode&) = delete;
    EventNode& operator=(const EventNode&) = delete;

    int interface() const { return m_interface; }
    QString devnode() const { return m_devnode; }
    // Queues the events of this interface for every descriptor open on the node.
    void send(const std::vector<SentEvent>& events);
    // Descriptors opened on the node.
    int opens() const;
    // Events queued for the descriptors open on the node and not read yet, summed over them.
    int unread() const;

    // The udev description of the interface's four devices, parents first.
    static QString describe(const KeyModel& model, int interface, const EventLayout& layout);

    struct Link;

private:
    UMockdevTestbed* m_testbed;
    UMockdevIoctlBase* m_handler = nullptr;
    std::shared_ptr<Link> m_link;
    EventLayout m_layout;
    int m_interface;
    QString m_devnode;
    // The four devices' sysfs paths, children first.
    QStringList m_paths;
};

}  // namespace tavrel::emu
