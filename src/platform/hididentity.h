#pragma once

#include <QtGlobal>

namespace tavrel::platform {

struct HidIdentity {
    quint16 vendorId = 0;
    quint16 productId = 0;
    quint16 version = 0;

    bool operator==(const HidIdentity&) const = default;
};

}  // namespace tavrel::platform
