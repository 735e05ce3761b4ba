#include "platform/udevcontext.h"

#include <libudev.h>

namespace tavrel::platform {

std::shared_ptr<UdevContext> UdevContext::create()
{
    udev* u = udev_new();
    if (!u)
        return nullptr;
    return std::shared_ptr<UdevContext>(new UdevContext(u));
}

UdevContext::~UdevContext()
{
    udev_unref(m_udev);
}

}  // namespace tavrel::platform
