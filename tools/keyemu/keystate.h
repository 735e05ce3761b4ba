#pragma once
// What an emulated key's owner and its hidraw node's handlers share. The handlers run on
// umockdev's worker thread, the owner on the test's or the emulator program's thread.

#include "keyemu/emulateddevice.h"
#include "keyemu/firmware.h"

#include <QtGlobal>

#include <atomic>
#include <condition_variable>
#include <mutex>

namespace tavrel::emu {

struct KeyState {
    KeyState(KeyModel m, QByteArray descriptor);

    const KeyModel model;
    const QByteArray descriptor;

    mutable std::mutex mutex;
    // Signalled whenever the firmware has taken a report.
    mutable std::condition_variable receivedChanged;
    Firmware firmware;  // guarded by mutex
    // Every open() of the key's node, on any plug.
    std::atomic<int> opens{0};
    // How far the time stamps of the key's input events run ahead of the monotonic clock.
    std::atomic<qint64> clockAheadMs{0};

    // Milliseconds on a monotonic clock: the firmware's time base.
    static qint64 nowMs();
};

}  // namespace tavrel::emu
