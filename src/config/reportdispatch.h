#pragma once
// The dispatcher every input report passes through. It logs what it receives to the report log.

#include "config/reportlog.h"
#include "config/reports.h"

#include <functional>
#include <span>

namespace tavrel {

struct ReportHandlers {
    std::function<void(const KeyRecordResponse&)> keyRecord;
    std::function<void(const PairingResponse&)> pairing;
};

// Hands a key-record or pairing response to its handler, then logs the report whatever it
// was. A short report is logged with exactly the bytes delivered and otherwise ignored.
void dispatchReport(quint8 reportId, std::span<const quint8> data, const ReportHandlers& handlers, ReportLog& log);

}  // namespace tavrel
