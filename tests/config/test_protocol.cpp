#include "config/reportdispatch.h"
#include "fakes.h"

#include <gtest/gtest.h>

#include <QStringList>
#include <stdexcept>
#include <vector>

using namespace tavrel;

using namespace tavrel::test;

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
