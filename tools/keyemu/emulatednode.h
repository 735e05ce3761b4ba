#pragma once
// What the emulated hidraw and input event nodes share: a handler's link to the node's state, the
// answers to ioctl() requests as the kernel gives them, and attaching and removing a node on the
// testbed.

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <umockdev.h>

#include <cstring>
#include <memory>

namespace tavrel::emu {

// Vendor and product ids as sysfs writes them in device names: four upper-case hex digits.
QString hex4(int value);

// Where a key plugged into `port` sits in sysfs: its USB device, its USB interface number
// `interface` ("1-3:1.0"), and the hid device on that interface (instance `hidSequence`).
QString usbDevicePath(int port);
QString usbInterfacePath(int port, int interface);
QString hidDevicePath(int vendorId, int productId, int port, int interface, int hidSequence);
// The physical path the kernel reports for that interface ("usb-0000:00:14.0-3/input0").
QString usbPhys(int port, int interface);

// The handler's signals carry a reference to the node's link, so a handler that umockdev still
// runs after the node has gone finds the link alive.
template <typename Link>
Link& linkOf(gpointer data)
{
    return **static_cast<std::shared_ptr<Link>*>(data);
}

template <typename Link>
void connectLink(UMockdevIoctlBase* handler, const char* signal, GCallback callback, const std::shared_ptr<Link>& link)
{
    g_signal_connect_data(
        handler, signal, callback, new std::shared_ptr<Link>(link),
        [](gpointer data, GClosure*) { delete static_cast<std::shared_ptr<Link>*>(data); }, GConnectFlags(0));
}

// The ioctl argument as a local copy of `size` bytes, which umockdev writes back; null when the
// caller's memory cannot be reached.
UMockdevIoctlData* resolveArgument(UMockdevIoctlClient* client, std::size_t size);

// Copies `bytes` into the caller's buffer of `size` bytes, cut to it and the rest zeroed, and
// returns the length, as the kernel answers its variable-length bitmap requests.
void answerBytes(UMockdevIoctlClient* client, std::size_t size, const QByteArray& bytes);

// A string with its terminating zero, cut to the caller's buffer; returns the bytes copied.
void answerString(UMockdevIoctlClient* client, std::size_t size, const QByteArray& text);

// A fixed-size value, filled in by `fill` from what the caller passed; `fill` returns an errno
// value, 0 for success.
template <typename T, typename Fill>
void answerStruct(UMockdevIoctlClient* client, Fill fill)
{
    UMockdevIoctlData* data = resolveArgument(client, sizeof(T));
    if (!data) {
        umockdev_ioctl_client_complete(client, -1, EFAULT);
        return;
    }
    T value;
    std::memcpy(&value, data->data, sizeof(T));
    const int error = fill(value);
    std::memcpy(data->data, &value, sizeof(T));
    g_object_unref(data);
    umockdev_ioctl_client_complete(client, error ? -1 : 0, error);
}

template <typename T>
void answerValue(UMockdevIoctlClient* client, const T& value)
{
    answerStruct<T>(client, [&](T& out) {
        out = value;
        return 0;
    });
}

// Attaches `handler` to the node `devnode` and adds the devices `description` lists (umockdev's
// record format); on failure undoes what was done, releases the handler and throws, naming `what`.
void attachNode(UMockdevTestbed* testbed, const QByteArray& devnode, UMockdevIoctlBase* handler,
                const QString& description, const char* what);

// Sends the remove uevents a real unplug sends, for `paths` (children first), makes descriptors
// still open on the node see it hang up, detaches and releases the handler.
void removeNode(UMockdevTestbed* testbed, const QStringList& paths, const QByteArray& devnode,
                UMockdevIoctlBase* handler);

// Makes descriptors still open on an emulated node see it hang up, as on a device that has gone
// (see emulatednode.cpp).
void hangUpNode(UMockdevTestbed* testbed, const QByteArray& devnode);

}  // namespace tavrel::emu
