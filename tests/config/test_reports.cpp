#include "config/reports.h"

#include <gtest/gtest.h>

#include <vector>

using namespace tavrel;

namespace {
QString hex(std::span<const quint8> bytes)
{
    QString s;
    for (quint8 b : bytes)
        s += hexByte(b) + QLatin1Char(' ');
    return s.trimmed();
}
}  // namespace

TEST(Reports, OutputReportBytes)
{
    EXPECT_EQ(hex(readKeyReport(5)), "02 01 05 00 00 00 00 00");
    EXPECT_EQ(hex(writeKeyReport(2, {0x01, 0x04, 0x00, 0x00, 0x02})), "02 02 02 01 04 00 00 02");
    EXPECT_EQ(hex(writeKeyReport(7, {0xE1, 0x05, 0x06, 0x07, 0x03})), "02 02 07 E1 05 06 07 03");
    EXPECT_EQ(hex(pairReport(PairBindAction)), "02 05 01 00 00 00 00 00");
    EXPECT_EQ(hex(pairReport(PairClearAction)), "02 05 03 00 00 00 00 00");
}

TEST(Reports, InputClassification)
{
    using D = std::vector<quint8>;
    const std::pair<D, InputKind> cases[] = {
        {{0x81, 0x63, 1, 4, 0, 0, 0}, InputKind::KeyRecord},
        {{0xFF, 0x00, 0, 0, 0, 0, 0}, InputKind::KeyRecord},
        {{0x80, 0x63, 1, 4, 0, 0, 0}, InputKind::Other},
        {{0x50, 0x13, 1, 0, 0, 0, 0}, InputKind::Pairing},
        {{0x50, 0x03, 0, 0, 0, 9, 0}, InputKind::Pairing},
        {{0x50, 0x03, 0, 0, 0, 0, 9}, InputKind::Other},  // D6 is not part of the test
        {{0x51, 0x03, 1, 1, 1, 1, 1}, InputKind::Other},
        // Fewer than seven data bytes: neither response, whatever D0 says.
        {{0x81, 0x63, 1, 4, 0, 0}, InputKind::Other},
        {{0x50, 0x03, 1}, InputKind::Other},
        {{}, InputKind::Other},
    };
    for (const auto& [data, kind] : cases)
        EXPECT_EQ(classifyInput(data), kind) << hex(data).toStdString();
}

TEST(Reports, PairingResponseIdentity)
{
    const std::vector<quint8> fresh{0x50, 0x02, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
    auto p = parsePairing(fresh);
    ASSERT_TRUE(p);
    EXPECT_TRUE(p->newlyBound());
    EXPECT_EQ(p->identityText(), QStringLiteral("1A 2B 3C 4D 5E (02 )"));

    const std::vector<quint8> known{0x50, 0x13, 0x01, 0, 0, 0, 0};
    p = parsePairing(known);
    ASSERT_TRUE(p);
    EXPECT_FALSE(p->newlyBound());
    EXPECT_EQ(p->identityText(), QStringLiteral("01 00 00 00 00 (03 )"));
}

TEST(Reports, LogLines)
{
    const OutputReport r = readKeyReport(3);
    EXPECT_EQ(sentLogLine(r, 8), QStringLiteral("W 02  01 03 00 00 00 00 00 "));
    EXPECT_EQ(sentLogLine(r, 0), QStringLiteral("W 02  "));
    EXPECT_EQ(sentLogLine(r, 3), QStringLiteral("W 02  01 03 "));
    EXPECT_EQ(sentLogLine(r, 99), QStringLiteral("W 02  01 03 00 00 00 00 00 "));
    // A write not taken whole: a failed one shows no bytes, a short one the bytes taken.
    EXPECT_EQ(notTakenLogLine(r, 0), QStringLiteral("! W 02  "));
    EXPECT_EQ(notTakenLogLine(r, 3), QStringLiteral("! W 02  01 03 "));

    const std::vector<quint8> data{0x81, 0x63, 0xab, 0, 0, 0, 2};
    EXPECT_EQ(receivedLogLine(1, data), QStringLiteral("R 01  81 63 AB 00 00 00 02 "));
    EXPECT_EQ(receivedLogLine(0, std::span(data).first(2)), QStringLiteral("R 00  81 63 "));
    EXPECT_EQ(receivedLogLine(0, {}), QStringLiteral("R 00  "));
}
