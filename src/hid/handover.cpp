#include "hid/handover.h"

#include <QMetaObject>
#include <QObject>
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

std::shared_ptr<HandOver> HandOver::create(QObject* guiContext)
{
    return std::shared_ptr<HandOver>(new HandOver(guiContext));
}

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
    QMetaObject::invokeMethod(
        m_context, [self = shared_from_this()] { self->runPosted(); }, Qt::QueuedConnection);

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

}  // namespace tavrel
