// The key's firmware model: what it answers, what it stores, and when.

#include "keyemu/firmware.h"

#include <gtest/gtest.h>

#include <cctype>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

using namespace tavrel::emu;

namespace {

QByteArray bytes(const std::string& hex)
{
    return QByteArray::fromHex(QByteArray::fromStdString(hex));
}

std::string hex(const QByteArray& b)
{
    return b.toHex(' ').toUpper().toStdString();
}

// Everything the firmware has to send at nowMs, oldest first.
std::vector<std::string> drain(Firmware& fw, qint64 nowMs)
{
    std::vector<std::string> out;
    while (auto report = fw.nextInput(nowMs))
        out.push_back(hex(*report));
    return out;
}

// At time `at`, the host sends `send` (if any); the firmware then has exactly `expect` to send.
struct Exchange {
    qint64 at;
    std::string send;
    std::vector<std::string> expect;
};

struct Scenario {
    std::string name;
    int keys = 6;
    bool wireless = false;
    int capacity = 4;
    std::function<void(Firmware&)> setup = [](Firmware&) {};
    std::vector<Exchange> exchanges;
    std::function<void(const Firmware&)> check = [](const Firmware&) {};
};

void PrintTo(const Scenario& s, std::ostream* os)
{
    *os << s.name;
}

const std::string Read3 = "02 01 03 00 00 00 00 00";
const std::string Bind = "02 05 01 00 00 00 00 00";
const std::string Clear = "02 05 03 00 00 00 00 00";
// The ids the firmware gives the transmitters its simulated presses bind.
const std::string Id1 = "5A 00 00 01 A5";
const std::string Id2 = "5A 00 00 02 A5";
const std::string Id3 = "5A 00 00 03 A5";

TransmitterId id(const std::string& text)
{
    const QByteArray b = bytes(text);
    return {quint8(b[0]), quint8(b[1]), quint8(b[2]), quint8(b[3]), quint8(b[4])};
}

std::vector<Scenario> scenarios()
{
    return {
        {.name = "read answers from the store with the key count and index",
         .setup =
             [](Firmware& fw) {
                 fw.setRecord(3, {0x01, 0x04, 0x00, 0x00, 0x02});
             },
         .exchanges = {{0, Read3, {"01 81 63 01 04 00 00 02"}},
                       // all eight slots answer, also beyond the key count
                       {0, "02 01 07 00 00 00 00 00", {"01 81 67 00 00 00 00 00"}},
                       {0, "02 01 08 00 00 00 00 00", {}}}},
        {.name = "an eight-key device reports 8 in the high nibble",
         .keys = 8,
         .exchanges = {{0, "02 01 05 00 00 00 00 00", {"01 81 85 00 00 00 00 00"}}}},
        {.name = "write stores silently, read returns what was written",
         .exchanges = {{0, "02 02 02 01 04 00 00 02", {}},
                       {0, "02 01 02 00 00 00 00 00", {"01 81 62 01 04 00 00 02"}},
                       {0, "02 02 09 01 04 00 00 02", {}}},
         .check =
             [](const Firmware& fw) {
                 EXPECT_EQ(fw.record(2), (KeyRecord{0x01, 0x04, 0x00, 0x00, 0x02}));
             }},
        {.name = "short, foreign and unknown reports change nothing",
         .exchanges = {{0, "02 01 03 00 00 00 00", {}},
                       {0, "03 01 03 00 00 00 00 00", {}},
                       {0, "02 02 00 01 04 00 00 00 00", {}},
                       {0, "02 09 00 00 00 00 00 00", {}}},
         .check =
             [](const Firmware& fw) {
                 EXPECT_EQ(fw.record(0), KeyRecord{});
                 EXPECT_EQ(fw.received().size(), 4u);
             }},
        {.name = "a wired key ignores pairing",
         .exchanges = {{0, Bind, {}}, {60000, "", {}}},
         .check = [](const Firmware& fw) { EXPECT_TRUE(fw.bindings().empty()); }},
        {.name = "bind is answered once, after the delay, with a newly bound transmitter",
         .wireless = true,
         .setup = [](Firmware& fw) { fw.setPairDelayMs(1000); },
         .exchanges = {{0, Bind, {}}, {999, "", {}}, {1000, "", {"01 50 00 " + Id1}}, {5000, "", {}}}},
        {.name = "beyond capacity the earliest bound transmitter gives up its slot",
         .wireless = true,
         .capacity = 2,
         .setup = [](Firmware& fw) { fw.setPairDelayMs(0); },
         .exchanges = {{0, Bind, {"01 50 00 " + Id1}}, {1, Bind, {"01 50 01 " + Id2}}, {2, Bind, {"01 50 00 " + Id3}}},
         .check =
             [](const Firmware& fw) {
                 EXPECT_EQ(fw.bindings(), (std::vector<TransmitterId>{id(Id2), id(Id3)}));
             }},
        {.name = "clear forgets the bindings and ends an open bind request",
         .wireless = true,
         .setup = [](Firmware& fw) { fw.setPairDelayMs(0); },
         .exchanges = {{0, Bind, {"01 50 00 " + Id1}}, {0, Clear, {}}, {10, "", {}}},
         .check = [](const Firmware& fw) { EXPECT_TRUE(fw.bindings().empty()); }},
        {.name = "clear during the delay: no transmitter is bound",
         .wireless = true,
         .setup = [](Firmware& fw) { fw.setPairDelayMs(1000); },
         .exchanges = {{0, Bind, {}}, {500, Clear, {}}, {2000, "", {}}},
         .check =
             [](const Firmware& fw) {
                 EXPECT_TRUE(fw.bindings().empty());
                 EXPECT_FALSE(fw.binding());
             }},
        {.name = "the pairing answer goes out at its own time, before later answers",
         .wireless = true,
         .setup = [](Firmware& fw) { fw.setPairDelayMs(500); },
         .exchanges = {{0, Bind, {}}, {600, Read3, {"01 50 00 " + Id1, "01 81 63 00 00 00 00 00"}}}},
        {.name = "a negative delay never answers by itself",
         .wireless = true,
         .setup = [](Firmware& fw) { fw.setPairDelayMs(-1); },
         .exchanges = {{0, Bind, {}}, {3600000, "", {}}},
         .check = [](const Firmware& fw) { EXPECT_TRUE(fw.binding()); }},
        {.name = "dropped answers: requests still act, nothing comes back",
         .wireless = true,
         .setup =
             [](Firmware& fw) {
                 fw.setDropAnswers(true);
                 fw.setPairDelayMs(0);
             },
         .exchanges = {{0, Read3, {}}, {0, "02 02 01 02 05 00 00 00", {}}, {0, Bind, {}}},
         .check =
             [](const Firmware& fw) {
                 EXPECT_EQ(fw.record(1), (KeyRecord{0x02, 0x05, 0x00, 0x00, 0x00}));
                 EXPECT_EQ(fw.bindings().size(), 1u);
             }},
    };
}

class FirmwareExchanges : public testing::TestWithParam<Scenario> {};

TEST_P(FirmwareExchanges, AnswerAsScripted)
{
    const Scenario& s = GetParam();
    Firmware fw(s.keys, s.wireless, s.capacity);
    s.setup(fw);
    for (std::size_t i = 0; i < s.exchanges.size(); ++i) {
        const Exchange& e = s.exchanges[i];
        SCOPED_TRACE("exchange " + std::to_string(i) + " at " + std::to_string(e.at) + " ms, sent "
                     + (e.send.empty() ? std::string("nothing") : e.send));
        if (!e.send.empty()) {
            EXPECT_TRUE(fw.receive(bytes(e.send), e.at));
        }
        EXPECT_EQ(drain(fw, e.at), e.expect);
    }
    s.check(fw);
}

INSTANTIATE_TEST_SUITE_P(Table, FirmwareExchanges, testing::ValuesIn(scenarios()),
                         [](const testing::TestParamInfo<Scenario>& info) {
                             std::string name;
                             for (const char c : info.param.name)
                                 name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                             return name;
                         });

TEST(Firmware, FailedWritesAreNotSeen)
{
    Firmware fw(6, false, 0);
    fw.setFailWrites(true);
    EXPECT_FALSE(fw.receive(bytes("02 02 00 01 04 00 00 00"), 0));
    EXPECT_FALSE(fw.receive(bytes(Read3), 0));
    EXPECT_TRUE(drain(fw, 0).empty());
    EXPECT_TRUE(fw.received().empty());
    EXPECT_EQ(fw.record(0), KeyRecord{});

    fw.setFailWrites(false);
    EXPECT_TRUE(fw.receive(bytes(Read3), 0));
    EXPECT_EQ(drain(fw, 0), std::vector<std::string>{"01 81 63 00 00 00 00 00"});
}

TEST(Firmware, TransmitterPressOnlyCountsDuringABindRequest)
{
    Firmware fw(6, true, 4);
    fw.setPairDelayMs(-1);
    const TransmitterId tx = id("1A 2B 3C 4D 5E");

    EXPECT_FALSE(fw.pressTransmitter(tx, 0));
    EXPECT_TRUE(drain(fw, 0).empty());

    fw.receive(bytes(Bind), 0);
    EXPECT_TRUE(fw.pressTransmitter(tx, 10));
    EXPECT_EQ(drain(fw, 10), std::vector<std::string>{"01 50 00 1A 2B 3C 4D 5E"});
    EXPECT_FALSE(fw.pressTransmitter(tx, 20)) << "the bind request ends with its answer";

    fw.receive(bytes(Bind), 30);
    EXPECT_TRUE(fw.pressTransmitter(tx, 40));
    EXPECT_EQ(drain(fw, 40), std::vector<std::string>{"01 50 10 1A 2B 3C 4D 5E"})
        << "an already bound transmitter is reported with a non-zero high nibble";
    EXPECT_EQ(fw.bindings(), std::vector<TransmitterId>{tx});
}

TEST(Firmware, SimulatedPressesNeverReuseABoundId)
{
    Firmware fw(6, true, 4);
    fw.setPairDelayMs(-1);
    fw.receive(bytes(Bind), 0);
    fw.pressTransmitter(id(Id1), 0);
    drain(fw, 0);

    fw.setPairDelayMs(0);
    fw.receive(bytes(Bind), 1);
    EXPECT_EQ(drain(fw, 1), std::vector<std::string>{"01 50 01 " + Id2});
}

TEST(Firmware, InputQueueKeepsOrderAndDropsBeyondItsLimit)
{
    Firmware fw(6, false, 0);
    for (int i = 0; i < int(InputQueueLimit) + 6; ++i)
        fw.pushInput(QByteArray(1, char(InputReportId)) + QByteArray(1, char(i)), i);
    const auto out = drain(fw, 1000);
    ASSERT_EQ(out.size(), InputQueueLimit);
    EXPECT_EQ(out.front(), "01 00");
    EXPECT_EQ(out.back(), hex(QByteArrayLiteral("\x01\x3F")));
}

TEST(Firmware, PowerCycleLosesUnsentReportsButKeepsFlash)
{
    Firmware fw(6, true, 4);
    fw.setPairDelayMs(0);
    fw.receive(bytes("02 02 04 01 05 00 00 00"), 0);
    fw.receive(bytes(Bind), 0);
    fw.setPairDelayMs(1000);
    fw.receive(bytes(Read3), 1);
    fw.receive(bytes(Bind), 2);

    fw.powerCycle();

    EXPECT_TRUE(drain(fw, 5000).empty());
    EXPECT_FALSE(fw.binding());
    EXPECT_EQ(fw.record(4), (KeyRecord{0x01, 0x05, 0x00, 0x00, 0x00}));
    EXPECT_EQ(fw.bindings(), std::vector<TransmitterId>{id(Id1)});
}

TEST(Firmware, ResponsesFollowTheReportLayout)
{
    EXPECT_EQ(hex(Firmware::keyRecordResponse(6, 3, {1, 2, 3, 4, 5})), "01 81 63 01 02 03 04 05");
    EXPECT_EQ(hex(Firmware::pairingResponse(false, 2, {0x1A, 0x2B, 0x3C, 0x4D, 0x5E})), "01 50 02 1A 2B 3C 4D 5E");
    EXPECT_EQ(hex(Firmware::pairingResponse(true, 3, {0x1A, 0, 0, 0, 0})), "01 50 13 1A 00 00 00 00");
}

TEST(Firmware, StoreSlotsOutsideTheStoreThrow)
{
    Firmware fw(6, false, 0);
    EXPECT_THROW(fw.record(8), std::out_of_range);
    EXPECT_THROW(fw.setRecord(-1, {}), std::out_of_range);
}

}  // namespace

TEST(Firmware, PressingAKeySendsItsRecordThroughTheRightInterface)
{
    // Input codes: Ctrl 29, Shift 42, B 48, F1 59, Right Alt 100, BTN_LEFT 0x110, BTN_RIGHT 0x111.
    const auto frames = [](int interface, std::vector<quint16> codes, std::vector<qint64> downs) {
        std::vector<SentEvent> events;
        for (const qint64 at : downs) {
            for (const qint32 value : {1, 0}) {
                const qint64 due = value ? at : at + TapMs;
                for (const quint16 code : codes)
                    events.push_back({interface, 1, code, value, due});
                events.push_back({interface, 0, 0, 0, due});
            }
        }
        return events;
    };
    const struct {
        const char* name;
        KeyRecord record;
        int holdMs;
        std::vector<SentEvent> expected;
    } cases[] = {
        {"modifiers in bit order, then the keys",
         {0x03, 0x05, 0x00, 0x00, 0x00},
         500,
         frames(KeyboardInterface, {29, 42, 48}, {1000})},
        {"a right-hand modifier and two keys, 0xFF passed over",
         {0x40, 0x3A, 0x05, 0xFF, 0x00},
         0,
         frames(KeyboardInterface, {100, 59, 48}, {1000})},
        {"repeated while held",
         {0x00, 0x05, 0x00, 0x00, 0x02},
         2 * RepeatPeriodMs + 1,
         frames(KeyboardInterface, {48}, {1000, 1000 + RepeatPeriodMs, 1000 + 2 * RepeatPeriodMs})},
        {"repeated, let go at once: sent once",
         {0x00, 0x05, 0x00, 0x00, 0x02},
         0,
         frames(KeyboardInterface, {48}, {1000})},
        {"a mouse button", {0x01, 0x00, 0x00, 0x00, 0x01}, 500, frames(MouseInterface, {0x110}, {1000})},
        {"a repeated mouse button",
         {0x02, 0x04, 0x00, 0x00, 0x03},
         RepeatPeriodMs,
         frames(MouseInterface, {0x111}, {1000})},
        {"a key without an input code", {0x00, 0x64, 0x00, 0x00, 0x00}, 100, {}},
        {"an empty key", {0x00, 0x00, 0x00, 0x00, 0x00}, 100, {}},
        {"a Mode no key sends", {0x01, 0x04, 0x00, 0x00, 0x04}, 100, {}},
    };
    for (const auto& c : cases) {
        Firmware fw(6, false, 0);
        fw.setRecord(3, c.record);
        EXPECT_EQ(fw.pressKey(3, 1000, c.holdMs), c.expected) << c.name;
    }
}
