// keyemu-probe DEVNODE: run as the emulator's child, it does what Tavrel does with a key from
// another process: finds the hidraw devices with libudev, then opens DEVNODE, asks for key 3
// and waits for the answer. Prints what it found on standard output; exit status 0 when the
// key answered.

#include <libudev.h>

#include <fcntl.h>
#include <linux/hidraw.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdio>

namespace {

const char* value(const char* text)
{
    return text ? text : "(none)";
}

void listKeys()
{
    udev* u = udev_new();
    udev_enumerate* e = udev_enumerate_new(u);
    udev_enumerate_add_match_subsystem(e, "hidraw");
    udev_enumerate_scan_devices(e);
    udev_list_entry* entry;
    udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(e))
    {
        udev_device* d = udev_device_new_from_syspath(u, udev_list_entry_get_name(entry));
        if (!d)
            continue;
        udev_device* usb = udev_device_get_parent_with_subsystem_devtype(d, "usb", "usb_device");
        std::printf("node=%s serial=%s product=%s\n", value(udev_device_get_devnode(d)),
                    value(usb ? udev_device_get_sysattr_value(usb, "serial") : nullptr),
                    value(usb ? udev_device_get_sysattr_value(usb, "product") : nullptr));
        udev_device_unref(d);
    }
    udev_enumerate_unref(e);
    udev_unref(u);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: keyemu-probe DEVNODE\n");
        return 2;
    }
    listKeys();

    const int fd = ::open(argv[1], O_RDWR | O_NONBLOCK);
    if (fd < 0) {
        std::perror(argv[1]);
        return 1;
    }
    hidraw_devinfo info{};
    if (::ioctl(fd, HIDIOCGRAWINFO, &info) == 0)
        std::printf("info vendor=%04hx product=%04hx\n", info.vendor, info.product);

    const unsigned char request[8] = {0x02, 0x01, 0x03, 0, 0, 0, 0, 0};
    if (::write(fd, request, sizeof request) != sizeof request) {
        std::perror("write");
        return 1;
    }
    // poll() never reports data on an emulated node, so read after each time-out.
    for (int attempt = 0; attempt < 200; ++attempt) {
        pollfd p{fd, POLLIN, 0};
        ::poll(&p, 1, 50);
        unsigned char answer[64];
        const ssize_t n = ::read(fd, answer, sizeof answer);
        if (n > 0) {
            std::printf("answer");
            for (ssize_t i = 0; i < n; ++i)
                std::printf(" %02X", answer[i]);
            std::printf("\n");
            ::close(fd);
            return 0;
        }
    }
    std::printf("no answer\n");
    ::close(fd);
    return 1;
}
