#pragma once
// Runs the event loop until a condition holds. The limit only keeps a broken test from hanging;
// nothing depends on how long the wait takes.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

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

// Lets the event loop run for a while, for checks that something does not happen.
inline void runEventsFor(int ms)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
}

}  // namespace tavrel::test
