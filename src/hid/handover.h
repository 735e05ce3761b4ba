#pragma once
// Runs a worker thread's requests on the GUI thread, one at a time, while the worker waits for
// each to finish. The GUI side can stop the worker without the two waiting for each other.
// The worker rings the GUI thread through an eventfd rather than Qt's event queue, whose
// futexes ThreadSanitizer cannot see: the request then passes under a mutex alone.

#include "platform/wakeevent.h"

#include <condition_variable>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>

class QObject;
class QSocketNotifier;

namespace tavrel {

class HandOver : public std::enable_shared_from_this<HandOver> {
public:
    // Requests run in the thread of guiContext, which must be the calling thread and outlive
    // the worker; so must the returned object.
    static std::shared_ptr<HandOver> create(QObject* guiContext);
    ~HandOver();

    // Worker side. Posts the request and waits until it has run, or until a stop let the worker
    // go while the request was still running. Returns what the request threw.
    std::exception_ptr run(std::function<void()> request);
    // Worker side, last thing the worker does.
    void finished();

    // GUI side, after asking the worker to stop: waits until the worker has called finished(),
    // running a request it waits for meanwhile, and releasing it from one that is running
    // further up this thread's stack.
    void waitUntilFinished();
    // Whether the worker waits for a request that has not started running yet.
    bool pending();

private:
    enum class State { Idle, Pending, Running, Done };

    HandOver();
    void runPosted();
    // Called with m_mutex locked; unlocks while the request runs.
    void runPending(std::unique_lock<std::mutex>& lock);

    platform::WakeEvent m_bell;
    std::unique_ptr<QSocketNotifier> m_notifier;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    State m_state = State::Idle;
    std::function<void()> m_request;
    std::exception_ptr m_error;
    bool m_finished = false;
};

}  // namespace tavrel
