#pragma once
// A transport that records what is written, and a log that keeps its lines.

#include "config/protocol.h"

#include <QStringList>
#include <algorithm>
#include <vector>

namespace tavrel::test {

struct FakeTransport : ReportTransport {
    int selected = -1;  // the device list's selected entry
    int current = -1;   // the current device
    bool fail = false;
    std::vector<std::pair<int, OutputReport>> writes;

    void takeSelectedDevice() override
    {
        if (selected >= 0)
            current = selected;
    }
    WriteResult writeToCurrent(std::span<const quint8> report) override
    {
        if (current < 0 || fail)
            return {};
        OutputReport r{};
        std::copy_n(report.begin(), std::min(report.size(), r.size()), r.begin());
        writes.emplace_back(current, r);
        return {true, int(report.size())};
    }
};

struct ListLog : ReportLog {
    QStringList lines;
    void append(const QString& line) override { lines << line; }
};

}  // namespace tavrel::test
