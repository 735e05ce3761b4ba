#pragma once
// A transport that records what is written, and a log that keeps its lines.

#include "config/reportchannel.h"

#include <QStringList>
#include <functional>
#include <utility>
#include <vector>

namespace tavrel::test {

// Answers every write at once with `next`; `finish()` delivers the answers, as the event loop
// would deliver a device's.
struct FakeTransport : ReportTransport {
    IoResult next = IoResult::success(8);
    std::vector<OutputReport> writes;
    std::vector<std::function<void()>> pending;

    void write(const OutputReport& report, std::function<void(const IoResult&)> done) override
    {
        if (next.ok())
            writes.push_back(report);
        pending.push_back([done = std::move(done), result = next] { done(result); });
    }
    void finish()
    {
        auto calls = std::exchange(pending, {});
        for (auto& call : calls)
            call();
    }
};

struct ListLog : ReportLog {
    QStringList lines;
    void append(const QString& line) override { lines << line; }
};

}  // namespace tavrel::test
