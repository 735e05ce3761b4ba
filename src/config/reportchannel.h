#pragma once
// The one path every request takes to the device. It logs what it sends to the report log.

#include "config/ioresult.h"
#include "config/reportlog.h"
#include "config/reports.h"
#include "config/reporttransport.h"

#include <functional>

namespace tavrel {

// Every request goes this way: logged whole as it is sent, then written through the transport;
// a write that fails or is cut short adds a second line with the bytes the driver took.
class ReportChannel {
public:
    ReportChannel(ReportTransport& transport, ReportLog& log) : m_transport(transport), m_log(log) {}

    void send(const OutputReport& report, std::function<void(const IoResult&)> done = {});
    ReportLog& log() const { return m_log; }

private:
    ReportTransport& m_transport;
    ReportLog& m_log;
};

}  // namespace tavrel
