#pragma once
// The report log as it is kept: the latest lines only, and how many older ones made room for
// them, so that a device flooding the program with reports costs it no more memory than the log
// holds when full.

#include "config/reportlog.h"

#include <QStringList>
#include <deque>

namespace tavrel {

// Lines kept by the report log: enough for every request and answer of many reads and writes.
constexpr int ReportLogLines = 4000;

class BoundedLog : public ReportLog {
public:
    explicit BoundedLog(int capacity = ReportLogLines) : m_capacity(capacity > 0 ? capacity : 1) {}

    void append(const QString& line) override;
    // The lines kept, oldest first.
    QStringList lines() const;
    qsizetype size() const { return qsizetype(m_lines.size()); }
    int capacity() const { return m_capacity; }
    // Lines let go to make room, since the start.
    quint64 dropped() const { return m_dropped; }
    // Lines appended since the start, kept or not.
    quint64 appended() const { return m_dropped + m_lines.size(); }

private:
    int m_capacity;
    std::deque<QString> m_lines;
    quint64 m_dropped = 0;
};

}  // namespace tavrel
