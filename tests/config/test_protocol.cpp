#include "config/protocol.h"
#include "fakes.h"

#include <gtest/gtest.h>

#include <QStringList>
#include <stdexcept>
#include <vector>

using namespace tavrel;

using namespace tavrel::test;

TEST(Protocol, SendWritesToTheDeviceTakenAtTheStartOfTheOperation)
{
    FakeTransport t;
    ListLog log;
    ReportChannel channel(t, log);

    // No device at all: nothing written, the line shows no bytes.
    channel.beginOperation();
    EXPECT_FALSE(channel.send(readKeyReport(0)).ok);
    EXPECT_TRUE(t.writes.empty());

    t.selected = 1;
    channel.beginOperation();
    t.selected = 2;  // a selection change inside the operation does not move it
    EXPECT_TRUE(channel.send(readKeyReport(4)).ok);
    ASSERT_EQ(t.writes.size(), 1u);
    EXPECT_EQ(t.writes[0].first, 1);

    // A failed write still adds its line.
    t.fail = true;
    EXPECT_FALSE(channel.send(pairReport(PAIR_CLEAR)).ok);
    EXPECT_EQ(log.lines, QStringList({"W 02  ", "W 02  01 04 00 00 00 00 00 ", "W 02  "}));

    // With the selection gone the current device stays.
    t.fail = false;
    t.selected = -1;
    channel.beginOperation();
    channel.send(pairReport(PAIR_BIND));
    EXPECT_EQ(t.writes.back().first, 1);
}

TEST(Protocol, DispatchHandsResponsesOverAndLogsEveryReportLast)
{
    ListLog log;
    std::vector<QString> seen;
    ReportHandlers handlers;
    handlers.keyRecord = [&](const KeyRecordResponse& r) {
        seen.push_back("key " + QString::number(r.keyIndex()) + " lines=" + QString::number(log.lines.size()));
    };
    handlers.pairing = [&](const PairingResponse& p) { seen.push_back("pair " + p.identityText()); };

    const std::vector<quint8> record{0x81, 0x63, 1, 4, 0, 0, 0};
    const std::vector<quint8> pairing{0x50, 0x03, 0x1A, 0, 0, 0, 0};
    const std::vector<quint8> other{0x80, 0x63, 1, 4, 0, 0, 0};
    const std::vector<quint8> shortRecord{0x81, 0x63, 1};

    dispatchReport(1, record, handlers, log);
    dispatchReport(1, pairing, handlers, log);
    dispatchReport(1, other, handlers, log);
    dispatchReport(0, shortRecord, handlers, log);

    EXPECT_EQ(seen, (std::vector<QString>{"key 3 lines=0", "pair 1A 00 00 00 00 (03 )"}));
    EXPECT_EQ(log.lines, QStringList({"R 01  81 63 01 04 00 00 00 ", "R 01  50 03 1A 00 00 00 00 ",
                                      "R 01  80 63 01 04 00 00 00 ", "R 00  81 63 01 "}));
}

TEST(Protocol, AReportWhoseHandlerFailsIsStillLogged)
{
    ListLog log;
    ReportHandlers handlers;
    handlers.keyRecord = [](const KeyRecordResponse&) { throw std::runtime_error("boom"); };
    const std::vector<quint8> record{0x81, 0x10, 0, 0, 0, 0, 0};
    EXPECT_THROW(dispatchReport(1, record, handlers, log), std::runtime_error);
    EXPECT_EQ(log.lines.size(), 1);
}
