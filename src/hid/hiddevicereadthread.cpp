#include "hid/hiddevicereadthread.h"

#include "hid/handover.h"
#include "hid/hiddevice.h"
#include "hid/hidnode.h"
#include "platform/hidrawdevice.h"

#include <algorithm>
#include <cerrno>
#include <pthread.h>

namespace tavrel {

namespace {

// A device without a parsed descriptor still gets its reports, up to this size.
constexpr int UnknownInputLength = 64;

}  // namespace

THidDeviceReadThread::THidDeviceReadThread(THidDevice* source, QObject* guiContext, const Setup& setup)
    : m_source(source),
      m_setup(setup),
      m_handOver(HandOver::create(guiContext)),
      m_readPeriod(setup.readPeriod),
      m_pollPeriod(setup.pollPeriod),
      m_reportBuffer(std::size_t(setup.inputLength > 0 ? setup.inputLength : UnknownInputLength))
{
}

THidDeviceReadThread::~THidDeviceReadThread()
{
    stopAndWait();
}

void THidDeviceReadThread::setReadPeriod(int ms)
{
    m_readPeriod = ms;
}

void THidDeviceReadThread::setPollPeriod(int ms)
{
    m_pollPeriod = ms;
    m_wake.signal();
}

void THidDeviceReadThread::markGone()
{
    m_gone = true;
    m_wake.signal();
}

void THidDeviceReadThread::wake()
{
    m_wake.signal();
}

void THidDeviceReadThread::start()
{
    if (!m_thread.joinable())
        m_thread = std::thread([this] { run(); });
}

bool THidDeviceReadThread::handingOver() const
{
    return m_handOver->pending();
}

void THidDeviceReadThread::stopAndWait()
{
    if (!m_thread.joinable())
        return;
    m_stop = true;
    m_wake.signal();
    m_handOver->waitUntilFinished();
    m_thread.join();
}

bool THidDeviceReadThread::handOver(std::function<void()> request)
{
    return !m_handOver->run(std::move(request));
}

void THidDeviceReadThread::pause()
{
    if (m_wake.wait(m_readPeriod))
        m_wake.drain();
}

void THidDeviceReadThread::run()
{
    struct Finish {
        HandOver& handOver;
        ~Finish() { handOver.finished(); }
    } finish{*m_handOver};
    // Debuggers show the class name, as far as the 15 characters allowed go.
    pthread_setname_np(pthread_self(), "THidDeviceReadT");

    // The reader alone opens and closes this descriptor, so a number the GUI thread's closing
    // frees can never be read by mistake.
    platform::HidrawDevice readHandle;
    bool justDelivered = false;
    THidDevice* const source = m_source;
    const auto reportFailure = [&](quint32 error) {
        m_lastError = error;
        if (!handOver([source, error] { source->deliverReadError(error); }))
            return false;
        // A failing node fails at once every time: wait a period rather than spin.
        pause();
        return true;
    };

    while (!m_stop) {
        std::fill(m_reportBuffer.begin(), m_reportBuffer.end(), quint8(0));
        if (m_gone)
            readHandle.close();
        if (!readHandle.isOpen()) {
            // After a failure the node stays shut until a scan settles whether it is still ours.
            const IoResult opened = m_gone ? IoResult::fromErrno(ENODEV)
                                           : m_setup.node->open(readHandle, platform::HidrawDevice::Mode::Read,
                                                                platform::HidrawDevice::Wait::NonBlocking);
            if (!readHandle.isOpen()) {
                if (!reportFailure(quint32(opened.error ? opened.error : ENODEV)))
                    break;
                continue;
            }
        }

        // Right after a report more may be queued on an emulated node; a real one says so.
        const int pollPeriod = m_pollPeriod;
        const bool emulated = pollPeriod > 0;
        const int timeout = !emulated ? -1 : justDelivered ? 0 : pollPeriod;
        const auto result = readHandle.read(m_reportBuffer, timeout, m_wake.fd(), m_setup.withoutReportIds, emulated);
        justDelivered = false;
        // A report already taken from the node is still handed over: the stop runs it.
        if (m_stop && result.kind != platform::HidrawDevice::ReadResult::Report)
            break;

        switch (result.kind) {
        case platform::HidrawDevice::ReadResult::Woken:
            m_wake.drain();
            break;
        case platform::HidrawDevice::ReadResult::Nothing:
            break;
        case platform::HidrawDevice::ReadResult::Failed:
            readHandle.close();
            m_setup.node->suspend();
            if (!reportFailure(quint32(result.error)))
                return;
            break;
        case platform::HidrawDevice::ReadResult::Report: {
            m_bytesRead = quint32(result.size);
            const QByteArray report(reinterpret_cast<const char*>(m_reportBuffer.data()), int(m_bytesRead));
            if (!handOver([source, report] { source->deliverReport(report); }))
                return;
            justDelivered = true;
            break;
        }
        }
    }
}

}  // namespace tavrel
