#include "config/boundedlog.h"

#include <gtest/gtest.h>

using namespace tavrel;

// The log keeps its latest lines, oldest first, and counts every line that made room for them.
TEST(BoundedLog, KeepsTheLatestLinesAndCountsTheDropped)
{
    const struct {
        int capacity;
        int appended;
        QStringList kept;
        quint64 dropped;
    } rows[] = {
        {3, 0, {}, 0},
        {3, 2, {"0", "1"}, 0},
        {3, 3, {"0", "1", "2"}, 0},
        {3, 4, {"1", "2", "3"}, 1},
        {3, 10, {"7", "8", "9"}, 7},
        {1, 5, {"4"}, 4},
        {0, 2, {"1"}, 1},  // a log keeps at least its last line
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << row.capacity << " " << row.appended);
        BoundedLog log(row.capacity);
        for (int i = 0; i < row.appended; ++i)
            log.append(QString::number(i));
        EXPECT_EQ(log.lines(), row.kept);
        EXPECT_EQ(log.size(), row.kept.size());
        EXPECT_EQ(log.dropped(), row.dropped);
        EXPECT_EQ(log.appended(), quint64(row.appended));
    }
    EXPECT_GE(ReportLogLines, 1000);
}
