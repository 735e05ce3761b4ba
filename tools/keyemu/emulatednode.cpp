#include "keyemu/emulatednode.h"

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <stdexcept>
#include <string>

namespace tavrel::emu {

QString hex4(int value)
{
    return QStringLiteral("%1").arg(value, 4, 16, QLatin1Char('0')).toUpper();
}

QString usbDevicePath(int port)
{
    return QStringLiteral("/sys/devices/pci0000:00/0000:00:14.0/usb1/1-%1").arg(port);
}

QString usbInterfacePath(int port, int interface)
{
    return usbDevicePath(port) + QStringLiteral("/1-%1:1.%2").arg(port).arg(interface);
}

QString hidDevicePath(int vendorId, int productId, int port, int interface, int hidSequence)
{
    return usbInterfacePath(port, interface)
           + QStringLiteral("/0003:%1:%2.%3").arg(hex4(vendorId), hex4(productId), hex4(hidSequence));
}

QString usbPhys(int port, int interface)
{
    return QStringLiteral("usb-0000:00:14.0-%1/input%2").arg(port).arg(interface);
}

UMockdevIoctlData* resolveArgument(UMockdevIoctlClient* client, std::size_t size)
{
    GError* error = nullptr;
    UMockdevIoctlData* data = umockdev_ioctl_data_resolve(umockdev_ioctl_client_get_arg(client), 0, size, &error);
    if (error)
        g_error_free(error);
    return data;
}

namespace {

void answerCopy(UMockdevIoctlClient* client, std::size_t size, const char* bytes, std::size_t count, bool zeroRest)
{
    UMockdevIoctlData* data = resolveArgument(client, size);
    if (!data) {
        umockdev_ioctl_client_complete(client, -1, EFAULT);
        return;
    }
    if (zeroRest)
        std::memset(data->data, 0, size);
    const std::size_t length = std::min(count, size);
    std::memcpy(data->data, bytes, length);
    g_object_unref(data);
    umockdev_ioctl_client_complete(client, long(length), 0);
}

}  // namespace

void answerBytes(UMockdevIoctlClient* client, std::size_t size, const QByteArray& bytes)
{
    answerCopy(client, size, bytes.constData(), std::size_t(bytes.size()), true);
}

void answerString(UMockdevIoctlClient* client, std::size_t size, const QByteArray& text)
{
    answerCopy(client, size, text.constData(), std::size_t(text.size()) + 1, false);  // constData() ends in a zero
}

namespace {

[[noreturn]] void throwFrom(GError* error, const std::string& what)
{
    const std::string message = error ? error->message : "unknown error";
    if (error)
        g_error_free(error);
    throw std::runtime_error(what + ": " + message);
}

}  // namespace

void attachNode(UMockdevTestbed* testbed, const QByteArray& devnode, UMockdevIoctlBase* handler,
                const QString& description, const char* what)
{
    GError* error = nullptr;
    if (!umockdev_testbed_attach_ioctl(testbed, devnode.constData(), handler, &error)) {
        g_object_unref(handler);
        throwFrom(error, "cannot attach a handler to " + devnode.toStdString());
    }
    if (!umockdev_testbed_add_from_string(testbed, description.toUtf8().constData(), &error)) {
        umockdev_testbed_detach_ioctl(testbed, devnode.constData(), nullptr);
        g_object_unref(handler);
        throwFrom(error, std::string("cannot add the key's ") + what);
    }
}

void removeNode(UMockdevTestbed* testbed, const QStringList& paths, const QByteArray& devnode,
                UMockdevIoctlBase* handler)
{
    for (const QString& path : paths) {
        const QByteArray p = path.toUtf8();
        umockdev_testbed_uevent(testbed, p.constData(), "remove");
        umockdev_testbed_remove_device(testbed, p.constData());
    }
    hangUpNode(testbed, devnode);
    umockdev_testbed_detach_ioctl(testbed, devnode.constData(), nullptr);
    g_object_unref(handler);
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

}  // namespace tavrel::emu
