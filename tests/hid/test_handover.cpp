// The hand-over between a reader thread and the GUI thread: order, errors, and stops that
// come while the reader waits for a request or while its request runs.

#include "hid/handover.h"
#include "common/qtwait.h"

#include <gtest/gtest.h>

#include <QObject>
#include <QThread>
#include <atomic>
#include <stdexcept>
#include <thread>
#include <vector>

using tavrel::HandOver;
using tavrel::test::runEventsFor;
using tavrel::test::waitFor;

namespace {

QStringList* capturedWarnings = nullptr;

void captureWarning(QtMsgType type, const QMessageLogContext&, const QString& text)
{
    if (type == QtWarningMsg && capturedWarnings)
        capturedWarnings->append(text);
}

}  // namespace

TEST(HandOver, RequestsRunOnTheGuiThreadOneAtATimeInOrder)
{
    QObject context;
    const auto handOver = HandOver::create(&context);
    const QThread* gui = QThread::currentThread();
    std::vector<int> order;
    bool allOnGui = true;
    std::atomic<bool> done{false};

    std::thread worker([&] {
        for (int i = 0; i < 50; ++i) {
            // order is only touched by requests, which never overlap.
            EXPECT_FALSE(handOver->run([&, i] {
                allOnGui = allOnGui && QThread::currentThread() == gui;
                order.push_back(i);
            }));
        }
        handOver->finished();
        done = true;
    });
    ASSERT_TRUE(waitFor([&] { return done.load(); }));
    worker.join();

    EXPECT_TRUE(allOnGui);
    ASSERT_EQ(order.size(), 50u);
    for (int i = 0; i < 50; ++i)
        EXPECT_EQ(order[std::size_t(i)], i);
}

TEST(HandOver, AnErrorGoesBackToTheWorkerAndIsReported)
{
    QStringList warnings;
    capturedWarnings = &warnings;
    const QtMessageHandler previous = qInstallMessageHandler(captureWarning);

    QObject context;
    const auto handOver = HandOver::create(&context);
    std::exception_ptr error;
    std::atomic<bool> done{false};
    std::thread worker([&] {
        error = handOver->run([] { throw std::runtime_error("handler broke"); });
        handOver->finished();
        done = true;
    });
    EXPECT_TRUE(waitFor([&] { return done.load(); }));
    worker.join();
    qInstallMessageHandler(previous);
    capturedWarnings = nullptr;

    ASSERT_TRUE(error);
    EXPECT_THROW(std::rethrow_exception(error), std::runtime_error);
    ASSERT_EQ(warnings.size(), 1);
    EXPECT_TRUE(warnings[0].contains(QStringLiteral("handler broke")));
}

TEST(HandOver, AStopRunsTheRequestTheWorkerWaitsFor)
{
    QObject context;
    const auto handOver = HandOver::create(&context);
    std::atomic<bool> stop{false};
    std::atomic<bool> started{false};
    int runs = 0;

    std::thread worker([&] {
        do {
            started = true;
            handOver->run([&] { ++runs; });
        } while (!stop);
        handOver->finished();
    });
    // No event runs here: the worker's first request can only run inside the stop.
    while (!started)
        QThread::yieldCurrentThread();
    stop = true;
    handOver->waitUntilFinished();
    worker.join();
    EXPECT_GE(runs, 1);

    // The queued calls of requests the stop ran find nothing left to do.
    const int afterStop = runs;
    runEventsFor(50);
    EXPECT_EQ(runs, afterStop);
}

TEST(HandOver, AStopInsideTheRunningRequestLetsTheWorkerGo)
{
    QObject context;
    const auto handOver = HandOver::create(&context);
    std::atomic<bool> stop{false};
    bool stoppedInside = false;
    bool requestFinished = false;

    std::thread worker([&] {
        while (!stop) {
            handOver->run([&] {
                // As when a data handler releases its own device.
                stop = true;
                handOver->waitUntilFinished();
                stoppedInside = true;
                requestFinished = true;
            });
        }
        handOver->finished();
    });
    ASSERT_TRUE(waitFor([&] { return requestFinished; }));
    worker.join();
    EXPECT_TRUE(stoppedInside);
}
