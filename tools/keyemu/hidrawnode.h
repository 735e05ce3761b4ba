#pragma once
// One plugged-in presence of an emulated key: the USB device, its interface, the hid device and
// the hidraw device in the testbed's sysfs, and the handler that answers ioctl(), read() and
// write() on /dev/hidrawN. Removing it sends the remove uevents a real unplug sends; a
// descriptor still open on the node then fails as on a real hidraw node that has gone.

#include <QByteArray>
#include <QString>

#include <memory>

typedef struct _UMockdevTestbed UMockdevTestbed;
typedef struct _UMockdevIoctlBase UMockdevIoctlBase;

namespace tavrel::emu {

struct KeyState;

struct NodeLayout {
    int port = 1;         // USB port on bus 1: the same for a key each time it is plugged
    int minor = 0;        // hidrawN
    int hidSequence = 1;  // the hid device's instance number, new on every plug
    int devnum = 2;       // the USB device number, new on every plug
};

class HidrawNode {
public:
    // Attaches the handler first, then adds the devices (a client that opens the node in
    // between would otherwise reach no handler). Throws std::runtime_error on failure.
    HidrawNode(UMockdevTestbed* testbed, std::shared_ptr<KeyState> state, const NodeLayout& layout);
    ~HidrawNode();
    HidrawNode(const HidrawNode&) = delete;
    HidrawNode& operator=(const HidrawNode&) = delete;

    QString devnode() const { return m_devnode; }
    QString syspath() const;

    // The udev description of the four devices, parents first.
    static QString describe(const KeyState& state, const NodeLayout& layout);

    struct Link;

private:
    void remove();

    UMockdevTestbed* m_testbed;
    UMockdevIoctlBase* m_handler = nullptr;
    std::shared_ptr<Link> m_link;
    NodeLayout m_layout;
    QString m_devnode;
};

}  // namespace tavrel::emu
