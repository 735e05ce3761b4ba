#pragma once
// A report log that keeps its lines.

#include "config/reportlog.h"

#include <QStringList>

namespace tavrel::test {

struct ListLog : ReportLog {
    QStringList lines;
    void append(const QString& line) override { lines << line; }
};

}  // namespace tavrel::test
