// A read and a write around the input-report dispatcher: input reports taken from the fuzz input
// go through dispatchReport into one device's assignments, some keys edited by the user before the
// answers come, then every key that holds a record is written back: each write request names the
// key and carries its record, and its log line shows it whole.
//
// Input: a sequence of reports, each a report-ID byte, a length byte (its low four bits, so short
// and long reports both come up; bit 7: the user edits the key the report answers for before it
// comes; bit 6: the read is one the user asked for, whose answers replace edits) and that many
// data bytes.

#include "config/configio.h"
#include "config/keyassignments.h"
#include "config/reportdispatch.h"
#include "config/reports.h"
#include "fuzzcheck.h"

#include <QStringList>

#include <array>
#include <functional>
#include <vector>

using namespace tavrel;
using tavrel::fuzz::FuzzInput;

namespace {

// What the assignments must hold for a key.
struct ExpectedKey {
    bool present = false;
    std::array<quint8, 5> bytes{};
    bool unsent = false;
};

class CountingLog : public ReportLog {
public:
    void append(const QString& line) override { lines.append(line); }
    QStringList lines;
};

// "R 01  81 63 ": the direction, the report id, two spaces, then each byte and a space.
bool isLogLine(const QString& line, QChar direction, quint8 reportId, std::span<const quint8> bytes)
{
    QString expected = direction + QLatin1Char(' ') + hexByte(reportId) + QLatin1String("  ");
    for (quint8 b : bytes)
        expected += hexByte(b) + QLatin1Char(' ');
    return line == expected;
}

void checkHeld(const KeyAssignments& held, const std::array<ExpectedKey, KeySlots>& expected)
{
    for (int k = 0; k < KeySlots; ++k) {
        const auto& r = held.at(k);
        FUZZ_CHECK(bool(r) == expected[std::size_t(k)].present);
        if (!r)
            continue;
        FUZZ_CHECK(r->record.bytes() == expected[std::size_t(k)].bytes);
        FUZZ_CHECK(r->unsent() == expected[std::size_t(k)].unsent);
        if (!r->unsent())
            FUZZ_CHECK(r->text == displayText(r->record));
    }
    FUZZ_CHECK(!held.at(-1) && !held.at(KeySlots));
}

// Every key that holds a record, written back in key order as the write sends them.
void writeHeld(const KeyAssignments& held, const std::array<ExpectedKey, KeySlots>& expected)
{
    const int keys = held.keyCount().value_or(KeySlots);
    for (int k = 0; k < keys; ++k) {
        const auto& r = held.at(k);
        if (!r)
            continue;
        const OutputReport report = writeKeyReport(k, r->record);
        FUZZ_CHECK(report[0] == OutputReportId);
        FUZZ_CHECK(report[1] == WriteKeyCommand);
        FUZZ_CHECK(report[2] == k);
        for (int f = 0; f < 5; ++f)
            FUZZ_CHECK(report[std::size_t(3 + f)] == expected[std::size_t(k)].bytes[std::size_t(f)]);
        FUZZ_CHECK(
            isLogLine(sentLogLine(report, int(report.size())), u'W', OutputReportId, std::span(report).subspan(1)));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzInput input(data, size);
    KeyAssignments held;
    std::array<ExpectedKey, KeySlots> expected;
    std::optional<int> expectedCount;

    CountingLog log;
    bool replaceEdits = false;
    int records = 0;
    int pairings = 0;
    ReportHandlers handlers;
    handlers.keyRecord = [&](const KeyRecordResponse& r) {
        ++records;
        FUZZ_CHECK(r.marker > 0x80);
        const auto answer = held.takeAnswer(r, replaceEdits);
        const int k = r.keyIndex();
        if (!validKey(k)) {
            FUZZ_CHECK(answer == KeyAssignments::Answer::NotAKeyIndex);
            return;
        }
        expectedCount = std::min(r.deviceKeyCount(), KeySlots);
        ExpectedKey& key = expected[std::size_t(k)];
        if (key.unsent && !replaceEdits) {
            FUZZ_CHECK(answer == KeyAssignments::Answer::KeptEdit);
            return;
        }
        FUZZ_CHECK(answer == KeyAssignments::Answer::Stored);
        const quint8 mode = r.mode < FirstUnknownMode || !key.present ? r.mode : key.bytes[4];
        key = {true, {r.modifiers, r.code1, r.code2, r.code3, mode}, false};
    };
    handlers.pairing = [&](const PairingResponse& p) {
        ++pairings;
        // "1A 2B 3C 4D 5E (02 )": five identity bytes and the number shown.
        const QString text = p.identityText();
        FUZZ_CHECK(text.size() == 20);
        FUZZ_CHECK(text.endsWith(QLatin1String(" )")) && text[15] == u'(');
        FUZZ_CHECK(text.mid(16, 2) == hexByte(p.status & 0x0F));
    };

    int reports = 0;
    while (!input.empty()) {
        const quint8 reportId = input.byte();
        const quint8 length = input.byte();
        const auto report = input.bytes(length & 0x0F);
        replaceEdits = length & 0x40;
        if ((length & 0x80) && report.size() >= 2) {
            // The user edits the key this report is about, before it comes.
            const int k = report[1] & 0x0F;
            const KeyRecord edit{quint8(report[0] ^ 0x5A), quint8(reportId), 0, 0, quint8(length & 0x03)};
            held.set(k, edit, RecordOrigin::Edited);
            if (validKey(k))
                expected[std::size_t(k)] = {true, edit.bytes(), true};
        }
        const int recordsBefore = records;
        const int pairingsBefore = pairings;
        dispatchReport(reportId, report, handlers, log);
        ++reports;

        // One line per report received, with exactly the bytes delivered; at most one handler.
        FUZZ_CHECK(log.lines.size() == reports);
        FUZZ_CHECK(isLogLine(log.lines.back(), u'R', reportId, report));
        const int handled = (records - recordsBefore) + (pairings - pairingsBefore);
        FUZZ_CHECK(handled == (classifyInput(report) == InputKind::Other ? 0 : 1));

        FUZZ_CHECK(held.keyCount() == expectedCount);
        checkHeld(held, expected);
    }

    writeHeld(held, expected);
    return 0;
}
