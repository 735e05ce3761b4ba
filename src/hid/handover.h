#pragma once
// Runs a worker thread's requests on the GUI thread, one at a time, while the worker waits for
// each to finish. The GUI side can stop the worker without the two waiting for each other.

#include <condition_variable>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>

class QObject;

namespace tavrel {

class HandOver : public std::enable_shared_from_this<HandOver> {
public:
    // Requests run in the thread of guiContext, which must outlive the worker.
    static std::shared_ptr<HandOver> create(QObject* guiContext);

    // Worker side. Posts the request and waits until it has run, or until a stop let the worker
    // go while the request was still running. Returns what the request threw.
    std::exception_ptr run(std::function<void()> request);
    // Worker side, last thing the worker does.
    void finished();

    // GUI side, after asking the worker to stop: waits until the worker has called finished(),
    // running a request it waits for meanwhile, and releasing it from one that is running
    // further up this thread's stack.
    void waitUntilFinished();

private:
    enum class State { Idle, Pending, Running, Done };

    explicit HandOver(QObject* guiContext) : m_context(guiContext) {}
    void runPosted();
    // Called with m_mutex locked; unlocks while the request runs.
    void runPending(std::unique_lock<std::mutex>& lock);

    QObject* const m_context;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    State m_state = State::Idle;
    std::function<void()> m_request;
    std::exception_ptr m_error;
    bool m_finished = false;
};

}  // namespace tavrel
