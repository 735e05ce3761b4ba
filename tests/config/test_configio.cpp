#include "config/configio.h"

#include <gtest/gtest.h>

#include <vector>

using namespace tavrel;

TEST(ConfigIo, ReadAsksForSixKeysAndForEveryFurtherKeyTheDeviceReports)
{
    KeyTable table;
    EXPECT_EQ(readRequestCount(table), 6);
    applyKeyRecord(table, {0x81, 0x80, 0, 0, 0, 0, 0});  // an eight-key device
    EXPECT_EQ(readRequestCount(table), 8);
    // A count left by another device does not widen the read.
    table.forgetDevice();
    EXPECT_EQ(readRequestCount(table), 6);
}

TEST(ConfigIo, ProgressIsTruncatedHundredByKeysLeft)
{
    std::vector<int> six;
    for (int i = 0; i < 6; ++i)
        six.push_back(writeProgress(6, i));
    EXPECT_EQ(six, (std::vector<int>{16, 20, 25, 33, 50, 100}));
    EXPECT_EQ(writeProgress(1, 0), 100);
}

TEST(ConfigIo, OnlyRecordsOfTheSelectedDeviceOrSetByTheUserAreWritable)
{
    KeyTable table;
    for (int k = 0; k < 6; ++k)
        applyKeyRecord(table, {0x81, quint8(0x60 | k), 0x01, quint8(0x04 + k), 0, 0, 0});
    table.forgetDevice();  // another device is selected
    applyKeyRecord(table, {0x81, 0x60, 0x02, 0x05, 0, 0, 0});
    table.markSet(2);
    std::vector<int> writable;
    for (int k = -1; k <= 8; ++k)
        if (writableKey(table, k))
            writable.push_back(k);
    EXPECT_EQ(writable, (std::vector<int>{0, 2}));
}

TEST(ConfigIo, TheCompletionTextNamesTheKeysNotWritten)
{
    EXPECT_EQ(completionText({6, {}}), QStringLiteral("设置完成！"));
    EXPECT_EQ(completionText({0, {}}), QStringLiteral("设置完成！"));
    EXPECT_EQ(completionText({6, {1, 3, 4, 5}}), QStringLiteral("设置失败！4个按键未写入：2、4、5、6。"));
}
