#include "hid/hiddevicewriter.h"

#include "hid/hidnode.h"
#include "platform/hidrawdevice.h"

#include <QMetaObject>
#include <QObject>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <pthread.h>

namespace tavrel {

struct THidDeviceWriter::Shared {
    struct Job {
        QByteArray report;
        Done done;
        std::optional<IoResult> preset;
    };

    std::shared_ptr<THidNode> node;
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<Job> queue;
    // The result handler of the write in progress. It stays here rather than on the worker's
    // stack, so that a stop destroys it on the GUI thread and a worker left behind never
    // touches it.
    std::optional<Done> current;
    // Valid while !stopped; results are posted only with the mutex held and !stopped.
    QObject* context = nullptr;
    bool stopped = false;
    bool exited = false;
};

THidDeviceWriter::THidDeviceWriter(std::shared_ptr<THidNode> node, QObject* guiContext)
    : m_shared(std::make_shared<Shared>())
{
    m_shared->node = std::move(node);
    m_shared->context = guiContext;
}

THidDeviceWriter::~THidDeviceWriter()
{
    std::deque<Shared::Job> dropped;
    std::optional<Done> droppedCurrent;
    {
        std::unique_lock lock(m_shared->mutex);
        m_shared->stopped = true;
        m_shared->context = nullptr;
        dropped.swap(m_shared->queue);
        droppedCurrent.swap(m_shared->current);
        m_shared->changed.notify_all();
        if (m_thread.joinable())
            m_shared->changed.wait_for(lock, std::chrono::milliseconds(StopWaitMs), [this] { return m_shared->exited; });
    }
    if (!m_thread.joinable())
        return;
    {
        std::lock_guard lock(m_shared->mutex);
        if (!m_shared->exited) {
            // Stuck in the driver: the worker owns its descriptor and its share of the state,
            // and ends by itself when the write returns.
            m_thread.detach();
            return;
        }
    }
    m_thread.join();
}

void THidDeviceWriter::enqueue(QByteArray report, Done done, std::optional<IoResult> preset)
{
    std::lock_guard lock(m_shared->mutex);
    m_shared->queue.push_back({std::move(report), std::move(done), std::move(preset)});
    if (!m_thread.joinable())
        m_thread = std::thread(&THidDeviceWriter::run, m_shared);
    m_shared->changed.notify_all();
}

void THidDeviceWriter::run(std::shared_ptr<Shared> shared)
{
    // Debuggers show the class name, as far as the 15 characters allowed go.
    pthread_setname_np(pthread_self(), "THidDeviceWrite");
    using platform::HidrawDevice;
    HidrawDevice handle;
    THidNode& node = *shared->node;

    for (;;) {
        QByteArray report;
        std::optional<IoResult> preset;
        {
            std::unique_lock lock(shared->mutex);
            shared->changed.wait(lock, [&] { return shared->stopped || !shared->queue.empty(); });
            if (shared->stopped)
                break;
            Shared::Job job = std::move(shared->queue.front());
            shared->queue.pop_front();
            report = std::move(job.report);
            preset = std::move(job.preset);
            shared->current = std::move(job.done);
        }

        IoResult result;
        if (preset) {
            result = std::move(*preset);
        } else {
            if (node.gone())
                handle.close();
            if (!handle.isOpen())
                result = node.open(handle, HidrawDevice::Mode::ReadWrite, HidrawDevice::Wait::Blocking);
            if (handle.isOpen()) {
                result = handle.write(std::span(reinterpret_cast<const quint8*>(report.constData()),
                                                std::size_t(report.size())));
                if (result.status == IoResult::Status::Gone) {
                    handle.close();
                    node.suspend();
                }
            }
        }

        std::lock_guard lock(shared->mutex);
        if (shared->stopped)
            break;
        if (shared->current && *shared->current) {
            QMetaObject::invokeMethod(
                shared->context, [done = std::move(*shared->current), result] { done(result); },
                Qt::QueuedConnection);
        }
        shared->current.reset();
    }

    handle.close();
    std::lock_guard lock(shared->mutex);
    shared->exited = true;
    shared->changed.notify_all();
}

}  // namespace tavrel
