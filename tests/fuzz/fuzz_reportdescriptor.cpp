// The report descriptor parser on any bytes, as sysfs or the hidraw node hands them over.

#include "fuzzcheck.h"
#include "platform/reportdescriptor.h"

#include <vector>

using tavrel::platform::parseReportDescriptor;
using tavrel::platform::ReportLengths;

namespace {

// A length counts at least one data byte and the report-ID byte, and fits 16 bits by type.
bool plausibleLength(quint16 length)
{
    return length == 0 || length >= 2;
}

std::optional<ReportLengths> parseWith(std::span<const quint8> descriptor, std::initializer_list<quint8> tail)
{
    std::vector<quint8> longer(descriptor.begin(), descriptor.end());
    longer.insert(longer.end(), tail);
    return parseReportDescriptor(longer);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::span<const quint8> descriptor(data, size);
    const std::optional<ReportLengths> lengths = parseReportDescriptor(descriptor);
    if (!lengths)
        return 0;

    FUZZ_CHECK(plausibleLength(lengths->inputLength));
    FUZZ_CHECK(plausibleLength(lengths->outputLength));
    FUZZ_CHECK(plausibleLength(lengths->featureLength));
    FUZZ_CHECK(parseReportDescriptor(descriptor) == lengths);

    // Items that change no report after the last main item leave the lengths as they were: a
    // push with its pop, a surplus end of collection, a long item, a local usage.
    FUZZ_CHECK(parseWith(descriptor, {0xA4, 0xB4}) == lengths);
    FUZZ_CHECK(parseWith(descriptor, {0xC0}) == lengths);
    FUZZ_CHECK(parseWith(descriptor, {0xFE, 0x02, 0x10, 0xAA, 0x55}) == lengths);
    FUZZ_CHECK(parseWith(descriptor, {0x09, 0x01}) == lengths);
    return 0;
}
