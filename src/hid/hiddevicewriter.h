#pragma once
// Writes a device's output reports on a thread of its own, one at a time in the order they were
// queued, and hands each result to the GUI thread. A hidraw write() waits in the USB driver until
// the transfer ends or times out, whatever the descriptor's flags, so the GUI thread never makes
// one itself here.

#include "platform/ioresult.h"

#include <QByteArray>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <thread>

class QSocketNotifier;

namespace tavrel {

class THidNode;

class THidDeviceWriter {
public:
    using Done = std::function<void(const IoResult&)>;

    // Made on the GUI thread, where the results' handlers run. The thread starts with the first
    // write.
    explicit THidDeviceWriter(std::shared_ptr<THidNode> node);
    // Drops the queued writes and their results. Waits a moment for a write in progress to end;
    // one that is still stuck in the driver after that is left to end on its own, and its
    // result is dropped too.
    ~THidDeviceWriter();
    THidDeviceWriter(const THidDeviceWriter&) = delete;
    THidDeviceWriter& operator=(const THidDeviceWriter&) = delete;

    // Queues the report; with a preset result nothing is written and that result is handed back
    // in its turn. done runs on the GUI thread, never from inside this call.
    void enqueue(QByteArray report, Done done, std::optional<IoResult> preset = std::nullopt);

    // How long the destructor waits for a write in progress.
    static constexpr int StopWaitMs = 250;

private:
    struct Shared;
    static void run(std::shared_ptr<Shared> shared);
    void deliver();

    std::shared_ptr<Shared> m_shared;
    // The handlers of the queued writes, in order; only the GUI thread touches them.
    std::deque<Done> m_pending;
    std::unique_ptr<QSocketNotifier> m_notifier;
    std::shared_ptr<const bool> m_alive = std::make_shared<const bool>(true);
    std::thread m_thread;
};

}  // namespace tavrel
