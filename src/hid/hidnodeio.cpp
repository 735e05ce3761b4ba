#include "hid/hidnodeio.h"

#include "platform/wakeevent.h"

#include <QSocketNotifier>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <pthread.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <thread>

namespace tavrel {

using platform::HidrawDevice;

namespace {

std::atomic<int> s_runningWorkers{0};

}  // namespace

// What the GUI side and the worker share; a worker still running after the GUI side has gone
// keeps it alive, and with it the descriptor, which the worker then closes.
struct HidNodeIo::Shared {
    struct Job {
        JobKind kind;
        QByteArray report;
        IoResult preset;
    };
    struct Result {
        IoResult io;
        int descriptor = -1;
    };

    QString path;
    std::optional<quint64> udevNumber;

    std::mutex mutex;
    std::deque<Job> jobs;
    std::deque<Result> results;
    bool workerRunning = false;
    // Rings the GUI thread when a result is there. An eventfd rather than Qt's event queue, whose
    // futexes ThreadSanitizer cannot see: the results pass under the mutex alone.
    platform::WakeEvent bell;

    // The worker's own from here on: only the one worker running at a time touches them.
    HidrawDevice node;
    std::optional<HidrawDevice::NodeId> first;
    bool gone = false;

    Result open();
};

HidNodeIo::HidNodeIo(QString devnode, std::optional<quint64> udevNumber)
    : m_path(std::move(devnode)), m_shared(std::make_shared<Shared>())
{
    m_shared->path = m_path;
    m_shared->udevNumber = udevNumber;
    m_notifier = std::make_unique<QSocketNotifier>(qintptr(m_shared->bell.fd()), QSocketNotifier::Read);
    QObject::connect(m_notifier.get(), &QSocketNotifier::activated, m_notifier.get(), [this] { deliver(); });
}

HidNodeIo::~HidNodeIo()
{
    m_alive.reset();
    m_pending.clear();
    // Whatever is queued still runs, in order, and the close goes last; nobody hears of it.
    close();
    m_notifier.reset();
}

void HidNodeIo::open(Done done)
{
    enqueue(JobKind::Open, {}, std::move(done));
}

void HidNodeIo::write(QByteArray report, Done done)
{
    enqueue(JobKind::Write, std::move(report), std::move(done));
}

void HidNodeIo::answer(IoResult result, Done done)
{
    enqueue(JobKind::Answer, {}, std::move(done), std::move(result));
}

void HidNodeIo::close()
{
    m_descriptor = -1;
    enqueue(JobKind::Close, {}, {});
}

void HidNodeIo::enqueue(JobKind kind, QByteArray report, Done done, IoResult preset)
{
    if (m_alive)
        m_pending.emplace_back(kind, std::move(done));
    std::lock_guard lock(m_shared->mutex);
    m_shared->jobs.push_back({kind, std::move(report), std::move(preset)});
    if (!m_shared->workerRunning) {
        m_shared->workerRunning = true;
        ++s_runningWorkers;
        std::thread(&HidNodeIo::run, m_shared).detach();
    }
}

HidrawDevice::ReadResult HidNodeIo::read(std::span<quint8> buffer, bool withoutReportIds)
{
    if (m_descriptor < 0)
        return {HidrawDevice::ReadResult::Failed, 0, EBADF};
    return HidrawDevice::readAvailable(m_descriptor, buffer, withoutReportIds);
}

int HidNodeIo::runningWorkers()
{
    return s_runningWorkers;
}

void HidNodeIo::deliver()
{
    m_shared->bell.drain();
    const std::weak_ptr<const bool> alive = m_alive;
    for (;;) {
        Shared::Result result;
        {
            std::lock_guard lock(m_shared->mutex);
            if (m_shared->results.empty() || m_pending.empty())
                return;
            result = std::move(m_shared->results.front());
            m_shared->results.pop_front();
        }
        auto [kind, done] = std::move(m_pending.front());
        m_pending.pop_front();
        // The descriptor is the GUI thread's to read only while no close was asked for since.
        const bool closeQueued =
            std::any_of(m_pending.begin(), m_pending.end(), [](const auto& p) { return p.first == JobKind::Close; });
        if (kind == JobKind::Open && result.io.ok() && !closeQueued)
            m_descriptor = result.descriptor;
        if (done)
            done(result.io);
        // A handler may have destroyed the device and with it this object.
        if (alive.expired())
            return;
    }
}

HidNodeIo::Shared::Result HidNodeIo::Shared::open()
{
    if (gone)
        return {IoResult::fromErrno(ESTALE, QStringLiteral("%1 now belongs to another device").arg(path))};
    if (node.isOpen())
        return {IoResult::success(0), node.descriptor()};
    HidrawDevice opened = HidrawDevice::open(path, HidrawDevice::Mode::ReadWrite);
    if (!opened.isOpen())
        return {IoResult::fromErrno(opened.lastErrno(), opened.lastError())};
    const auto id = opened.nodeId();
    if (!id)
        return {IoResult::fromErrno(EIO, QStringLiteral("fstat %1 failed").arg(path))};
    // A node name that another device took since the listing, or since the first opening, is not
    // this interface's. A descriptor that is no device of the node's kind at all (a FIFO, a
    // pseudo-terminal) stands in for the node under a device emulator and is taken as it is.
    const bool otherNumber = !first && udevNumber && id->type == S_IFCHR
                             && major(dev_t(id->rdev)) == major(dev_t(*udevNumber)) && id->rdev != *udevNumber;
    if (otherNumber || (first && *first != *id)) {
        gone = true;
        return {IoResult::fromErrno(ESTALE, QStringLiteral("%1 now belongs to another device").arg(path))};
    }
    first = id;
    node = std::move(opened);
    return {IoResult::success(0), node.descriptor()};
}

void HidNodeIo::run(std::shared_ptr<Shared> shared)
{
    pthread_setname_np(pthread_self(), "tavrel-hid-io");
    for (;;) {
        Shared::Job job;
        {
            std::lock_guard lock(shared->mutex);
            if (shared->jobs.empty()) {
                shared->workerRunning = false;
                break;
            }
            job = std::move(shared->jobs.front());
            shared->jobs.pop_front();
        }

        Shared::Result result;
        switch (job.kind) {
        case JobKind::Open:
            result = shared->open();
            break;
        case JobKind::Write:
            if (!shared->node.isOpen()) {
                result.io = IoResult::fromErrno(ENODEV, QStringLiteral("%1 is not open").arg(shared->path));
                break;
            }
            result.io = shared->node.write(
                std::span(reinterpret_cast<const quint8*>(job.report.constData()), std::size_t(job.report.size())));
            break;
        case JobKind::Close:
            shared->node.close();
            result.io = IoResult::success(0);
            break;
        case JobKind::Answer:
            result.io = std::move(job.preset);
            break;
        }

        std::lock_guard lock(shared->mutex);
        shared->results.push_back(std::move(result));
        shared->bell.signal();
    }
    --s_runningWorkers;
}

}  // namespace tavrel
