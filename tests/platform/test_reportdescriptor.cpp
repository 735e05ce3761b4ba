#include "platform/reportdescriptor.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <vector>

using tavrel::platform::parseReportDescriptor;
using tavrel::platform::ReportLengths;

namespace {

std::vector<quint8> bytes(const char* hex)
{
    const QByteArray raw = QByteArray::fromHex(QByteArray(hex).replace(' ', ""));
    return {raw.begin(), raw.end()};
}

struct DescriptorCase {
    const char* name;
    const char* hex;
    ReportLengths expected;
};

// Lengths count the report-ID byte whether or not the device uses IDs.
const DescriptorCase realDescriptors[] = {
    {"boot keyboard",
     "05 01 09 06 A1 01 05 07 19 E0 29 E7 15 00 25 01 75 01 95 08 81 02 95 01 75 08 81 01"
     " 95 05 75 01 05 08 19 01 29 05 91 02 95 01 75 03 91 01 95 06 75 08 15 00 25 65"
     " 05 07 19 00 29 65 81 00 C0",
     {0x01, 0x06, 9, 2, 0, false}},
    {"boot mouse",
     "05 01 09 02 A1 01 09 01 A1 00 05 09 19 01 29 03 15 00 25 01 95 03 75 01 81 02 95 01"
     " 75 05 81 01 05 01 09 30 09 31 15 81 25 7F 75 08 95 02 81 06 C0 C0",
     {0x01, 0x02, 4, 0, 0, false}},
    {"vendor-defined 8-byte reports with report IDs",
     "06 00 FF 09 01 A1 01 85 01 09 02 15 00 26 FF 00 75 08 95 07 81 02"
     " 85 02 09 03 15 00 26 FF 00 75 08 95 07 91 02 C0",
     {0xFF00, 0x01, 8, 8, 0, true}},
    {"vendor-defined 8-byte reports without report IDs",
     "06 00 FF 09 01 A1 01 09 01 15 00 26 FF 00 75 08 95 08 81 02 09 01 95 08 91 02 C0",
     {0xFF00, 0x01, 9, 9, 0, false}},
    // The largest report of a kind counts: keyboard (ID 1, 8 bytes) beside consumer (ID 3, 2).
    {"keyboard and consumer control with report IDs",
     "05 01 09 06 A1 01 85 01 05 07 19 E0 29 E7 15 00 25 01 75 01 95 08 81 02 95 01 75 08"
     " 81 01 95 06 75 08 15 00 25 65 19 00 29 65 81 00 95 05 75 01 05 08 19 01 29 05 91 02"
     " 95 01 75 03 91 01 C0 05 0C 09 01 A1 01 85 03 75 10 95 01 15 00 26 FF 03 19 00"
     " 2A FF 03 81 00 C0",
     {0x01, 0x06, 9, 2, 0, true}},
    // Pop restores size 8 and count 4: 4 x 16 + 4 x 8 bits = 12 bytes.
    {"feature reports with push and pop",
     "05 01 09 00 A1 01 75 08 95 04 A4 75 10 B1 02 B4 B1 02 C0",
     {0x01, 0x00, 0, 0, 13, false}},
    {"long item skipped", "FE 02 10 AA BB 06 00 FF 09 01 A1 01 75 08 95 03 81 02 C0", {0xFF00, 0x01, 4, 0, 0, false}},
    // A four-byte usage carries its own page.
    {"extended usage", "0B 05 00 0C 00 A1 01 75 04 95 01 81 02 C0", {0x0C, 0x05, 2, 0, 0, false}},
    {"empty", "", {0, 0, 0, 0, 0, false}},
};

}  // namespace

TEST(ReportDescriptor, RealWorldDescriptors)
{
    for (const auto& c : realDescriptors) {
        SCOPED_TRACE(c.name);
        const auto parsed = parseReportDescriptor(bytes(c.hex));
        ASSERT_TRUE(parsed.has_value());
        EXPECT_EQ(parsed->usagePage, c.expected.usagePage);
        EXPECT_EQ(parsed->usage, c.expected.usage);
        EXPECT_EQ(parsed->inputLength, c.expected.inputLength);
        EXPECT_EQ(parsed->outputLength, c.expected.outputLength);
        EXPECT_EQ(parsed->featureLength, c.expected.featureLength);
        EXPECT_EQ(parsed->usesReportIds, c.expected.usesReportIds);
    }
}

TEST(ReportDescriptor, MalformedDescriptorsHaveNoLengths)
{
    const struct {
        const char* name;
        const char* hex;
    } cases[] = {
        {"item cut short", "06 00"},
        {"long item cut short", "FE 05 10 AA"},
        {"pop without push", "B4"},
        {"report ID 0", "85 00 75 08 95 01 81 02"},
        {"report too long for a 16-bit length", "75 FF 96 FF FF 81 02"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_FALSE(parseReportDescriptor(bytes(c.hex)).has_value());
    }
}
