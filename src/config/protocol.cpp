#include "config/protocol.h"

namespace tavrel {

void ReportChannel::send(const OutputReport& report, std::function<void(const IoResult&)> done)
{
    ReportLog* log = &m_log;
    m_transport.write(report, [log, report, done = std::move(done)](const IoResult& result) {
        log->append(sentLogLine(report, result.written));
        if (done)
            done(result);
    });
}

void dispatchReport(quint8 reportId, std::span<const quint8> data, const ReportHandlers& handlers,
                    ReportLog& log)
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
