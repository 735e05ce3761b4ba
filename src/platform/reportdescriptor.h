#pragma once
// Report lengths from a HID report descriptor, counted the way the program expects them: per
// report kind the largest report in bytes plus one byte for the report ID, also when the
// device uses no IDs; 0 for a kind the descriptor does not have.

#include <QtGlobal>
#include <optional>
#include <span>

namespace tavrel::platform {

struct ReportLengths {
    quint16 usagePage = 0;  // of the first application collection
    quint16 usage = 0;
    quint16 inputLength = 0;
    quint16 outputLength = 0;
    quint16 featureLength = 0;
    bool usesReportIds = false;

    bool operator==(const ReportLengths&) const = default;
};

// nullopt when the descriptor is malformed (an item runs past the end, a pop without a push,
// a report ID of 0 or a report too large for a 16-bit length).
std::optional<ReportLengths> parseReportDescriptor(std::span<const quint8> descriptor);

}  // namespace tavrel::platform
