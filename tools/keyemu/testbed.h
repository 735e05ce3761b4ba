#pragma once
// Emulated programmable keys on an umockdev testbed: each key is a USB device with three
// interfaces: a vendor one with a hid and a hidraw child, whose /dev/hidrawN node is served by the
// key's firmware model, and a keyboard and a mouse one, each with an input device and its
// /dev/input/eventN node, through which the key's presses arrive. Works only in a
// process started under umockdev-wrapper; programs started from that process (which inherit
// LD_PRELOAD and UMOCKDEV_DIR) see the same keys.
//
// The testbed and the plug state of its keys belong to the thread that made the testbed; a
// key's firmware (records, received reports, bindings, switches) may be used from any thread.

#include "keyemu/emulateddevice.h"

#include <QString>

#include <memory>
#include <vector>

typedef struct _UMockdevTestbed UMockdevTestbed;

namespace tavrel::emu {

class Testbed {
public:
    // Throws std::runtime_error outside umockdev-wrapper or when a Testbed exists already.
    Testbed();
    ~Testbed();
    Testbed(const Testbed&) = delete;
    Testbed& operator=(const Testbed&) = delete;

    // Adds the key and plugs it in. Throws std::invalid_argument for a name in use.
    EmulatedDevice& add(const KeyModel& model);
    void unplug(EmulatedDevice& key);
    void plug(EmulatedDevice& key);

    EmulatedDevice* find(const QString& name) const;
    std::vector<EmulatedDevice*> devices() const;
    // The testbed's UMOCKDEV_DIR, for a program started with the preload by other means.
    QString rootDir() const;

    // Devices in umockdev's text form ("P: …", "E: …" lines) beside the keys: what lies under a
    // key's USB device without being one of its interfaces (a keyboard behind a hub port, a
    // Bluetooth device below an adapter). Throws std::runtime_error when umockdev refuses one.
    void addDescribed(const QString& description);
    // Removes a device added so, and every device below it.
    void removeDescribed(const QString& syspath);

private:
    UMockdevTestbed* m_testbed = nullptr;
    std::vector<std::unique_ptr<EmulatedDevice>> m_keys;
    int m_nextMinor = 0;
    int m_nextHidSequence = 1;
    int m_nextDevnum = 2;
    int m_nextInput = 0;
    int m_nextEvent = 0;
    int m_defaultSerials = 0;
};

}  // namespace tavrel::emu
