#pragma once
// Where a device's writes and the dispatcher write what they move.

#include <QString>

namespace tavrel {

// The report log: one line per report sent or received.
class ReportLog {
public:
    virtual ~ReportLog() = default;
    virtual void append(const QString& line) = 0;
};

}  // namespace tavrel
