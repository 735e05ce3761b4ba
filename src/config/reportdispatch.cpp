#include "config/reportdispatch.h"

namespace tavrel {

void dispatchReport(quint8 reportId, std::span<const quint8> data, const ReportHandlers& handlers, ReportLog& log)
{
    // Logged last even when a handler throws: every received report leaves exactly one line.
    struct LogLast {
        ReportLog& log;
        QString line;
        ~LogLast() { log.append(line); }
    } logLast{log, receivedLogLine(reportId, data)};

    if (auto record = parseKeyRecord(data)) {
        if (handlers.keyRecord)
            handlers.keyRecord(*record);
    } else if (auto pairing = parsePairing(data)) {
        if (handlers.pairing)
            handlers.pairing(*pairing);
    }
}

}  // namespace tavrel
