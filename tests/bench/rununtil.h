#pragma once
// What the benchmarks share: running the event loop until a condition holds.

#include <QEventLoop>
#include <QTimer>
#include <functional>

namespace tavrel::bench {

// Runs the event loop until `done` holds (checked every millisecond) or limitMs pass; whether it
// holds.
inline bool runUntil(const std::function<bool()>& done, int limitMs = 10000)
{
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, [&] {
        if (done())
            loop.quit();
    });
    check.start(1);
    QTimer::singleShot(limitMs, &loop, &QEventLoop::quit);
    loop.exec();
    return done();
}

}  // namespace tavrel::bench
