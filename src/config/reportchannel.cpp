#include "config/reportchannel.h"

namespace tavrel {

void ReportChannel::send(const OutputReport& report, std::function<void(const IoResult&)> done)
{
    // Logged as it goes out, so that its answer never shows before it; a write that ends
    // short of the whole report adds a line with what the driver took.
    m_log.append(sentLogLine(report, int(report.size())));
    ReportLog* log = &m_log;
    m_transport.write(report, [log, report, done = std::move(done)](const IoResult& result) {
        if (!result.ok() || result.written < int(report.size()))
            log->append(notTakenLogLine(report, result.written));
        if (done)
            done(result);
    });
}

}  // namespace tavrel
