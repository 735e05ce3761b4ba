#include "config/configio.h"

#include <gtest/gtest.h>

#include <vector>

using namespace tavrel;

TEST(ConfigIo, ReadAsksForSixKeysAndForEveryFurtherKeyTheDeviceReports)
{
    EXPECT_EQ(readRequestCount(std::nullopt), 6);
    EXPECT_EQ(readRequestCount(2), 6);
    EXPECT_EQ(readRequestCount(8), 8);
}

TEST(ConfigIo, ProgressIsTruncatedHundredByKeysLeft)
{
    std::vector<int> six;
    for (int i = 0; i < 6; ++i)
        six.push_back(writeProgress(6, i));
    EXPECT_EQ(six, (std::vector<int>{16, 20, 25, 33, 50, 100}));
    EXPECT_EQ(writeProgress(1, 0), 100);
}

TEST(ConfigIo, TheCompletionTextNamesTheKeysNotWritten)
{
    EXPECT_EQ(completionText(WriteOutcome{}), QStringLiteral("设置完成！"));
    EXPECT_EQ(completionText(WriteOutcome{{1, 3, 4, 5}}), QStringLiteral("设置失败！4个按键未写入：2、4、5、6。"));
}
