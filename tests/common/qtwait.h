#pragma once
// Runs the event loop until a condition holds. The limit only keeps a broken test from hanging;
// nothing depends on how long the wait takes.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <memory>

namespace tavrel::test {

template <class Condition>
bool waitFor(Condition condition, int limitMs = 10000)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > limitMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
    return true;
}

// Runs the event loop until everything posted before the call has been handled: a marker posted
// now arrives after them. For checks that something does not happen, made at a known point.
inline bool runPostedEvents(int limitMs = 10000)
{
    const auto arrived = std::make_shared<bool>(false);
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [arrived] { *arrived = true; }, Qt::QueuedConnection);
    return waitFor([&] { return *arrived; }, limitMs);
}

}  // namespace tavrel::test
