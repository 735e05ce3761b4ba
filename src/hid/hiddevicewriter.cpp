#include "hid/hiddevicewriter.h"

#include "hid/hidnode.h"
#include "platform/hidrawdevice.h"
#include "platform/wakeevent.h"

#include <QSocketNotifier>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <pthread.h>

namespace tavrel {

// What the GUI side and the worker share; a worker left behind by a stop keeps it alive.
struct THidDeviceWriter::Shared {
    struct Job {
        QByteArray report;
        std::optional<IoResult> preset;
    };

    std::shared_ptr<THidNode> node;
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<Job> jobs;
    std::deque<IoResult> results;
    // Rings the GUI thread when a result is there. An eventfd rather than Qt's event queue, whose
    // futexes ThreadSanitizer cannot see: the results pass under the mutex alone.
    platform::WakeEvent bell;
    bool stopped = false;
    bool exited = false;
};

THidDeviceWriter::THidDeviceWriter(std::shared_ptr<THidNode> node) : m_shared(std::make_shared<Shared>())
{
    m_shared->node = std::move(node);
    m_notifier = std::make_unique<QSocketNotifier>(qintptr(m_shared->bell.fd()), QSocketNotifier::Read);
    QObject::connect(m_notifier.get(), &QSocketNotifier::activated, m_notifier.get(), [this] { deliver(); });
}

THidDeviceWriter::~THidDeviceWriter()
{
    m_alive.reset();
    {
        std::unique_lock lock(m_shared->mutex);
        m_shared->stopped = true;
        m_shared->jobs.clear();
        m_shared->changed.notify_all();
        if (m_thread.joinable())
            m_shared->changed.wait_for(lock, std::chrono::milliseconds(StopWaitMs), [this] { return m_shared->exited; });
        if (m_thread.joinable() && !m_shared->exited) {
            // Stuck in the driver: the worker owns its descriptor and its share of the state,
            // and ends by itself when the write returns.
            m_thread.detach();
        }
    }
    if (m_thread.joinable())
        m_thread.join();
    m_notifier.reset();
}

void THidDeviceWriter::enqueue(QByteArray report, Done done, std::optional<IoResult> preset)
{
    m_pending.push_back(std::move(done));
    std::lock_guard lock(m_shared->mutex);
    m_shared->jobs.push_back({std::move(report), std::move(preset)});
    if (!m_thread.joinable())
        m_thread = std::thread(&THidDeviceWriter::run, m_shared);
    m_shared->changed.notify_all();
}

void THidDeviceWriter::deliver()
{
    m_shared->bell.drain();
    const std::weak_ptr<const bool> alive = m_alive;
    for (;;) {
        IoResult result;
        {
            std::lock_guard lock(m_shared->mutex);
            if (m_shared->results.empty() || m_pending.empty())
                return;
            result = std::move(m_shared->results.front());
            m_shared->results.pop_front();
        }
        const Done done = std::move(m_pending.front());
        m_pending.pop_front();
        if (done)
            done(result);
        // A handler may have destroyed the device and with it this writer.
        if (alive.expired())
            return;
    }
}

void THidDeviceWriter::run(std::shared_ptr<Shared> shared)
{
    // Debuggers show the class name, as far as the 15 characters allowed go.
    pthread_setname_np(pthread_self(), "THidDeviceWrite");
    using platform::HidrawDevice;
    HidrawDevice handle;
    THidNode& node = *shared->node;

    for (;;) {
        Shared::Job job;
        {
            std::unique_lock lock(shared->mutex);
            shared->changed.wait(lock, [&] { return shared->stopped || !shared->jobs.empty(); });
            if (shared->stopped)
                break;
            job = std::move(shared->jobs.front());
            shared->jobs.pop_front();
        }

        IoResult result;
        if (job.preset) {
            result = std::move(*job.preset);
        } else {
            if (node.gone())
                handle.close();
            if (!handle.isOpen())
                result = node.open(handle, HidrawDevice::Mode::ReadWrite, HidrawDevice::Wait::Blocking);
            if (handle.isOpen()) {
                result = handle.write(std::span(reinterpret_cast<const quint8*>(job.report.constData()),
                                                std::size_t(job.report.size())));
                if (result.status == IoResult::Status::Gone) {
                    handle.close();
                    node.suspend();
                }
            }
        }

        std::lock_guard lock(shared->mutex);
        if (shared->stopped)
            break;
        shared->results.push_back(std::move(result));
        shared->bell.signal();
    }

    handle.close();
    std::lock_guard lock(shared->mutex);
    shared->exited = true;
    shared->changed.notify_all();
}

}  // namespace tavrel
