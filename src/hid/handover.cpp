#include "hid/handover.h"

#include <QObject>
#include <QSocketNotifier>
#include <QtDebug>
#include <chrono>

namespace tavrel {

namespace {

QString describe(const std::exception_ptr& error)
{
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        return QString::fromUtf8(e.what());
    } catch (...) {
        return QStringLiteral("unknown error");
    }
}

}  // namespace

std::shared_ptr<HandOver> HandOver::create(QObject*)
{
    std::shared_ptr<HandOver> handOver(new HandOver());
    // A request may release the device and with it the last other owner of this object: the
    // slot holds it until the request's bookkeeping is done.
    QObject::connect(handOver->m_notifier.get(), &QSocketNotifier::activated, handOver->m_notifier.get(),
                     [weak = std::weak_ptr<HandOver>(handOver)] {
                         if (const std::shared_ptr<HandOver> self = weak.lock()) {
                             self->m_bell.drain();
                             self->runPosted();
                         }
                     });
    return handOver;
}

HandOver::HandOver()
    : m_notifier(std::make_unique<QSocketNotifier>(qintptr(m_bell.fd()), QSocketNotifier::Read))
{
}

HandOver::~HandOver() = default;

std::exception_ptr HandOver::run(std::function<void()> request)
{
    {
        std::lock_guard lock(m_mutex);
        m_request = std::move(request);
        m_error = nullptr;
        m_state = State::Pending;
    }
    // A stop waiting on the GUI thread runs the request itself.
    m_changed.notify_all();
    m_bell.signal();

    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return m_state == State::Done; });
    m_state = State::Idle;
    return std::exchange(m_error, nullptr);
}

void HandOver::finished()
{
    std::lock_guard lock(m_mutex);
    m_finished = true;
    m_changed.notify_all();
}

void HandOver::runPosted()
{
    // A request that a stop already ran finds the mailbox empty: nothing to do.
    std::unique_lock lock(m_mutex);
    if (m_state == State::Pending)
        runPending(lock);
}

void HandOver::runPending(std::unique_lock<std::mutex>& lock)
{
    std::function<void()> request = std::move(m_request);
    m_request = nullptr;
    m_state = State::Running;
    lock.unlock();

    std::exception_ptr error;
    try {
        request();
    } catch (...) {
        error = std::current_exception();
        // The worker ends quietly on a failed request; say so here so it is not lost.
        qWarning("A device's data handler failed: %s. The device delivers no more reports "
                 "until it is released.",
                 qUtf8Printable(describe(error)));
    }

    lock.lock();
    // A stop inside the request may have let the worker go already.
    if (m_state == State::Running) {
        m_error = error;
        m_state = State::Done;
    }
    m_changed.notify_all();
}

void HandOver::waitUntilFinished()
{
    std::unique_lock lock(m_mutex);
    while (!m_finished) {
        if (m_state == State::Pending) {
            runPending(lock);
        } else if (m_state == State::Running) {
            // Only this thread runs requests, so the one running is further up this stack and
            // cannot end before we return: let the worker go without its result.
            m_state = State::Done;
            m_changed.notify_all();
        } else {
            m_changed.wait_for(lock, std::chrono::seconds(1));
        }
    }
}

bool HandOver::pending()
{
    std::lock_guard lock(m_mutex);
    return m_state == State::Pending;
}

}  // namespace tavrel
