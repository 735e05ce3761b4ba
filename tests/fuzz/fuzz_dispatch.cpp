// A read and a write around the input-report dispatcher: input reports taken from the fuzz input
// go through dispatchReport into the key table, then every key the device gave a record for is
// written back through the report channel to a fake transport.
//
// Input: a sequence of reports, each a report-ID byte, a length byte (its low four bits, so short
// and long reports both come up; its high bit makes the handler throw once it has done its work)
// and that many data bytes.

#include "config/keytable.h"
#include "config/configio.h"
#include "config/protocol.h"
#include "config/reports.h"
#include "fuzzcheck.h"

#include <QStringList>

#include <array>
#include <functional>
#include <vector>

using namespace tavrel;
using tavrel::fuzz::FuzzInput;

namespace {

// The record bytes the table must give back for a key: those of the last record applied to it,
// the Mode of the last record that carried a valid one.
struct ExpectedKey {
    bool present = false;
    std::array<quint8, KeyTable::FieldsPerKey> bytes{};
};

// What a handler throws when the input asks it to: the report must be logged all the same.
struct HandlerError {};

class CountingLog : public ReportLog {
public:
    void append(const QString& line) override { lines.append(line); }
    QStringList lines;
};

// Accepts every write and checks that it is a write request for a key the device has.
class CheckingTransport : public ReportTransport {
public:
    explicit CheckingTransport(int keyCount) : m_keyCount(keyCount) {}

    void write(const OutputReport& report, std::function<void(const IoResult&)> done) override
    {
        FUZZ_CHECK(report[0] == OutputReportId);
        FUZZ_CHECK(report[1] == CMD_WRITE_KEY);
        FUZZ_CHECK(report[2] < m_keyCount);
        written.emplace_back(report.begin(), report.end());
        ++pending;
        done(IoResult::success(int(report.size())));
    }

    int pending = 0;
    std::vector<std::vector<quint8>> written;

private:
    int m_keyCount;
};

// "R 01  81 63 ": the direction, the report id, two spaces, then each byte and a space.
bool isLogLine(const QString& line, QChar direction, quint8 reportId, std::span<const quint8> bytes)
{
    QString expected = direction + QLatin1Char(' ') + hexByte(reportId) + QLatin1String("  ");
    for (quint8 b : bytes)
        expected += hexByte(b) + QLatin1Char(' ');
    return line == expected;
}

void checkTable(const KeyTable& table, const std::array<ExpectedKey, KeyTable::Slots>& expected)
{
    FUZZ_CHECK(table.KeyCount >= 0 && table.KeyCount <= KeyTable::Slots);
    for (const QString& field : table.KeyBytes)
        FUZZ_CHECK(tavrel::fuzz::isFieldText(field));
    for (int k = 0; k < KeyTable::Slots; ++k) {
        FUZZ_CHECK(table.Current.test(std::size_t(k)) == expected[k].present);
        if (!expected[k].present)
            continue;
        const OutputReport report = writeKeyReport(k, table);
        for (int f = 0; f < KeyTable::FieldsPerKey; ++f)
            FUZZ_CHECK(report[std::size_t(3 + f)] == expected[k].bytes[std::size_t(f)]);
        FUZZ_CHECK(table.KeyText[k] == displayText(report[3], report[4], report[5], report[6]));
    }
}

// Every key whose record came from the device, written back in key order as the configuration
// write sends them.
void writeTable(const KeyTable& table, const std::array<ExpectedKey, KeyTable::Slots>& expected)
{
    CheckingTransport transport(table.KeyCount);
    CountingLog log;
    ReportChannel channel(transport, log);
    std::vector<int> sentKeys;
    for (int k = 0; k < table.KeyCount; ++k) {
        if (!table.Current.test(std::size_t(k)))
            continue;
        if (!writableKey(table, k))
            continue;
        bool ok = false;
        channel.send(writeKeyReport(k, table), [&](const IoResult& r) { ok = r.ok(); });
        FUZZ_CHECK(ok);
        sentKeys.push_back(k);
    }
    FUZZ_CHECK(transport.written.size() == sentKeys.size());
    FUZZ_CHECK(log.lines.size() == qsizetype(sentKeys.size()));
    for (std::size_t i = 0; i < sentKeys.size(); ++i) {
        const std::vector<quint8>& report = transport.written[i];
        FUZZ_CHECK(report[2] == sentKeys[i]);
        for (int f = 0; f < KeyTable::FieldsPerKey; ++f)
            FUZZ_CHECK(report[std::size_t(3 + f)] == expected[std::size_t(sentKeys[i])].bytes[std::size_t(f)]);
        FUZZ_CHECK(isLogLine(log.lines[qsizetype(i)], u'W', OutputReportId, std::span(report).subspan(1)));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzInput input(data, size);
    KeyTable table;
    table.AwaitingConfig = true;
    std::array<ExpectedKey, KeyTable::Slots> expected;
    int expectedCount = 0;
    bool anyRecord = false;

    CountingLog log;
    bool throwAfterHandling = false;
    int records = 0;
    int pairings = 0;
    ReportHandlers handlers;
    handlers.keyRecord = [&](const KeyRecordResponse& r) {
        ++records;
        FUZZ_CHECK(r.marker > 0x80);
        const bool applied = applyKeyRecord(table, r);
        FUZZ_CHECK(applied == KeyTable::validKey(r.keyIndex()));
        if (!applied)
            return;
        ExpectedKey& key = expected[std::size_t(r.keyIndex())];
        const quint8 mode = r.mode < 0x05 ? r.mode : key.bytes[4];
        key = {true, {r.modifiers, r.code1, r.code2, r.code3, mode}};
        expectedCount = std::min(r.deviceKeyCount(), KeyTable::Slots);
        anyRecord = true;
        if (throwAfterHandling)
            throw HandlerError();
    };
    handlers.pairing = [&](const PairingResponse& p) {
        ++pairings;
        // "1A 2B 3C 4D 5E (02 )": five identity bytes and the number shown.
        const QString text = p.identityText();
        FUZZ_CHECK(text.size() == 20);
        FUZZ_CHECK(text.endsWith(QLatin1String(" )")) && text[15] == u'(');
        FUZZ_CHECK(text.mid(16, 2) == hexByte(p.status & 0x0F));
        if (throwAfterHandling)
            throw HandlerError();
    };

    int reports = 0;
    while (!input.empty()) {
        const quint8 reportId = input.byte();
        const quint8 length = input.byte();
        const auto report = input.bytes(length & 0x0F);
        const int recordsBefore = records;
        const int pairingsBefore = pairings;
        throwAfterHandling = length & 0x80;
        try {
            dispatchReport(reportId, report, handlers, log);
        } catch (const HandlerError&) {
            FUZZ_CHECK(throwAfterHandling && classifyInput(report) != InputKind::Other);
        }
        ++reports;

        // One line per report received, with exactly the bytes delivered; at most one handler.
        FUZZ_CHECK(log.lines.size() == reports);
        FUZZ_CHECK(isLogLine(log.lines.back(), u'R', reportId, report));
        const int handled = (records - recordsBefore) + (pairings - pairingsBefore);
        FUZZ_CHECK(handled == (classifyInput(report) == InputKind::Other ? 0 : 1));

        FUZZ_CHECK(table.KeyCount == expectedCount);
        FUZZ_CHECK(table.CountFromDevice == anyRecord);
        FUZZ_CHECK(table.AwaitingConfig == !anyRecord);
        checkTable(table, expected);
    }

    writeTable(table, expected);
    return 0;
}
