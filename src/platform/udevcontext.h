#pragma once
// One libudev library context, shared by the enumeration, the monitor and the devices.

#include <memory>

struct udev;

namespace tavrel::platform {

class UdevContext {
public:
    // nullptr when libudev cannot give a context; the device layer then stays inert.
    static std::shared_ptr<UdevContext> create();

    ~UdevContext();
    UdevContext(const UdevContext&) = delete;
    UdevContext& operator=(const UdevContext&) = delete;

    udev* handle() const { return m_udev; }

private:
    explicit UdevContext(udev* u) : m_udev(u) {}
    udev* m_udev;
};

}  // namespace tavrel::platform
