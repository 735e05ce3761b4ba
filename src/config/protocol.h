#pragma once
// The one path every request takes to the device, and the dispatcher every input report
// passes through. Both log what they move to the report log.

#include "config/ioresult.h"
#include "config/reports.h"

#include <functional>
#include <span>

namespace tavrel {

// What the protocol needs of the device layer.
class ReportTransport {
public:
    virtual ~ReportTransport() = default;
    // Writes one report to the device that requests go to. `done` runs later on the GUI thread
    // (never from inside this call) with the outcome; NoDevice when there is none.
    virtual void write(const OutputReport& report, std::function<void(const IoResult&)> done) = 0;
};

// The report log: one line per report sent or received, never trimmed.
class ReportLog {
public:
    virtual ~ReportLog() = default;
    virtual void append(const QString& line) = 0;
};

// Every request goes this way: written through the transport, and logged with the bytes the
// driver took once the write is over, also when it failed.
class ReportChannel {
public:
    ReportChannel(ReportTransport& transport, ReportLog& log) : m_transport(transport), m_log(log) {}

    void send(const OutputReport& report, std::function<void(const IoResult&)> done = {});
    ReportLog& log() const { return m_log; }

private:
    ReportTransport& m_transport;
    ReportLog& m_log;
};

struct ReportHandlers {
    std::function<void(const KeyRecordResponse&)> keyRecord;
    std::function<void(const PairingResponse&)> pairing;
};

// Hands a key-record or pairing response to its handler, then logs the report whatever it
// was. A short report is logged with exactly the bytes delivered and otherwise ignored.
void dispatchReport(quint8 reportId, std::span<const quint8> data, const ReportHandlers& handlers,
                    ReportLog& log);

}  // namespace tavrel
