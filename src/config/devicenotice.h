#pragma once
// What one Tavrel process tells the others after it wrote a device: the records the device holds
// as that process knows them, and which of them the write sent. Every process of the user that
// holds the same device takes it, so none of them writes back records that another replaced.
//
// The notice is a few lines of text:
//
//     tavrel-device-notice 1
//     device /sys/devices/.../hidraw/hidraw3
//     from 4711-5f3a09c2e1d07b44:3
//     key 0 03 06 00 00 00 written
//     key 1 00 00 00 00 00
//
// "device" names the device's node in sysfs, which the kernel names anew at every plug, so a
// notice never reaches a device plugged in later at the same port. "from" names the write: the
// writing process and its count of writes. Each "key" line holds a key index (0 to 7) and the
// record's five bytes; "written" marks the keys this write sent. Anything else is no notice.

#include "config/keyrecord.h"

#include <QByteArray>
#include <QString>
#include <array>
#include <optional>

namespace tavrel {

struct DeviceNotice {
    struct Key {
        KeyRecord record;
        bool written = false;
        friend bool operator==(const Key&, const Key&) = default;
    };

    QString device;
    QString from;
    std::array<std::optional<Key>, KeySlots> keys;

    friend bool operator==(const DeviceNotice&, const DeviceNotice&) = default;
};

QByteArray encodeNotice(const DeviceNotice& notice);
// The notice, or none for bytes that are not one whole notice.
std::optional<DeviceNotice> decodeNotice(const QByteArray& bytes);

}  // namespace tavrel
