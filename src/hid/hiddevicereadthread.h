#pragma once
// Reads a claimed device's input reports and hands each to the GUI thread, waiting until its
// handler has run, so reports are handled one at a time and in order. On a real node it sleeps
// in poll() until a report comes or it is told something; only for emulated nodes, which never
// signal data, does it also try a read after every poll period.

#include "platform/wakeevent.h"

#include <QByteArray>
#include <QString>
#include <atomic>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

class QObject;

namespace tavrel {

class HandOver;
class THidDevice;
class THidNode;

class THidDeviceReadThread {
public:
    struct Setup {
        std::shared_ptr<THidNode> node;
        int inputLength = 0;  // counts the report-ID byte
        bool withoutReportIds = false;
        // The pause between two reports of a failing node.
        int readPeriod = 100;
        // 0: wait in poll() for as long as it takes; otherwise also read after each such period.
        int pollPeriod = 0;
    };

    // Made and driven by its device on the GUI thread; start() starts the loop.
    THidDeviceReadThread(THidDevice* source, QObject* guiContext, const Setup& setup);
    ~THidDeviceReadThread();
    THidDeviceReadThread(const THidDeviceReadThread&) = delete;
    THidDeviceReadThread& operator=(const THidDeviceReadThread&) = delete;

    void start();
    void setReadPeriod(int ms);
    void setPollPeriod(int ms);
    // The device is gone: the reader closes its node and from then on reports failed reads.
    void markGone();
    // Something changed that the loop should look at now, such as a scan letting the node open.
    void wake();
    // Asks the loop to end and waits for it; runs a hand-over the reader waits for meanwhile.
    void stopAndWait();
    // The reader holds a report and waits for the GUI thread to take it.
    bool handingOver() const;

private:
    void run();
    // false when the request threw: the reader then ends.
    bool handOver(std::function<void()> request);
    void pause();

    THidDevice* const m_source;
    const Setup m_setup;
    std::shared_ptr<HandOver> m_handOver;
    platform::WakeEvent m_wake;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_gone{false};
    std::atomic<int> m_readPeriod;
    std::atomic<int> m_pollPeriod;

    // Used by the reader's thread only.
    std::vector<quint8> m_reportBuffer;
    quint32 m_bytesRead = 0;
    quint32 m_lastError = 0;

    std::thread m_thread;
};

}  // namespace tavrel
