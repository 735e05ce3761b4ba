#include "config/reportchannel.h"

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

}  // namespace tavrel
