#pragma once
// The device node of one held interface: one descriptor, opened once and shared by the reads and
// the writes for as long as the interface is held.
//
// A hidraw write() waits in the USB driver until the transfer ends or times out, whatever the
// descriptor's flags, and while it waits every open() and close() of any hidraw node waits with
// it. So the GUI thread never opens, writes or closes a node: those run in order on a worker
// thread of this node's own, which starts when there is work and ends when there is none, and
// hands each result back to the GUI thread. Reads do not wait in the driver: the GUI thread reads
// the open descriptor itself when its event loop says there is something to read.

#include "platform/hidrawdevice.h"
#include "platform/ioresult.h"

#include <QByteArray>
#include <QString>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <span>

class QSocketNotifier;

namespace tavrel {

class HidNodeIo {
public:
    using Done = std::function<void(const IoResult&)>;

    // `udevNumber`: the device number udev gave the node, when it gave one. Made on the GUI
    // thread, where every `done` runs.
    HidNodeIo(QString devnode, std::optional<quint64> udevNumber);
    // Closes the node once the work queued before is done, without waiting for it: a write stuck
    // in the driver keeps the descriptor and its worker until it returns. No `done` runs after.
    ~HidNodeIo();
    HidNodeIo(const HidNodeIo&) = delete;
    HidNodeIo& operator=(const HidNodeIo&) = delete;

    const QString& path() const { return m_path; }

    // Opens the node for reading and writing. The first opening must find the device udev
    // numbered, and an opening after a close the same node the first one did: otherwise the
    // node name has passed to another device, and this node is gone for good (ESTALE).
    void open(Done done);
    // Writes one report (report ID first).
    void write(QByteArray report, Done done);
    // Answers `result` in its turn, without touching the node: for a write refused up front that
    // must not overtake the ones queued before it.
    void answer(IoResult result, Done done);
    // Closes the descriptor once the work queued before is done. The GUI thread reads it no more
    // from now on.
    void close();

    // The open descriptor, for the GUI thread's reads; -1 while not open.
    int descriptor() const { return m_descriptor; }
    // A non-blocking read of one report on the GUI thread.
    platform::HidrawDevice::ReadResult read(std::span<quint8> buffer, bool withoutReportIds);

    // The worker threads running now, over every node (for benchmarks and tests).
    static int runningWorkers();

private:
    struct Shared;
    enum class JobKind { Open, Write, Close, Answer };
    void enqueue(JobKind kind, QByteArray report, Done done, IoResult preset = {});
    void deliver();
    static void run(std::shared_ptr<Shared> shared);

    const QString m_path;
    std::shared_ptr<Shared> m_shared;
    int m_descriptor = -1;
    // The `done` of each queued job, in order; only the GUI thread touches them.
    std::deque<std::pair<JobKind, Done>> m_pending;
    std::unique_ptr<QSocketNotifier> m_notifier;
    std::shared_ptr<const bool> m_alive = std::make_shared<const bool>(true);
};

}  // namespace tavrel
